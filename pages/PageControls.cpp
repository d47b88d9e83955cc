#include "pages/PageControls.h"

#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// The narrowest the page font is made; below it digits run together.
constexpr int kMinimumStretch = 50;

bool FitsEveryField(const QFont& font, std::initializer_list<FieldWidest> fields) {
    const QFontMetrics metrics(font);
    for (const FieldWidest& field : fields) {
        if (field.edit && metrics.horizontalAdvance(field.widest) > LineEditTextWidth(*field.edit))
            return false;
    }
    return true;
}

} // namespace

int LineEditTextWidth(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    const QMargins margins = edit.textMargins();
    constexpr int kEditMargin = 2;
    constexpr int kCaret = 1;
    return contents.width() - margins.left() - margins.right() - 2 * kEditMargin - kCaret;
}

QFont FitPageFont(const QFont& pageFont, std::initializer_list<FieldWidest> fields,
                  std::initializer_list<QWidget*> controls) {
    QFont font = pageFont;
    // The face is stretched in steps of one per cent: the font engine rounds glyph advances, so the
    // fit is checked at each width rather than computed once.
    for (int stretch = 100; stretch > kMinimumStretch && !FitsEveryField(font, fields); --stretch)
        font.setStretch(stretch - 1);
    for (QWidget* control : controls) {
        if (control)
            control->setFont(font);
    }
    return font;
}
