#include "app/languageswitch.h"

#include "app/dialogs.h"
#include "app/helplinks.h"
#include "app/languagedialog.h"
#include "app/mainform.h"
#include "app/pageflow.h"
#include "app/pages/commandcolumn.h"
#include "app/startup.h"
#include "app/translation/layoutdump.h"
#include "app/translation/widgetlists.h"
#include "i18n/languagechoice.h"
#include "i18n/messagecatalogue.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>

namespace rpu {

namespace {

constexpr int kMsgCaption = 10087;
constexpr int kLastOwnMessage = 10087;

ResourceLocale *g_programRuntime = nullptr;

} // namespace

void SetProgramRuntime(ResourceLocale *runtime) { g_programRuntime = runtime; }
ResourceLocale *ProgramRuntime() { return g_programRuntime; }

void AddBuiltinLayouts(ResourceLocale &runtime)
{
    RegisterWidgetListHandlers();
    for (const QString &layout : BuiltinRussianLayouts())
        runtime.BuiltinLayouts().AddText(layout);
}

std::unique_ptr<ResourceLocale> MakeResourceLocale(const QString &programFilePath)
{
    auto runtime = std::make_unique<ResourceLocale>(programFilePath);
    AddBuiltinLayouts(*runtime);
    return runtime;
}

void StartLanguage(ResourceLocale &runtime, MessageCatalogue &catalogue)
{
    const QString builtin = QString::fromLatin1(kBuiltinLocaleCode);
    runtime.ApplyStartupLanguage(ReadStartupLanguage(ConfigFilePath(runtime.ProgramFilePath())));
    // Russian is built in, so no module was loaded for it; its locale and
    // Qt's Russian texts are applied all the same.
    if (runtime.LoadedResourceLocale().isEmpty())
        runtime.SetNewResourceFile(QString(), 0, builtin);
    LoadMessageCatalogue(catalogue, runtime);
}

LanguageSwitch::LanguageSwitch(TMainForm &window, const AppServices &services)
    : QObject(&window), window_(window), services_(services)
{
    setObjectName(QStringLiteral("LanguageSwitch"));
    NameTranslatableControls(window);
    ResourceLocale *program = ProgramRuntime();
    if (program && program->ProgramFilePath() == services.programFilePath) {
        runtime_ = program;
    } else {
        own_ = MakeResourceLocale(services.programFilePath);
        runtime_ = own_.get();
    }
    SetRuntime(*runtime_);
}

// The runtime keeps the window by a guarded pointer; it may be gone first.
LanguageSwitch::~LanguageSwitch() = default;

void LanguageSwitch::SetRuntime(ResourceLocale &runtime)
{
    if (runtime_ != &runtime)
        runtime_->UnregisterWindow(&window_);
    runtime_ = &runtime;
    dialog_ = std::make_unique<DialogLanguageAsker>(runtime);
    // Built just now: the module in use gives its texts at once.
    const QString error = runtime.TranslateNewWindow(&window_);
    if (!error.isEmpty())
        ErrorBox(error);
}

void LanguageSwitch::SetAsker(LanguageAsker *asker) { asker_ = asker; }

void LanguageSwitch::ErrorBox(const QString &text) const
{
    if (services_.dialogs)
        services_.dialogs->MessageBox(&window_, kApplicationTitle, text, Dialogs::Icon::Error, Dialogs::Buttons::Ok);
}

bool LanguageSwitch::ChangeLanguage()
{
    QString failure;
    if (runtime_->CheckResourceCount(&failure) == 0) {
        ErrorBox(failure);
        return false;
    }
    const QString builtin = QString::fromLatin1(kBuiltinLocaleCode);
    const MessageCatalogue before = *services_.catalogue;
    QString translateError;
    const bool switched = SelectResourceLocale(builtin, 0, 0, &window_, *runtime_,
                                               asker_ ? *asker_ : *dialog_, &translateError);
    if (!translateError.isEmpty()) {
        // Part of the window may be in the new language already.
        RestoreState(before);
        ErrorBox(translateError);
        return false;
    }
    if (!switched)
        return false;
    const QString writeError =
        RecordLanguageChange(*runtime_, ConfigFilePath(services_.programFilePath), *services_.catalogue);
    RestoreState(before);
    if (!writeError.isEmpty()) {
        ErrorBox(writeError);
        return false;
    }
    window_.setWindowTitle(services_.catalogue->Text(kMsgCaption));
    return true;
}

void LanguageSwitch::RestoreState(const MessageCatalogue &before)
{
    // Texts the program took from the old catalogue (status bar, device
    // type, firmware type) take the same message of the new one.
    QHash<QString, int> numbers;
    for (int n = kFirstMessageNumber; n <= kLastOwnMessage; ++n) {
        if (!before.Text(n).isEmpty() && !numbers.contains(before.Text(n)))
            numbers.insert(before.Text(n), n);
    }
    const MessageCatalogue &now = *services_.catalogue;
    for (QLabel *label : window_.findChildren<QLabel *>()) {
        const auto it = numbers.constFind(label->text());
        if (it != numbers.constEnd() && !now.Text(*it).isEmpty())
            label->setText(now.Text(*it));
    }
    // The stored layout may hold enabled states; what the user can do is
    // the command rule's alone.
    window_.Flow().CommandsChanged();
}

// ---------------------------------------------------------------- wiring

void InstallLanguageAndHelp(TMainForm &window, const AppServices &services)
{
    auto *languages = new LanguageSwitch(window, services);
    HelpAndLinks::Setup setup;
    setup.programFilePath = services.programFilePath;
    setup.iniPath = ConfigFilePath(services.programFilePath);
    setup.dialogs = services.dialogs;
    setup.catalogue = services.catalogue;
    setup.languageCode = [languages] { return languages->Runtime().GetCurrentDefaultLocaleReg(); };
    auto *help = new HelpAndLinks(window, std::move(setup));

    auto *column = window.findChild<CommandColumn *>(QStringLiteral("CommandColumn"));
    if (!column)
        return;
    const auto guarded = [&window](auto handler) {
        return [&window, handler] { window.Flow().RunGuarded(handler); };
    };
    QObject::connect(column, &CommandColumn::helpClicked, help, guarded([help] { help->HelpClick(); }));
    QObject::connect(column, &CommandColumn::languageClicked, languages,
                     guarded([languages] { languages->ChangeLanguage(); }));
    // The combo box lies under the button; a change of it runs the same flow.
    if (auto *combo = window.findChild<QComboBox *>(QStringLiteral("LangCmB")))
        QObject::connect(combo, &QComboBox::activated, languages,
                         guarded([languages] { languages->ChangeLanguage(); }));
}

LanguageSwitch *LanguageSwitchOf(TMainForm &window)
{
    return window.findChild<LanguageSwitch *>(QStringLiteral("LanguageSwitch"), Qt::FindDirectChildrenOnly);
}

HelpAndLinks *HelpAndLinksOf(TMainForm &window)
{
    return window.findChild<HelpAndLinks *>(QStringLiteral("HelpAndLinks"), Qt::FindDirectChildrenOnly);
}

} // namespace rpu
