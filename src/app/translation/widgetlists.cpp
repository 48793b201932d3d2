#include "app/translation/widgetlists.h"

#include "i18n/formtranslator.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>

namespace rpu {

namespace {

// The button group of a group box's own radio buttons; null when they have none.
QButtonGroup *RadioItems(QObject *obj)
{
    auto *box = qobject_cast<QGroupBox *>(obj);
    if (!box)
        return nullptr;
    const auto buttons = box->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    return buttons.isEmpty() ? nullptr : buttons.first()->group();
}

struct ComboBoxList {
    static constexpr const char *kPath = "Items";
    static QComboBox *Of(QObject *obj) { return qobject_cast<QComboBox *>(obj); }
    static int Count(QComboBox *w) { return w->count(); }
    static QString Text(QComboBox *w, int i) { return w->itemText(i); }
    static void SetText(QComboBox *w, int i, const QString &text) { w->setItemText(i, text); }
    static int Selected(QComboBox *w) { return w->currentIndex(); }
    static void Select(QComboBox *w, int i) { w->setCurrentIndex(i); }
};

struct ListBoxList {
    static constexpr const char *kPath = "Items";
    static QListWidget *Of(QObject *obj) { return qobject_cast<QListWidget *>(obj); }
    static int Count(QListWidget *w) { return w->count(); }
    static QString Text(QListWidget *w, int i) { return w->item(i)->text(); }
    static void SetText(QListWidget *w, int i, const QString &text) { w->item(i)->setText(text); }
    static int Selected(QListWidget *w) { return w->currentRow(); }
    static void Select(QListWidget *w, int i) { w->setCurrentRow(i); }
};

struct RadioGroupList {
    static constexpr const char *kPath = "Items";
    static QButtonGroup *Of(QObject *obj) { return RadioItems(obj); }
    static int Count(QButtonGroup *g) { return int(g->buttons().size()); }
    static QString Text(QButtonGroup *g, int i) { return g->buttons().at(i)->text(); }
    static void SetText(QButtonGroup *g, int i, const QString &text) { g->buttons().at(i)->setText(text); }
    static int Selected(QButtonGroup *g) { return int(g->buttons().indexOf(g->checkedButton())); }
    static void Select(QButtonGroup *g, int i)
    {
        if (i >= 0 && i < g->buttons().size())
            g->buttons().at(i)->setChecked(true);
    }
};

struct TabCaptionList {
    static constexpr const char *kPath = "Tabs";
    static QTabWidget *Of(QObject *obj) { return qobject_cast<QTabWidget *>(obj); }
    static int Count(QTabWidget *w) { return w->count(); }
    static QString Text(QTabWidget *w, int i) { return w->tabText(i); }
    static void SetText(QTabWidget *w, int i, const QString &text) { w->setTabText(i, text); }
    static int Selected(QTabWidget *w) { return w->currentIndex(); }
    static void Select(QTabWidget *w, int i) { w->setCurrentIndex(i); }
};

// One handler per kind of list; the registry tells them apart by type.
template <typename List> class WidgetStrings final : public TStringsModule {
public:
    bool CanTranslate(const QObject *obj) const override { return Of(obj); }

protected:
    int Count(const QObject *obj, const QString &path) const override
    {
        const QString list = QLatin1String(List::kPath);
        return path == list || path == list + QLatin1String(".Strings") ? List::Count(Of(obj)) : -1;
    }
    QString Text(const QObject *obj, const QString &, int index) const override { return List::Text(Of(obj), index); }
    void SetText(QObject *obj, const QString &, int index, const QString &text) override
    {
        List::SetText(Of(obj), index, text);
    }
    int Selected(const QObject *obj) const override { return List::Selected(Of(obj)); }
    void Select(QObject *obj, int index) override
    {
        // Not a user's choice: a page change here would run the page logic
        // (on-line, a link renewal).
        const QSignalBlocker blocker(obj);
        List::Select(Of(obj), index);
    }

private:
    static auto Of(const QObject *obj) { return List::Of(const_cast<QObject *>(obj)); }
};

} // namespace

void RegisterWidgetListHandlers()
{
    TTranslatorModules &modules = TranslatorModules();
    modules.Register<WidgetStrings<ComboBoxList>>();
    modules.Register<WidgetStrings<ListBoxList>>();
    modules.Register<WidgetStrings<RadioGroupList>>();
    modules.Register<WidgetStrings<TabCaptionList>>();
}

} // namespace rpu
