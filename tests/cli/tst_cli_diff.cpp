// diff and write-settings --dry-run against rpu-sim: exit codes, the changed
// fields in JSON, and a dry run that leaves the receiver untouched.

#include "files/settingsfile.h"
#include "ops/settingsops.h"
#include "support/clirun.h"
#include "support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace rpu;

class CliDiffTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<test::SimProcess> sim_;

    QString Path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }
    // Exit code, then the changes' field ids ("no JSON" when the output is no object).
    QStringList Cli(QStringList args)
    {
        args << QStringLiteral("--transport=socket:") + Path("rx.sock") << QStringLiteral("--json");
        const test::CliRun run = test::RunCli(args, Path("none.ini"));
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
        QStringList result{QString::number(run.exitCode), doc.isObject() ? QString() : QStringLiteral("no JSON")};
        for (const QJsonValue &change : doc[QStringLiteral("changes")].toArray())
            result << change[QStringLiteral("fieldId")].toString();
        return result;
    }
    QByteArray State() const
    {
        QFile file(Path("rx.state"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        sim_ = std::make_unique<test::SimProcess>(Path("rx.sock"), QStringList{"--state", Path("rx.state")});
        QVERIFY(sim_->WaitReady());
        // Relay 2 in "Тревога" and bound to partition 5.
        SettingsImage changed = FactorySettingsImage();
        changed[43] = 5;
        changed[4] = 7;
        QVERIFY(WriteSettingsFile(Path("factory.cfg"), ops::FileCells(FactorySettingsImage())).ok());
        QVERIFY(WriteSettingsFile(Path("changed.cfg"), ops::FileCells(changed)).ok());
    }

    void exitCodesAndChanges_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expected");
        const QString factory = Path("factory.cfg"), changed = Path("changed.cfg");
        QTest::newRow("file and factory") << QStringList{"diff", "factory:relay", changed} << QStringList{"1", "", "mode", "partition:5"};
        QTest::newRow("factory sections") << QStringList{"diff", "factory:relay", "factory:rpu"} << QStringList{"1", "", "section", "section"};
        QTest::newRow("device as it came") << QStringList{"diff", "device", factory} << QStringList{"0", ""};
        QTest::newRow("unknown factory") << QStringList{"diff", "factory:mro", factory} << QStringList{"2", ""};
        QTest::newRow("one operand") << QStringList{"diff", factory} << QStringList{"2", ""};
        QTest::newRow("missing file") << QStringList{"diff", factory, Path("none.cfg")} << QStringList{"2", ""};
    }
    void exitCodesAndChanges()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expected);
        QCOMPARE(Cli(args), expected);
    }

    // Nothing reaches the receiver's memory until the real write.
    void dryRunWritesNothing()
    {
        const QByteArray before = State();
        QCOMPARE(Cli({"write-settings", Path("changed.cfg"), "--dry-run"}), (QStringList{"1", "", "mode", "partition:5"}));
        QCOMPARE(State(), before);
        QCOMPARE(Cli({"write-settings", Path("changed.cfg")}).front(), "0");
        QVERIFY(State() != before);
        QCOMPARE(Cli({"diff", "device", Path("changed.cfg")}), (QStringList{"0", ""}));
        QCOMPARE(Cli({"write-settings", Path("changed.cfg"), "--dry-run"}), (QStringList{"0", ""}));
    }
};

QTEST_GUILESS_MAIN(CliDiffTest)
#include "tst_cli_diff.moc"
