// The value buffer: bytes kept as bytes, other values as they are, and the
// hidden list's lines the same either way.
#include "session/valuebuffer.h"

#include <QSignalSpy>
#include <QtTest>

using namespace rpu;

Q_DECLARE_METATYPE(std::vector<std::uint32_t>)

class ValueBufferTest : public QObject {
    Q_OBJECT
private slots:
    void keptAndShown_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<std::vector<std::uint32_t>>("values");
        QTest::addColumn<bool>("asBytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("bytes") << "bytes" << std::vector<std::uint32_t>{85, 85, 18, 0, 255} << true
                               << QStringList{"85", "85", "18", "0", "255"};
        QTest::newRow("values that are bytes") << "values" << std::vector<std::uint32_t>{0, 7, 255} << true
                                               << QStringList{"0", "7", "255"};
        QTest::newRow("a value past a byte") << "values" << std::vector<std::uint32_t>{1, 256, 2} << false
                                             << QStringList{"1", "256", "2"};
        QTest::newRow("the largest settings value")
            << "values" << std::vector<std::uint32_t>{4294967295u, 0} << false << QStringList{"4294967295", "0"};
        QTest::newRow("cells") << "cells" << std::vector<std::uint32_t>{42, 0, 200} << true
                               << QStringList{"42", "0", "200"};
        QTest::newRow("a negative cell keeps its pattern")
            << "cells" << std::vector<std::uint32_t>{3, 4294967295u} << false << QStringList{"3", "4294967295"};
        QTest::newRow("nothing") << "bytes" << std::vector<std::uint32_t>{} << true << QStringList{};
    }
    void keptAndShown()
    {
        QFETCH(QString, how);
        QFETCH(std::vector<std::uint32_t>, values);
        QFETCH(bool, asBytes);
        QFETCH(QStringList, lines);
        ValueBuffer buffer;
        buffer.SetValues({9999, 1}); // something else before
        QSignalSpy reset(&buffer, &QAbstractItemModel::modelReset);
        if (how == QLatin1String("bytes")) {
            const std::vector<std::uint8_t> bytes(values.begin(), values.end());
            buffer.SetBytes(bytes);
        } else if (how == QLatin1String("cells")) {
            const std::vector<int> cells(values.begin(), values.end());
            buffer.SetCells(cells);
        } else {
            buffer.SetValues(values);
        }
        QCOMPARE(reset.count(), 1);
        QCOMPARE(buffer.Count(), int(values.size()));
        QCOMPARE(buffer.rowCount(), int(values.size()));
        QCOMPARE(buffer.Values(), values);
        QCOMPARE(buffer.Lines(), lines);
        for (int row = 0; row < buffer.Count(); ++row)
            QCOMPARE(buffer.data(buffer.index(row)).toString(), lines[row]);
        QVERIFY(!buffer.data(buffer.index(buffer.Count())).isValid());
        const auto bytes = buffer.Bytes();
        QCOMPARE(bytes.has_value(), asBytes);
        if (bytes)
            QVERIFY(std::equal(bytes->begin(), bytes->end(), values.begin(), values.end()));
    }

    void clearedIsEmpty()
    {
        ValueBuffer buffer;
        buffer.SetValues({300, 1});
        buffer.Clear();
        QCOMPARE(buffer.Count(), 0);
        QVERIFY(buffer.Bytes().has_value() && buffer.Bytes()->empty());
        QVERIFY(buffer.Lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ValueBufferTest)
#include "tst_valuebuffer.moc"
