#include "shell/WindowPlacement.h"

#include <algorithm>
#include <limits>

namespace {

// Reads one scanf-style integer field ("%u" or "%d") at pos: leading blanks, an optional sign,
// at least one digit. Values outside the 32-bit field are refused rather than wrapped.
bool ScanField(const QString& text, qsizetype& pos, bool isUnsigned, long long& value) {
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    const qsizetype digitsStart = pos;
    long long magnitude = 0;
    while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
        magnitude = magnitude * 10 + (text[pos].unicode() - '0');
        if (magnitude > std::numeric_limits<unsigned>::max())
            return false;
        ++pos;
    }
    if (pos == digitsStart)
        return false;
    value = negative ? -magnitude : magnitude;
    if (isUnsigned)
        return value >= 0;
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// The largest window the window system makes, for a rectangle restored without any screen.
constexpr int kLargestWindow = (1 << 24) - 1;

// How much of the stored rectangle lies on an area, in square pixels.
qint64 Overlap(const WindowPlacement& p, const QRect& area) {
    const qint64 width =
        std::min<qint64>(p.right, qint64(area.x()) + area.width()) - std::max<qint64>(p.left, area.x());
    const qint64 height =
        std::min<qint64>(p.bottom, qint64(area.y()) + area.height()) - std::max<qint64>(p.top, area.y());
    return width > 0 && height > 0 ? width * height : 0;
}

QRect BestArea(const WindowPlacement& p, const QList<QRect>& areas) {
    QRect best = areas.value(0);
    qint64 bestOverlap = 0;
    for (const QRect& area : areas) {
        if (const qint64 overlap = Overlap(p, area); overlap > bestOverlap) {
            best = area;
            bestOverlap = overlap;
        }
    }
    return best;
}

// One edge pair onto [areaStart, areaStart + areaLength): the length within [minimum, areaLength],
// the start moved so that the whole length lies on the area.
void FitSpan(qint64 start, qint64 end, qint64 minimum, qint64 areaStart, qint64 areaLength, int& outStart,
             int& outLength) {
    areaLength = std::max<qint64>(areaLength, 1);
    const qint64 length = std::clamp(end - start, std::min(minimum, areaLength), areaLength);
    outStart = int(std::clamp(start, areaStart, areaStart + areaLength - length));
    outLength = int(length);
}

} // namespace

QRect RestoredNormalRect(const WindowPlacement& placement, const QList<QRect>& availableAreas,
                         const QSize& minimum) {
    const QRect area = availableAreas.isEmpty() ? QRect(0, 0, kLargestWindow, kLargestWindow)
                                                : BestArea(placement, availableAreas);
    int x = 0, y = 0, width = 0, height = 0;
    FitSpan(placement.left, placement.right, minimum.width(), area.x(), area.width(), x, width);
    FitSpan(placement.top, placement.bottom, minimum.height(), area.y(), area.height(), y, height);
    return QRect(x, y, width, height);
}

WindowPlacement CurrentPlacement(const QRect& normalRect, bool bMinimized, bool bMaximized) {
    WindowPlacement placement;
    placement.flags = (bMinimized && bMaximized) ? WPF_RESTORETOMAXIMIZED : 0;
    placement.showCmd = bMinimized ? SW_SHOWMINIMIZED : bMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement.left = normalRect.left();
    placement.top = normalRect.top();
    placement.right = normalRect.left() + normalRect.width();
    placement.bottom = normalRect.top() + normalRect.height();
    return placement;
}

WindowPlacement PlacementToSave(WindowPlacement placement, bool bMinimized) {
    if (bMinimized) {
        placement.showCmd = SW_SHOW;
        if (placement.flags & WPF_RESTORETOMAXIMIZED)
            placement.showCmd = SW_SHOWMAXIMIZED;
    }
    return placement;
}

QString FormatWindowPlacement(const WindowPlacement& p) {
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10")
        .arg(p.flags)
        .arg(p.showCmd)
        .arg(p.minX)
        .arg(p.minY)
        .arg(p.maxX)
        .arg(p.maxY)
        .arg(p.left)
        .arg(p.top)
        .arg(p.right)
        .arg(p.bottom);
}

std::optional<WindowPlacement> ParseWindowPlacement(const QString& text) {
    long long fields[10];
    qsizetype pos = 0;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != QLatin1Char(','))
                return std::nullopt;
            ++pos;
        }
        if (!ScanField(text, pos, i < 2, fields[i]))
            return std::nullopt;
    }
    WindowPlacement p;
    p.length = WINDOWPLACEMENT_LENGTH;
    p.flags = static_cast<unsigned>(fields[0]);
    p.showCmd = static_cast<unsigned>(fields[1]);
    p.minX = static_cast<int>(fields[2]);
    p.minY = static_cast<int>(fields[3]);
    p.maxX = static_cast<int>(fields[4]);
    p.maxY = static_cast<int>(fields[5]);
    p.left = static_cast<int>(fields[6]);
    p.top = static_cast<int>(fields[7]);
    p.right = static_cast<int>(fields[8]);
    p.bottom = static_cast<int>(fields[9]);
    return p;
}
