#pragma once

#include <QPoint>
#include <QRect>

// Where the controls of the card pages go when a page is resized. Rectangles are in the page's
// client coordinates; right and bottom edges are taken as exclusive (x + width, y + height), and
// every half is rounded towards zero.

// The distance by which the Read/Write page moves its four controls, as one group, so that the
// group's bounding box is centred in the client area.
QPoint CenteringOffset(const QRect& client, const QRect& box);

// The Mass Production page after a resize.
struct MassProductionLayout {
    // Moves the row of vendor ID, card number and Write button.
    QPoint rowOffset;
    // The frame around the option controls: at the client's top-left corner, full width.
    QRect frame;
    // Moves each option control (radio buttons 1011-1013, check box 1014), so that it keeps its
    // offset from the frame's corner.
    QPoint optionOffset;
};

// The row from the vendor ID edit's left edge to the Write button's right edge is centred
// horizontally, and its vertical centre lies half the frame's height below the client's centre.
MassProductionLayout LayOutMassProduction(const QRect& client, const QRect& frame, const QRect& vendorEdit,
                                          const QRect& writeButton);
