#pragma once
// Stored window layouts: the binary component stream ("TPF0", tagged values)
// and its text form (object Name: Class ... end), both directions.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <stdexcept>
#include <utility>

namespace rpu {

inline constexpr char kLayoutSignature[] = "TPF0";

enum class ValueTag : quint8 {
    Null = 0,
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    Ident = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
    LString = 12,
    Nil = 13,
    Collection = 14,
    Single = 15,
    Currency = 16,
    Date = 17,
    WString = 18,
    Int64 = 19,
    Utf8String = 20,
    Double = 21,
};
inline constexpr int kLastValueTag = 21;

// Prefix flags of a component entry.
enum ComponentFlag : int { kInherited = 1, kChildPos = 2, kInline = 4 };

// A layout that cannot be read or written; message() is the text shown.
class LayoutError : public std::runtime_error {
public:
    explicit LayoutError(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString message() const { return text_; }

private:
    QString text_;
};

// Nesting of entries, lists and collections allowed in a layout; deeper
// input is refused rather than allowed to exhaust the stack.
inline constexpr int kMaxLayoutDepth = 200;

class DepthGuard {
public:
    DepthGuard(int &depth, const QString &error) : depth_(depth)
    {
        if (depth_ >= kMaxLayoutDepth)
            throw LayoutError(error);
        ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;

private:
    int &depth_;
};

// Currency values keep their scaled integer (value x 10000) so they never
// pass for a floating number.
struct CurrencyValue {
    qint64 scaled = 0;
    bool operator==(const CurrencyValue &) const = default;
};

// The start of a component entry.
struct EntryHeader {
    int flags = 0;      // ComponentFlag bits
    int childPos = -1;  // with kChildPos
    QString className;
    QString name;       // empty for an unnamed component
};

// Sequential reader of the binary stream. Every read past the end throws
// "Stream read error"; a tag over 21 throws "Unknown value type".
class LayoutReader {
public:
    explicit LayoutReader(QByteArray data) : data_(std::move(data)) {}

    bool ReadSignature();
    bool AtEnd() const { return pos_ >= data_.size(); }
    quint8 PeekByte() const;
    quint8 ReadByte();
    QByteArray ReadBytes(qint64 count);
    QString ReadShortString();
    // True (and consumed) when the next byte is the end marker of a list.
    bool EndOfList();
    ValueTag ReadTag();
    ValueTag PeekTag() const;
    // Prefix flags and child position of a component entry (0 and -1 when absent).
    void ReadPrefix(int &flags, int &childPos);
    // Prefix, class name and component name.
    EntryHeader ReadEntryHeader();
    // A whole number given with its own tag (int8/16/32/64).
    qint64 ReadInteger();
    // The payload of a scalar tag: qint64, double, QString, QByteArray, bool,
    // CurrencyValue; invalid for null and nil. Lists, sets and collections are
    // the caller's.
    QVariant ReadScalar(ValueTag tag);
    // Starts the next item of a collection: false (and consumed) at the end
    // marker; otherwise reads the item's optional index (-1 when absent) and
    // its list tag.
    bool NextCollectionItem(qint64 *index = nullptr);
    // Skips one whole value, tag included.
    void SkipValue();
    // Nesting level for DepthGuard, shared by everything reading this stream.
    int &Depth() { return depth_; }
    // Offset of the next byte to read.
    qint64 Pos() const { return pos_; }

private:
    int depth_ = 0;
    template <typename T> T ReadLittle();
    QByteArray data_;
    qint64 pos_ = 0;
};

// Where each property of a layout in text form starts in its binary stream:
// (offset of the property name, line of the text), in stream order.
using LayoutLineMap = QList<std::pair<qint64, int>>;
// The line of the text that wrote the byte at an offset; 0 when unknown.
int LineOfOffset(const LayoutLineMap &lines, qint64 offset);

// Text form to binary stream. Throws LayoutError("line N: ...") on bad text:
// also for a number that does not fit its kind (an integer beyond 64 bits, a
// float beyond its type's range).
QByteArray LayoutTextToBinary(const QString &text, LayoutLineMap *lines = nullptr);
// Binary stream to text form. Throws LayoutError on a broken stream.
QString LayoutBinaryToText(const QByteArray &binary);
// A text made of one string literal ('...' parts, #nnn codes, "+").
bool ParseStringLiteral(const QString &text, QString &out);
// The class name of the root entry, or empty when the stream has none.
QString LayoutRootClass(const QByteArray &binary);

// One value of a layout, flattened for checks: the component's name path
// ("Panel1.Help"; unnamed components as "<Class>"), its class, and the
// property path with list and collection positions ("Items.Strings[2]",
// "Columns[0].Width"). A component without properties gives one entry with
// an empty property. Sets, lists and collections give their elements only.
struct LayoutValue {
    QString component;
    QString className;
    QString property;
    ValueTag tag = ValueTag::Null;
    QVariant value;
};
// Throws LayoutError on a broken stream.
QList<LayoutValue> FlattenLayout(const QByteArray &binary);

// Positions and sizes a layout may give a control. Larger ones overflow the
// window system's arithmetic or make it allocate without end.
inline constexpr qint64 kMinLayoutPosition = -32768;
inline constexpr qint64 kMaxLayoutPosition = 32767;
inline constexpr qint64 kMaxLayoutSize = 32767;

// Property names (first letter in either case) that place or size a
// control: Left and Top; Width, Height and the minimum sizes.
enum class GeometryKind { None, Position, Size };
GeometryKind GeometryKindOf(const QString &name);

// Why a layout cannot be used as it stands.
struct LayoutFault {
    qint64 offset = 0; // of the byte or value at fault
    QString text;
    bool outOfRange = false; // the stream reads, but a value is beyond its range
};
// Reads the whole stream as a translation does, and checks positions and
// sizes (GeometryKindOf, also inside lists and collections) against
// the limits above. Nothing when the layout is sound. This is the check a
// language module's layouts pass when the module is read.
std::optional<LayoutFault> CheckLayout(const QByteArray &binary);

// 80-bit extended floats of the stream, little-endian.
QByteArray DoubleToExtended(double value);
double ExtendedToDouble(const QByteArray &tenBytes);
QByteArray LongDoubleToExtended(long double value);
long double ExtendedToLongDouble(const QByteArray &tenBytes);

} // namespace rpu

Q_DECLARE_METATYPE(rpu::CurrencyValue)
