#include "i18n/formtranslator.h"

#include <QMetaEnum>
#include <QRect>
#include <limits>

namespace rpu {

// ---------------------------------------------------------------- properties

namespace {

struct Alias {
    const char *layoutName;
    const char *qtNames[3];
    int rectPart;
};

const Alias kAliases[] = {
    {"Caption", {"text", "title", "windowTitle"}, -1},
    {"Hint", {"toolTip", nullptr, nullptr}, -1},
    {"Left", {"geometry", nullptr, nullptr}, 0},
    {"Top", {"geometry", nullptr, nullptr}, 1},
    {"Width", {"geometry", nullptr, nullptr}, 2},
    {"Height", {"geometry", nullptr, nullptr}, 3},
};

QMetaProperty QtProperty(const QObject *obj, const QString &name)
{
    const QMetaObject *meta = obj->metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    return index >= 0 ? meta->property(index) : QMetaProperty();
}

// Inclusive range of a whole-number property type; nothing for other types.
std::optional<std::pair<qint64, qint64>> IntegerRange(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::Long:
        return std::pair<qint64, qint64>(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    case QMetaType::UInt:
    case QMetaType::ULong:
        return std::pair<qint64, qint64>(0, std::numeric_limits<quint32>::max());
    case QMetaType::Short:
        return std::pair<qint64, qint64>(-32768, 32767);
    case QMetaType::UShort:
        return std::pair<qint64, qint64>(0, 65535);
    case QMetaType::Char:
    case QMetaType::SChar:
        return std::pair<qint64, qint64>(-128, 127);
    case QMetaType::UChar:
        return std::pair<qint64, qint64>(0, 255);
    case QMetaType::LongLong:
        return std::pair<qint64, qint64>(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    case QMetaType::ULongLong:
        return std::pair<qint64, qint64>(0, std::numeric_limits<qint64>::max());
    default:
        return std::nullopt;
    }
}

int RectPart(const QRect &r, int part)
{
    switch (part) {
    case 0:
        return r.x();
    case 1:
        return r.y();
    case 2:
        return r.width();
    default:
        return r.height();
    }
}

} // namespace

std::optional<PropertyHandle> PropertyHandle::Find(QObject *obj, const QString &layoutName)
{
    if (!obj)
        return std::nullopt;
    PropertyHandle handle;
    handle.obj_ = obj;
    for (const Alias &alias : kAliases) {
        if (layoutName != QLatin1String(alias.layoutName))
            continue;
        for (const char *qtName : alias.qtNames) {
            if (!qtName)
                break;
            handle.meta_ = QtProperty(obj, QLatin1String(qtName));
            if (handle.meta_.isValid() && handle.meta_.isWritable()
                && (alias.rectPart < 0 || handle.meta_.metaType().id() == QMetaType::QRect)) {
                handle.rectPart_ = alias.rectPart;
                return handle;
            }
        }
        return std::nullopt;
    }
    QString name = layoutName;
    for (int attempt = 0; attempt < 2; ++attempt) {
        handle.meta_ = QtProperty(obj, name);
        // Sub-objects are followed, never replaced, so they need no setter.
        if (handle.meta_.isValid()
            && (handle.meta_.isWritable() || (handle.meta_.metaType().flags() & QMetaType::PointerToQObject)))
            return handle;
        if (name.isEmpty() || name[0].isLower())
            break;
        name[0] = name[0].toLower();
    }
    return std::nullopt;
}

PropertyKind PropertyHandle::Kind() const
{
    if (rectPart_ >= 0)
        return PropertyKind::Integer;
    if (meta_.isEnumType())
        return meta_.isFlagType() ? PropertyKind::Other : PropertyKind::Enum;
    const QMetaType type = meta_.metaType();
    if (type.flags() & QMetaType::PointerToQObject)
        return PropertyKind::Object;
    switch (type.id()) {
    case QMetaType::Bool:
        return PropertyKind::Bool;
    case QMetaType::Double:
    case QMetaType::Float:
        return PropertyKind::Float;
    case QMetaType::QString:
        return PropertyKind::Text;
    default:
        return IntegerRange(type.id()) ? PropertyKind::Integer : PropertyKind::Other;
    }
}

std::optional<std::pair<qint64, qint64>> PropertyHandle::Range() const
{
    if (rectPart_ >= 0)
        return rectPart_ < 2 ? std::pair<qint64, qint64>(kMinLayoutPosition, kMaxLayoutPosition)
                             : std::pair<qint64, qint64>(0, kMaxLayoutSize);
    if (GeometryKindOf(QString::fromLatin1(meta_.name())) == GeometryKind::Size)
        return std::pair<qint64, qint64>(0, kMaxLayoutSize);
    return IntegerRange(meta_.metaType().id());
}

QVariant PropertyHandle::Read() const
{
    const QVariant value = meta_.read(obj_);
    if (rectPart_ >= 0)
        return RectPart(value.toRect(), rectPart_);
    return value;
}

bool PropertyHandle::Write(const QVariant &value) const
{
    if (rectPart_ < 0)
        return meta_.write(obj_, value);
    QRect r = meta_.read(obj_).toRect();
    const int v = value.toInt();
    switch (rectPart_) {
    case 0:
        r.moveLeft(v);
        break;
    case 1:
        r.moveTop(v);
        break;
    case 2:
        r.setWidth(v);
        break;
    default:
        r.setHeight(v);
    }
    return meta_.write(obj_, r);
}

// ---------------------------------------------------------------- handlers

TranslatorSettings &TranslationSettings()
{
    static TranslatorSettings settings;
    return settings;
}

bool TTranslatorModule::IgnoreProperty(QObject *component, QObject *obj, const QString &propertyPath,
                                       const QVariant &current, const QVariant &value)
{
    bool cancel = false;
    if (const auto &hook = TranslationSettings().onBeforeTranslate)
        hook(component, obj, propertyPath, current, value, cancel);
    return cancel;
}

void TTranslatorModule::AfterTranslate(QObject *component, QObject *obj, const QString &propertyPath)
{
    if (const auto &hook = TranslationSettings().onAfterTranslate)
        hook(component, obj, propertyPath);
}

namespace {
QMetaProperty ListProperty(const QObject *obj, const QString &propertyPath)
{
    QString name = propertyPath.section(QLatin1Char('.'), 0, 0);
    if (name.isEmpty())
        return {};
    name[0] = name[0].toLower();
    const QMetaProperty prop = QtProperty(obj, name);
    return prop.isValid() && prop.isWritable() && prop.metaType().id() == QMetaType::QStringList ? prop
                                                                                                : QMetaProperty();
}
} // namespace

bool TStringsModule::CanTranslate(const QObject *obj) const
{
    const QMetaObject *meta = obj->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (meta->property(i).metaType().id() == QMetaType::QStringList && meta->property(i).isWritable())
            return true;
    }
    return false;
}

int TStringsModule::Count(const QObject *obj, const QString &propertyPath) const
{
    const QMetaProperty prop = ListProperty(obj, propertyPath);
    return prop.isValid() ? int(prop.read(obj).toStringList().size()) : -1;
}

QString TStringsModule::Text(const QObject *obj, const QString &propertyPath, int index) const
{
    return ListProperty(obj, propertyPath).read(obj).toStringList().value(index);
}

void TStringsModule::SetText(QObject *obj, const QString &propertyPath, int index, const QString &text)
{
    const QMetaProperty prop = ListProperty(obj, propertyPath);
    QStringList list = prop.read(obj).toStringList();
    list[index] = text;
    prop.write(obj, list);
}

int TStringsModule::Selected(const QObject *obj) const
{
    const QMetaProperty prop = QtProperty(obj, QStringLiteral("currentIndex"));
    return prop.isValid() ? prop.read(obj).toInt() : -1;
}

void TStringsModule::Select(QObject *obj, int index)
{
    const QMetaProperty prop = QtProperty(obj, QStringLiteral("currentIndex"));
    if (prop.isValid() && prop.isWritable())
        prop.write(obj, index);
}

void TStringsModule::Translate(QObject *component, QObject *obj, const QString &propertyPath,
                               const QVariant &value, int index)
{
    if (index < 0 || index >= Count(obj, propertyPath))
        return;
    const QString text = value.toString();
    if (IgnoreProperty(component, obj, propertyPath, Text(obj, propertyPath, index), text))
        return;
    // Replacing an item may move the selection in some controls.
    const int selected = Selected(obj);
    SetText(obj, propertyPath, index, text);
    if (Selected(obj) != selected)
        Select(obj, selected);
    AfterTranslate(component, obj, propertyPath);
}

void TTranslatorModules::Register(std::unique_ptr<TTranslatorModule> module)
{
    const TTranslatorModule &added = *module;
    for (const auto &existing : modules_) {
        const TTranslatorModule &known = *existing;
        if (typeid(known) == typeid(added))
            return;
    }
    modules_.push_back(std::move(module));
}

TTranslatorModule *TTranslatorModules::CanTranslate(const QObject *obj) const
{
    for (const auto &module : modules_) {
        if (module->CanTranslate(obj))
            return module.get();
    }
    return nullptr;
}

TTranslatorModules &TranslatorModules()
{
    static TTranslatorModules modules = [] {
        TTranslatorModules m;
        m.Register<TStringsModule>();
        return m;
    }();
    return modules;
}

// ---------------------------------------------------------------- translator

namespace {

// Layouts name classes without their C++ namespace ("TMainForm" for
// rpu::TMainForm): the text form has no "::".
QString LayoutClassName(const QMetaObject *meta)
{
    const QString name = QString::fromLatin1(meta->className());
    const qsizetype colon = name.lastIndexOf(QLatin1String("::"));
    return colon < 0 ? name : name.mid(colon + 2);
}

PropertyKind StoredKind(ValueTag tag)
{
    switch (tag) {
    case ValueTag::Int8:
    case ValueTag::Int16:
    case ValueTag::Int32:
        return PropertyKind::Integer;
    case ValueTag::Extended:
    case ValueTag::Single:
    case ValueTag::Double:
        return PropertyKind::Float;
    case ValueTag::Currency:
        return PropertyKind::Currency;
    case ValueTag::String:
    case ValueTag::LString:
    case ValueTag::WString:
    case ValueTag::Utf8String:
    case ValueTag::Binary:
        return PropertyKind::Text;
    case ValueTag::False:
    case ValueTag::True:
        return PropertyKind::Bool;
    case ValueTag::Ident:
        return PropertyKind::Enum;
    default:
        return PropertyKind::None;
    }
}

// What a stored value stands for, or invalid for none.
QVariant UsedValue(ValueTag tag, const QVariant &raw)
{
    switch (tag) {
    case ValueTag::Binary:
        return QString::fromLatin1(raw.toByteArray());
    case ValueTag::Date:
    case ValueTag::Int64:
    case ValueTag::Null:
    case ValueTag::Nil:
        return {};
    default:
        return raw;
    }
}

bool SameValue(PropertyKind kind, const QVariant &current, const QVariant &stored)
{
    switch (kind) {
    case PropertyKind::Integer:
    case PropertyKind::Enum:
        return current.toLongLong() == stored.toLongLong();
    case PropertyKind::Float:
        return current.toDouble() == stored.toDouble();
    case PropertyKind::Bool:
        return current.toBool() == stored.toBool();
    case PropertyKind::Text:
        return current.toString() == stored.toString();
    default:
        return current == stored;
    }
}

} // namespace

TFormTranslator::TFormTranslator(const LayoutSource &source, bool translateLayout)
    : source_(source), FTranslateLayout(translateLayout)
{
}

TFormTranslator::~TFormTranslator() = default;

void TFormTranslator::TranslateForms(const LayoutSource &source, const QList<QObject *> &windows,
                                     bool translateLayout)
{
    TFormTranslator translator(source, translateLayout);
    for (QObject *window : windows) {
        if (window)
            translator.TranslateForm(window);
    }
}

void TFormTranslator::TranslateForm(QObject *window)
{
    Translate(window);
}

void TFormTranslator::Translate(QObject *component)
{
    QStringList classes;
    for (const QMetaObject *meta = component->metaObject(); meta; meta = meta->superClass()) {
        const QString name = LayoutClassName(meta);
        if (source_.Layout(name).isEmpty())
            break;
        classes.prepend(name);
    }
    for (const QString &name : classes)
        DoTranslate(component, name);
}

void TFormTranslator::DoTranslate(QObject *component, const QString &className)
{
    LayoutReader reader(source_.Layout(className));
    if (!reader.ReadSignature())
        return;
    FReader = &reader;
    FHost = component;
    try {
        ProcessComponent(nullptr, true);
    } catch (...) {
        FReader = nullptr;
        throw;
    }
    FReader = nullptr;
}

QObject *TFormTranslator::FindComponent(QObject *parent, const QString &className, const QString &name)
{
    if (!name.isEmpty()) {
        if (QObject *own = parent->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
            return own;
        return FHost->findChild<QObject *>(name);
    }
    const int n = int(FUnnamedTypes.count(className));
    FUnnamedTypes << className;
    const auto nth = [&](const QList<QObject *> &candidates) -> QObject * {
        int seen = 0;
        for (QObject *c : candidates) {
            if (c->objectName().isEmpty() && LayoutClassName(c->metaObject()) == className
                && seen++ == n)
                return c;
        }
        return nullptr;
    };
    if (QObject *own = nth(parent->children()))
        return own;
    return nth(FHost->findChildren<QObject *>());
}

void TFormTranslator::ProcessComponent(QObject *parent, bool root)
{
    const DepthGuard guard(FReader->Depth(), QStringLiteral("Invalid data"));
    const EntryHeader entry = FReader->ReadEntryHeader();
    QObject *live = nullptr;
    if (root)
        live = FHost;
    else if (parent)
        live = FindComponent(parent, entry.className, entry.name);
    else if (entry.name.isEmpty())
        FUnnamedTypes << entry.className; // counted even when its parent is missing
    FCurrent = live;
    QObject *target = InScope(live) ? live : nullptr;
    while (!FReader->EndOfList())
        ProcessProperty(target);
    while (!FReader->EndOfList())
        ProcessComponent(live, false);
}

bool TFormTranslator::InScope(const QObject *object) const
{
    if (!FScope)
        return true;
    for (; object; object = object->parent()) {
        if (object == FScope)
            return true;
    }
    return false;
}

void TFormTranslator::ProcessProperty(QObject *object)
{
    FName = FReader->ReadShortString();
    FPropertyName = FName;
    FObj = object;
    FSubName.clear();
    FPropInfo = PropertyHandle::Find(object, FName);
    if (!FPropInfo && object && FName.contains(QLatin1Char('.'))) {
        const QStringList parts = FName.split(QLatin1Char('.'));
        QObject *step = object;
        for (qsizetype i = 0; step && i + 1 < parts.size(); ++i) {
            const auto prop = PropertyHandle::Find(step, parts[i]);
            step = prop && prop->Kind() == PropertyKind::Object ? prop->Read().value<QObject *>() : nullptr;
        }
        if (step) {
            FObj = step;
            FSubName = parts.last();
            FPropInfo = PropertyHandle::Find(step, FSubName);
        }
    }
    ProcessPropertyValue();
}

void TFormTranslator::ProcessPropertyValue()
{
    const DepthGuard guard(FReader->Depth(), QStringLiteral("Invalid data"));
    const ValueTag tag = FReader->ReadTag();
    switch (tag) {
    case ValueTag::List:
        ProcessList();
        return;
    case ValueTag::Collection:
        ProcessCollection();
        return;
    case ValueTag::Set:
        while (!FReader->ReadShortString().isEmpty()) {
        }
        return;
    default:
        break;
    }
    const QVariant value = UsedValue(tag, FReader->ReadScalar(tag));
    if (value.isValid())
        Apply(tag, value);
}

void TFormTranslator::ProcessList()
{
    FIndex = 0;
    while (!FReader->EndOfList()) {
        ProcessPropertyValue();
        ++FIndex;
    }
}

void TFormTranslator::ProcessCollection()
{
    if (FPropInfo && FPropInfo->Kind() != PropertyKind::Object)
        throw LayoutError(QStringLiteral("Invalid data"));
    QObject *collection = FPropInfo ? FPropInfo->Read().value<QObject *>() : nullptr;
    const QObjectList items = collection ? collection->children() : QObjectList();
    for (qsizetype i = 0; FReader->NextCollectionItem(); ++i) {
        QObject *item = i < items.size() ? items[i] : nullptr;
        while (!FReader->EndOfList())
            ProcessProperty(item);
    }
}

void TFormTranslator::Apply(ValueTag tag, const QVariant &value)
{
    if (FPropInfo) {
        SetPropValue(tag, value);
        return;
    }
    if (!FObj || tag == ValueTag::Ident)
        return;
    if (TTranslatorModule *module = TranslatorModules().CanTranslate(FObj))
        module->Translate(FCurrent, FObj, FPropertyName, value, FIndex);
}

bool TFormTranslator::Excluded(PropertyKind kind) const
{
    const auto &settings = TranslationSettings();
    const auto &kinds = settings.translatedProperties;
    if (!kinds.empty() && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()
        && FName != QLatin1String("Charset") && !(FTranslateLayout && kind == PropertyKind::Integer))
        return true;
    if (FObj == FHost) {
        static const QStringList kWindowPlace = {QStringLiteral("Position"), QStringLiteral("Left"),
                                                 QStringLiteral("Top")};
        return !settings.formPositionTranslationEnabled && kWindowPlace.contains(FName);
    }
    return FName == QLatin1String("ConnectionString");
}

void TFormTranslator::SetPropValue(ValueTag tag, const QVariant &value)
{
    const QString className = LayoutClassName(FObj->metaObject());
    try {
        const PropertyKind kind = FPropInfo->Kind();
        QVariant stored = value;
        const PropertyKind storedKind = StoredKind(tag);
        if (tag == ValueTag::Ident) {
            // An identifier stands for an enumeration value; nothing else here.
            if (kind != PropertyKind::Enum)
                return;
            bool ok = false;
            const int v = FPropInfo->Meta().enumerator().keyToValue(value.toString().toLatin1().constData(), &ok);
            if (!ok)
                return;
            stored = v;
        }
        const QVariant current = FPropInfo->Read();
        if (storedKind != kind || SameValue(kind, current, stored))
            return;
        bool cancel = Excluded(kind);
        if (const auto &hook = TranslationSettings().onBeforeTranslate)
            hook(FHost, FObj, FName, current, stored, cancel);
        if (cancel)
            return;
        if (kind == PropertyKind::Integer) {
            const auto range = FPropInfo->Range();
            const qint64 v = stored.toLongLong();
            if (range && (v < range->first || v > range->second))
                throw LayoutError(QStringLiteral("Range check error"));
        }
        if (!FPropInfo->Write(stored))
            throw LayoutError(QStringLiteral("Invalid property value"));
        if (const auto &hook = TranslationSettings().onAfterTranslate)
            hook(FCurrent, FObj, FName);
    } catch (const LayoutError &e) {
        throw LayoutError(QStringLiteral("Could not translate %1.%2: %3").arg(className, FName, e.message()));
    }
}

QString TranslateForms(const LayoutSource &source, const QList<QObject *> &windows, bool translateLayout)
{
    try {
        TFormTranslator::TranslateForms(source, windows, translateLayout);
    } catch (const LayoutError &e) {
        return e.message();
    }
    return {};
}

QString TranslateWindowPart(const LayoutSource &source, QObject *window, QObject *part)
{
    try {
        TFormTranslator translator(source);
        translator.LimitTo(part);
        translator.TranslateForm(window);
    } catch (const LayoutError &e) {
        return e.message();
    }
    return {};
}

} // namespace rpu
