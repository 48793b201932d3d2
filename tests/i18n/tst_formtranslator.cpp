// Re-translation of a live object tree from a stored layout.

#include "i18n/formtranslator.h"
#include "i18n/layoutstream.h"

#include <QRect>
#include <QtTest>

using namespace rpu;

class TestFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name MEMBER name)
public:
    QString name = QStringLiteral("MS Sans Serif");
};

class TestControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(QString toolTip MEMBER toolTip)
    Q_PROPERTY(bool enabled MEMBER enabled)
    Q_PROPERTY(QRect geometry MEMBER geometry)
    Q_PROPERTY(int tag MEMBER tag)
    Q_PROPERTY(uchar level MEMBER level)
    Q_PROPERTY(double ratio MEMBER ratio)
    Q_PROPERTY(Mode mode MEMBER mode)
    Q_PROPERTY(TestFont *font READ font CONSTANT)
public:
    enum Mode { Off, On, Auto };
    Q_ENUM(Mode)
    explicit TestControl(const QString &name, const QString &caption, QObject *parent)
        : QObject(parent), text(caption)
    {
        setObjectName(name);
    }
    TestFont *font() { return &font_; }
    QString text;
    QString toolTip;
    bool enabled = true;
    QRect geometry{8, 8, 100, 25};
    int tag = 0;
    uchar level = 0;
    double ratio = 1.0;
    Mode mode = Off;

private:
    TestFont font_;
};

class TestList : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList items MEMBER items)
    Q_PROPERTY(int currentIndex MEMBER currentIndex)
public:
    using QObject::QObject;
    QStringList items{QStringLiteral("Русский"), QStringLiteral("Английский"), QStringLiteral("Турецкий")};
    int currentIndex = 1;
};

class TestGrid : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *columns READ columns CONSTANT)
public:
    using QObject::QObject;
    QObject *columns() { return &columns_; }
    QObject columns_;
};

class TestForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString windowTitle MEMBER windowTitle)
    Q_PROPERTY(QRect geometry MEMBER geometry)
public:
    QString windowTitle = QStringLiteral("Окно");
    QRect geometry{10, 20, 800, 600};
};

class TestDerivedForm : public TestForm {
    Q_OBJECT
};

namespace {

// A registered handler that takes TestGrid objects before the string lists.
class GridModule final : public TTranslatorModule {
public:
    bool CanTranslate(const QObject *obj) const override { return qobject_cast<const TestGrid *>(obj); }
    void Translate(QObject *, QObject *obj, const QString &path, const QVariant &value, int index) override
    {
        seen << QStringLiteral("%1.%2[%3]=%4").arg(obj->objectName(), path).arg(index).arg(value.toString());
    }
    static inline QStringList seen;
};

} // namespace

class FormTranslatorTest : public QObject {
    Q_OBJECT

    struct Window {
        TestForm form;
        TestControl *button = new TestControl(QStringLiteral("Button1"), QStringLiteral("Сменить язык"), &form);
        TestControl *panel = new TestControl(QStringLiteral("Panel"), QString(), &form);
        TestControl *label = new TestControl(QStringLiteral("Label"), QStringLiteral("Язык:"), panel);
        TestControl *first = new TestControl(QString(), QStringLiteral("u0"), panel);
        TestControl *second = new TestControl(QString(), QStringLiteral("u1"), panel);
        TestList *list = new TestList(&form);
        TestGrid *grid = new TestGrid(&form);
        Window()
        {
            form.setObjectName(QStringLiteral("MainForm"));
            list->setObjectName(QStringLiteral("LangCmB"));
            grid->setObjectName(QStringLiteral("Grid"));
            new TestControl(QStringLiteral("Col0"), QStringLiteral("c0"), grid->columns());
            new TestControl(QStringLiteral("Col1"), QStringLiteral("c1"), grid->columns());
        }
    };

    // Applies "object MainForm: TestForm <body> end" and gives the error text;
    // applied_ lists "object.property" for every value set.
    QString Apply(QObject *window, const QString &body, const QString &className = QStringLiteral("TestForm"))
    {
        LayoutSet layouts;
        layouts.AddText(QStringLiteral("object MainForm: %1\n%2\nend\n").arg(className, body));
        return TranslateForms(layouts, {window});
    }

private slots:
    void init()
    {
        applied_.clear();
        TranslationSettings().onAfterTranslate = [this](QObject *, QObject *obj, const QString &property) {
            applied_ << obj->objectName() + QLatin1Char('.') + property;
        };
    }
    void cleanup() { TranslationSettings() = TranslatorSettings(); }

    void storedValueAppliedOnlyWhenItDiffers()
    {
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("Caption = 'Language'\n"
                                               "object Button1: TestControl\n"
                                               "  Caption = 'Сменить язык'\n"
                                               "  Hint = 'Change the language'\n"
                                               "end\n"
                                               "object Panel: TestControl\n"
                                               "  object Label: TestControl\n"
                                               "    Caption = 'Language:'\n"
                                               "  end\n"
                                               "end")),
                 QString());
        QCOMPARE(w.form.windowTitle, QStringLiteral("Language"));
        QCOMPARE(w.button->toolTip, QStringLiteral("Change the language"));
        QCOMPARE(w.label->text, QStringLiteral("Language:"));
        QCOMPARE(applied_, QStringList({QStringLiteral("MainForm.Caption"), QStringLiteral("Button1.Hint"),
                                        QStringLiteral("Label.Caption")}));
    }

    void windowPositionNeverChanges()
    {
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("Left = 300\nTop = 400\nPosition = poScreenCenter\nWidth = 900\n"
                                               "object Button1: TestControl\n  Left = 500\n  Top = 7\nend")),
                 QString());
        QCOMPARE(w.form.geometry, QRect(10, 20, 900, 600));
        QCOMPARE(w.button->geometry, QRect(500, 7, 100, 25));

        TranslationSettings().formPositionTranslationEnabled = true;
        QCOMPARE(Apply(&w.form, QStringLiteral("Left = 300")), QString());
        QCOMPARE(w.form.geometry.left(), 300);
    }

    void onlyValuesOfTheSameKindApply_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<bool>("applied");
        QTest::newRow("text for truth value") << "Enabled = 'False'" << false;
        QTest::newRow("number for text") << "Caption = 5" << false;
        QTest::newRow("text for number") << "Tag = '5'" << false;
        QTest::newRow("float for number") << "Tag = 5.0" << false;
        QTest::newRow("number for float") << "Ratio = 2" << false;
        QTest::newRow("currency for float") << "Ratio = 2.0C" << false;
        QTest::newRow("unknown enum name") << "Mode = Sideways" << false;
        QTest::newRow("identifier for number") << "Tag = clRed" << false;
        QTest::newRow("truth value") << "Enabled = False" << true;
        QTest::newRow("enum name") << "Mode = Auto" << true;
        QTest::newRow("float") << "Ratio = 2.5" << true;
        QTest::newRow("binary as text") << "Caption = {4142}" << true;
        QTest::newRow("dotted path") << "Font.Name = 'Tahoma'" << true;
        QTest::newRow("Qt name") << "toolTip = 'x'" << true;
        QTest::newRow("unknown property") << "Colour = 'x'" << false;
        QTest::newRow("null") << "Caption = Null" << false;
        QTest::newRow("set") << "Anchors = [akLeft]" << false;
    }
    void onlyValuesOfTheSameKindApply()
    {
        QFETCH(QString, property);
        QFETCH(bool, applied);
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("object Button1: TestControl\n  %1\nend").arg(property)), QString());
        QCOMPARE(applied_.size(), applied ? 1 : 0);
    }

    void itemListsKeepTheirLengthAndSelection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("same length") << "'Russian' 'English' 'Turkish'"
                                     << QStringList{"Russian", "English", "Turkish"};
        QTest::newRow("longer") << "'Russian' 'English' 'Turkish' 'German'"
                                << QStringList{"Russian", "English", "Turkish"};
        QTest::newRow("shorter") << "'Russian'" << QStringList{"Russian", "Английский", "Турецкий"};
    }
    void itemListsKeepTheirLengthAndSelection()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, items);
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("object LangCmB: TestList\n  Items.Strings = (%1)\nend").arg(stored)),
                 QString());
        QCOMPARE(w.list->items, items);
        QCOMPARE(w.list->currentIndex, 1);
    }

    void componentsMatchByNameAndUnnamedPosition()
    {
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("object Button2: TestControl\n  Caption = 'renamed'\nend\n"
                                               "object Gone: TestControl\n"
                                               "  object Label: TestControl\n    Caption = 'under a missing parent'\n  end\n"
                                               "end\n"
                                               "object Panel: TestControl\n"
                                               "  object TestControl\n    Caption = 'first'\n  end\n"
                                               "  object TestControl\n    Caption = 'second'\n  end\n"
                                               "  object TestControl\n    Caption = 'third'\n  end\n"
                                               "end")),
                 QString());
        QCOMPARE(w.button->text, QStringLiteral("Сменить язык"));
        QCOMPARE(w.label->text, QStringLiteral("Язык:"));
        QCOMPARE(w.first->text, QStringLiteral("first"));
        QCOMPARE(w.second->text, QStringLiteral("second"));
        QCOMPARE(applied_.size(), 2);
    }

    void ancestorLayoutFirst()
    {
        Window w;
        TestDerivedForm derived;
        LayoutSet layouts;
        layouts.AddText(QStringLiteral("object F: TestForm\n  Caption = 'base'\n  Width = 50\nend"));
        layouts.AddText(QStringLiteral("object F: TestDerivedForm\n  Caption = 'derived'\nend"));
        QCOMPARE(TranslateForms(layouts, {&derived, &w.form}), QString());
        QCOMPARE(derived.windowTitle, QStringLiteral("derived"));
        QCOMPARE(derived.geometry.width(), 50);
        QCOMPARE(w.form.windowTitle, QStringLiteral("base"));
    }

    void collections()
    {
        Window w;
        QCOMPARE(Apply(&w.form, QStringLiteral("object Grid: TestGrid\n  Columns = <\n"
                                               "    item\n      Caption = 'A'\n    end\n"
                                               "    item [5]\n      Caption = 'B'\n    end\n"
                                               "    item\n      Caption = 'C'\n    end>\nend")),
                 QString());
        const QObjectList columns = w.grid->columns()->children();
        QCOMPARE(columns[0]->property("text").toString(), QStringLiteral("A"));
        QCOMPARE(columns[1]->property("text").toString(), QStringLiteral("B"));
        QCOMPARE(applied_.size(), 2);
    }

    void errorsEndTheRun_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("error");
        QTest::newRow("collection on a text") << "Caption = <>" << "Invalid data";
        QTest::newRow("out of range") << "object Button1: TestControl\n  Level = 300\nend"
                                      << "Could not translate TestControl.Level: Range check error";
        QTest::newRow("negative into unsigned") << "object Button1: TestControl\n  Level = -1\nend"
                                                << "Could not translate TestControl.Level: Range check error";
        // Geometry that would overflow the rectangle's arithmetic, even from a
        // layout that never passed a module's check.
        QTest::newRow("width at int max") << "object Button1: TestControl\n  Width = 2147483647\nend"
                                          << "Could not translate TestControl.Width: Range check error";
        QTest::newRow("left at int min") << "object Button1: TestControl\n  Left = -2147483648\nend"
                                         << "Could not translate TestControl.Left: Range check error";
        QTest::newRow("height one over") << "object Button1: TestControl\n  Height = 32768\nend"
                                         << "Could not translate TestControl.Height: Range check error";
        QTest::newRow("negative width") << "object Button1: TestControl\n  Width = -5\nend"
                                        << "Could not translate TestControl.Width: Range check error";
    }
    void errorsEndTheRun()
    {
        QFETCH(QString, body);
        QFETCH(QString, error);
        Window w;
        QCOMPARE(Apply(&w.form, body), error);
    }

    void unknownValueTypeEndsTheRun()
    {
        Window w;
        TestForm second;
        QByteArray binary = LayoutTextToBinary(
            QStringLiteral("object F: TestForm\n  Caption = 'first'\n  Tag = 1\nend"));
        binary[binary.lastIndexOf('\x02')] = char(30); // the tag of "Tag"'s value
        LayoutSet layouts;
        QVERIFY(layouts.AddBinary(binary));
        QCOMPARE(TranslateForms(layouts, {&w.form, &second}), QStringLiteral("Unknown value type"));
        QCOMPARE(w.form.windowTitle, QStringLiteral("first")); // handled before the failure
        QCOMPARE(second.windowTitle, QStringLiteral("Окно"));
    }

    // Damaged layouts end in one of the run's errors, never in a crash.
    void damagedLayoutsFailCleanly()
    {
        const QByteArray good = LayoutTextToBinary(QStringLiteral(
            "object MainForm: TestForm\n  Caption = 'Окно'\n  Width = 1000\n"
            "  object Button1: TestControl\n    Hint = 'x'\n    Ratio = 0.5\n    Mode = On\n    Enabled = True\n"
            "    Font.Name = 'Arial'\n    Anchors = [a, b]\n    Caption = {4142}\n  end\n"
            "  object LangCmB: TestList\n    Items.Strings = ('a' 'b')\n  end\n"
            "  object Grid: TestGrid\n    Columns = <\n      item [1]\n        Caption = 'A'\n      end>\n  end\nend"));
        const QStringList known = {QString(), QStringLiteral("Unknown value type"), QStringLiteral("Invalid data"),
                                   QStringLiteral("Stream read error")};
        QList<QByteArray> damaged;
        for (qsizetype i = 4; i < good.size(); ++i) {
            damaged << good.left(i);
            for (char b : {'\x00', '\x01', '\x0e', '\x7f', '\xf2', '\xff'}) {
                QByteArray copy = good;
                copy[i] = b;
                damaged << copy;
            }
        }
        for (const QByteArray &layout : std::as_const(damaged)) {
            Window w;
            LayoutSet layouts;
            if (!layouts.AddBinary(layout))
                continue;
            const QString error = TranslateForms(layouts, {&w.form});
            QVERIFY2(known.contains(error) || error.startsWith(QLatin1String("Could not translate")),
                     qPrintable(error));
        }
    }

    void handlerRegistry()
    {
        TTranslatorModules &modules = TranslatorModules();
        QCOMPARE(modules.GetCount(), 1);
        modules.Register<TStringsModule>();
        QCOMPARE(modules.GetCount(), 1);
        Window w;
        QVERIFY(modules.CanTranslate(w.list) == modules.GetItem(0));
        QVERIFY(!modules.CanTranslate(w.grid));

        modules.Register<GridModule>();
        QCOMPARE(Apply(&w.form, QStringLiteral("object Grid: TestGrid\n  Tabs.Strings = ('a' 'b')\nend")), QString());
        QCOMPARE(GridModule::seen, QStringList({"Grid.Tabs.Strings[0]=a", "Grid.Tabs.Strings[1]=b"}));

        // A before-hook may refuse an item text.
        TranslationSettings().onBeforeTranslate = [](QObject *, QObject *, const QString &, const QVariant &,
                                                     const QVariant &stored, bool &cancel) {
            cancel = stored.toString() == QLatin1String("English");
        };
        QCOMPARE(Apply(&w.form, QStringLiteral("object LangCmB: TestList\n  Items.Strings = ('Russian' 'English')\nend")),
                 QString());
        QCOMPARE(w.list->items.mid(0, 2), QStringList({"Russian", "Английский"}));

        modules.ClearItems();
        modules.Register<TStringsModule>();
    }

private:
    QStringList applied_;
};

QTEST_GUILESS_MAIN(FormTranslatorTest)
#include "tst_formtranslator.moc"
