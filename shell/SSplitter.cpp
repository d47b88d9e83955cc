#include "shell/SSplitter.h"

#include "platform/AppProfile.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/VirtualKey.h"
#include "platform/XorTracker.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cstdlib>

namespace {

// The split cursors: resource 30980 (west-east, for a vertical bar) and 30981 (north-south,
// for a horizontal bar) are Qt's split cursors.
QCursor VertSplitCursor() {
    return QCursor(Qt::SplitHCursor);
}

QCursor HorzSplitCursor() {
    return QCursor(Qt::SplitVCursor);
}

// A negative stored position, or one beyond what a window can measure, cannot come from this
// program: such an entry counts as absent, which also keeps the bar arithmetic far from integer
// overflow.
int ReadPosition(const QString& section, const char* entry, int nDefault) {
    const int n = GetProfileInt(section, QString::fromLatin1(entry), nDefault);
    return n >= 0 && n <= QWIDGETSIZE_MAX ? n : nDefault;
}

// A window learns its new size at once, hidden or not, so that a nested splitter or a page
// lays itself out when it is moved and not only when it is next shown.
void SendPendingResize(QWidget* w) {
    if (!w->testAttribute(Qt::WA_PendingResizeEvent))
        return;
    w->setAttribute(Qt::WA_PendingResizeEvent, false);
    QResizeEvent resize(w->size(), QSize());
    QCoreApplication::sendEvent(w, &resize);
}

// Moves a pane window; a rectangle turned inside out by a tiny splitter gives an empty window.
void MoveWindow(QWidget* pane, const QRect& r) {
    pane->setGeometry(r.x(), r.y(), std::max(0, r.width()), std::max(0, r.height()));
    SendPendingResize(pane);
}

} // namespace

CSSplitter::CSSplitter(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
}

CSSplitter::~CSSplitter() {
    // A drag cut short by destruction leaves no tracker behind and no grab.
    EraseTracker(m_bandV);
    EraseTracker(m_bandH);
    if (m_bVertDragging || m_bHorizDragging)
        ReleaseCapture();
    if (m_bCreated)
        SaveToProfile();
    ReleasePanes();
}

bool CSSplitter::Create(unsigned dwStyle, const QRect& rect, QWidget* parent, int nID) {
    if (m_bCreated || !parent)
        return false;
    // The notify style is what lets a static control receive the mouse.
    m_dwStyle = dwStyle | SS_NOTIFY;
    setParent(parent, Qt::Widget);
    setProperty(kControlIdProperty, nID);
    setGeometry(rect);
    SendPendingResize(this);
    // Mouse moves arrive without a button too, to set the split cursor over the bar.
    setMouseTracking(true);
    m_bCreated = true;
    if (m_dwStyle & WS_VISIBLE)
        show();
    return true;
}

SplitRect CSSplitter::ClientRect() const {
    return {0, 0, width(), height()};
}

bool CSSplitter::HasBorder() const {
    return (m_dwStyle & WS_BORDER) != 0;
}

SplitRect CSSplitter::ScreenWindowRect() const {
    return SplitRect::FromQRect(QRect(mapToGlobal(QPoint(0, 0)), size()));
}

void CSSplitter::AdoptPane(QWidget* pane) {
    if (pane->parentWidget() != this)
        pane->setParent(this, Qt::Widget);
    if (!m_adoptedPanes.contains(pane))
        m_adoptedPanes.append(pane);
}

void CSSplitter::ReleasePanes() {
    // Destroying a window destroys its child windows; the panes belong to their creator, so
    // they go back to the pane owner (or to the splitter's parent) before that happens.
    QWidget* home = m_pOwner;
    if (home && (home == this || isAncestorOf(home)))
        home = nullptr;
    if (!home)
        home = parentWidget();
    for (const QPointer<QWidget>& pane : std::as_const(m_adoptedPanes)) {
        if (pane && pane->parentWidget() == this) {
            pane->hide();
            pane->setParent(home, Qt::Widget);
        }
    }
    m_adoptedPanes.clear();
}

void CSSplitter::SetPanes(QWidget* owner, QWidget* first, QWidget* second, unsigned orientation) {
    if (!first || !second)
        return;
    AdoptPane(first);
    AdoptPane(second);
    m_pOwner = owner;

    if (orientation == 0)
        orientation = m_bVertMode ? SplitVertical : (m_bHorizMode ? SplitHorizontal : 0);
    if (orientation & SplitVertical) {
        if (m_pLeftPane)
            m_pLeftPane->hide();
        if (m_pRightPane)
            m_pRightPane->hide();
        m_pLeftPane = first;
        m_pRightPane = second;
        InitVertical(MinLeft, MinRight);
        m_pLeftPane->show();
        m_pRightPane->show();
    }
    if (orientation & SplitHorizontal) {
        if (m_pTopPane)
            m_pTopPane->hide();
        if (m_pBottomPane)
            m_pBottomPane->hide();
        m_pTopPane = first;
        m_pBottomPane = second;
        InitHorizontal(MinTop, MinBottom);
        m_pTopPane->show();
        m_pBottomPane->show();
    }
}

QWidget* CSSplitter::GetSecondPane() const {
    if (m_bVertMode)
        return m_pRightPane;
    if (m_bHorizMode)
        return m_pBottomPane;
    return nullptr;
}

void CSSplitter::InitVertical(int nMinLeft, int nMinRight) {
    m_bVertMode = true;
    m_bHorizMode = false;
    MinLeft = nMinLeft;
    MinRight = nMinRight;
    const SplitRect c = ClientRect();
    if (VertPos == -1) {
        VertPos = ReadPosition(VertSection(ProfileId), kVertEntry, DefaultVertPos(MinLeft));
        m_rectLeft = {c.left, c.top, c.left + VertPos, c.bottom};
    }
    // The stored position is honoured as it is; only a size change applies the limits.
    LayoutVert(VerticalCentre(c, VertPos, BarWidth));
    VertPos = m_rectLeft.Width();
}

void CSSplitter::InitHorizontal(int nMinTop, int nMinBottom) {
    m_bHorizMode = true;
    m_bVertMode = false;
    MinTop = nMinTop;
    MinBottom = nMinBottom;
    if (HorizPos == -1)
        HorizPos = ReadPosition(HorizSection(ProfileId), kHorizEntry, DefaultHorizPos(MinBottom));
    LayoutHorz(HorizontalCentre(ClientRect(), HorizPos, BarWidth));
}

void CSSplitter::LayoutVert(int x) {
    const VerticalLayout layout = LayoutVertical(ClientRect(), x, BarWidth, HasBorder());
    m_rectSplitterV = layout.bar;
    if (m_pLeftPane) {
        m_rectLeft = layout.leftPane;
        MoveWindow(m_pLeftPane, layout.leftWindow);
    }
    if (m_pRightPane) {
        m_rectRight = layout.rightPane;
        MoveWindow(m_pRightPane, layout.rightPane.ToQRect());
    }
}

void CSSplitter::LayoutHorz(int y) {
    const HorizontalLayout layout = LayoutHorizontal(ClientRect(), y, BarWidth, HasBorder());
    m_rectSplitterH = layout.bar;
    if (m_pBottomPane) {
        m_rectBottom = layout.bottomPane;
        MoveWindow(m_pBottomPane, layout.bottomPane.ToQRect());
    }
    if (m_pTopPane) {
        m_rectTop = layout.topPane;
        MoveWindow(m_pTopPane, layout.topPane.ToQRect());
    }
}

void CSSplitter::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    // The limits hold the bar inside the new area; the stored position stays as it is, so a
    // window shrunk and enlarged again gets its bar back where it was.
    const SplitRect c = ClientRect();
    if (m_bVertMode)
        LayoutVert(ClampVertical(c, VerticalCentre(c, VertPos, BarWidth), MinLeft, MinRight));
    if (m_bHorizMode)
        LayoutHorz(ClampHorizontal(c, HorizontalCentre(c, HorizPos, BarWidth), MinTop, MinBottom));
}

void CSSplitter::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->position().toPoint());
    // A static control keeps its clicks: they never reach the window beneath.
    e->accept();
}

void CSSplitter::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonUp(e->position().toPoint());
    e->accept();
}

void CSSplitter::mouseMoveEvent(QMouseEvent* e) {
    OnMouseMove(e->position().toPoint());
    e->accept();
}

void CSSplitter::OnLButtonDown(QPoint point) {
    if (m_bVertMode && VerticalHitRect(m_rectSplitterV).PtInRect(point.x(), point.y())) {
        m_rectTrackerV = ScreenWindowRect();
        // The drag starts exactly on the bar's centre, wherever on the bar it was pressed.
        const int x = BarCentre(m_rectSplitterV.left, m_rectSplitterV.right);
        QCursor::setPos(mapToGlobal(QPoint(x, point.y())));
        m_bVertDragging = true;
        m_ptLastV = QPoint(x, 0);
        ShowVertTracker();
        SetCapture();
        setCursor(VertSplitCursor());
        m_bVertCaptured = true;
    }
    if (m_bHorizMode && HorizontalHitRect(m_rectSplitterH).PtInRect(point.x(), point.y())) {
        m_rectTrackerH = ScreenWindowRect();
        const int y = BarCentre(m_rectSplitterH.top, m_rectSplitterH.bottom);
        QCursor::setPos(mapToGlobal(QPoint(point.x(), y)));
        m_bHorizDragging = true;
        m_ptLastH = QPoint(0, y);
        ShowHorzTracker();
        SetCapture();
        setCursor(HorzSplitCursor());
        m_bHorizCaptured = true;
    }
}

void CSSplitter::OnLButtonUp(QPoint point) {
    const SplitRect c = ClientRect();
    if (m_bVertMode && m_bVertDragging && m_bVertCaptured) {
        const int x = ClampVertical(c, point.x(), MinLeft, MinRight);
        EraseTracker(m_bandV);
        m_bVertDragging = false;
        LayoutVert(x);
        m_bVertCaptured = false;
        // In an area too small for both minimums the bar goes where the limits put it, which is
        // not the user's choice: the position kept (and stored) stays the one chosen before.
        if (HoldsBothMinimums(c.Width(), MinLeft, MinRight))
            VertPos = m_rectLeft.Width();
        ReleaseCapture();
    }
    if (m_bHorizMode && m_bHorizDragging && m_bHorizCaptured) {
        const int y = ClampHorizontal(c, point.y(), MinTop, MinBottom);
        EraseTracker(m_bandH);
        LayoutHorz(y);
        m_bHorizDragging = false;
        if (HoldsBothMinimums(c.Height(), MinTop, MinBottom))
            HorizPos = m_rectBottom.Height();
        m_bHorizCaptured = false;
        ReleaseCapture();
    }
}

void CSSplitter::OnMouseMove(QPoint point) {
    // A drag whose mouse grab was taken away ends where the mouse now is.
    if (QWidget::mouseGrabber() != this)
        OnLButtonUp(point);
    const SplitRect c = ClientRect();
    if (m_bVertMode) {
        UpdateCursor(VerticalHitRect(m_rectSplitterV).PtInRect(point.x(), point.y()), m_bVertDragging,
                     VertSplitCursor());
        if (m_bVertDragging) {
            EraseTracker(m_bandV);
            const int x = ClampVertical(c, point.x(), MinLeft, MinRight);
            m_rectTrackerV = m_rectTrackerV.Offset(x - m_ptLastV.x(), 0);
            ShowVertTracker();
            m_ptLastV = QPoint(x, 0);
        }
    }
    if (m_bHorizMode) {
        UpdateCursor(HorizontalHitRect(m_rectSplitterH).PtInRect(point.x(), point.y()), m_bHorizDragging,
                     HorzSplitCursor());
        if (m_bHorizDragging) {
            EraseTracker(m_bandH);
            const int y = ClampHorizontal(c, point.y(), MinTop, MinBottom);
            m_rectTrackerH = m_rectTrackerH.Offset(0, y - m_ptLastH.y());
            ShowHorzTracker();
            m_ptLastH = QPoint(0, y);
        }
    }
}

void CSSplitter::UpdateCursor(bool bOverBar, bool bDragging, const QCursor& splitCursor) {
    if (bOverBar)
        setCursor(splitCursor);
    else if (!bDragging)
        unsetCursor();
}

void CSSplitter::SetCapture() {
    grabMouse();
    m_pFocusBefore = window()->focusWidget();
    setFocus(Qt::MouseFocusReason);
    // Escape must reach the drag even when a window around the splitter filters keys.
    qApp->installEventFilter(this);
}

void CSSplitter::ReleaseCapture() {
    releaseMouse();
    qApp->removeEventFilter(this);
}

bool CSSplitter::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* target = static_cast<QWidget*>(watched);
        if (target == this || isAncestorOf(target))
            PreTranslateMessage(watched, static_cast<QKeyEvent*>(e));
    }
    return QWidget::eventFilter(watched, e);
}

bool CSSplitter::PreTranslateMessage(QObject* /*target*/, QKeyEvent* e) {
    if (e->type() != QEvent::KeyPress || VirtualKey::FromEvent(e) != VirtualKey::VK_ESCAPE)
        return false;
    if (m_bVertDragging) {
        CancelDrag(m_bandV);
        m_bVertDragging = false;
        m_bVertCaptured = false;
    }
    if (m_bHorizDragging) {
        CancelDrag(m_bandH);
        m_bHorizDragging = false;
        m_bHorizCaptured = false;
    }
    // The key goes on: Escape is not the splitter's to swallow.
    return false;
}

void CSSplitter::CancelDrag(QRect& band) {
    EraseTracker(band);
    ReleaseCapture();
    if (m_pFocusBefore)
        m_pFocusBefore->setFocus(Qt::OtherFocusReason);
    else
        clearFocus();
}

void CSSplitter::ShowVertTracker() {
    QWidget* surface = parentWidget();
    if (!surface)
        return;
    m_bandV = VerticalTrackerBand(m_rectTrackerV, surface->mapToGlobal(QPoint(0, 0)), m_rectSplitterV,
                                  ClientRect(), BarWidth);
    m_pTrackerSurface = surface;
    CXorTracker::PatInvert(surface, m_bandV);
}

void CSSplitter::ShowHorzTracker() {
    QWidget* surface = parentWidget();
    if (!surface)
        return;
    m_bandH =
        HorizontalTrackerBand(m_rectTrackerH, surface->mapToGlobal(QPoint(0, 0)), m_rectSplitterH, BarWidth);
    m_pTrackerSurface = surface;
    CXorTracker::PatInvert(surface, m_bandH);
}

void CSSplitter::EraseTracker(QRect& band) {
    // Inverting the band drawn last once more restores those pixels, even if the splitter
    // moved or changed size in between.
    if (!band.isNull())
        CXorTracker::PatInvert(m_pTrackerSurface, band);
    band = QRect();
}

void CSSplitter::SaveToProfile() const {
    // The positions kept, not the panes as a window too small for them last laid them out: a
    // tiny window at exit must not take the user's split with it. Both entries are written
    // whatever the orientation (the other one never laid out, so 0); only the one of the
    // splitter's own orientation is ever read back.
    WriteProfileInt(VertSection(ProfileId), QString::fromLatin1(kVertEntry), std::max(0, VertPos));
    WriteProfileInt(HorizSection(ProfileId), QString::fromLatin1(kHorizEntry), std::max(0, HorizPos));
}
