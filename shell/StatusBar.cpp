#include "shell/StatusBar.h"

#include <QPainter>

namespace {

constexpr int kPaneGap = 2;    // pixels between two panes
constexpr int kTextMargin = 3; // pixels between a pane's edge and its text

} // namespace

QString LoadStringResource(int nID) {
    switch (nID) {
    case 101:
        return QStringLiteral("&About RFID...");
    case 102:
        return QStringLiteral("Ready");
    case 103:
        return QStringLiteral("00:00:00");
    default:
        return QString();
    }
}

CStatusBar::CStatusBar(QWidget* parent) : QWidget(parent) {}

bool CStatusBar::SetIndicators(const std::vector<int>& ids) {
    m_Panes.clear();
    for (int id : ids)
        m_Panes.push_back(Pane{id, SBPS_NORMAL, fontMetrics().horizontalAdvance(LoadStringResource(id)),
                               LoadStringResource(id)});
    update();
    return true;
}

void CStatusBar::SetPaneInfo(int nIndex, int nID, unsigned nStyle, int cxWidth) {
    if (!IsValidIndex(nIndex))
        return;
    Pane& pane = m_Panes[nIndex];
    pane.nID = nID;
    pane.nStyle = nStyle;
    pane.cxWidth = qMax(0, cxWidth);
    update();
}

bool CStatusBar::SetPaneText(int nIndex, const QString& text, bool bUpdate) {
    if (!IsValidIndex(nIndex))
        return false;
    m_Panes[nIndex].text = text;
    if (bUpdate && isVisible())
        repaint(GetItemRect(nIndex));
    return true;
}

QString CStatusBar::GetPaneText(int nIndex) const {
    return IsValidIndex(nIndex) ? m_Panes[nIndex].text : QString();
}

QRect CStatusBar::GetItemRect(int nIndex) const {
    if (!IsValidIndex(nIndex))
        return QRect();
    // Fixed panes keep their widths; a stretch pane gets whatever the others leave.
    int fixedWidth = 0;
    for (const Pane& pane : m_Panes)
        if (!(pane.nStyle & SBPS_STRETCH))
            fixedWidth += pane.cxWidth;
    const int stretchWidth = qMax(0, width() - fixedWidth - kPaneGap * (GetPaneCount() - 1));
    int x = 0;
    for (int i = 0; i < nIndex; ++i)
        x += ((m_Panes[i].nStyle & SBPS_STRETCH) ? stretchWidth : m_Panes[i].cxWidth) + kPaneGap;
    const int w = (m_Panes[nIndex].nStyle & SBPS_STRETCH) ? stretchWidth : m_Panes[nIndex].cxWidth;
    return QRect(x, 2, w, qMax(0, height() - 2));
}

QSize CStatusBar::sizeHint() const {
    return QSize(200, fontMetrics().height() + 2 * kTextMargin + 2);
}

void CStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
    for (int i = 0; i < GetPaneCount(); ++i) {
        const QRect paneRect = GetItemRect(i);
        if (paneRect.width() <= 0)
            continue;
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(paneRect.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(paneRect.adjusted(kTextMargin, 0, -kTextMargin, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         m_Panes[i].text);
    }
}
