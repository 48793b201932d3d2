#include "app/screenfit.h"

#include <QGuiApplication>

#include <algorithm>

namespace rpu {

QMargins GuessedFrame()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    return {4, 32, 4, 4};
}

QSize FitClientSize(QSize designed, const QRect &available, const QMargins &frame, int scrollBarExtent)
{
    if (!available.isValid())
        return designed;
    const int width = available.width() - frame.left() - frame.right();
    const int height = available.height() - frame.top() - frame.bottom();
    QSize wanted = designed;
    if (height < designed.height())
        wanted.rwidth() += scrollBarExtent;
    if (width < wanted.width())
        wanted.rheight() += scrollBarExtent;
    // A screen too small for any use still gets a window that can be moved.
    constexpr int kSmallest = 160;
    return {std::clamp(width, std::min(kSmallest, wanted.width()), wanted.width()),
            std::clamp(height, std::min(kSmallest, wanted.height()), wanted.height())};
}

QRect PlaceClient(QSize client, const QRect &available, const QMargins &frame)
{
    const QSize outer = client.grownBy(frame);
    QPoint topLeft = available.center() - QPoint(outer.width() / 2, outer.height() / 2);
    topLeft.setX(std::max(topLeft.x(), available.left()));
    topLeft.setY(std::max(topLeft.y(), available.top()));
    return {topLeft + QPoint(frame.left(), frame.top()), client};
}

} // namespace rpu
