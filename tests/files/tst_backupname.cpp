// Backup file names: composing, reading back, unsafe characters, and the
// address check of the backup page.

#include "files/backupname.h"
#include "files/textlines.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;

Q_DECLARE_METATYPE(rpu::RegistrationRole)

class TestBackupName : public QObject {
    Q_OBJECT
private slots:
    void compose_data()
    {
        QTest::addColumn<RegistrationRole>("role");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        using R = RegistrationRole;
        QTest::newRow("RPU") << R::Rpu << "3" << "_081226_" << "1234" << "17"
                             << "ksy_rpu_3_081226_object_1234_conf_17.rrg";
        QTest::newRow("RTR") << R::Rtr << "150" << "_081226_" << "77" << "3"
                             << "ksy_rtr_150_081226_object_77_conf_3.rrg";
        QTest::newRow("no role") << R::None << "150" << "_081226_" << "77" << "3" << "_conf_3.rrg";
        QTest::newRow("path in object") << R::Rpu << "1" << "_081226_" << "../../x" << "0"
                                        << "ksy_rpu_1_081226_object_..-..-x_conf_0.rrg";
        QTest::newRow("windows-refused") << R::Rtr << "a:b" << "_081226_" << "<>\"\\|?*" << "9"
                                         << "ksy_rtr_a-b_081226_object_-------_conf_9.rrg";
        QTest::newRow("control characters") << R::Rpu << "2\t" << "_081226_" << "7\n8\x7f" << "1"
                                            << "ksy_rpu_2-_081226_object_7-8-_conf_1.rrg";
        QTest::newRow("slashes of a short date") << R::Rpu << "4" << "_8/2/_" << "5" << "1"
                                                 << "ksy_rpu_4_8-2-_object_5_conf_1.rrg";
        QTest::newRow("long object cut") << R::Rpu << "4" << "_081226_" << QString(100, QLatin1Char('9')) << "1"
                                         << "ksy_rpu_4_081226_object_" + QString(32, QLatin1Char('9')) + "_conf_1.rrg";
        QTest::newRow("Cyrillic kept") << R::Rpu << "4" << "_081226_" << "Склад" << "1"
                                       << "ksy_rpu_4_081226_object_Склад_conf_1.rrg";
    }
    void compose()
    {
        QFETCH(RegistrationRole, role);
        QFETCH(QString, address);
        QFETCH(QString, stamp);
        QFETCH(QString, object);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QCOMPARE(ComposeBackupFileName(role, address, stamp, object, code), name);
    }

    // Whatever is typed, the backup is saved inside the folder.
    void unsafeTextStaysInFolder()
    {
        QTemporaryDir tmp;
        const QString folder = tmp.path();
        QString every;
        for (char16_t c = 1; c < 0x80; ++c)
            every += QChar(c);
        const QString name = ComposeBackupFileName(RegistrationRole::Rtr, every.left(32), "_081226_",
                                                   every.mid(32), "5");
        const QString path = QDir(folder).filePath(name);
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(folder).absoluteFilePath());
        QVERIFY(WriteTextLines(path, {"1"}).ok());
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{name});
    }

    void parse_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<RegistrationRole>("role");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("object");
        using R = RegistrationRole;
        QTest::newRow("upper-case prefixes") << "KSY_RTR_150_081226_OBJECT_77_conf_3.rrg" << R::Rtr << "150" << "77";
        QTest::newRow("saved name") << "ksy_rpu_3_081226_object_1234_conf_17.rrg" << R::Rpu << "3" << "1234";
        QTest::newRow("with folder") << "/home/x/reg/Ksy_Rpu_2_010127_Object_Ab_conf_1.RRG" << R::Rpu << "2" << "Ab";
        QTest::newRow("both prefixes: rtr wins") << "ksy_rtr_9_ksy_rpu_1_object_5.rrg" << R::Rtr << "9" << "5";
        QTest::newRow("no prefix") << "copy_object_12_conf_1.rrg" << R::None << "" << "12";
        QTest::newRow("no object") << "ksy_rpu_4.rrg" << R::Rpu << "4" << "";
        QTest::newRow("copied as they stand") << "ksy_rtr_ 5x_y_object_ 7-b.rrg" << R::Rtr << " 5x" << " 7-b";
        QTest::newRow("other extension kept") << "ksy_rpu_4.bak" << R::Rpu << "4.bak" << "";
    }
    void parse()
    {
        QFETCH(QString, fileName);
        QFETCH(RegistrationRole, role);
        QFETCH(QString, address);
        QFETCH(QString, object);
        const BackupNameParts parts = ParseBackupFileName(fileName);
        QCOMPARE(parts.role, role);
        QCOMPARE(parts.address, address);
        QCOMPARE(parts.objectNumber, object);
    }

    void moduleNumber_data()
    {
        QTest::addColumn<RegistrationRole>("role");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        using R = RegistrationRole;
        QTest::newRow("5 for RPU") << R::Rpu << "5" << false;
        QTest::newRow("5 for RTR") << R::Rtr << "5" << true;
        QTest::newRow("abc for RPU") << R::Rpu << "abc" << false;
        QTest::newRow("abc for RTR") << R::Rtr << "abc" << false;
        QTest::newRow("abc without role") << R::None << "abc" << true;
        QTest::newRow("empty") << R::Rpu << "" << true;
        QTest::newRow("0 for RPU") << R::Rpu << "0" << false;
        QTest::newRow("-1 for RPU") << R::Rpu << "-1" << false;
        QTest::newRow("leading blank") << R::Rpu << " 4" << true;
        QTest::newRow("196 for RTR") << R::Rtr << "196" << true;
        QTest::newRow("197 for RTR") << R::Rtr << "197" << false;
        QTest::newRow("beyond int") << R::Rtr << "4294967301" << false;
    }
    void moduleNumber()
    {
        QFETCH(RegistrationRole, role);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(ModuleNumberAccepted(role, text), accepted);
    }

    // The drop-down offers exactly the addresses the check accepts.
    void choicesMatchTheCheck()
    {
        for (RegistrationRole role : {RegistrationRole::Rpu, RegistrationRole::Rtr}) {
            const QStringList choices = ModuleNumberChoices(role);
            QVERIFY(!choices.isEmpty());
            for (int n = -1; n <= 200; ++n) {
                const QString text = QString::number(n);
                QCOMPARE(ModuleNumberAccepted(role, text), choices.contains(text));
            }
        }
        QVERIFY(ModuleNumberChoices(RegistrationRole::None).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBackupName)
#include "tst_backupname.moc"
