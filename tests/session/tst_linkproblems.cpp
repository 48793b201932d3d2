// A device that cannot be reached is worded by its kind, in the language in
// use, with the system's own text kept beside it.

#include "i18n/messagecatalogue.h"
#include "session/outcomemessages.h"

#include <QtTest>

using namespace rpu;

Q_DECLARE_METATYPE(rpu::LinkFault)

class LinkProblemsTest : public QObject {
    Q_OBJECT

private slots:
    void textByKind_data()
    {
        QTest::addColumn<LinkFault>("fault");
        QTest::addColumn<int>("message");
        QTest::newRow("no access") << LinkFault::NoAccess << 10124;
        QTest::newRow("busy") << LinkFault::Busy << 10125;
        QTest::newRow("gone") << LinkFault::Gone << 10126;
        QTest::newRow("time-out") << LinkFault::TimedOut << 10127;
        QTest::newRow("other") << LinkFault::Other << 10128;
        QTest::newRow("no listener") << LinkFault::NoListener << 10129;
    }
    void textByKind()
    {
        QFETCH(LinkFault, fault);
        QFETCH(int, message);
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QString(), QStringLiteral("/opt/x/dorel-rpu-sela"));
        const QString text = LinkProblemText({fault, QStringLiteral("Access denied (insufficient permissions)")}, catalogue);
        QCOMPARE(text, catalogue.Format(message, QStringLiteral("Access denied (insufficient permissions)")));
        QVERIFY(text.contains(QLatin1String("Access denied (insufficient permissions)")));
        QVERIFY(!text.contains(QLatin1Char('%')));
        // Never libusb's English alone: the catalogue's words come first.
        QVERIFY(!text.startsWith(QLatin1String("Access denied")));
        if (fault == LinkFault::NoAccess)
            QVERIFY(text.contains(QLatin1String("udev")));
    }

    void nothingForNoProblem()
    {
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QString(), QStringLiteral("/opt/x/dorel-rpu-sela"));
        QCOMPARE(LinkProblemText({}, catalogue), QString());
    }
};

QTEST_GUILESS_MAIN(LinkProblemsTest)
#include "tst_linkproblems.moc"
