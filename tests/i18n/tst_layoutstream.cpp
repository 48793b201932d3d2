// Stored layouts: text and binary forms of every value kind, both ways.

#include "i18n/layoutstream.h"

#include <QDir>
#include <QFile>
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
        QTest::newRow("wide") << "#1057#1084#1077#1085#1080#1090#1100' '#1103#1079#1099#1082" << int(ValueTag::WString);
        QTest::newRow("latin-1, DEL and C1") << "'T'#252'rk'#231'e'#127#133" << int(ValueTag::WString);
        QTest::newRow("surrogate pair") << "'x'#55357#56832" << int(ValueTag::WString);
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
        QTest::newRow("unicode code") << "#1057'мена'" << "#1057#1084#1077#1085#1072";
        QTest::newRow("hex") << "$00FF00" << "65280";
        QTest::newRow("hex int32 top") << "$7FFFFFFF" << "2147483647";
        QTest::newRow("hex lower case") << "$ff" << "255";
        QTest::newRow("hex all ones") << "$FFFFFFFFFFFFFFFF" << "-1";
        QTest::newRow("float exponent") << "1.5E300" << "1.5e+300";
        QTest::newRow("single underflows") << "1e-60S" << "0.0S";
        QTest::newRow("set spacing") << "[ a,b ]" << "[a, b]";
        QTest::newRow("binary spread") << "{00 ff\n 10}" << "{00FF10}";
        QTest::newRow("true lower") << "true" << "True";
        QTest::newRow("float no dot") << "3C" << "3.0C";
        QTest::newRow("currency extremes") << "-922337203685477.5808C" << "-922337203685477.5808C";
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
                                     << "#1071'ab'";
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
        QTest::newRow("hex too long") << "object A: B\n  X = $1FFFFFFFFFFFFFFFF\nend"
                                      << "line 2: bad number \"$1FFFFFFFFFFFFFFFF\"";
        QTest::newRow("hex without digits") << "object A: B\n  X = $\nend" << "line 2: bad number \"$\"";
        QTest::newRow("hex with letters") << "object A: B\n  X = $12G\nend" << "line 2: bad number \"$12G\"";
        QTest::newRow("decimal beyond 64 bits") << "object A: B\n  X = 9223372036854775808\nend"
                                                << "line 2: bad number \"9223372036854775808\"";
        QTest::newRow("currency overflow") << "object A: B\n\n  X = 1e300C\nend"
                                           << "line 3: 1e300 is beyond the range of a currency value";
        QTest::newRow("currency just over") << "object A: B\n  X = 922337203685477.5808C\nend"
                                            << "line 2: 922337203685477.5808 is beyond the range of a currency value";
        QTest::newRow("single overflow") << "object A: B\n  X = -1e300S\nend"
                                         << "line 2: -1e300 is beyond the range of a single float";
        QTest::newRow("date overflow") << "object A: B\n  X = 1e400D\nend"
                                       << "line 2: 1e400 is beyond the range of a date";
        QTest::newRow("extended overflow") << "object A: B\n  X = 1e5000\nend"
                                           << "line 2: 1e5000 is beyond the range of an extended float";
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

    // Decimal text keeps the extended float's full 64-bit mantissa, both
    // ways; a double in between would lose 11 bits.
    void extendedKeepsItsPrecision_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("tenBytes");
        QTest::newRow("0.1") << "0.1" << QByteArray("cdccccccccccccccfb3f");
        QTest::newRow("-0.1") << "-0.1" << QByteArray("cdccccccccccccccfbbf");
        QTest::newRow("1/3") << "0.333333333333333333342" << QByteArray("abaaaaaaaaaaaaaafd3f");
        QTest::newRow("2^64 - 1") << "18446744073709551615.0" << QByteArray("ffffffffffffffff3e40");
        QTest::newRow("largest") << "1.18973149535723176502e+4932" << QByteArray("fffffffffffffffffe7f");
        QTest::newRow("smallest subnormal") << "3.6e-4951" << QByteArray("01000000000000000000");
        QTest::newRow("zero") << "0.0" << QByteArray("00000000000000000000");
        QTest::newRow("negative zero") << "-0.0" << QByteArray("00000000000000000080");
    }
    void extendedKeepsItsPrecision()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, tenBytes);
        const QByteArray binary = LayoutTextToBinary(OneProperty(text));
        QCOMPARE(binary.mid(4 + 6 + 5 + 6 + 1, 10).toHex(), tenBytes);
        QCOMPARE(LayoutTextToBinary(LayoutBinaryToText(binary)), binary);
        QCOMPARE(LongDoubleToExtended(ExtendedToLongDouble(QByteArray::fromHex(tenBytes))).toHex(), tenBytes);
    }

    // Pairs made by an independent converter: each text reads into exactly
    // its binary, and each binary written as text reads back into itself.
    void referenceConverterPairs_data()
    {
        QTest::addColumn<QString>("textFile");
        const QDir dir(qEnvironmentVariable("RPU_SOURCE_DIR") + QStringLiteral("/testdata/layout-streams"));
        const QStringList texts = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        QVERIFY2(texts.size() >= 4, qPrintable(dir.path()));
        for (const QString &name : texts)
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    void referenceConverterPairs()
    {
        QFETCH(QString, textFile);
        QFile text(textFile);
        QFile binary(textFile.chopped(4) + QStringLiteral(".bin"));
        QVERIFY(text.open(QIODevice::ReadOnly) && binary.open(QIODevice::ReadOnly));
        const QByteArray expected = binary.readAll();
        QCOMPARE(LayoutTextToBinary(QString::fromUtf8(text.readAll())).toHex(' '), expected.toHex(' '));
        const QString written = LayoutBinaryToText(expected);
        for (QChar c : written) // quoted parts hold printable ASCII only
            QVERIFY2(c == u'\n' || (c >= u' ' && c < QChar(0x7F)), qPrintable(written));
        QCOMPARE(LayoutTextToBinary(written).toHex(' '), expected.toHex(' '));
    }

    // What a module's layout must pass before the program uses it: the whole
    // stream readable, positions and sizes within what a window can take.
    void layoutCheck_data()
    {
        QTest::addColumn<QByteArray>("binary");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("outOfRange");
        const auto text = [](const char *body) {
            return LayoutTextToBinary(QStringLiteral("object F: TF\n") + QLatin1String(body) + QStringLiteral("\nend\n"));
        };
        QTest::newRow("limits") << text("Left = -32768\nTop = 32767\nWidth = 0\nHeight = 32767") << QString() << false;
        QTest::newRow("other whole numbers") << text("Tag = 2147483647\nHelpContext = -9223372036854775807")
                                             << QString() << false;
        QTest::newRow("not a number") << text("Width = 'wide'\nLeft = 1e300") << QString() << false;
        QTest::newRow("width int32 max") << text("Width = 2147483647") << "Width = 2147483647 is out of range (0..32767)"
                                         << true;
        QTest::newRow("left int32 min") << text("Left = -2147483648")
                                        << "Left = -2147483648 is out of range (-32768..32767)" << true;
        QTest::newRow("height huge") << text("Height = 2147483000") << "Height = 2147483000 is out of range (0..32767)"
                                     << true;
        QTest::newRow("negative size") << text("Width = -1") << "Width = -1 is out of range (0..32767)" << true;
        QTest::newRow("position one over") << text("Top = 32768") << "Top = 32768 is out of range (-32768..32767)"
                                           << true;
        QTest::newRow("sub-object") << text("Constraints.Height = 40000")
                                    << "Height = 40000 is out of range (0..32767)" << true;
        QTest::newRow("minimum width") << text("MinimumWidth = 2000000")
                                       << "MinimumWidth = 2000000 is out of range (0..32767)" << true;
        QTest::newRow("qt minimum height") << text("minimumHeight = 40000")
                                           << "minimumHeight = 40000 is out of range (0..32767)" << true;
        QTest::newRow("maximum is free") << text("MaximumWidth = 16777215") << QString() << false;
        QTest::newRow("in a list") << text("Width = (1 2 99999)") << "Width = 99999 is out of range (0..32767)" << true;
        QTest::newRow("before more") << text("Width = 99999\nCaption = 'x'\nobject B: TB\n Caption = 'y'\n end")
                                     << "Width = 99999 is out of range (0..32767)" << true;
        QTest::newRow("in a child") << text("object B: TB\n Left = 70000\n end")
                                    << "Left = 70000 is out of range (-32768..32767)" << true;
        QTest::newRow("in a collection") << text("Columns = <item\n Width = 64\n end\n item\n Width = 100000\n end>")
                                         << "Width = 100000 is out of range (0..32767)" << true;
        QTest::newRow("unknown tag") << BinaryWithValue(QByteArray(1, 22)) << "Unknown value type" << false;
        QTest::newRow("cut short") << BinaryWithValue(QByteArray(1, 4) + "\x01").chopped(2) << "Stream read error"
                                   << false;
        QTest::newRow("no signature") << QByteArray("TPF1") << "Invalid stream format" << false;
    }
    void layoutCheck()
    {
        QFETCH(QByteArray, binary);
        QFETCH(QString, fault);
        QFETCH(bool, outOfRange);
        const auto found = CheckLayout(binary);
        QCOMPARE(found ? found->text : QString(), fault);
        QCOMPARE(found && found->outOfRange, outOfRange);
        if (found && outOfRange) // the offset is that of the value's tag
            QVERIFY(quint8(binary[found->offset]) >= quint8(ValueTag::Int8)
                    && quint8(binary[found->offset]) <= quint8(ValueTag::Int32));
    }

    void faultOffsetsAndLines()
    {
        const QByteArray unknown = BinaryWithValue(QByteArray(1, 22));
        QCOMPARE(CheckLayout(unknown)->offset, qint64(4 + 6 + 5 + 6));
        LayoutLineMap lines;
        const QByteArray binary = LayoutTextToBinary(
            QStringLiteral("object F: TF\n  Caption = 'x'\n  Width =\n    70000\n  object B: TB\n    Left = 1\n  end\nend\n"),
            &lines);
        QCOMPARE(lines.size(), 3);
        const auto fault = CheckLayout(binary);
        QVERIFY(fault);
        QCOMPARE(LineOfOffset(lines, fault->offset), 3);
        QCOMPARE(LineOfOffset(lines, 0), 0);
        QCOMPARE(LineOfOffset(lines, binary.size()), 6);
    }
};

QTEST_GUILESS_MAIN(LayoutStreamTest)
#include "tst_layoutstream.moc"
