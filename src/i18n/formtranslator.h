#pragma once
// Re-translation of live windows from a stored layout: components matched by
// name (or unnamed position), values applied through the meta-object system
// when their kind matches and they differ.

#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <typeinfo>
#include <vector>

namespace rpu {


enum class PropertyKind { None, Integer, Float, Currency, Text, Bool, Enum, Object, Other };

// A layout property of a live object. Layout names map onto Qt properties:
// Caption -> text, title or windowTitle (the first the class has), Hint ->
// toolTip, Left/Top/Width/Height -> parts of geometry; any other name is the
// Qt property of that name, or of that name with a lower-case first letter.
class PropertyHandle {
public:
    static std::optional<PropertyHandle> Find(QObject *obj, const QString &layoutName);
    PropertyKind Kind() const;
    // The values a whole-number property takes: its type's range, and for
    // Left/Top/Width/Height the positions and sizes a layout may give.
    std::optional<std::pair<qint64, qint64>> Range() const;
    QVariant Read() const;
    // False when Qt refuses the value.
    bool Write(const QVariant &value) const;
    QObject *Object() const { return obj_; }
    const QMetaProperty &Meta() const { return meta_; }

private:
    QObject *obj_ = nullptr;
    QMetaProperty meta_;
    int rectPart_ = -1; // 0 left, 1 top, 2 width, 3 height of geometry
};

using BeforeTranslateHook = std::function<void(QObject *host, QObject *obj, const QString &property,
                                               const QVariant &current, const QVariant &stored, bool &cancel)>;
using AfterTranslateHook = std::function<void(QObject *component, QObject *obj, const QString &property)>;

// Set once at start; this program keeps the defaults.
struct TranslatorSettings {
    std::vector<PropertyKind> translatedProperties; // empty: every kind
    bool formPositionTranslationEnabled = false;
    BeforeTranslateHook onBeforeTranslate;
    AfterTranslateHook onAfterTranslate;
};
TranslatorSettings &TranslationSettings();

// Handler for stored values that have no property of their own.
class TTranslatorModule {
public:
    virtual ~TTranslatorModule() = default;
    virtual bool CanTranslate(const QObject *obj) const = 0;
    virtual void Translate(QObject *component, QObject *obj, const QString &propertyPath, const QVariant &value,
                           int index) = 0;

protected:
    // True when the before-hook cancels.
    static bool IgnoreProperty(QObject *component, QObject *obj, const QString &propertyPath,
                               const QVariant &current, const QVariant &value);
    static void AfterTranslate(QObject *component, QObject *obj, const QString &propertyPath);
};

// Item lists ("Items.Strings", "Tabs.Strings", ...): the text at an index is
// replaced in place, the list never grows or shrinks and the selected
// position stays. This base works on any object with a writable QStringList
// property named like the path's first part in lower-case first letter
// ("Items.Strings" -> items) and an optional int currentIndex; handlers for
// widgets override the four list operations.
class TStringsModule : public TTranslatorModule {
public:
    bool CanTranslate(const QObject *obj) const override;
    void Translate(QObject *component, QObject *obj, const QString &propertyPath, const QVariant &value,
                   int index) final;

protected:
    // Number of texts of the list a path names; -1 when there is no such list.
    virtual int Count(const QObject *obj, const QString &propertyPath) const;
    virtual QString Text(const QObject *obj, const QString &propertyPath, int index) const;
    virtual void SetText(QObject *obj, const QString &propertyPath, int index, const QString &text);
    // Selected position of the owning list control; -1 when none.
    virtual int Selected(const QObject *obj) const;
    virtual void Select(QObject *obj, int index);
};

// Ordered registry of handlers; the first that accepts an object takes it.
class TTranslatorModules {
public:
    template <typename T> void Register() { Register(std::make_unique<T>()); }
    // Adds a handler unless one of the same class is registered already.
    void Register(std::unique_ptr<TTranslatorModule> module);
    TTranslatorModule *CanTranslate(const QObject *obj) const;
    int GetCount() const { return int(modules_.size()); }
    TTranslatorModule *GetItem(int index) const { return modules_.at(size_t(index)).get(); }
    void ClearItems() { modules_.clear(); }

private:
    std::vector<std::unique_ptr<TTranslatorModule>> modules_;
};
// The program's registry, holding one TStringsModule from the start.
TTranslatorModules &TranslatorModules();

// One translation run. Errors are thrown as LayoutError with the text shown
// to the user ("Unknown value type", "Invalid data", "Could not translate
// %s.%s: %s").
class TFormTranslator {
public:
    TFormTranslator(const LayoutSource &source, bool translateLayout = false);
    ~TFormTranslator();

    void TranslateForm(QObject *window);
    void Translate(QObject *component);
    // Only part and what lies in it take values; the rest of the window is
    // walked unchanged, so names and positions resolve as in a whole pass.
    void LimitTo(QObject *part) { FScope = part; }
    // Every window in order; throws on the first failure.
    static void TranslateForms(const LayoutSource &source, const QList<QObject *> &windows,
                               bool translateLayout = false);

private:
    void DoTranslate(QObject *component, const QString &className);
    void ProcessComponent(QObject *parent, bool root);
    void ProcessProperty(QObject *object);
    void ProcessPropertyValue();
    void ProcessList();
    void ProcessCollection();
    void Apply(ValueTag tag, const QVariant &value);
    void SetPropValue(ValueTag tag, const QVariant &value);
    bool Excluded(PropertyKind kind) const;
    bool InScope(const QObject *object) const;
    QObject *FindComponent(QObject *parent, const QString &className, const QString &name);

    const LayoutSource &source_;
    LayoutReader *FReader = nullptr;
    QObject *FHost = nullptr;
    QObject *FCurrent = nullptr;
    QObject *FObj = nullptr;
    std::optional<PropertyHandle> FPropInfo;
    QString FName;
    QString FPropertyName;
    QString FSubName;
    int FIndex = 0;
    QStringList FUnnamedTypes;
    bool FTranslateLayout = false;
    QObject *FScope = nullptr;
};

// Re-translates the windows from the source; gives the error text, or an
// empty text when all went well.
QString TranslateForms(const LayoutSource &source, const QList<QObject *> &windows,
                       bool translateLayout = false);
// The same for a part of a window built after the window was translated.
QString TranslateWindowPart(const LayoutSource &source, QObject *window, QObject *part);

} // namespace rpu
