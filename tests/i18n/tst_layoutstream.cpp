// Stored layouts: text and binary forms of every value kind, both ways.

#include "i18n/layoutstream.h"

#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <functional>

using namespace rpu;

namespace {

// One property holding the given value text, in the writer's own layout.
QString OneProperty(const QString &valueText)
{
    return QStringLiteral("object Form: TForm\n  Value = ") + valueText + QStringLiteral("\nend\n");
}

// "TPF0", root TForm/Form, one property "Value" with the raw tagged bytes.
QByteArray BinaryWithValue(const QByteArray &taggedValue)
{
    QByteArray b("TPF0");
    b += char(5) + QByteArray("TForm") + char(4) + QByteArray("Form");
    b += char(5) + QByteArray("Value") + taggedValue;
    b += QByteArray(2, '\0');
    return b;
}

// The text of the LayoutError a call throws; empty when it throws none.
QString ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const LayoutError &e) {
        return e.message();
    }
    return {};
}

template <typename T> QByteArray Little(T v)
{
    QByteArray out(sizeof(T), '\0');
    qToLittleEndian(v, out.data());
    return out;
}

} // namespace

class LayoutStreamTest : public QObject {
    Q_OBJECT
private slots:
    // Each value in the writer's own text form survives text -> binary -> text,
    // is stored under the expected tag, and the binary survives binary -> text -> binary.
    void everyKindRoundTrips_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("tag");
        QTest::newRow("int8") << "-128" << int(ValueTag::Int8);
        QTest::newRow("int16") << "300" << int(ValueTag::Int16);
        QTest::newRow("int32") << "-70000" << int(ValueTag::Int32);
        QTest::newRow("int64") << "5000000000" << int(ValueTag::Int64);
        QTest::newRow("extended") << "0.1" << int(ValueTag::Extended);
        QTest::newRow("extended whole") << "2.0" << int(ValueTag::Extended);
        QTest::newRow("extended exponent") << "1.5e-300" << int(ValueTag::Extended);
        QTest::newRow("single") << "0.5S" << int(ValueTag::Single);
        QTest::newRow("currency") << "-12.3456C" << int(ValueTag::Currency);
        QTest::newRow("date") << "45000.25D" << int(ValueTag::Date);
        QTest::newRow("string") << "'It''s'" << int(ValueTag::String);
        QTest::newRow("empty string") << "''" << int(ValueTag::String);
        QTest::newRow("control chars") << "'a'#13#10'b'" << int(ValueTag::String);
        QTest::newRow("long ascii") << ("'" + QString(64, 'x') + "' +\n    '" + QString(64, 'y') + "' +\n    '"
                                        + QString(64, 'z') + "' +\n    '" + QString(64, 'w') + "'")
                                    << int(ValueTag::LString);
        QTest::newRow("wide") << "'Сменить язык'" << int(ValueTag::WString);
        QTest::newRow("ident") << "clBtnFace" << int(ValueTag::Ident);
        QTest::newRow("true") << "True" << int(ValueTag::True);
        QTest::newRow("false") << "False" << int(ValueTag::False);
        QTest::newRow("nil") << "nil" << int(ValueTag::Nil);
        QTest::newRow("null") << "Null" << int(ValueTag::Null);
        QTest::newRow("binary") << "{00FF10}" << int(ValueTag::Binary);
        QTest::newRow("set") << "[akLeft, akTop]" << int(ValueTag::Set);
        QTest::newRow("empty set") << "[]" << int(ValueTag::Set);
        QTest::newRow("list") << "(\n    'a'\n    7\n    (\n      True))" << int(ValueTag::List);
        QTest::newRow("empty list") << "()" << int(ValueTag::List);
        QTest::newRow("collection")
            << "<\n    item\n      Width = 64\n      Title.Caption = 'x'\n    end\n    item [3]\n    end>"
            << int(ValueTag::Collection);
        QTest::newRow("empty collection") << "<>" << int(ValueTag::Collection);
    }
    void everyKindRoundTrips()
    {
        QFETCH(QString, value);
        QFETCH(int, tag);
        const QString text = OneProperty(value);
        const QByteArray binary = LayoutTextToBinary(text);
        QCOMPARE(binary.left(4), QByteArray("TPF0"));
        QCOMPARE(int(quint8(binary[4 + 6 + 5 + 6])), tag);
        QCOMPARE(LayoutBinaryToText(binary), text);
        QCOMPARE(LayoutTextToBinary(LayoutBinaryToText(binary)), binary);
    }

    void treeRoundTrips()
    {
        const QString text = QStringLiteral(
            "object MainForm: TMainForm\n"
            "  Caption = 'Dorel-RPU-SELA'\n"
            "  object Panel1: QFrame\n"
            "    object Help: QPushButton\n"
            "      Caption = 'Help  '\n"
            "    end\n"
            "    object QLabel\n"
            "      Caption = 'unnamed'\n"
            "    end\n"
            "  end\n"
            "  inherited Base: TBase [2]\n"
            "  end\n"
            "  inline Frame1: TFrame1\n"
            "  end\n"
            "end\n");
        const QByteArray binary = LayoutTextToBinary(text);
        QCOMPARE(LayoutBinaryToText(binary), text);
        QCOMPARE(LayoutRootClass(binary), QStringLiteral("TMainForm"));
    }

    void flattenedForChecks()
    {
        const QByteArray binary = LayoutTextToBinary(QStringLiteral(
            "object MainForm: TMainForm\n"
            "  Caption = 'Dorel'\n"
            "  object Panel1: QFrame\n"
            "    object QLabel\n"
            "      Items.Strings = ('a' 'b')\n"
            "      Columns = <item\n Width = 5\n end>\n"
            "    end\n"
            "  end\n"
            "end\n"));
        QStringList flat;
        for (const LayoutValue &v : FlattenLayout(binary))
            flat << QStringLiteral("%1:%2 %3=%4").arg(v.component, v.className, v.property, v.value.toString());
        QCOMPARE(flat, QStringList({"MainForm:TMainForm Caption=Dorel", "MainForm.Panel1:QFrame =",
                                    "MainForm.Panel1.<QLabel>:QLabel Items.Strings[0]=a",
                                    "MainForm.Panel1.<QLabel>:QLabel Items.Strings[1]=b",
                                    "MainForm.Panel1.<QLabel>:QLabel Columns[0].Width=5"}));
    }

    // Forms a translator may type that the writer does not produce itself.
    void looseTextIsRead_data()
    {
        QTest::addColumn<QString>("loose");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("concatenation") << "'ab' +  'c'#$41" << "'abcA'";
        QTest::newRow("unicode code") << "#1057'мена'" << "'Смена'";
        QTest::newRow("set spacing") << "[ a,b ]" << "[a, b]";
        QTest::newRow("binary spread") << "{00 ff\n 10}" << "{00FF10}";
        QTest::newRow("true lower") << "true" << "True";
        QTest::newRow("float no dot") << "3C" << "3.0C";
    }
    void looseTextIsRead()
    {
        QFETCH(QString, loose);
        QFETCH(QString, canonical);
        QCOMPARE(LayoutBinaryToText(LayoutTextToBinary(OneProperty(loose))), OneProperty(canonical));
        const QString unnamed = QStringLiteral("object : TForm // no name\nend");
        QCOMPARE(LayoutBinaryToText(LayoutTextToBinary(unnamed)), QStringLiteral("object TForm\nend\n"));
    }

    // Tags that the text form folds into another: read with the same meaning.
    void otherEncodingsRead_data()
    {
        QTest::addColumn<QByteArray>("tagged");
        QTest::addColumn<QString>("value");
        QTest::newRow("utf8 string") << (QByteArray(1, 20) + Little<qint32>(4) + QByteArray("\xD0\xAF" "ab"))
                                     << "'Яab'";
        QTest::newRow("double") << (QByteArray(1, 21) + Little<double>(0.25)) << "0.25";
        QTest::newRow("small int64") << (QByteArray(1, 19) + Little<qint64>(5)) << "5";
        QTest::newRow("ascii wide") << (QByteArray(1, 18) + Little<qint32>(2) + QByteArray("o\0k\0", 4)) << "'ok'";
    }
    void otherEncodingsRead()
    {
        QFETCH(QByteArray, tagged);
        QFETCH(QString, value);
        QCOMPARE(LayoutBinaryToText(BinaryWithValue(tagged)), OneProperty(value));
    }

    void brokenInputIsReported_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no end") << "object A: B\n  X = 1\n" << "line 3: property name or \"end\" expected";
        QTest::newRow("missing value") << "object A: B\n  X = )\nend" << "line 2: value expected";
        QTest::newRow("open string") << "object A: B\n  X = 'abc\nend" << "line 2: unterminated string";
        QTest::newRow("odd hex") << "object A: B\n  X = {ABC}\nend" << "line 2: odd number of hex digits";
        QTest::newRow("trailing") << "object A: B\nend\nend" << "line 3: text after the last \"end\"";
        QTest::newRow("not object") << "form A: B\nend" << "line 1: \"object\" expected";
        QTest::newRow("too deep") << "object A: B\n  X = " + QString(300, '(') + QString(300, ')') + "\nend"
                                  << "line 2: nested too deeply";
    }
    void brokenInputIsReported()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QCOMPARE(ErrorOf([&] { LayoutTextToBinary(text); }), error);
    }

    void brokenBinaryIsReported_data()
    {
        QTest::addColumn<QByteArray>("binary");
        QTest::addColumn<QString>("error");
        QTest::newRow("tag 22") << BinaryWithValue(QByteArray(1, 22)) << "Unknown value type";
        QTest::newRow("cut short") << BinaryWithValue(QByteArray(1, 4) + "\x01\x02").left(25) << "Stream read error";
        QTest::newRow("no signature") << QByteArray("TPF1") << "Invalid stream format";
        QTest::newRow("too deep") << BinaryWithValue(QByteArray(300, 1) + QByteArray(300, 0)) << "Invalid data";
        QTest::newRow("huge length") << BinaryWithValue(QByteArray(1, 12) + Little<qint32>(0x7FFFFFFF))
                                     << "Stream read error";
    }
    void brokenBinaryIsReported()
    {
        QFETCH(QByteArray, binary);
        QFETCH(QString, error);
        QCOMPARE(ErrorOf([&] { LayoutBinaryToText(binary); }), error);
    }

    void extendedFloats()
    {
        for (double v : {0.0, -0.0, 1.0, -2.5, 0.1, 1e300, 4.9e-324, 2.2250738585072014e-308}) {
            const QByteArray ext = DoubleToExtended(v);
            QCOMPARE(ext.size(), 10);
            const double back = ExtendedToDouble(ext);
            QCOMPARE(std::signbit(back), std::signbit(v));
            QCOMPARE(back, v);
        }
        // 1.0: exponent 0x3FFF, explicit integer bit.
        QCOMPARE(DoubleToExtended(1.0).toHex(), QByteArray("0000000000000080ff3f"));
        QVERIFY(std::isinf(ExtendedToDouble(DoubleToExtended(INFINITY))));
        QVERIFY(std::isnan(ExtendedToDouble(DoubleToExtended(NAN))));
    }
};

QTEST_GUILESS_MAIN(LayoutStreamTest)
#include "tst_layoutstream.moc"
