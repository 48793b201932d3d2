#pragma once
// "Сменить язык" on the running window: the language dialog, the switch of
// the resource source (which re-translates the window), the configuration
// file, the catalogue and the caption; afterwards the window's state is put
// back as it was.

#include "app/appservices.h"

#include <QLocale>
#include <QObject>
#include <memory>

class QWidget;

namespace rpu {

class HelpAndLinks;
class LanguageAsker;
class MessageCatalogue;
class PageHost;
class ResourceLocale;
class TMainForm;

// The program's locale runtime, set by the entry sequence; null in tests.
void SetProgramRuntime(ResourceLocale *runtime);
ResourceLocale *ProgramRuntime();

// A runtime for a program path with the built-in Russian layouts and the
// window's item-list handlers registered.
std::unique_ptr<ResourceLocale> MakeResourceLocale(const QString &programFilePath);
// Adds the built-in Russian layouts to a runtime.
void AddBuiltinLayouts(ResourceLocale &runtime);

// Start-up: the configuration file's language is recorded for the runtime's
// program, its module (when there is one) becomes the resource source with
// its locale and Qt's own texts, and the catalogue is loaded.
void StartLanguage(ResourceLocale &runtime, MessageCatalogue &catalogue);

class LanguageSwitch final : public QObject {
    Q_OBJECT
public:
    // Uses the program's runtime when it serves this program path, else a
    // runtime of its own; the window is registered for re-translation.
    LanguageSwitch(TMainForm &window, const AppServices &services);
    ~LanguageSwitch() override;

    // Another runtime (tests: a store and fallback folder of their own);
    // borrowed. The window is registered with it.
    void SetRuntime(ResourceLocale &runtime);
    ResourceLocale &Runtime() { return *runtime_; }
    // Null restores the real dialog.
    void SetAsker(LanguageAsker *asker);

    // LangCmBChange and btn_ChangeLangClick. True when the language changed;
    // it is recorded (the configuration file, the per-user record) once the
    // window has been redrawn, and a failed record is said in a box then.
    bool ChangeLanguage();
    // Records a choice not yet recorded now (a close does, and tests); false
    // when that failed, said in a box.
    bool WritePendingRecords();

    // Controls built after the window took its texts get them too: named as
    // at start, then the built-in layout and the module in use.
    void TranslateBuiltPart(QWidget &part);

protected:
    bool event(QEvent *event) override;

private:
    void ErrorBox(const QString &text) const;
    // Re-applies what the re-translation must not change and refreshes texts
    // taken from the catalogue (status, device labels).
    void RestoreState(const MessageCatalogue &before, const QLocale &beforeLocale);

    TMainForm &window_;
    AppServices services_;
    std::unique_ptr<ResourceLocale> own_;
    ResourceLocale *runtime_ = nullptr;
    std::unique_ptr<LanguageAsker> dialog_;
    LanguageAsker *asker_ = nullptr;
    bool recordPending_ = false;
};

// The one call the window makes at the end of its construction: the
// language button and combo box, the help button and the two link labels.
void InstallLanguageAndHelp(TMainForm &window, const AppServices &services);
LanguageSwitch *LanguageSwitchOf(TMainForm &window);
HelpAndLinks *HelpAndLinksOf(TMainForm &window);

} // namespace rpu
