// A firmware update end to end: the window, the socket link and the
// simulator program, with the program's real pauses.

#include "formharness.h"

#include "app/qtpacer.h"
#include "firmware/firmwarefile.h"
#include "link/socketbackend.h"
#include "support/simprocess.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

class RpuSimUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void offeredUpdateIsTakenAndReportedAfterReconnect()
    {
        QTemporaryDir folder;
        const QString socket = folder.filePath(QStringLiteral("sim.sock"));
        SimProcess sim(socket, {QStringLiteral("--version"), QStringLiteral("46"), QStringLiteral("--state"),
                                folder.filePath(QStringLiteral("sim.state"))});
        QVERIFY(sim.WaitReady());

        const QString programPath = folder.filePath(QStringLiteral("dorel-rpu-sela"));
        ScriptedDialogs dialogs;
        QtPacer pacer;
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), programPath);
        UsbLink link(std::make_unique<SocketBackend>(socket, 2000));
        TMainForm form(MakeAppServices(programPath, dialogs, pacer, link, catalogue, QDate(2026, 12, 8)));

        QFile image(folder.filePath(QStringLiteral("base/rpu_sela_4_7.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(MakeFirmwareImage(kSelaFirmwareTypeCode, 47, 16));
        image.close();

        form.ConnectButtonClick();

        QCOMPARE(dialogs.BoxTexts(), QStringList{catalogue.Text(10062)});
        QCOMPARE(Find<QLabel>(form, "CurrentSoftVerLabel2")->text(), QStringLiteral("4_7"));
        QCOMPARE(Find<QLabel>(form, "DevTypeLabel2")->text(), QStringLiteral("РПУ-SELA (СИМУЛЯТОР)"));
        QCOMPARE(form.StatusText(), catalogue.Text(10064));
        QCOMPARE(Find<QListWidget>(form, "SoftUpdatesListBox")->count(), 1);
        // The simulator keeps the new firmware across its own restart.
        QCOMPARE(sim.Stop(), 0);
        SimDevice reloaded(0);
        QVERIFY(reloaded.LoadState(folder.filePath(QStringLiteral("sim.state"))));
        QCOMPARE(int(reloaded.VersionByte()), 47);
    }
};

QTEST_MAIN(RpuSimUpdateTest)
#include "tst_rpusim_update.moc"
