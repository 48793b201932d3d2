#pragma once
// Message boxes and file dialogs, behind one seam so that tests can script
// the answers and read what was shown.

#include <QString>

class QWidget;

namespace rpu {

class Dialogs {
public:
    enum class Icon { None, Error, Warning, Information, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Dialogs() = default;
    // Modal box; owner may be null (a box owned by no window).
    virtual Answer MessageBox(QWidget *owner, const QString &title, const QString &text,
                              Icon icon, Buttons buttons) = 0;
    // Empty when the user cancelled. filter uses "Description (*.ext)|*.ext";
    // startName, when given, is the name the dialog starts with (it may be a
    // pattern such as "ksy_rpu_*").
    virtual QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                                 const QString &filter, const QString &startName) = 0;
    virtual QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                                 const QString &suggestedName, const QString &filter,
                                 const QString &defaultSuffix) = 0;
};

// The real thing: Qt's message boxes and file dialogs.
class QtDialogs final : public Dialogs {
public:
    Answer MessageBox(QWidget *owner, const QString &title, const QString &text, Icon icon,
                      Buttons buttons) override;
    QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter, const QString &startName) override;
    QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &suggestedName, const QString &filter,
                         const QString &defaultSuffix) override;
};

} // namespace rpu
