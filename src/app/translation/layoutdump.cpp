#include "app/translation/layoutdump.h"

#include "app/translation/widgetlists.h"
#include "i18n/formtranslator.h"
#include "i18n/languagemodule.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>

#include <algorithm>

static void InitLayoutResources()
{
    Q_INIT_RESOURCE(layout);
}

namespace rpu {

namespace {

QString Quote(const QString &text)
{
    QString out;
    bool open = false;
    for (QChar c : text) {
        const bool plain = c.unicode() >= 0x20 && !c.isSurrogate();
        if (plain != open)
            out += QLatin1Char('\'');
        open = plain;
        out += !plain ? QStringLiteral("#%1").arg(c.unicode())
                      : c == QLatin1Char('\'') ? QStringLiteral("''") : QString(c);
    }
    if (open)
        out += QLatin1Char('\'');
    return out.isEmpty() ? QStringLiteral("''") : out;
}

// Numbers, dashes and the like need no translation.
bool HasWords(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

bool AllNumbers(const QStringList &items)
{
    return std::none_of(items.begin(), items.end(), HasWords);
}

// Radio buttons whose captions go as their group box's item list.
bool InRadioGroup(const QWidget *w)
{
    const auto *radio = qobject_cast<const QRadioButton *>(w);
    return radio && radio->group() && qobject_cast<const QGroupBox *>(radio->parentWidget());
}

QStringList ItemsOf(const QWidget *w, QString &property)
{
    QStringList items;
    property = QStringLiteral("Items.Strings");
    if (const auto *combo = qobject_cast<const QComboBox *>(w)) {
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    } else if (const auto *list = qobject_cast<const QListWidget *>(w)) {
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
    } else if (const auto *tabs = qobject_cast<const QTabWidget *>(w)) {
        property = QStringLiteral("Tabs.Strings");
        for (int i = 0; i < tabs->count(); ++i)
            items << tabs->tabText(i);
    } else if (const auto *box = qobject_cast<const QGroupBox *>(w)) {
        const auto radios = box->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
        if (!radios.isEmpty() && radios.first()->group()) {
            for (QAbstractButton *b : radios.first()->group()->buttons())
                items << b->text();
        }
    }
    return items;
}

QString ClassOf(const QObject *w)
{
    return QString::fromLatin1(w->metaObject()->className()).section(QLatin1String("::"), -1);
}

bool Unnamed(const QObject *w)
{
    return w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"));
}

class Dumper {
public:
    QString out;
    bool rootValues = true;

    void Entry(const QWidget *w, const QString &name, const QString &className, int depth, bool root)
    {
        const QString pad(depth * 2, QLatin1Char(' '));
        out += pad + QStringLiteral("object ") + name + QStringLiteral(": ") + className + QLatin1Char('\n');
        if (!root || rootValues)
            Values(w, pad + QStringLiteral("  "));
        Children(w, depth + 1);
        out += pad + QStringLiteral("end\n");
    }

    void Values(const QWidget *w, const QString &pad)
    {
        QString caption;
        if (const auto *label = qobject_cast<const QLabel *>(w))
            caption = label->text();
        else if (const auto *button = qobject_cast<const QAbstractButton *>(w); button && !InRadioGroup(w))
            caption = button->text();
        else if (const auto *box = qobject_cast<const QGroupBox *>(w))
            caption = box->title();
        else if (w->isWindow())
            caption = w->windowTitle();
        if (HasWords(caption))
            out += pad + QStringLiteral("Caption = ") + Quote(caption) + QLatin1Char('\n');
        if (!w->toolTip().isEmpty())
            out += pad + QStringLiteral("Hint = ") + Quote(w->toolTip()) + QLatin1Char('\n');
        QString property;
        const QStringList items = ItemsOf(w, property);
        if (!items.isEmpty() && !AllNumbers(items)) {
            out += pad + property + QStringLiteral(" = (");
            for (const QString &item : items)
                out += QLatin1Char('\n') + pad + QStringLiteral("  ") + Quote(item);
            out += QStringLiteral(")\n");
        }
    }

    // Named widgets below w, skipping unnamed ones in between.
    void Children(const QObject *parent, int depth)
    {
        for (const QObject *child : parent->children()) {
            const auto *w = qobject_cast<const QWidget *>(child);
            if (!w)
                continue;
            if (Unnamed(w)) {
                Children(w, depth);
                continue;
            }
            Keep([&] { Entry(w, w->objectName(), ClassOf(w), depth, false); });
        }
    }

    template <typename F> void Keep(F entry)
    {
        const int before = int(out.size());
        entry();
        // An entry with nothing to translate in it or below it is noise.
        if (!out.mid(before).contains(QLatin1Char('=')))
            out.truncate(before);
    }
};

} // namespace

void NameTranslatableControls(QWidget &window)
{
    NameTranslatableControls(window, window);
}

void NameTranslatableControls(QWidget &window, QWidget &part)
{
    QHash<const QObject *, int> counts;
    for (QWidget *w : part.findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty())
            continue;
        Dumper values;
        values.Values(w, QString());
        if (values.out.isEmpty())
            continue;
        const QObject *owner = w->parent();
        while (owner != &window && owner->objectName().isEmpty())
            owner = owner->parent();
        const QString prefix = owner == &window ? QStringLiteral("Form") : owner->objectName();
        w->setObjectName(QStringLiteral("%1_%2%3").arg(prefix, ClassOf(w)).arg(++counts[owner]));
    }
}

QString DumpWindowLayout(const QWidget &window, const QString &name, const QString &className, bool rootValues)
{
    Dumper dumper;
    dumper.rootValues = rootValues;
    dumper.Entry(&window, name, className, 0, true);
    return dumper.out;
}

QStringList BuiltinRussianLayouts()
{
    InitLayoutResources();
    QFile file(QStringLiteral(":/layout/ru.layout"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // One window after the other; each ends with an "end" at the margin.
    // Read at every start: cut from the text in place, line by line.
    const QString text = QString::fromUtf8(file.readAll());
    QStringList layouts;
    qsizetype window = -1; // where the window being read began
    for (qsizetype at = 0; at < text.size();) {
        qsizetype next = text.indexOf(QLatin1Char('\n'), at);
        if (next < 0)
            next = text.size();
        const QStringView line = QStringView(text).sliced(at, next - at);
        if (window < 0 && !line.trimmed().isEmpty())
            window = at;
        if (window >= 0 && line.trimmed() == QLatin1String("end") && !line.startsWith(QLatin1Char(' '))) {
            layouts << text.sliced(window, next - window) + QLatin1Char('\n');
            window = -1;
        }
        at = next + 1;
    }
    return layouts;
}

QString ApplyBuiltinLayout(QWidget &window)
{
    static const LayoutSet builtin = [] {
        RegisterWidgetListHandlers();
        LayoutSet set;
        for (const QString &layout : BuiltinRussianLayouts())
            set.AddText(layout);
        return set;
    }();
    return TranslateForms(builtin, {&window});
}

} // namespace rpu
