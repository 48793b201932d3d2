// What a transfer shows while it runs: the bars are passed at most once per
// interval (start, end and the last value always), window events run when a
// few milliseconds have passed, and a status text repaints the status bar
// only, not the page control.
#include "app/progressthrottle.h"
#include "app/qtpacer.h"
#include "formharness.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

class PaintCount final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched];
        return false;
    }
    QHash<QObject *, int> counts;
};

} // namespace

class ProgressPacingTest : public QObject {
    Q_OBJECT
private slots:
    // Steps: "<ms> P<n>" a percentage, "<ms> T<text>" a status, "timer" the
    // held values passed on as the timer would, "drop" a direct status text.
    void throttle_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("passed");
        QTest::newRow("start and end at once")
            << QStringList{"0 P0", "0 T0", "1 P100", "1 T100"} << QStringList{"B0", "T0", "B100", "T100"};
        QTest::newRow("the first value at once") << QStringList{"500 P37"} << QStringList{"B37"};
        QTest::newRow("within the interval held, the last one shown")
            << QStringList{"0 P0", "0 T0", "5 P10", "5 T10", "10 P20", "10 T20", "timer"}
            << QStringList{"B0", "T0", "B20", "T20"};
        QTest::newRow("after the interval at once")
            << QStringList{"0 P0", "0 T0", "20 P30", "20 T30"} << QStringList{"B0", "T0", "B30", "T30"};
        QTest::newRow("the text after a passed percentage goes with it")
            << QStringList{"0 P0", "0 T0", "30 P40", "33 T40"} << QStringList{"B0", "T0", "B40", "T40"};
        QTest::newRow("a text alone waits for the interval")
            << QStringList{"0 P0", "0 T0", "3 Tdone", "timer"} << QStringList{"B0", "T0", "Tdone"};
        QTest::newRow("a direct text is not overwritten later")
            << QStringList{"0 P0", "0 T0", "5 P50", "5 T50", "drop", "timer"} << QStringList{"B0", "T0", "B50"};
        QTest::newRow("the end passes what was held")
            << QStringList{"0 P0", "0 T0", "4 P60", "4 T60", "8 P100", "8 T100"}
            << QStringList{"B0", "T0", "B100", "T60", "T100"};
    }
    void throttle()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, passed);
        qint64 now = 0;
        QStringList seen;
        ProgressThrottle throttle([&](int p) { seen << QStringLiteral("B%1").arg(p); },
                                  [&](const QString &t) { seen << QStringLiteral("T") + t; }, 20, nullptr,
                                  [&] { return now; });
        for (const QString &step : steps) {
            if (step == QLatin1String("timer")) {
                QVERIFY2(throttle.Waiting(), "nothing held for the timer");
                throttle.Flush();
                continue;
            }
            if (step == QLatin1String("drop")) {
                throttle.DropStatus();
                continue;
            }
            const QStringList parts = step.split(QLatin1Char(' '));
            now = parts[0].toLongLong();
            const QString call = parts[1];
            if (call.startsWith(QLatin1Char('P')))
                throttle.SetProgress(call.mid(1).toInt());
            else
                throttle.ShowStatus(call.mid(1));
        }
        QCOMPARE(seen, passed);
    }

    void throttleTimerShowsTheLastValue()
    {
        QStringList seen;
        ProgressThrottle throttle([&](int p) { seen << QString::number(p); }, [&](const QString &) {}, 20);
        throttle.SetProgress(0);
        throttle.SetProgress(7);
        throttle.SetProgress(9);
        QCOMPARE(seen, QStringList{"0"});
        QTRY_COMPARE(seen, (QStringList{"0", "9"}));
        QVERIFY(!throttle.Waiting());
    }

    // Offers at these times, no pause between: a round runs only when an
    // offer has waited the interval.
    void eventRoundsByTime_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<int>("rounds");
        QTest::newRow("first offer waits") << QList<qint64>{100} << 0;
        QTest::newRow("every 8 bytes within a millisecond") << QList<qint64>{0, 0, 0, 1, 1, 2, 3} << 0;
        QTest::newRow("one per interval") << QList<qint64>{0, 1, 2, 3, 4, 5, 9, 20} << 2;
        QTest::newRow("offers far apart") << QList<qint64>{0, 10, 20, 30, 40} << 2;
    }
    void eventRoundsByTime()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(int, rounds);
        qint64 now = 0;
        QtPacer pacer([&] { return now; });
        for (qint64 t : times) {
            now = t;
            pacer.ProcessEvents();
        }
        QCOMPARE(pacer.Rounds(), qint64(rounds));
    }

    // An offered round runs at the start of the next pause, once.
    void aRoundRunsPendingEvents()
    {
        qint64 now = 0;
        QtPacer pacer([&] { return now; });
        int ran = 0;
        QTimer::singleShot(0, this, [&] { ++ran; });
        pacer.ProcessEvents();
        QCOMPARE(ran, 0);
        pacer.Pause(1);
        QCOMPARE(ran, 1);
        pacer.Pause(1);
        QCOMPARE(pacer.Rounds(), qint64(1));
        QTimer::singleShot(0, this, [&] { ++ran; });
        pacer.ProcessEvents();
        now = QtPacer::kEventRoundMs - 1;
        pacer.ProcessEvents(); // too soon: the event waits
        QCOMPARE(ran, 1);
        now = QtPacer::kEventRoundMs;
        pacer.ProcessEvents();
        QCOMPARE(ran, 2);
    }

    void statusBarBesidesThePages()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        auto *status = Find<QStatusBar>(f, "MainStatusB");
        auto *progress = Find<QProgressBar>(f, "MainProgressB");
        QVERIFY(!status->geometry().intersects(Pages(f)->geometry()));
        QVERIFY(!progress->geometry().intersects(Pages(f)->geometry()));
        QVERIFY(status->geometry().contains(progress->geometry()));
        QVERIFY(f.rect().contains(status->geometry()));
        for (QWidget *w : std::initializer_list<QWidget *>{status, progress, Find<QLabel>(f, "MainStatusText")})
            QVERIFY2(w->autoFillBackground(), qPrintable(w->objectName()));
    }

    void statusTextRepaintsNoPage()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        Pages(f)->show();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCoreApplication::processEvents();
        PaintCount paints;
        QLabel *text = Find<QLabel>(f, "MainStatusText");
        for (QObject *o : std::initializer_list<QObject *>{Pages(f), Pages(f)->currentWidget(), text})
            o->installEventFilter(&paints);
        for (int i = 0; i < 3; ++i) {
            f.ShowStatus(QStringLiteral("Запись ПО в прибор...%1 %").arg(i));
            f.SetProgress(i * 10);
            QTRY_VERIFY(paints.counts.value(text) > i);
        }
        QCOMPARE(paints.counts.value(Pages(f)), 0);
        QCOMPARE(paints.counts.value(Pages(f)->currentWidget()), 0);
    }

    // A write through the window: the bar ends where the page puts it and
    // the status shows the page's final text, whatever was held back.
    void directTextsWinOverHeldProgress()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        f.ConnectButtonClick();
        f.Flow().SetPageTabVisible(PageId::RelaySettings, true);
        f.Flow().SetActivePage(PageId::RelaySettings);
        f.WriteButtonClick();
        const QString final = h.Msg(10048);
        QCOMPARE(f.StatusText(), final);
        QTest::qWait(60); // any held value has been passed on by now
        QCOMPARE(Find<QLabel>(f, "MainStatusText")->text(), final);
        QCOMPARE(Find<QProgressBar>(f, "MainProgressB")->value(), 0);
    }
};

QTEST_MAIN(ProgressPacingTest)
#include "tst_progress_pacing.moc"
