#pragma once
// System colours and metrics of the desktop, read from the application palette and style.
// Indexes keep the window system's numbering so that code can name colours the usual way.

#include <QColor>

enum SystemColorIndex {
    COLOR_SCROLLBAR = 0,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWTEXT = 8,
    COLOR_MENUTEXT = 7,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
};

// The colour of one system element; an unknown index gives black.
QColor SystemColor(int index);

// Width of a vertical scroll bar (and so the side of its arrow buttons), in pixels.
int SystemVScrollWidth();

// A 0x00BBGGRR colour value as a QColor, and back.
QColor ColorFromRef(quint32 colorRef);
quint32 ColorToRef(const QColor& color);
