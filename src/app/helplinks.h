#pragma once
// The help button and the two link labels of the maker: each hands a path or
// address to the desktop's "open" action.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QLabel;
class QWidget;

namespace rpu {

class Dialogs;
class MessageCatalogue;

// Opens a URL with the desktop (QDesktopServices); tests record instead.
using UrlOpener = std::function<bool(const QUrl &url)>;
UrlOpener DesktopUrlOpener();

// Section "Help", key = the language code ("RU" for an empty one). Without
// the key: the shipped document of RU, EN and TR, else empty.
QString ReadHelpFileName(const QString &iniPath, const QString &code);
// The file name in the "help" folder of the first of folders that holds it,
// else in the first folder's; with an empty name, that "help" folder itself.
QString HelpPath(const QStringList &folders, const QString &fileName);
// "mailto:" + address + "?subject=" + the program's file name.
QUrl MailTarget(const QString &address, const QString &programFilePath);
QUrl WebTarget(const QString &address);

class HelpAndLinks final : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString programFilePath;
        QString iniPath;
        QStringList helpFolders;  // where "help" is looked for, in order
        Dialogs *dialogs = nullptr;
        const MessageCatalogue *catalogue = nullptr;
        // The code of the language in use, read at each click.
        std::function<QString()> languageCode;
    };
    // Finds Label_webaddr and Label_emailaddr in the window by name and
    // makes them links.
    HelpAndLinks(QWidget &window, Setup setup);

    void SetUrlOpener(UrlOpener opener) { open_ = std::move(opener); }

    // Opens the help file of the language in use; an error box (10001,
    // 10067) when it cannot be opened.
    void HelpClick();
    void Label_webaddrClick();
    void Label_emailaddrClick();
    // The last help path handed to the desktop.
    QString LastHelpPath() const { return helpPath_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &window_;
    Setup setup_;
    UrlOpener open_;
    QLabel *web_ = nullptr;
    QLabel *mail_ = nullptr;
    QString helpPath_;
};

} // namespace rpu
