// The practical floor of the program's start: a Qt Widgets window of the
// same kind and size (hidden page control, a command column of grouped
// buttons, welcome labels, a status bar with a progress bar) and nothing
// behind it. Like the program under RPU_QUIT_WHEN_SHOWN it leaves once the
// window has been painted; bench_start times both.

#include <QApplication>
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
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
