// The practical floor of the program's start: a Qt Widgets window of the
// same kind and size (hidden page control, a command column of grouped
// buttons, welcome labels, a status bar with a progress bar) and nothing
// behind it. Like the program under RPU_QUIT_WHEN_SHOWN it leaves once the
// window has been painted; bench_start times both.
// With --program-fonts its texts take the program's fonts (the families,
// sizes and weights of its window and welcome texts): what those cost on
// their own, the floor of the program's start with its look.

#include <QApplication>
#include <QFont>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

namespace {

class QuitAfterPaint final : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return false;
    }
};

QFont ProgramFont(const QStringList &families, int pointSize, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool programFonts = argc > 1 && qstrcmp(argv[1], "--program-fonts") == 0;
    const QStringList sans = {QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                              QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")};
    const QStringList serif = {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                               QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")};
    QWidget window;
    if (programFonts)
        window.setFont(ProgramFont(sans, 8, false));
    window.setFixedSize(794, 570);
    auto *pages = new QTabWidget(&window);
    pages->setGeometry(0, 0, 667, 544);
    for (const char *name : {"Главная", "Резервная копия", "Реле", "РПУ"})
        pages->addTab(new QWidget, QString::fromUtf8(name));
    pages->hide();
    for (int group = 0; group < 6; ++group) {
        auto *box = new QGroupBox(QStringLiteral("Группа %1").arg(group), &window);
        box->setGeometry(670, 15 + group * 85, 120, 80);
        if (group == 1) {
            auto *combo = new QComboBox(box);
            combo->addItems({QStringLiteral("демо"), QStringLiteral("on-line")});
            combo->setGeometry(8, 20, 105, 21);
            continue;
        }
        for (int b = 0; b < 2; ++b)
            (new QPushButton(QStringLiteral("Кнопка %1").arg(b), box))->setGeometry(8, 20 + b * 28, 105, 25);
    }
    for (int l = 0; l < 6; ++l) {
        auto *label = new QLabel(QStringLiteral("Вас приветствует программа, строка %1").arg(l), &window);
        label->setGeometry(40, 32 + l * 60, 600, 40);
        label->setWordWrap(true);
        // The welcome texts: 18 pt bold, then 12 pt, 12 pt bold.
        if (programFonts && l < 4)
            label->setFont(ProgramFont(serif, l == 0 ? 18 : 12, l != 1));
    }
    // The maker's links: bold, underlined, reached by Tab.
    for (int l = 0; programFonts && l < 2; ++l) {
        auto *link = new QLabel(QStringLiteral("www.example.org"), &window);
        link->setGeometry(168, 459 + l * 27, 200, 18);
        QFont font = ProgramFont(sans, 8, true);
        font.setPixelSize(13);
        font.setUnderline(true);
        link->setFont(font);
        link->setFocusPolicy(Qt::StrongFocus);
    }
    auto *status = new QStatusBar(&window);
    status->setGeometry(2, 544, 792, 26);
    status->addWidget(new QLabel(status), 1);
    auto *progress = new QProgressBar(&window);
    progress->setGeometry(587, 548, 204, 20);
    progress->setTextVisible(false);

    QuitAfterPaint quit;
    window.installEventFilter(&quit);
    window.show();
    return app.exec();
}
