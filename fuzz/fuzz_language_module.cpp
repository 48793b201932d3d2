// Language modules (message table and layouts in text or base64 form) as the
// program uses them: the messages filled into the catalogue and formatted,
// the layouts checked and applied to a small window of real widgets, its
// geometry within limits after; and the input as a binary layout stream read
// back to text.

#include "app/translation/widgetlists.h"
#include "i18n/formtranslator.h"
#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include "fuzzcheck.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {

// The module's first layout stands for the test window's class, so that the
// fuzzer need not guess "QWidget" as the root class.
class WindowLayout final : public rpu::LayoutSource {
public:
    explicit WindowLayout(QByteArray binary) : binary_(std::move(binary)) {}
    QByteArray Layout(const QString &className) const override
    {
        return className == QLatin1String("QWidget") ? binary_ : QByteArray();
    }

private:
    QByteArray binary_;
};

// A window with the kinds of controls the program's pages hold, named as a
// layout would name them.
struct Window {
    QWidget form;
    Window()
    {
        form.setObjectName(QStringLiteral("MainForm"));
        Named(new QLabel(QStringLiteral("Язык:"), &form), "Label1");
        Named(new QPushButton(QStringLiteral("Установить"), &form), "Button1");
        Named(new QCheckBox(QStringLiteral("Авто"), &form), "CheckBox1");
        Named(new QSpinBox(&form), "SpinEdit1");
        auto *combo = Named(new QComboBox(&form), "ComboBox1");
        combo->addItems({QStringLiteral("Русский"), QStringLiteral("English"), QStringLiteral("Türkçe")});
        auto *list = Named(new QListWidget(&form), "ListBox1");
        list->addItems({QStringLiteral("1"), QStringLiteral("2")});
        auto *group = Named(new QGroupBox(QStringLiteral("Режим"), &form), "RadioGroup1");
        auto *buttons = new QButtonGroup(group);
        for (const char *text : {"Вкл", "Выкл"})
            buttons->addButton(new QRadioButton(QString::fromUtf8(text), group));
        auto *tabs = Named(new QTabWidget(&form), "PageControl1");
        Named(new QLabel(QStringLiteral("Текст"), tabs), "Label2");
        tabs->addTab(new QWidget, QStringLiteral("Главная"));
        tabs->addTab(new QWidget, QStringLiteral("Резервная копия"));
        new QLabel(QStringLiteral("без имени"), &form);
    }
    template <typename W> static W *Named(W *widget, const char *name)
    {
        widget->setObjectName(QLatin1String(name));
        return widget;
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_language_module";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    rpu::RegisterWidgetListHandlers();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    const auto module = rpu::LanguageModule::Parse(QString::fromUtf8(bytes));
    (void)rpu::CheckLanguageModule(*module);

    rpu::MessageCatalogue catalogue;
    catalogue.Fill(*module);
    const std::vector<rpu::FormatArg> args{qint64(-7), 2.5, QStringLiteral("файл")};
    for (int number = rpu::kFirstMessageNumber; !module->String(number).isEmpty(); ++number) {
        (void)rpu::FormatMessage(module->String(number), args);
        fuzz::Require(catalogue.Text(number).size() <= rpu::kMaxMessageLength, "catalogue texts are cut");
        (void)catalogue.Format(number, args);
    }

    // A module's layout when the program would use the module, else the
    // input itself when it is a binary layout (as a window's built-in one).
    const QStringList classes = module->Classes();
    const bool usable = module->Refusal().isEmpty();
    const QByteArray layout = usable && !classes.isEmpty() ? module->Layout(classes.first())
        : bytes.startsWith(rpu::kLayoutSignature)          ? bytes
                                                           : QByteArray();
    if (!layout.isEmpty()) {
        // A module's layouts passed the load check; it reads the stream the
        // way the translation does, so the translation meets no broken stream.
        const auto fault = rpu::CheckLayout(layout);
        fuzz::Require(!usable || classes.isEmpty() || !fault, "a module keeps only layouts that pass the check");
        Window window;
        const QString error = rpu::TranslateForms(WindowLayout(layout), {&window.form});
        if (!fault)
            fuzz::Require(!error.endsWith(QLatin1String("Unknown value type")) && !error.endsWith(QLatin1String("Stream read error")),
                          "a checked layout reads through");
        // Whatever the layout says, no control gets a place or size beyond
        // the window system's range.
        QList<QWidget *> widgets = window.form.findChildren<QWidget *>();
        widgets << &window.form;
        for (const QWidget *widget : widgets) {
            const QRect r = widget->geometry();
            fuzz::Require(r.x() >= rpu::kMinLayoutPosition && r.x() <= rpu::kMaxLayoutPosition
                              && r.y() >= rpu::kMinLayoutPosition && r.y() <= rpu::kMaxLayoutPosition
                              && r.width() >= 0 && r.width() <= rpu::kMaxLayoutSize && r.height() >= 0
                              && r.height() <= rpu::kMaxLayoutSize,
                          "geometry stays within the layout limits");
        }
    }

    try {
        (void)rpu::LayoutBinaryToText(bytes);
    } catch (const rpu::LayoutError &) {
        // A damaged stream is refused; that is the expected outcome.
    }
    try {
        (void)rpu::FlattenLayout(bytes);
    } catch (const rpu::LayoutError &) {
    }
    return 0;
}
