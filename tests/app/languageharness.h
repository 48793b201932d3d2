#pragma once
// The main window with the shipped language modules beside its program, a
// locale store of its own and a scripted language dialog.

#include "app/helplinks.h"
#include "app/languagedialog.h"
#include "app/languageswitch.h"
#include "formharness.h"
#include "i18n/resourcelocale.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QUrl>

namespace rpu::test {

inline QString SourceDir()
{
    const QString dir = qEnvironmentVariable("RPU_SOURCE_DIR");
    return dir.isEmpty() ? QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../..") : dir;
}

inline QString ShippedModule(const QString &code)
{
    return SourceDir() + QStringLiteral("/lang/dorel-rpu-sela.") + code;
}

inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Answers the language dialog with a code, or cancels; records the entries.
struct ScriptedAsker final : LanguageAsker {
    QStringList answers; // "" cancels
    LanguageList lastEntries;
    int asked = 0;
    bool Ask(QWidget *, const LanguageList &entries, QString &code) override
    {
        ++asked;
        lastEntries = entries;
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isEmpty())
            return false;
        code = answer;
        return true;
    }
};

// The window on a simulated device with a locale store of its own and the
// shipped modules beside its program.
struct LanguageHarness {
    explicit LanguageHarness(const QStringList &modules = {QStringLiteral("EN"), QStringLiteral("TR")})
    {
        WriteFile(h.ProgramPath(), "program"); // modules are looked up beside it
        for (const QString &code : modules)
            QFile::copy(ShippedModule(code), LanguageModulePath(h.ProgramPath(), code));
        runtime = std::make_unique<ResourceLocale>(
            h.ProgramPath(),
            LocaleOverrideStore(store.filePath(QStringLiteral("store.ini")), store.filePath(QStringLiteral("machine.ini"))),
            store.filePath(QStringLiteral("fallback")));
        AddBuiltinLayouts(*runtime);
        Switch().SetRuntime(*runtime);
        Switch().SetAsker(&asker);
        Help().SetUrlOpener([this](const QUrl &url) {
            opened << url;
            return openResult;
        });
    }
    LanguageSwitch &Switch() { return *LanguageSwitchOf(*h.form); }
    HelpAndLinks &Help() { return *HelpAndLinksOf(*h.form); }
    bool ChangeTo(const QString &code)
    {
        asker.answers << code;
        // The records follow the redraw; here they are written at once.
        return Switch().ChangeLanguage() && Switch().WritePendingRecords();
    }

    QTemporaryDir store;
    FormHarness h;
    std::unique_ptr<ResourceLocale> runtime;
    ScriptedAsker asker;
    QList<QUrl> opened;
    bool openResult = true;
};

} // namespace rpu::test
