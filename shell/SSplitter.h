#pragma once

// CSSplitter: a child window that divides its client area between two pane windows, side by
// side (a vertical bar: left and right panes) or one above the other (a horizontal bar: top and
// bottom panes), and lets the user move the bar with the mouse.
//
// The splitter paints nothing: the bar is the gap of BarWidth pixels it leaves between its
// panes. While the bar is dragged a tracker band is inverted over the parent window and the
// panes move only when the button is released; Escape cancels the drag. The split position is
// kept in the application profile ("splt\init_v<ProfileId>" / "VertSplitPos" for the width of
// the left pane, "splt\init_h<ProfileId>" / "HorizSplitPos" for the height of the bottom pane),
// read when the panes are first set and written when the splitter is destroyed.
//
// The splitter does not own its panes: it reparents, moves, shows and hides them, and when it
// is destroyed it hands every pane it was given back to the pane owner (else to its own parent)
// instead of destroying it with itself.

#include "shell/SplitterGeometry.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QCursor;
class QKeyEvent;

class CSSplitter : public QWidget {
    Q_OBJECT
public:
    explicit CSSplitter(QWidget* parent = nullptr);
    ~CSSplitter() override;

    // Creates the splitter as a child window of `parent` over `rect` with control id `nID`
    // (kept in the "controlId" property). The static-control notify style (0x100) is added to
    // `dwStyle`; the visible style shows the window, the border style moves the bar's first
    // edge one pixel in. Fails without a parent, and when the splitter exists already.
    bool Create(unsigned dwStyle, const QRect& rect, QWidget* parent, int nID);
    bool IsCreated() const { return m_bCreated; }
    unsigned GetStyle() const { return m_dwStyle; }

    // Makes `first` and `second` the panes: left and right for SplitVertical (0x1), top and
    // bottom for SplitHorizontal (0x2); every other bit of `orientation` is ignored, and 0 keeps
    // the current mode. The panes are reparented into the splitter; the former panes of that
    // orientation are hidden. The first call reads the stored position from the profile; later
    // calls keep the current position. Both panes are required.
    void SetPanes(QWidget* owner, QWidget* first, QWidget* second, unsigned orientation);
    // The right pane in vertical mode, else the bottom pane in horizontal mode, else nullptr.
    QWidget* GetSecondPane() const;

    bool IsVertical() const { return m_bVertMode; }
    bool IsHorizontal() const { return m_bHorizMode; }
    bool IsDragging() const { return m_bVertDragging || m_bHorizDragging; }
    // Last laid-out rectangles, in client coordinates.
    SplitRect GetLeftPaneRect() const { return m_rectLeft; }
    SplitRect GetRightPaneRect() const { return m_rectRight; }
    SplitRect GetTopPaneRect() const { return m_rectTop; }
    SplitRect GetBottomPaneRect() const { return m_rectBottom; }
    SplitRect GetVertBarRect() const { return m_rectSplitterV; }
    SplitRect GetHorizBarRect() const { return m_rectSplitterH; }

    // Sees every key press aimed at the splitter or a window inside it while a drag runs:
    // Escape cancels the drag. Never swallows the key.
    bool PreTranslateMessage(QObject* target, QKeyEvent* e);

    int MinLeft = 0;
    int MinRight = 0;
    int MinTop = 0;
    int MinBottom = 0;
    unsigned BarWidth = 6;
    int ProfileId = 0;
    int VertPos = -1;  // width of the left pane; -1 until read from the profile
    int HorizPos = -1; // height of the bottom pane; -1 until read from the profile
    // Options kept for the creator; this system leaves them off and the splitter does not act
    // on them: the panes always share the area and a drag always shows a tracker.
    bool HideLeftPane = false;
    bool HideRightPane = false;
    bool HideBottomPane = false;
    bool LiveResize = false;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    SplitRect ClientRect() const;
    bool HasBorder() const;
    SplitRect ScreenWindowRect() const;
    void InitVertical(int nMinLeft, int nMinRight);
    void InitHorizontal(int nMinTop, int nMinBottom);
    void LayoutVert(int x);
    void LayoutHorz(int y);
    void OnLButtonDown(QPoint point);
    void OnLButtonUp(QPoint point);
    void OnMouseMove(QPoint point);
    void UpdateCursor(bool bOverBar, bool bDragging, const QCursor& splitCursor);
    // Takes the mouse and the keyboard focus for a drag, remembering who had the focus.
    void SetCapture();
    void ReleaseCapture();
    // Escape: the tracker goes, the grab is released and the focus goes back.
    void CancelDrag(QRect& band);
    void ShowVertTracker();
    void ShowHorzTracker();
    void EraseTracker(QRect& band);
    void SaveToProfile() const;
    void AdoptPane(QWidget* pane);
    void ReleasePanes();

    QPointer<QWidget> m_pLeftPane;
    QPointer<QWidget> m_pRightPane;
    QPointer<QWidget> m_pTopPane;
    QPointer<QWidget> m_pBottomPane;
    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pFocusBefore;        // had the keyboard focus when the drag began
    QList<QPointer<QWidget>> m_adoptedPanes; // every window ever made a pane

    SplitRect m_rectLeft;
    SplitRect m_rectRight;
    SplitRect m_rectTop;
    SplitRect m_rectBottom;
    SplitRect m_rectSplitterV;
    SplitRect m_rectTrackerV; // screen coordinates
    SplitRect m_rectSplitterH;
    SplitRect m_rectTrackerH; // screen coordinates
    QPoint m_ptLastV;
    QPoint m_ptLastH;
    // The tracker bands as last drawn, in the coordinates of the window they were drawn on.
    QPointer<QWidget> m_pTrackerSurface;
    QRect m_bandV;
    QRect m_bandH;

    bool m_bHorizMode = false;
    bool m_bVertMode = false;
    bool m_bVertCaptured = false;
    bool m_bVertDragging = false;
    bool m_bHorizCaptured = false;
    bool m_bHorizDragging = false;
    bool m_bCreated = false;
    unsigned m_dwStyle = 0;
};
