#include "platform/SystemColors.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

// The palette may hold colours finer than 8 bits a channel; system colours are 8-bit values, so
// that what is drawn and what is read back agree exactly.
static QColor SystemColorOf(int index);

QColor SystemColor(int index) {
    return QColor::fromRgb(SystemColorOf(index).rgb());
}

static QColor SystemColorOf(int index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
    case COLOR_SCROLLBAR:
        return palette.color(QPalette::Button);
    case COLOR_MENU:
        return palette.color(QPalette::Window);
    case COLOR_WINDOW:
        return palette.color(QPalette::Base);
    case COLOR_WINDOWTEXT:
        return palette.color(QPalette::WindowText);
    case COLOR_MENUTEXT:
        return palette.color(QPalette::WindowText);
    case COLOR_HIGHLIGHT:
        return palette.color(QPalette::Highlight);
    case COLOR_HIGHLIGHTTEXT:
        return palette.color(QPalette::HighlightedText);
    case COLOR_BTNFACE:
        return palette.color(QPalette::Button);
    case COLOR_BTNSHADOW:
        return palette.color(QPalette::Mid);
    case COLOR_GRAYTEXT:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case COLOR_BTNTEXT:
        return palette.color(QPalette::ButtonText);
    case COLOR_BTNHIGHLIGHT:
        return palette.color(QPalette::Light);
    case COLOR_3DDKSHADOW:
        return palette.color(QPalette::Shadow);
    case COLOR_3DLIGHT:
        return palette.color(QPalette::Midlight);
    default:
        return QColor(Qt::black);
    }
}

int SystemVScrollWidth() {
    QStyle* style = QApplication::style();
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

QColor ColorFromRef(quint32 colorRef) {
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

quint32 ColorToRef(const QColor& color) {
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}
