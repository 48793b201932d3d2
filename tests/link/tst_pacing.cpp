// The protocol's pauses: never shorter than asked, and the sleep margin that
// keeps them from running long.
#include "link/precisepause.h"

#include <QtTest>

using namespace rpu;
using namespace std::chrono_literals;
using std::chrono::nanoseconds;

Q_DECLARE_METATYPE(std::chrono::nanoseconds)

class TestPacing : public QObject {
    Q_OBJECT
private slots:
    void neverShorterThanAsked_data()
    {
        QTest::addColumn<int>("ms");
        for (int ms : {0, 1, 2, 10, 25})
            QTest::newRow(qPrintable(QStringLiteral("%1 ms").arg(ms))) << ms;
    }
    void neverShorterThanAsked()
    {
        QFETCH(int, ms);
        // Several in a row, so that a margin widened or narrowed by the
        // previous ones is covered too.
        for (int i = 0; i < 5; ++i) {
            const PauseClock::time_point start = PauseClock::now();
            PausePrecisely(ms);
            QVERIFY(PauseClock::now() - start >= std::chrono::milliseconds(ms));
        }
    }

    void deadlineInThePastReturns()
    {
        const PauseClock::time_point past = PauseClock::now() - 1s;
        WaitUntil(past);
        PausePrecisely(-5);
        QVERIFY(PauseClock::now() > past);
    }

    void marginFollowsLateWakeUps_data()
    {
        QTest::addColumn<nanoseconds>("margin");
        QTest::addColumn<nanoseconds>("lateBy");
        QTest::addColumn<nanoseconds>("next");
        QTest::newRow("on time stays at the floor") << nanoseconds(kMinSleepMargin) << nanoseconds(0)
                                                   << nanoseconds(kMinSleepMargin);
        QTest::newRow("late widens with room") << nanoseconds(300us) << nanoseconds(1ms) << nanoseconds(1500us);
        QTest::newRow("very late is capped") << nanoseconds(1ms) << nanoseconds(40ms) << nanoseconds(kMaxSleepMargin);
        QTest::newRow("calm narrows by an eighth") << nanoseconds(2ms) << nanoseconds(0) << nanoseconds(1750us);
        QTest::newRow("early counts as on time") << nanoseconds(2ms) << nanoseconds(-5us) << nanoseconds(1750us);
        QTest::newRow("narrows toward what was seen")
            << nanoseconds(400us) << nanoseconds(100us) << nanoseconds(400us) - nanoseconds(250us) / 8;
        QTest::newRow("a margin below the floor is raised") << nanoseconds(0) << nanoseconds(0)
                                                            << nanoseconds(kMinSleepMargin);
    }
    void marginFollowsLateWakeUps()
    {
        QFETCH(nanoseconds, margin);
        QFETCH(nanoseconds, lateBy);
        QFETCH(nanoseconds, next);
        QCOMPARE(NextSleepMargin(margin, lateBy).count(), next.count());
    }
};

QTEST_GUILESS_MAIN(TestPacing)
#include "tst_pacing.moc"
