#include "app/keyactions.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace rpu {

namespace {

class EnterFilter final : public QObject {
public:
    EnterFilter(QWidget *widget, std::function<void()> action)
        : QObject(widget), action_(std::move(action))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return QObject::eventFilter(watched, event);
        action_();
        return true;
    }

private:
    std::function<void()> action_;
};

} // namespace

void CallOnEnter(QWidget *widget, std::function<void()> action)
{
    new EnterFilter(widget, std::move(action));
}

} // namespace rpu
