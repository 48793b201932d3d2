// Settings files saved from and loaded into a settings page: the bytes on
// disk, the names offered, tolerant reading, and refusing a bad cell without
// showing any of the file.

#include "formharness.h"

#include "app/pages/settingsfileflow.h"
#include "files/filetestutil.h"

#include <QDir>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

// A settings page as the flow sees it.
struct FakeView final : SettingsImageView {
    SettingsSection section = SettingsSection::Relay;
    SettingsImage own{};
    std::vector<SettingsImage> shown;

    SettingsSection Section() const override { return section; }
    void ComposeOwnSection(SettingsImage &image) const override
    {
        for (const SettingsField &field : SettingsFields(section))
            image[field.offset] = own[field.offset];
    }
    std::optional<BadImageCell> ShowImage(const SettingsImage &image) override
    {
        if (auto bad = FindBadCell(image, section))
            return bad;
        shown.push_back(image);
        return std::nullopt;
    }
};

struct FakeHost final : PageHost {
    DeviceModeChoice mode = DeviceModeChoice::None;
    QStringList statuses;

    void SetPageTabVisible(PageId, bool) override {}
    void EnterLinkDownState() override {}
    void RenewLink() override {}
    void CommandsChanged() override {}
    DeviceModeChoice SelectedDeviceMode() const override { return mode; }
    void ShowStatus(const QString &text) override { statuses << text; }
    void SetProgress(int) override {}
};

// What the save dialog was set up with, and the paths it returns.
struct SeenDialogs final : Dialogs {
    ScriptedDialogs &inner;
    QString folder, suggested, filter, suffix;
    explicit SeenDialogs(ScriptedDialogs &d) : inner(d) {}
    Answer MessageBox(QWidget *o, const QString &t, const QString &x, Icon i, Buttons b) override
    {
        return inner.MessageBox(o, t, x, i, b);
    }
    QString OpenFileName(QWidget *o, const QString &t, const QString &f, const QString &fl,
                         const QString &n) override
    {
        folder = f;
        filter = fl;
        return inner.OpenFileName(o, t, f, fl, n);
    }
    QString SaveFileName(QWidget *o, const QString &t, const QString &f, const QString &s,
                         const QString &fl, const QString &sx) override
    {
        folder = f;
        suggested = s;
        filter = fl;
        suffix = sx;
        return inner.SaveFileName(o, t, f, s, fl, sx);
    }
};

// A page context around the harness's session, with its own host and dialogs.
struct Rig {
    explicit Rig(std::uint8_t version = 104) : h(1, version), seen(h.dialogs) {}
    FormHarness h;
    FakeHost host;
    SeenDialogs seen;
    PageContext context{h.form->Session(), &seen, h.catalogue, h.form->Buffer(), host,
                        h.form->Places(), nullptr};
    FakeView view;
    SaveDialogMemory memory;

    SettingsFileFlow Flow() { return SettingsFileFlow(context, view, nullptr, memory); }
    QString Conf(const QString &name) const { return h.form->Places().ProgramFolder + "/conf/" + name; }
    QString LastStatus() const { return host.statuses.isEmpty() ? QString() : host.statuses.back(); }
};

QByteArray Lines(const std::vector<quint32> &cells)
{
    QByteArray bytes;
    for (quint32 c : cells)
        bytes += QByteArray::number(c) + "\r\n";
    return bytes;
}

std::vector<quint32> FactoryFileCells()
{
    const SettingsImage &factory = FactorySettingsImage();
    return {factory.begin(), factory.begin() + kSettingsFileCells};
}

} // namespace

class SettingsFilesTest : public QObject {
    Q_OBJECT
private slots:
    void saveWritesOnlyThePageSection()
    {
        Rig r;
        r.view.own = FactorySettingsImage();
        r.h.dialogs.paths.push_back(r.Conf("relay.cfg"));
        r.Flow().SaveSettingsFile();
        QCOMPARE(r.LastStatus(), r.h.Msg(10045));

        // Relay cells from the page, every other cell 0, 96 lines with CR LF.
        std::vector<quint32> expected(kSettingsFileCells, 0);
        for (const SettingsField &field : SettingsFields(SettingsSection::Relay))
            expected[field.offset] = FactorySettingsImage()[field.offset];
        QCOMPARE(ReadBytes(r.Conf("relay.cfg")), Lines(expected));
        QCOMPARE(r.h.form->Buffer().Count(), kSettingsFileCells);
        QCOMPARE(QDir(r.seen.folder), QDir(r.h.form->Places().ProgramFolder + "/conf"));
        QCOMPARE(r.seen.filter, r.h.Msg(10036));
        QCOMPARE(r.seen.suffix, QStringLiteral("cfg"));
    }

    void overwriteAndCancel()
    {
        Rig r;
        const QString path = r.Conf("kept.cfg");
        QVERIFY(WriteBytes(path, "old"));
        r.h.dialogs.paths.push_back(path);
        r.h.dialogs.answers.push_back(Dialogs::Answer::No);
        r.Flow().SaveSettingsFile();
        QCOMPARE(ReadBytes(path), QByteArray("old"));
        QCOMPARE(r.h.dialogs.BoxTexts(), QStringList{r.h.Msg(10042)});
        QCOMPARE(r.LastStatus(), r.h.Msg(10068));

        r.Flow().SaveSettingsFile(); // dialog cancelled
        QCOMPARE(r.LastStatus(), r.h.Msg(10068));
        r.Flow().LoadSettingsFile();
        QCOMPARE(r.LastStatus(), r.h.Msg(10070));
        QVERIFY(r.view.shown.empty());
    }

    void defaultNames_data()
    {
        QTest::addColumn<int>("version"); // 0: demo
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("name");
        using M = DeviceModeChoice;
        QTest::newRow("demo RPU") << 0 << int(M::Rpu) << "ksy_rpu_auto";
        QTest::newRow("demo MRO") << 0 << int(M::Mro) << "ksy_mro";
        QTest::newRow("on-line class 0 RTR") << 104 << int(M::Rtr) << "ksy_rtr";
        QTest::newRow("on-line class 1") << 30 << int(M::None) << "ksy_mro";
        QTest::newRow("on-line class 2: previous name") << 46 << int(M::None) << "earlier.cfg";
    }
    void defaultNames()
    {
        QFETCH(int, version);
        QFETCH(int, mode);
        QFETCH(QString, name);
        Rig r(std::uint8_t(version ? version : 104));
        if (version)
            r.h.form->ConnectButtonClick();
        else
            r.h.form->Session().SetMode(WorkMode::Demo);
        r.host.mode = DeviceModeChoice(mode);
        r.memory.lastName = QStringLiteral("earlier.cfg");
        r.Flow().SaveSettingsFile();
        QCOMPARE(r.seen.suggested, name);
    }

    void load_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::addColumn<int>("cell");      // checked in the shown image
        QTest::addColumn<quint32>("value");

        const auto relay = int(SettingsSection::Relay);
        const auto rpu = int(SettingsSection::Rpu);
        std::vector<quint32> cells = FactoryFileCells();
        std::vector<quint32> relayOnly(kSettingsFileCells, 0);
        for (const SettingsField &field : SettingsFields(SettingsSection::Relay))
            relayOnly[field.offset] = cells[field.offset];
        QByteArray noFinalEnd = Lines(cells);
        noFinalEnd.chop(2);
        auto with = [&](int offset, quint32 v) {
            std::vector<quint32> c = cells;
            c[offset] = v;
            return Lines(c);
        };

        QTest::newRow("relay-page file on the RPU page") << rpu << Lines(relayOnly) << "" << 60 << 0u;
        QTest::newRow("100 lines, junk after 96") << relay << Lines(cells) + "1\r\nx\r\n\r\n7\r\n" << ""
                                                   << 42 << cells[42];
        QTest::newRow("no final line end") << relay << noFinalEnd << "" << 95 << cells[95];
        QTest::newRow("unselected relay time") << relay << with(35, 4294967295u) << "" << 35 << 0u;
        QTest::newRow("256 in a time cell") << relay << with(36, 256) << "строка 37: недопустимое значение 256"
                                            << -1 << 0u;
        // The page reads only its own section: a bad cell in the other is not its concern.
        QTest::newRow("256 in the other section") << rpu << with(36, 256) << "" << 60 << cells[60];
        QTest::newRow("all bits in a mode cell") << relay << with(42, 4294967295u)
                                                 << "строка 43: недопустимое значение 4294967295" << -1 << 0u;
        QTest::newRow("95 lines") << relay << Lines({cells.begin(), cells.end() - 1})
                                  << "Файл настроек реле имеет неправильный размер" << -1 << 0u;
    }
    void load()
    {
        QFETCH(int, section);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, cell);
        QFETCH(quint32, value);
        Rig r;
        r.view.section = SettingsSection(section);
        QVERIFY(WriteBytes(r.Conf("in.cfg"), bytes));
        r.h.dialogs.paths.push_back(r.Conf("in.cfg"));
        r.Flow().LoadSettingsFile();
        if (error.isEmpty()) {
            QCOMPARE(r.view.shown.size(), std::size_t(1));
            QCOMPARE(r.view.shown[0][cell], value);
            QCOMPARE(r.LastStatus(), r.h.Msg(10038));
            QVERIFY(r.h.dialogs.boxes.empty());
            return;
        }
        // Refused as a whole: nothing shown, one error box, the program on.
        QVERIFY(r.view.shown.empty());
        QCOMPARE(r.h.dialogs.boxes.size(), std::size_t(1));
        QCOMPARE(r.h.dialogs.boxes[0].title, r.h.Msg(10001));
        QVERIFY2(r.h.dialogs.boxes[0].text.contains(error), qPrintable(r.h.dialogs.boxes[0].text));
        QVERIFY(r.LastStatus() != r.h.Msg(10038));
    }
};

QTEST_MAIN(SettingsFilesTest)
#include "tst_settings_files.moc"
