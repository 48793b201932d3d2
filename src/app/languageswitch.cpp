#include "app/languageswitch.h"

#include "app/dialogs.h"
#include "app/editors/outputeditor.h"
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
#include "i18n/messageids.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

#include <optional>
#include <vector>

namespace rpu {

namespace {

constexpr int kMsgCaption = msg::kWindowCaption;
constexpr int kLastOwnMessage = msg::kWindowCaption;
const QEvent::Type kRecordAfterRedraw = static_cast<QEvent::Type>(QEvent::registerEventType());

ResourceLocale *g_programRuntime = nullptr;

// Texts the program made from a message of the old catalogue (a status, a
// device name, a time item such as "5 мин."), made again from the same
// message of the new one with the same numbers.
class TextFollower {
public:
    TextFollower(const MessageCatalogue &before, const QLocale &beforeLocale, const MessageCatalogue &now)
        : now_(now), beforeLocale_(beforeLocale)
    {
        static const QRegularExpression placeholder(QStringLiteral("%(%|[-+ 0#]*\\d*(?:\\.\\d+)?([diufs]))"));
        for (int n = kFirstMessageNumber; n <= kLastOwnMessage; ++n) {
            const QString text = before.Text(n);
            if (text.isEmpty() || now.Text(n).isEmpty())
                continue;
            QString pattern;
            QString kinds;
            qsizetype copied = 0;
            for (auto it = placeholder.globalMatch(text); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                pattern += QRegularExpression::escape(text.mid(copied, m.capturedStart() - copied));
                copied = m.capturedEnd();
                const QString kind = m.captured(2);
                if (kind.isEmpty()) {
                    pattern += QStringLiteral("%");
                    continue;
                }
                kinds += kind == QLatin1String("s") ? QLatin1Char('s') : kind == QLatin1String("f") ? QLatin1Char('f') : QLatin1Char('d');
                pattern += kind == QLatin1String("s")   ? QStringLiteral("(.*)")
                           : kind == QLatin1String("f") ? QStringLiteral("(-?[0-9]+(?:[^0-9][0-9]+)?)")
                                                        : QStringLiteral("(-?[0-9]+)");
            }
            pattern += QRegularExpression::escape(text.mid(copied));
            if (kinds.isEmpty())
                exact_.insert(text, n);
            else
                patterns_.push_back({n, QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')), kinds});
        }
    }

    // Nothing when the text comes from no message.
    std::optional<QString> Follow(const QString &text) const
    {
        if (text.isEmpty())
            return std::nullopt;
        if (const auto it = exact_.constFind(text); it != exact_.constEnd())
            return now_.Text(*it);
        for (const Pattern &p : patterns_) {
            const QRegularExpressionMatch m = p.re.match(text);
            if (!m.hasMatch())
                continue;
            std::vector<FormatArg> args;
            bool ok = true;
            for (int i = 0; i < p.kinds.size() && ok; ++i) {
                const QString part = m.captured(i + 1);
                if (p.kinds[i] == QLatin1Char('s'))
                    args.emplace_back(part);
                else if (p.kinds[i] == QLatin1Char('f'))
                    args.emplace_back(beforeLocale_.toDouble(part, &ok));
                else
                    args.emplace_back(part.toLongLong(&ok));
            }
            if (ok)
                return now_.Format(p.number, args);
        }
        return std::nullopt;
    }

private:
    struct Pattern {
        int number;
        QRegularExpression re;
        QString kinds;
    };
    const MessageCatalogue &now_;
    QLocale beforeLocale_;
    QHash<QString, int> exact_;
    std::vector<Pattern> patterns_;
};

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
    runtime->SetModuleFolders(ProgramFoldersOf(programFilePath).lookup);
    AddBuiltinLayouts(*runtime);
    return runtime;
}

void StartLanguage(ResourceLocale &runtime, MessageCatalogue &catalogue)
{
    const QString builtin = QString::fromLatin1(kBuiltinLocaleCode);
    runtime.ApplyStartupLanguage(ReadStartupLanguage(ProgramFoldersOf(runtime.ProgramFilePath()).configFile));
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

void LanguageSwitch::TranslateBuiltPart(QWidget &part)
{
    NameTranslatableControls(window_, part);
    // The window's own translation has already said what is wrong with a module.
    const QString error = runtime_->TranslateNewPart(&window_, &part);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
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
    const QLocale beforeLocale;
    QString translateError;
    const bool switched = SelectResourceLocale(builtin, 0, 0, &window_, *runtime_,
                                               asker_ ? *asker_ : *dialog_, &translateError);
    if (!translateError.isEmpty()) {
        // Part of the window may be in the new language already.
        RestoreState(before, beforeLocale);
        ErrorBox(translateError);
        return false;
    }
    if (!switched)
        return false;
    LoadLoadedLanguageCatalogue(*services_.catalogue, *runtime_);
    RestoreState(before, beforeLocale);
    window_.ShowWindowTexts();
    // The records sync files to disk: the window is redrawn in the new
    // language first. The redraw is posted at low priority; this comes after.
    if (!recordPending_) {
        recordPending_ = true;
        QCoreApplication::postEvent(this, new QEvent(kRecordAfterRedraw), Qt::LowEventPriority - 1);
    }
    return true;
}

bool LanguageSwitch::event(QEvent *event)
{
    if (event->type() != kRecordAfterRedraw)
        return QObject::event(event);
    // One round later, so the redraw's flush is not held up either.
    QTimer::singleShot(0, this, [this] { WritePendingRecords(); });
    return true;
}

bool LanguageSwitch::WritePendingRecords()
{
    if (!recordPending_)
        return true;
    recordPending_ = false;
    // An installed program's configuration folder may not exist yet.
    const QString configFile = window_.Places().Folders.configFile;
    QDir().mkpath(QFileInfo(configFile).absolutePath());
    const QString writeError = RecordLanguageChoice(*runtime_, configFile);
    if (writeError.isEmpty())
        return true;
    ErrorBox(writeError);
    return false;
}

void LanguageSwitch::RestoreState(const MessageCatalogue &before, const QLocale &beforeLocale)
{
    // Texts the program took from the old catalogue (status bar, device
    // type, time items of the settings pages) follow the new one. Unchanged
    // when the catalogue was not reloaded.
    const TextFollower follow(before, beforeLocale, *services_.catalogue);
    for (QLabel *label : window_.findChildren<QLabel *>()) {
        if (const auto text = follow.Follow(label->text()))
            label->setText(*text);
    }
    for (QComboBox *combo : window_.findChildren<QComboBox *>()) {
        for (int i = 0; i < combo->count(); ++i) {
            if (const auto text = follow.Follow(combo->itemText(i)))
                combo->setItemText(i, *text);
        }
    }
    // Lists built from now on use the new language's decimal separator.
    for (OutputEditor *editor : window_.findChildren<OutputEditor *>())
        editor->SetLocale(QLocale());
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
    setup.iniPath = window.Places().Folders.configFile;
    setup.helpFolders = window.Places().Folders.lookup;
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
