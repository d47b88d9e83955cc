#pragma once

// The stored window placement ("WindowPos" in profile section "Settings"): the ten fields of a
// window placement record as text, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d".

#include <QList>
#include <QRect>
#include <QString>
#include <optional>

constexpr unsigned WPF_RESTORETOMAXIMIZED = 0x2u;
constexpr unsigned SW_SHOWNORMAL = 1;
constexpr unsigned SW_SHOWMINIMIZED = 2;
constexpr unsigned SW_SHOWMAXIMIZED = 3;
constexpr unsigned SW_SHOW = 5;
constexpr unsigned WINDOWPLACEMENT_LENGTH = 44;

struct WindowPlacement {
    unsigned length = WINDOWPLACEMENT_LENGTH;
    unsigned flags = 0;
    unsigned showCmd = SW_SHOWNORMAL;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0; // restored (normal) rectangle

    // The normal rectangle as this program stores it; a stored value of any other origin goes
    // through RestoredNormalRect, which cannot overflow.
    QRect NormalRect() const { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }
    bool operator==(const WindowPlacement&) const = default;
};

// The placement of a window with the given normal rectangle and state, as the window system
// reports it.
WindowPlacement CurrentPlacement(const QRect& normalRect, bool bMinimized, bool bMaximized);

// What is stored at close: a minimised window comes back shown, maximised if it was maximised
// before it was minimised.
WindowPlacement PlacementToSave(WindowPlacement placement, bool bMinimized);

QString FormatWindowPlacement(const WindowPlacement& placement);

// Where a window restored from the placement goes, as a window system restoring a placement
// places it: wholly on the available area of the screen that the stored rectangle overlaps most
// (the first area when it overlaps none), at least `minimum` and at most that area in size.
// Computed in 64 bits, so any stored numbers are safe. Without areas, an area at the origin as
// large as a window can be stands in.
QRect RestoredNormalRect(const WindowPlacement& placement, const QList<QRect>& availableAreas,
                         const QSize& minimum);

// Parses a stored value; only text with exactly the ten fields succeeds (text after the tenth
// field is ignored, as a scanf-style read does). An empty, partial or malformed value, or one
// whose numbers do not fit their fields, gives nothing.
std::optional<WindowPlacement> ParseWindowPlacement(const QString& text);
