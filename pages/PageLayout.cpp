#include "pages/PageLayout.h"

namespace {

int Right(const QRect& r) {
    return r.x() + r.width();
}
int Bottom(const QRect& r) {
    return r.y() + r.height();
}

} // namespace

QPoint CenteringOffset(const QRect& client, const QRect& box) {
    const int dx = (box.left() + Right(box)) / 2 - (client.left() + Right(client)) / 2;
    const int dy = (box.top() + Bottom(box)) / 2 - (client.top() + Bottom(client)) / 2;
    return QPoint(-dx, -dy);
}

MassProductionLayout LayOutMassProduction(const QRect& client, const QRect& frame, const QRect& vendorEdit,
                                          const QRect& writeButton) {
    const int rowCentreX = (vendorEdit.left() + Right(writeButton)) / 2;
    const int rowCentreY = (vendorEdit.top() + Bottom(writeButton)) / 2;
    const int targetX = (client.left() + Right(client)) / 2;
    const int targetY = (client.top() + Bottom(client)) / 2 + frame.height() / 2;

    MassProductionLayout layout;
    layout.rowOffset = QPoint(targetX - rowCentreX, targetY - rowCentreY);
    layout.frame = QRect(client.topLeft(), QSize(client.width(), frame.height()));
    layout.optionOffset = client.topLeft() - frame.topLeft();
    return layout;
}
