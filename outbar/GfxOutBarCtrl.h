#pragma once
// The outlook-style navigation bar: a vertical stack of folder headers with the items of the open
// folder shown as icons with labels between them. The bar tells its owner about clicks, folder
// changes, renames and drags through one notification call; it knows nothing of what its folders
// and items stand for.

#include "outbar/GfxPopupMenu.h"
#include "outbar/OutBarGeometry.h"
#include "platform/WindowSurface.h"

#include <QColor>
#include <QCursor>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

class CImageList;
class CGfxGroupEdit;

// Notification message number the bar sends to its owner (and the label edit to the bar).
constexpr unsigned WM_BAR_NOTIFY = 0x0400 + 1;

enum BarNotifyCode : unsigned {
    BarNotifyItemClicked = 1,
    BarNotifyItemRenamed = 2,
    BarNotifyFolderRenamed = 3,
    BarNotifyItemDragged = 4,
    BarNotifyFolderChanged = 5,
};

// The parameter of BarNotifyItemRenamed and BarNotifyFolderRenamed; text is valid during the call.
struct BarLabelChange {
    int index;
    const char16_t* text;
};

// The parameter of BarNotifyItemDragged. The first two fields carry nothing (they are zero).
struct BarDragMove {
    qint32 reserved1;
    qint32 reserved2;
    qint32 folder;
    qint32 item;
};

// Style word bits.
enum : quint32 {
    BarStyleSmallIcons = 0x1,
    BarStyleEditFolders = 0x4,
    BarStyleEditItems = 0x8,
    BarStyleRemoveFolders = 0x10,
    BarStyleRemoveItems = 0x20,
    BarStyleDragItems = 0x80,
    BarStyleAnimateFolders = 0x100,
    BarStyleSelectedFrame = 0x200,
    BarStyleDefault = 0x3FC,
};

// Context-menu commands.
enum : int {
    CommandSmallIcons = 50000,
    CommandLargeIcons = 50001,
    CommandRemove = 50002,
    CommandRename = 50003,
};

// The window that receives the bar's notifications: code in wParam, lParam as the code defines.
class CGfxOutBarOwner {
public:
    virtual ~CGfxOutBarOwner() = default;
    virtual qintptr OnBarNotify(quintptr wParam, qintptr lParam) = 0;
};

// An index outside the bar's folders or items given to an operation that requires a valid one.
class CBarInvalidArgException : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};
[[noreturn]] void ThrowBarInvalidArgument(const char* operation);

// What the label edit calls when it ends with a new text (wParam = kind, the edit itself).
class CGfxGroupEditReceiver {
public:
    virtual ~CGfxGroupEditReceiver() = default;
    virtual qintptr OnGroupEditNotify(int kind, CGfxGroupEdit* edit) = 0;
};

class CGfxOutBarCtrl : public QWidget,
                       public CGfxCmdTarget,
                       public CGfxGroupEditReceiver,
                       private IBarItemSource {
    Q_OBJECT

public:
    class CBarItem {
    public:
        CBarItem(const QString& label, int image) : m_strLabel(label), m_nImage(image) {}
        virtual ~CBarItem() = default;
        QString m_strLabel; // a null string means no label
        int m_nImage;       // negative: no icon
        quint32 m_dwData = 0;
    };

    class CBarFolder {
    public:
        CBarFolder(const QString& name, quint32 data) : m_strName(name), m_dwData(data) {}
        virtual ~CBarFolder() = default;
        // Inserts before position pos; a position below 0 or above the count appends.
        int InsertItem(int pos, const QString& label, int image);
        int GetItemCount() const { return int(m_arItems.size()); }
        CBarItem* GetItem(int index) const;

        QString m_strName; // a null string means no name
        quint32 m_dwData;
        CImageList* m_pLargeImageList = nullptr; // null: the bar-wide list applies
        CImageList* m_pSmallImageList = nullptr;
        std::vector<std::unique_ptr<CBarItem>> m_arItems;
    };

    explicit CGfxOutBarCtrl(QWidget* parent = nullptr);
    ~CGfxOutBarCtrl() override;

    // Folders and items.
    int AppendFolder(const QString& name, quint32 folderData);
    void RemoveFolder(int index);
    void SelectFolder(int index);
    int GetFolderCount() const { return int(m_arFolder.size()); }
    CBarFolder& GetFolder(int index);
    int GetCurrentFolder() const { return m_nCurrentFolder; }
    void RemoveItem(int index);
    void SetFolderText(int index, const QString& text);
    void SetItemText(int folder, int item, const QString& text);
    void BeginFolderRename(int index);
    void BeginItemRename(int index);

    // Appearance.
    void SetLargeImageList(CImageList* list) { m_pLargeImageList = list; }
    void SetSmallImageList(CImageList* list) { m_pSmallImageList = list; }
    void SetBarStyle(quint32 style) { m_dwFlags = style; }
    quint32 GetBarStyle() const { return m_dwFlags; }
    void SetAnimationTicks(int ticks) { AnimationTicks = ticks; }
    // The owner must outlive the bar (or be reset to null before it goes).
    void SetOwner(CGfxOutBarOwner* owner) { m_pOwner = owner; }

    int HitTest(QPoint point, int* index) const;
    COutBarGeometry Geometry() const;

    // Timers keep their numbers: 1 hover watch, 2 scroll repeat, 3 clicked-item jiggle.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    void OnTimer(int id);
    void OnCommand(int id);

    // The window's picture, and painting whatever is invalid now rather than on the next paint.
    const QImage& SurfaceImage() const { return m_surface.Image(); }
    // Number of frames the last folder slide showed (0 when a selection played none).
    int SlideFrameCount() const { return m_nSlideFrames; }
    void UpdateWindow();
    // Marks the whole window for a repaint (update() does the same).
    void InvalidateAll();

    bool OnCmdUIUpdate(CGfxCmdUI& cmdUI) override;
    qintptr OnGroupEditNotify(int kind, CGfxGroupEdit* edit) override;

    // Attributes the owner writes directly.
    QString SmallIconsLabel = QStringLiteral("SMALLICON");
    QString LargeIconsLabel = QStringLiteral("ICON");
    QString RemoveLabel = QStringLiteral("REMOVE");
    QString RenameLabel = QStringLiteral("RENAME");
    int FolderHeaderHeight = 30;
    int AnimationTicks = 10;
    int LastClickedItem = -1;
    int ClickAnimation = 0;
    int HotFolder = -1;
    int FirstVisibleItem = 0;
    int HotItem = -1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    enum class PressLoop { None, Header, Item, Scroll };
    enum DrawMode { DrawNormal, DrawPlain, DrawDownOne, DrawDownTwo, DrawUpOneHeader };

    // IBarItemSource
    int ItemCount(int folder) const override;
    QSize IconSize(int folder, int item, bool smallView) const override;
    QSize LabelSize(int folder, int item, bool smallView, int wrapWidth) const override;

    bool IsSmallView() const { return (m_dwFlags & BarStyleSmallIcons) != 0; }
    bool IsFolder(int index) const { return index >= 0 && index < GetFolderCount(); }
    bool IsItemOfCurrent(int index) const;
    CBarItem* ItemOf(int folder, int item) const;
    const CImageList* ViewImageList(int folder) const;
    qintptr Notify(unsigned code, qintptr lParam);
    bool EditIsOpen() const;
    QPoint CursorPos() const;

    void Invalidate(const BarRect& r);
    void PaintPending();
    void ComposeFull(QImage& buffer);
    void FlushRect(const BarRect& r);
    void FlushPending();

    // Drawing on any surface.
    void DrawFolderHeader(QPainter& p, int index, bool pressed, BarRect r) const;
    void DrawItems(QPainter& p, const COutBarGeometry& g, int folder, DrawMode mode, int headerShift,
                   int bottomBound) const;
    void DrawItem(QPainter& p, const COutBarGeometry& g, int folder, int item, const BarRect& cell) const;
    void DrawScrollButton(QPainter& p, const BarRect& r, bool up, bool pushed) const;

    // Drawing directly on the window.
    void DrawHeaderOnWindow(int index, bool pressed);
    void DrawScrollButtonOnWindow(bool up, bool pushed);
    void HighlightFolder(int index);
    void HighlightItem(int index, bool pressed);
    void DrawAnimItem(int dx, int dy, int item);
    void DrawDragMark(int mark);

    void SlideFolders(int from, int to);

    // Mouse handling.
    void OnMouseMove(QPoint point);
    void OnLButtonDown(QPoint point);
    void OnRButtonDown(QPoint point);
    bool MouseCapturedElsewhere() const;
    void BeginHeaderLoop(int index);
    void HeaderLoopMove(QPoint point);
    void HeaderLoopRelease(QPoint point);
    void BeginItemLoop(int index);
    void ItemLoopMove(QPoint point);
    void ItemLoopRelease(QPoint point);
    void EndItemLoop(bool dragged);
    void AbandonLoop();
    void BeginScrollLoop(bool up);
    void ScrollLoopMove(QPoint point);
    void ScrollLoopRelease(QPoint point);
    bool ScrollStep(bool up);
    void SetHoverCursor(QPoint point);

    bool m_bSlideLayout = false;
    bool m_bSlideHeaderOffset = false;
    QColor m_crBackground;
    QColor m_crLine;
    QColor m_crText;
    QColor m_crFace;
    QColor m_crLight;
    QColor m_crHilight;
    QColor m_crShadow;
    QColor m_crDkShadow;
    BarMetrics m_metrics;
    bool m_bUpVisible = false;
    bool m_bDownVisible = false;
    bool m_bUpPressed = false;
    bool m_bDownPressed = false;
    BarRect m_rcUpArrow;
    BarRect m_rcDownArrow;
    int m_nContextHit = HitNothing;
    int m_nContextIndex = -1;
    int m_nAnimationTickCount = 0;
    quint32 m_dwFlags = BarStyleDefault;
    std::vector<std::unique_ptr<CBarFolder>> m_arFolder;
    bool m_bHotItemPressed = false;
    int m_nDragMark = -1;
    BarMarkKind m_nDragMarkKind = MarkBetween;
    int m_nCurrentFolder = 1;
    CImageList* m_pLargeImageList = nullptr;
    CImageList* m_pSmallImageList = nullptr;
    QCursor m_hHeaderCursor;
    QCursor m_hDropCursor;
    QCursor m_hNoDropCursor;

    CGfxOutBarOwner* m_pOwner = nullptr;
    CWindowSurface m_surface;
    QRegion m_invalid;
    bool m_bInPaint = false;
    bool m_bFlushing = false;
    QRegion m_pendingFlush; // drawn on the window during a paint, shown after it
    int m_nSlideFrames = 0;
    std::map<int, int> m_timers; // our timer number -> Qt timer id

    // State of the press loop in progress.
    PressLoop m_loop = PressLoop::None;
    int m_nLoopIndex = -1;
    bool m_bLoopLook = false;
    bool m_bDragging = false;
    bool m_bLoopUp = false;
    BarRect m_rcLoop;
    QCursor m_loopCursor;
};
