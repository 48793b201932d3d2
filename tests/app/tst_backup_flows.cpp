// The backup page through the window: creating a backup from the device,
// restoring it, the names of backup files, the address check, deleting, and
// what a cancelled or bad load leaves enabled.

#include "formharness.h"

#include "files/filetestutil.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

QString Reg(FormHarness &h, const QString &name)
{
    return h.form->Places().ProgramFolder + "/reg/" + name;
}

QString Text(FormHarness &h, const char *label)
{
    return Find<QLabel>(*h.form, label)->text();
}

bool Enabled(FormHarness &h, const char *name)
{
    return Find(*h.form, name)->isEnabled();
}

void Click(FormHarness &h, const char *button)
{
    Find<QPushButton>(*h.form, button)->click();
}

void EnterBackupPage(FormHarness &h)
{
    h.form->Flow().SetPageTabVisible(PageId::Backup, true);
    h.form->Flow().SetActivePage(PageId::Backup);
    h.form->MainPageCChange();
}

void EnterOnline(FormHarness &h)
{
    h.form->ConnectButtonClick();
    EnterBackupPage(h);
}

void EnterDemo(FormHarness &h)
{
    Find<QComboBox>(*h.form, "OperModeCmB")->setCurrentIndex(0);
    h.form->OperModeCmBChange();
    EnterBackupPage(h);
}

// "Создать", a role, the object number and the address, then "Считать".
void CreateBackup(FormHarness &h, const char *role, const QString &object, const QString &address)
{
    Click(h, "RegBackupCreateButton");
    Find<QRadioButton>(*h.form, role)->click();
    Find<QLineEdit>(*h.form, "ObjNumEdit")->setText(object);
    Find<QComboBox>(*h.form, "ModuleNumCmB")->setEditText(address);
    h.form->ReadButtonClick();
}

void Load(FormHarness &h, const QString &path)
{
    h.dialogs.paths.push_back(path);
    h.form->LoadButtonClick();
}

QByteArray BackupBytes(int lines, int code)
{
    QByteArray bytes;
    for (int i = 0; i < lines - 1; ++i)
        bytes += QByteArray::number((i * 7) % 256) + "\r\n";
    return bytes + QByteArray::number(code) + "\r\n";
}

std::vector<std::uint8_t> Registration(const SimDevice &device)
{
    return {device.Memory().begin(), device.Memory().begin() + 1792};
}

} // namespace

class BackupFlowsTest : public QObject {
    Q_OBJECT
private slots:
    // Back up, change the device, restore, read back the same bytes.
    void backupAndRestoreRoundTrip()
    {
        FormHarness h(1, 104);
        for (int k = 0; k < 1792; ++k)
            h.device.Memory()[std::size_t(k)] = std::uint8_t(k * 13 + 5);
        h.device.Memory()[1791] = 42;
        const std::vector<std::uint8_t> original = Registration(h.device);

        EnterOnline(h);
        CreateBackup(h, "RPU_RTRRadioGr_RPU", "1234", "3");
        QVERIFY(Enabled(h, "SaveButton"));
        QVERIFY(!Enabled(h, "WriteButton"));
        QCOMPARE(Text(h, "ConfCodeLabel2"), QStringLiteral("42"));
        const QString name = QStringLiteral("ksy_rpu_3_081226_object_1234_conf_42.rrg");
        h.dialogs.paths.push_back(Reg(h, name));
        h.form->SaveButtonClick();
        QCOMPARE(Text(h, "RegFNameLabel2"), name);
        QCOMPARE(h.form->StatusText(), h.Msg(10043));
        const QList<QByteArray> lines = ReadBytes(Reg(h, name)).split('\n');
        QCOMPARE(lines.size(), 1793); // 1792 lines, each ended
        QCOMPARE(lines[1791], QByteArray("42\r"));

        std::fill(h.device.Memory().begin(), h.device.Memory().begin() + 1792, std::uint8_t(0));
        Click(h, "RegBackupRestoreButton");
        QVERIFY(!Enabled(h, "WriteButton"));
        QVERIFY(Enabled(h, "LoadButton"));
        Load(h, Reg(h, name));
        // The save offered the backup's name; the open starts on the role's files.
        QCOMPARE(h.dialogs.fileDialogNames,
                 QStringList({name, QStringLiteral("ksy_rpu_*")}));
        QVERIFY(Enabled(h, "WriteButton"));
        h.form->WriteButtonClick();
        QCOMPARE(h.form->StatusText(), h.Msg(10046));
        QVERIFY(Registration(h.device) == original);

        CreateBackup(h, "RPU_RTRRadioGr_RPU", "1", "1");
        const std::vector<std::uint32_t> &readBack = h.form->Buffer().Values();
        QVERIFY(std::equal(readBack.begin(), readBack.end(), original.begin(), original.end()));
    }

    void longBackupWritesTheImageOnly()
    {
        FormHarness h(1, 104);
        const QByteArray bytes = BackupBytes(1800, 9);
        QVERIFY(WriteBytes(Reg(h, "long.rrg"), bytes));
        h.device.Memory()[1792] = 0xEE; // the block after the image
        EnterOnline(h);
        Click(h, "RegBackupRestoreButton");
        Load(h, Reg(h, "long.rrg"));
        QCOMPARE(Text(h, "ConfCodeLabel2"), QStringLiteral("9"));
        h.form->WriteButtonClick();
        QCOMPARE(h.form->StatusText(), h.Msg(10046));
        QCOMPARE(int(h.device.Memory()[1791]), (1791 * 7) % 256);
        QCOMPARE(int(h.device.Memory()[1792]), 0xEE);
    }

    void loadedNameFillsThePage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("role"); // checked radio button, or empty
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("resaved"); // the name offered on saving again
        QTest::newRow("upper-case prefixes") << "KSY_RTR_150_081226_OBJECT_77_conf_3.rrg" << "RPU_RTRRadioGr_RTR"
                                             << "150" << "77" << "ksy_rtr_150_081226_object_77_conf_3.rrg";
        QTest::newRow("receiver") << "ksy_rpu_2_010125_object_A-9_conf_3.rrg" << "RPU_RTRRadioGr_RPU" << "2"
                                  << "A-9" << "ksy_rpu_2_081226_object_A-9_conf_3.rrg";
        QTest::newRow("no prefix") << "backup.rrg" << "" << "" << "" << "";
    }
    void loadedNameFillsThePage()
    {
        QFETCH(QString, file);
        QFETCH(QString, role);
        QFETCH(QString, address);
        QFETCH(QString, object);
        QFETCH(QString, resaved);
        FormHarness h;
        QVERIFY(WriteBytes(Reg(h, file), BackupBytes(1792, 3)));
        EnterDemo(h);
        QVERIFY(!Enabled(h, "SaveButton"));
        Load(h, Reg(h, file));
        QCOMPARE(h.form->StatusText(), h.Msg(10033));
        QCOMPARE(Text(h, "RegFNameLabel2"), file);
        QCOMPARE(Text(h, "ConfCodeLabel2"), QStringLiteral("3"));
        for (const char *item : {"RPU_RTRRadioGr_RPU", "RPU_RTRRadioGr_RTR"})
            QCOMPARE(Find<QRadioButton>(*h.form, item)->isChecked(), role == QLatin1String(item));
        QCOMPARE(Find<QComboBox>(*h.form, "ModuleNumCmB")->currentText(), address);
        QCOMPARE(Find<QLineEdit>(*h.form, "ObjNumEdit")->text(), object);
        QVERIFY(!Enabled(h, "ObjNumEdit") && !Enabled(h, "ModuleNumCmB"));
        QVERIFY(Enabled(h, "SaveButton"));

        // Demo: re-saved under a name with this run's date stamp.
        h.dialogs.paths.push_back(Reg(h, QStringLiteral("copy.rrg")));
        h.form->SaveButtonClick();
        if (resaved.isEmpty()) {
            QCOMPARE(h.dialogs.BoxTexts().last(), h.Msg(10039));
            QVERIFY(!QFile::exists(Reg(h, QStringLiteral("copy.rrg"))));
            return;
        }
        QCOMPARE(Text(h, "RegFNameLabel2"), resaved);
        QCOMPARE(ReadBytes(Reg(h, QStringLiteral("copy.rrg"))), BackupBytes(1792, 3));
    }

    void addressCheck_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("5 as РПУ") << "RPU_RTRRadioGr_RPU" << "5" << true;
        QTest::newRow("5 as РТР") << "RPU_RTRRadioGr_RTR" << "5" << false;
        QTest::newRow("abc as РПУ") << "RPU_RTRRadioGr_RPU" << "abc" << true;
        QTest::newRow("abc as РТР") << "RPU_RTRRadioGr_RTR" << "abc" << true;
        QTest::newRow("197 as РТР") << "RPU_RTRRadioGr_RTR" << "197" << true;
        QTest::newRow("empty") << "RPU_RTRRadioGr_RPU" << "" << false;
    }
    void addressCheck()
    {
        QFETCH(QString, role);
        QFETCH(QString, text);
        QFETCH(bool, refused);
        FormHarness h(1, 104);
        EnterOnline(h);
        Click(h, "RegBackupCreateButton");
        Find<QRadioButton>(*h.form, role.toLatin1().constData())->click();
        auto *address = Find<QComboBox>(*h.form, "ModuleNumCmB");
        QVERIFY(address->isEnabled());
        QCOMPARE(address->count(), role.endsWith(QLatin1String("RPU")) ? 4 : 192);
        h.dialogs.boxes.clear();
        address->setEditText(text);
        // Opening the drop-down is not leaving the address; tabbing away is.
        for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::TabFocusReason}) {
            QFocusEvent leave(QEvent::FocusOut, reason);
            QApplication::sendEvent(address, &leave);
        }
        QCOMPARE(h.dialogs.BoxTexts(), refused ? QStringList{h.Msg(10030)} : QStringList{});
        QCOMPARE(address->currentText(), text); // left as typed
    }

    // Nothing but a good backup enables writing it (on-line) or saving it (demo).
    void badLoadsEnableNothing_data()
    {
        QTest::addColumn<bool>("online");
        QTest::addColumn<QByteArray>("bytes"); // empty: no file
        QTest::addColumn<QString>("error");
        QByteArray badLine = BackupBytes(1792, 1);
        badLine.replace(0, 1, "256");
        QTest::newRow("missing file") << true << QByteArray() << "Не удалось открыть файл";
        QTest::newRow("1791 lines") << true << BackupBytes(1791, 1) << "слишком короткий";
        QTest::newRow("256 in line 1") << true << badLine << "строка 1: недопустимое значение";
        QTest::newRow("demo, not a number") << false << QByteArray("abc\r\n") + BackupBytes(1792, 1)
                                            << "строка 1: \"abc\" не является числом";
    }
    void badLoadsEnableNothing()
    {
        QFETCH(bool, online);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        FormHarness h(1, 104);
        QVERIFY(WriteBytes(Reg(h, "good.rrg"), BackupBytes(1792, 1)));
        if (!bytes.isEmpty())
            QVERIFY(WriteBytes(Reg(h, "bad.rrg"), bytes));
        online ? EnterOnline(h) : EnterDemo(h);
        if (online)
            Click(h, "RegBackupRestoreButton");
        const char *enabled = online ? "WriteButton" : "SaveButton";
        // A good load first: the bad one must take back what it enabled.
        Load(h, Reg(h, "good.rrg"));
        QVERIFY(Enabled(h, enabled));
        h.dialogs.boxes.clear();
        Load(h, Reg(h, "bad.rrg"));
        QVERIFY(!Enabled(h, enabled));
        QCOMPARE(h.form->Buffer().Count(), 0);
        QCOMPARE(h.dialogs.boxes.size(), std::size_t(1));
        QVERIFY2(h.dialogs.boxes[0].text.contains(error), qPrintable(h.dialogs.boxes[0].text));
    }

    void cancelledLoadAfterRestoreEnablesNothing()
    {
        FormHarness h(1, 104);
        EnterOnline(h);
        Click(h, "RegBackupRestoreButton");
        h.form->LoadButtonClick();
        QCOMPARE(h.form->StatusText(), h.Msg(10070));
        QVERIFY(!Enabled(h, "WriteButton"));
        QVERIFY(!Enabled(h, "SaveButton"));
    }

    void deleteFile_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("status");
        QTest::newRow("deleted") << true << true << true << 10029;
        QTest::newRow("vanished after the choice") << false << true << true << 10029;
        QTest::newRow("answered No") << true << true << false << 10069;
        QTest::newRow("dialog cancelled") << true << false << true << 10069;
    }
    void deleteFile()
    {
        QFETCH(bool, present);
        QFETCH(bool, chosen);
        QFETCH(bool, yes);
        QFETCH(int, status);
        FormHarness h;
        const QString path = Reg(h, QStringLiteral("ksy_rpu_1_081226_object_1_conf_0.rrg"));
        if (present)
            QVERIFY(WriteBytes(path, BackupBytes(1792, 0)));
        EnterDemo(h); // "Удалить" works in both modes
        if (chosen)
            h.dialogs.paths.push_back(path);
        h.dialogs.answers.push_back(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        Click(h, "RegBackupDeleteButton");
        QCOMPARE(h.form->StatusText(), h.Msg(status));
        QCOMPARE(QFile::exists(path), present && status != 10029);
        if (chosen) {
            QCOMPARE(h.dialogs.BoxTexts(),
                     QStringList{QStringLiteral("Вы уверены, что хотите удалить файл регистрации "
                                                "ksy_rpu_1_081226_object_1_conf_0.rrg ?")});
        }
        QVERIFY(Text(h, "RegFNameLabel2").isEmpty());
    }
};

QTEST_MAIN(BackupFlowsTest)
#include "tst_backup_flows.moc"
