// The window at the bench: it fits screens smaller than itself with its
// status bar in view, a simulated receiver is named so wherever a device is
// shown, and demo images reach only the simulator.

#include "app/pages/mainpage.h"
#include "app/screenfit.h"
#include "files/programfolders.h"
#include "firmware/firmwarefile.h"
#include "formharness.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

constexpr QSize kDesigned(794, 570);
const QMargins kFrame(4, 30, 4, 4);

void Put(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile f(folder + QLatin1Char('/') + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList Listed(TMainForm &f)
{
    QStringList names;
    auto *list = Find<QListWidget>(f, "SoftUpdatesListBox");
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

} // namespace

class BenchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void clientSize_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("client");
        QTest::newRow("1280x720") << QRect(0, 0, 1280, 720) << kDesigned;
        QTest::newRow("exactly the window") << QRect(0, 0, 802, 604) << kDesigned;
        // QT_SCALE_FACTOR=2 on 1920x1080 leaves 960x540 logical pixels; the
        // vertical scroll bar gets room beside the client.
        QTest::newRow("scale 2 on 1920x1080") << QRect(0, 0, 960, 540) << QSize(794 + 16, 506);
        QTest::newRow("scale 2, panel at the top") << QRect(0, 32, 960, 508) << QSize(794 + 16, 474);
        QTest::newRow("low, no room for the bar") << QRect(0, 0, 802, 500) << QSize(794, 466);
        QTest::newRow("narrow and low") << QRect(0, 0, 640, 480) << QSize(632, 446);
        QTest::newRow("only narrow") << QRect(0, 0, 700, 900) << QSize(692, 570 + 16);
        QTest::newRow("too small for use") << QRect(0, 0, 100, 100) << QSize(160, 160);
    }
    void clientSize()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, client);
        QCOMPARE(FitClientSize(kDesigned, available, kFrame, 16), client);
        if (client.width() + 8 <= available.width() && client.height() + 34 <= available.height())
            QVERIFY(available.contains(PlaceClient(client, available, kFrame).marginsAdded(kFrame)));
    }

    void windowFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::newRow("1280x720") << QRect(0, 0, 1280, 720);
        QTest::newRow("scale 2 on 1920x1080") << QRect(0, 0, 960, 540);
        QTest::newRow("narrow and low") << QRect(0, 0, 640, 480);
    }
    void windowFitsTheScreen()
    {
        QFETCH(QRect, available);
        FormHarness h;
        // Shown first: showing fits the window to the test's own screen.
        h.form->show();
        QCoreApplication::processEvents();
        h.form->FitInto(available, kFrame);
        QCoreApplication::processEvents();
        const QRect inside = h.form->rect();
        QVERIFY(inside.width() <= available.width() - 8 && inside.height() <= available.height() - 34);
        const QRect status = Find<QStatusBar>(*h.form, "MainStatusB")->geometry();
        const QRect progress = Find<QProgressBar>(*h.form, "MainProgressB")->geometry();
        QVERIFY2(inside.contains(status), qPrintable(QStringLiteral("status bar at y %1").arg(status.y())));
        QVERIFY(inside.contains(progress));
        QCOMPARE(inside.bottom() - status.bottom(), 0); // 544 + 26 of 570: below the page control
        QVERIFY(status.contains(progress.center()));

        // Everything is reached by scrolling, above the status bar.
        auto *scroll = h.form->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(scroll);
        const bool fits = inside.size() == kDesigned;
        QVERIFY(fits || scroll->geometry().bottom() < status.top());
        QCOMPARE(scroll->viewport()->height() + scroll->verticalScrollBar()->maximum(),
                 fits ? scroll->viewport()->height() : kDesigned.height());
        QCOMPARE(scroll->viewport()->width() + scroll->horizontalScrollBar()->maximum(), kDesigned.width());
    }

    void simulatedDeviceIsNamed_data()
    {
        QTest::addColumn<bool>("simulated");
        QTest::newRow("simulator") << true;
        QTest::newRow("receiver") << false;
    }
    void simulatedDeviceIsNamed()
    {
        QFETCH(bool, simulated);
        FormHarness h(1, 46, simulated);
        h.form->show();
        const QString caption = h.Msg(10087);
        const QString marked = h.catalogue.Format(10150, caption);
        QCOMPARE(h.form->windowTitle(), simulated ? marked : caption);

        h.form->ConnectButtonClick();
        const QString type = h.Msg(10072);
        for (const char *label : {"DevTypeLabel2", "Dev2TypeLabel2"})
            QCOMPARE(Find<QLabel>(*h.form, label)->text(), simulated ? h.catalogue.Format(10150, type) : type);
    }

    // Demo images are listed only for the simulator, and a real receiver
    // refuses one that was copied into base.
    void demoImagesOnlyForTheSimulator_data() { simulatedDeviceIsNamed_data(); }
    void demoImagesOnlyForTheSimulator()
    {
        QFETCH(bool, simulated);
        FormHarness h(1, 46, simulated);
        Put(h.folder.path() + QLatin1Char('/') + kDemoFirmwareFolderName, QStringLiteral("demo_rpu_sela_4_7.bin"),
            MakeDemoFirmwareImage(47, 4));
        Put(h.folder.path() + QStringLiteral("/base"), QStringLiteral("copied_demo_sela_4_1.bin"),
            MakeDemoFirmwareImage(41, 4));
        h.form->show();
        h.dialogs.answers = {Dialogs::Answer::No, Dialogs::Answer::No};
        h.form->ConnectButtonClick();
        QStringList expected{QStringLiteral("copied_demo_sela_4_1.bin")};
        if (simulated)
            expected << QStringLiteral("demo_rpu_sela_4_7.bin");
        QCOMPARE(Listed(*h.form), expected);

        Find<QListWidget>(*h.form, "SoftUpdatesListBox")->setCurrentRow(0);
        h.form->Main().SoftUpdatesListBoxClick();
        h.dialogs.boxes.clear();
        h.form->Main().WriteSWButtonClick();
        QCOMPARE(h.device.AcceptedFirmwareLengths().size(), std::size_t(simulated ? 1 : 0));
        if (!simulated)
            QCOMPARE(h.dialogs.BoxTexts(), QStringList{h.Msg(10151)});
    }
};

QTEST_MAIN(BenchWindowTest)
#include "tst_benchwindow.moc"
