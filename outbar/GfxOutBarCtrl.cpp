#include "outbar/GfxOutBarCtrl.h"

#include "outbar/GfxGroupEdit.h"
#include "platform/ImageList.h"
#include "platform/SystemColors.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QThread>
#include <QTimerEvent>

namespace {

// The pressed look of the last item hover drawn, shared by every bar of the process.
bool s_bLastHoverPressed = false;

QFont DefaultGuiFont() {
    return QApplication::font();
}

// A small-view label is one line of text.
QString OneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

// Pixels from x1 towards x2 on row y, the end point excluded (either direction).
void HLine(QPainter& p, int x1, int x2, int y, const QColor& c) {
    if (x1 == x2)
        return;
    const int left = std::min(x1, x2 + (x2 < x1 ? 1 : 0));
    const int right = x2 < x1 ? x1 : x2 - 1;
    p.fillRect(QRect(left, y, right - left + 1, 1), c);
}

// Pixels from y1 towards y2 in column x, the end point excluded (either direction).
void VLine(QPainter& p, int x, int y1, int y2, const QColor& c) {
    if (y1 == y2)
        return;
    const int top = y2 < y1 ? y2 + 1 : y1;
    const int bottom = y2 < y1 ? y1 : y2 - 1;
    p.fillRect(QRect(x, top, 1, bottom - top + 1), c);
}

// Top and left edges in a, bottom and right edges in b, one pixel wide, inside r.
void Outline3D(QPainter& p, const BarRect& r, const QColor& a, const QColor& b) {
    const int w = r.Width();
    const int h = r.Height();
    if (w <= 0 || h <= 0)
        return;
    p.fillRect(QRect(r.left, r.top, w - 1, 1), a);
    p.fillRect(QRect(r.left, r.top, 1, h - 1), a);
    p.fillRect(QRect(r.right - 1, r.top, 1, h), b);
    p.fillRect(QRect(r.left, r.bottom - 1, w, 1), b);
}

void Fill(QPainter& p, const BarRect& r, const QColor& c) {
    if (!r.IsEmpty())
        p.fillRect(r.ToQRect(), c);
}

} // namespace

void ThrowBarInvalidArgument(const char* operation) {
    throw CBarInvalidArgException(std::string("navigation bar: invalid index given to ") + operation);
}

// ---------------------------------------------------------------------------------------------
// Records

int CGfxOutBarCtrl::CBarFolder::InsertItem(int pos, const QString& label, int image) {
    const int count = GetItemCount();
    if (pos < 0 || pos > count)
        pos = count;
    m_arItems.insert(m_arItems.begin() + pos, std::make_unique<CBarItem>(label, image));
    return pos;
}

CGfxOutBarCtrl::CBarItem* CGfxOutBarCtrl::CBarFolder::GetItem(int index) const {
    if (index < 0 || index >= GetItemCount())
        return nullptr;
    return m_arItems[size_t(index)].get();
}

// ---------------------------------------------------------------------------------------------
// Construction and operations

CGfxOutBarCtrl::CGfxOutBarCtrl(QWidget* parent)
    : QWidget(parent), m_crBackground(ColorFromRef(0x00D67663)), m_crLine(ColorFromRef(0x00D67663)),
      m_crText(SystemColor(COLOR_WINDOW)), m_crFace(SystemColor(COLOR_BTNFACE)),
      m_crLight(SystemColor(COLOR_3DLIGHT)), m_crHilight(SystemColor(COLOR_BTNHIGHLIGHT)),
      m_crShadow(SystemColor(COLOR_BTNSHADOW)), m_crDkShadow(SystemColor(COLOR_3DDKSHADOW)),
      m_hHeaderCursor(Qt::PointingHandCursor), m_hDropCursor(Qt::DragMoveCursor),
      m_hNoDropCursor(Qt::ForbiddenCursor) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

CGfxOutBarCtrl::~CGfxOutBarCtrl() {
    // An edit still open when the bar goes reports nothing: its focus loss would otherwise reach
    // a bar that is already half destroyed.
    for (CGfxGroupEdit* edit : findChildren<CGfxGroupEdit*>(Qt::FindDirectChildrenOnly)) {
        edit->m_bCancelled = 1;
        delete edit;
    }
}

int CGfxOutBarCtrl::AppendFolder(const QString& name, quint32 folderData) {
    m_arFolder.push_back(std::make_unique<CBarFolder>(name, folderData));
    return GetFolderCount() - 1;
}

CGfxOutBarCtrl::CBarFolder& CGfxOutBarCtrl::GetFolder(int index) {
    if (!IsFolder(index))
        ThrowBarInvalidArgument("GetFolder");
    return *m_arFolder[size_t(index)];
}

void CGfxOutBarCtrl::RemoveFolder(int index) {
    if (!IsFolder(index))
        ThrowBarInvalidArgument("RemoveFolder");
    m_arFolder.erase(m_arFolder.begin() + index);
    if (m_nCurrentFolder >= index)
        m_nCurrentFolder = index - 1;
    if (m_nCurrentFolder < 0 && GetFolderCount() > 0)
        m_nCurrentFolder = 0;
    InvalidateAll();
}

void CGfxOutBarCtrl::SelectFolder(int index) {
    if (GetFolderCount() > 0 && !IsFolder(index))
        ThrowBarInvalidArgument("SelectFolder");
    m_nSlideFrames = 0;
    if (index != m_nCurrentFolder && IsFolder(m_nCurrentFolder) && (m_dwFlags & BarStyleAnimateFolders) &&
        AnimationTicks >= 0)
        SlideFolders(m_nCurrentFolder, index);
    m_nCurrentFolder = index;
    FirstVisibleItem = 0;
    LastClickedItem = -1;
    Notify(BarNotifyFolderChanged, index);
    InvalidateAll();
}

void CGfxOutBarCtrl::RemoveItem(int index) {
    if (!IsFolder(m_nCurrentFolder))
        ThrowBarInvalidArgument("RemoveItem");
    CBarFolder& folder = *m_arFolder[size_t(m_nCurrentFolder)];
    if (index < 0 || index >= folder.GetItemCount())
        return;
    folder.m_arItems.erase(folder.m_arItems.begin() + index);
    Invalidate(Geometry().InsideRect());
}

void CGfxOutBarCtrl::SetFolderText(int index, const QString& text) {
    GetFolder(index).m_strName = text;
}

void CGfxOutBarCtrl::SetItemText(int folder, int item, const QString& text) {
    CBarItem* record = IsFolder(folder) ? ItemOf(folder, item) : nullptr;
    if (!record)
        ThrowBarInvalidArgument("SetItemText");
    record->m_strLabel = text;
}

void CGfxOutBarCtrl::BeginFolderRename(int index) {
    if (!IsFolder(index))
        ThrowBarInvalidArgument("BeginFolderRename");
    BarRect header;
    Geometry().HeaderRect(index, &header);
    auto* edit = new CGfxGroupEdit(this);
    edit->Open(CGfxGroupEdit::KindFolder, index, header.Inflated(-2).ToQRect(), false, false,
               m_arFolder[size_t(index)]->m_strName);
}

void CGfxOutBarCtrl::BeginItemRename(int index) {
    if (!IsItemOfCurrent(index))
        ThrowBarInvalidArgument("BeginItemRename");
    const COutBarGeometry g = Geometry();
    BarRect r = g.LabelRect(m_nCurrentFolder, index);
    const bool small = IsSmallView();
    if (small) {
        r = r.Offset(g.IconRect(m_nCurrentFolder, index).Width() + 1, -6);
    } else {
        const BarRect inside = g.InsideRect();
        r.bottom += 5;
        r.left = inside.left + 5;
        r.right = inside.right - 5;
    }
    auto* edit = new CGfxGroupEdit(this);
    edit->m_nFolder = m_nCurrentFolder;
    edit->Open(CGfxGroupEdit::KindItem, index, r.ToQRect(), small, true,
               ItemOf(m_nCurrentFolder, index)->m_strLabel);
}

qintptr CGfxOutBarCtrl::OnGroupEditNotify(int kind, CGfxGroupEdit* edit) {
    // The owner may have removed the folder or item while the edit was open: a stale index is
    // dropped rather than applied to whatever now stands there.
    const std::u16string text(reinterpret_cast<const char16_t*>(edit->m_strText.utf16()),
                              edit->m_strText.size());
    BarLabelChange change{edit->m_nIndex, text.c_str()};
    if (kind == CGfxGroupEdit::KindFolder && IsFolder(change.index)) {
        if (Notify(BarNotifyFolderRenamed, reinterpret_cast<qintptr>(&change)) && IsFolder(change.index)) {
            SetFolderText(change.index, edit->m_strText);
            BarRect header;
            Geometry().HeaderRect(change.index, &header);
            Invalidate(header);
        }
    } else if (kind == CGfxGroupEdit::KindItem && edit->m_nFolder == m_nCurrentFolder &&
               IsItemOfCurrent(change.index)) {
        if (Notify(BarNotifyItemRenamed, reinterpret_cast<qintptr>(&change)) &&
            edit->m_nFolder == m_nCurrentFolder && IsItemOfCurrent(change.index)) {
            SetItemText(m_nCurrentFolder, change.index, edit->m_strText);
            Invalidate(Geometry().InsideRect());
        }
    }
    return 0;
}

int CGfxOutBarCtrl::HitTest(QPoint point, int* index) const {
    return Geometry().HitTest(point, index);
}

COutBarGeometry CGfxOutBarCtrl::Geometry() const {
    COutBarGeometry g;
    g.client = BarRect::FromQRect(rect());
    g.folderCount = GetFolderCount();
    g.current = m_nCurrentFolder;
    g.firstVisible = FirstVisibleItem;
    g.smallView = IsSmallView();
    g.slideLayout = m_bSlideLayout;
    g.slideHeaderOffset = m_bSlideHeaderOffset;
    g.metrics = m_metrics;
    g.metrics.FolderHeaderHeight = FolderHeaderHeight;
    g.items = this;
    g.upVisible = m_bUpVisible;
    g.downVisible = m_bDownVisible;
    g.upRect = m_rcUpArrow;
    g.downRect = m_rcDownArrow;
    return g;
}

// ---------------------------------------------------------------------------------------------
// What the layout needs of the records

bool CGfxOutBarCtrl::IsItemOfCurrent(int index) const {
    return IsFolder(m_nCurrentFolder) && index >= 0 &&
           index < m_arFolder[size_t(m_nCurrentFolder)]->GetItemCount();
}

CGfxOutBarCtrl::CBarItem* CGfxOutBarCtrl::ItemOf(int folder, int item) const {
    return IsFolder(folder) ? m_arFolder[size_t(folder)]->GetItem(item) : nullptr;
}

const CImageList* CGfxOutBarCtrl::ViewImageList(int folder) const {
    const bool small = IsSmallView();
    const CImageList* own = nullptr;
    if (IsFolder(folder))
        own = small ? m_arFolder[size_t(folder)]->m_pSmallImageList
                    : m_arFolder[size_t(folder)]->m_pLargeImageList;
    if (own)
        return own;
    return small ? m_pSmallImageList : m_pLargeImageList;
}

int CGfxOutBarCtrl::ItemCount(int folder) const {
    return IsFolder(folder) ? m_arFolder[size_t(folder)]->GetItemCount() : 0;
}

QSize CGfxOutBarCtrl::IconSize(int folder, int item, bool) const {
    const CBarItem* record = ItemOf(folder, item);
    const CImageList* list = ViewImageList(folder);
    if (!record || !list || record->m_nImage < 0)
        return QSize(0, 0);
    return list->ImageSize();
}

QSize CGfxOutBarCtrl::LabelSize(int folder, int item, bool smallView, int wrapWidth) const {
    const CBarItem* record = ItemOf(folder, item);
    if (!record || record->m_strLabel.isNull())
        return QSize(0, 0);
    const QFontMetrics metrics(DefaultGuiFont());
    if (smallView) {
        const QString line = OneLine(record->m_strLabel);
        return QSize(metrics.horizontalAdvance(line), metrics.height());
    }
    return metrics
        .boundingRect(QRect(0, 0, wrapWidth, 0), Qt::AlignHCenter | Qt::TextWordWrap, record->m_strLabel)
        .size();
}

// ---------------------------------------------------------------------------------------------
// Notifications, timers, commands

qintptr CGfxOutBarCtrl::Notify(unsigned code, qintptr lParam) {
    CGfxOutBarOwner* owner = m_pOwner ? m_pOwner : dynamic_cast<CGfxOutBarOwner*>(parentWidget());
    return owner ? owner->OnBarNotify(code, lParam) : 0;
}

void CGfxOutBarCtrl::SetTimer(int id, int periodMs) {
    KillTimer(id);
    m_timers[id] = startTimer(std::max(periodMs, 0));
}

void CGfxOutBarCtrl::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    killTimer(it->second);
    m_timers.erase(it);
}

void CGfxOutBarCtrl::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : m_timers) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(event);
}

QPoint CGfxOutBarCtrl::CursorPos() const {
    return mapFromGlobal(QCursor::pos());
}

void CGfxOutBarCtrl::OnTimer(int id) {
    if (id == 1) {
        // The pointer left the window without a move over it: drop the hovers.
        if (!BarRect::FromQRect(rect()).Contains(CursorPos())) {
            HighlightFolder(-1);
            HighlightItem(-1, false);
            KillTimer(1);
        }
    } else if (id == 3 && LastClickedItem >= 0) {
        if (++m_nAnimationTickCount > 10)
            m_nAnimationTickCount = -1;
        switch (m_nAnimationTickCount) {
        case 0:
            DrawAnimItem(-1, 1, LastClickedItem);
            break;
        case 1:
        case 3:
            DrawAnimItem(0, 0, LastClickedItem);
            break;
        case 2:
            DrawAnimItem(1, 1, LastClickedItem);
            break;
        default:
            break;
        }
    }
}

bool CGfxOutBarCtrl::OnCmdUIUpdate(CGfxCmdUI& cmdUI) {
    switch (cmdUI.m_nID) {
    case CommandSmallIcons:
        cmdUI.Enable(!IsSmallView());
        return true;
    case CommandLargeIcons:
        cmdUI.Enable(IsSmallView());
        return true;
    case CommandRemove:
    case CommandRename:
        return true;
    default:
        return false;
    }
}

void CGfxOutBarCtrl::OnCommand(int id) {
    const bool onHeader = m_nContextHit == HitFolder && IsFolder(m_nContextIndex);
    const bool onItem = m_nContextHit == HitItem && IsItemOfCurrent(m_nContextIndex);
    switch (id) {
    case CommandSmallIcons:
    case CommandLargeIcons: {
        const bool wantSmall = id == CommandSmallIcons;
        FirstVisibleItem = 0;
        if (IsSmallView() != wantSmall) {
            m_dwFlags ^= BarStyleSmallIcons;
            Invalidate(Geometry().InsideRect());
        }
        InvalidateAll();
        break;
    }
    case CommandRemove:
        if (onHeader)
            RemoveFolder(m_nContextIndex);
        else if (onItem)
            RemoveItem(m_nContextIndex);
        break;
    case CommandRename:
        if (onHeader)
            BeginFolderRename(m_nContextIndex);
        else if (onItem)
            BeginItemRename(m_nContextIndex);
        break;
    default:
        break;
    }
}

void CGfxOutBarCtrl::OnRButtonDown(QPoint point) {
    m_nContextHit = HitTest(point, &m_nContextIndex);
    CGfxPopupMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(CommandSmallIcons, SmallIconsLabel);
    menu.AppendMenu(CommandLargeIcons, LargeIconsLabel);
    const quint32 removeBit = m_nContextHit == HitItem ? BarStyleRemoveItems : BarStyleRemoveFolders;
    const quint32 renameBit = m_nContextHit == HitItem ? BarStyleEditItems : BarStyleEditFolders;
    if ((m_nContextHit == HitItem || m_nContextHit == HitFolder) && (m_dwFlags & (removeBit | renameBit))) {
        menu.AppendSeparator();
        if (m_dwFlags & removeBit)
            menu.AppendMenu(CommandRemove, RemoveLabel);
        if (m_dwFlags & renameBit)
            menu.AppendMenu(CommandRename, RenameLabel);
    }
    menu.LoadToolBarResource();
    menu.ConvertMenu(menu.GetMenu());
    menu.UpdateMenuState(menu.GetMenu(), this);
    const int command = menu.TrackPopupMenu(mapToGlobal(point), this);
    menu.DestroyMenu();
    if (command != 0)
        OnCommand(command);
}

// ---------------------------------------------------------------------------------------------
// Invalidation and the full repaint

void CGfxOutBarCtrl::Invalidate(const BarRect& r) {
    const QRect area = r.ToQRect().intersected(rect());
    if (area.isEmpty())
        return;
    m_invalid += area;
    update(area);
}

void CGfxOutBarCtrl::InvalidateAll() {
    Invalidate(BarRect::FromQRect(rect()));
}

void CGfxOutBarCtrl::UpdateWindow() {
    m_pendingFlush += m_invalid;
    PaintPending();
    FlushPending();
}

void CGfxOutBarCtrl::FlushRect(const BarRect& r) {
    if (m_bInPaint) {
        m_pendingFlush += r.ToQRect();
        return;
    }
    m_bFlushing = true;
    CWindowSurface::Flush(this, r.ToQRect());
    m_bFlushing = false;
}

void CGfxOutBarCtrl::FlushPending() {
    const QRegion pending = m_pendingFlush;
    m_pendingFlush = QRegion();
    for (const QRect& r : pending)
        FlushRect(BarRect::FromQRect(r));
}

void CGfxOutBarCtrl::paintEvent(QPaintEvent* event) {
    // A paint that the bar did not ask for itself (an expose, or update() from outside) repaints
    // its region from the records; a flush of something drawn on the window only shows it.
    if (!m_bFlushing)
        m_invalid += event->region();
    PaintPending();
    QPainter painter(this);
    m_surface.CopyTo(painter, event->rect());
    if (!m_pendingFlush.isEmpty())
        QMetaObject::invokeMethod(this, &CGfxOutBarCtrl::FlushPending, Qt::QueuedConnection);
}

void CGfxOutBarCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_surface.Resize(size(), m_crBackground);
    m_bUpVisible = false;
    m_bDownVisible = false;
    InvalidateAll();
}

void CGfxOutBarCtrl::PaintPending() {
    if (m_invalid.isEmpty() || m_surface.Image().isNull())
        return;
    m_bInPaint = true;
    // A fresh bitmap is black; the one-pixel row between the open folder's header and its page is
    // covered by nothing else and shows as a dark line.
    QImage buffer(size(), QImage::Format_RGB32);
    buffer.fill(Qt::black);
    ComposeFull(buffer);
    {
        // Only the invalid part of the window takes the new picture.
        QPainter painter(&m_surface.Image());
        painter.setClipRegion(m_invalid);
        painter.drawImage(0, 0, buffer);
    }
    m_invalid = QRegion();
    // Hovers live only on the window, so they are drawn again over the new picture.
    if (HotFolder >= 0) {
        const int hot = HotFolder;
        HotFolder = -1;
        HighlightFolder(hot);
    }
    if (HotItem >= 0) {
        const int hot = HotItem;
        HotItem = -1;
        HighlightItem(hot, m_bHotItemPressed);
    }
    m_bInPaint = false;
}

void CGfxOutBarCtrl::ComposeFull(QImage& buffer) {
    QPainter p(&buffer);
    COutBarGeometry g = Geometry();
    const BarRect inside = g.InsideRect();
    Fill(p, GetFolderCount() == 0 ? g.client : inside, m_crBackground);
    for (int i = 0; i < GetFolderCount(); ++i) {
        BarRect header;
        g.HeaderRect(i, &header);
        DrawFolderHeader(p, i, false, header);
    }
    const int side = SystemVScrollWidth();
    m_rcUpArrow = g.UpButtonRect(side);
    m_rcDownArrow = g.DownButtonRect(side);
    QRegion clip(g.client.ToQRect());
    m_bUpVisible = g.UpButtonWanted();
    if (m_bUpVisible) {
        DrawScrollButton(p, m_rcUpArrow, true, m_bUpPressed);
        clip -= m_rcUpArrow.ToQRect();
    }
    m_bDownVisible = g.DownButtonWanted();
    if (m_bDownVisible) {
        DrawScrollButton(p, m_rcDownArrow, false, m_bDownPressed);
        clip -= m_rcDownArrow.ToQRect();
    }
    p.setClipRegion(clip);
    DrawItems(p, g, m_nCurrentFolder, DrawNormal, 0, inside.bottom);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void CGfxOutBarCtrl::DrawFolderHeader(QPainter& p, int index, bool pressed, BarRect r) const {
    if (!IsFolder(index))
        return;
    if (!pressed) {
        HLine(p, r.left, r.right, r.top, m_crLine);
        r.top += 1;
        Outline3D(p, r, m_crHilight, m_crLine);
        r = r.Inflated(-1);
        Fill(p, r, m_crFace);
    } else {
        HLine(p, r.left + 1, r.right, r.top, m_crLine);
        r.top += 1;
        Outline3D(p, r, m_crDkShadow, m_crHilight);
        r = r.Inflated(-1);
        Outline3D(p, r, m_crLine, m_crFace);
        r = r.Inflated(-1);
        Fill(p, r, m_crFace);
    }
    const QString& name = m_arFolder[size_t(index)]->m_strName;
    if (!name.isEmpty()) {
        p.save();
        p.setFont(DefaultGuiFont());
        p.setPen(Qt::black);
        p.drawText(r.ToQRect(), Qt::AlignCenter | Qt::TextSingleLine, OneLine(name));
        p.restore();
    }
}

void CGfxOutBarCtrl::DrawItems(QPainter& p, const COutBarGeometry& g, int folder, DrawMode mode,
                               int headerShift, int bottomBound) const {
    const int H = g.metrics.FolderHeaderHeight;
    p.save();
    if (mode == DrawNormal) {
        p.setClipRect(g.InsideRect().ToQRect(), Qt::IntersectClip);
    } else {
        BarRect clip = g.client;
        clip.top += H;
        clip.bottom -= H * (g.folderCount - 1);
        p.setClipRect(clip.ToQRect());
    }
    int shift = 0;
    switch (mode) {
    case DrawDownOne:
        shift = 1;
        break;
    case DrawDownTwo:
        shift = 2;
        break;
    case DrawUpOneHeader:
        shift = -H;
        break;
    default:
        break;
    }
    if (headerShift > 0)
        shift += (H + 1) * (headerShift - 1);
    for (int i = g.firstVisible; i < ItemCount(folder); ++i) {
        const BarRect cell = g.ItemRect(folder, i);
        if (cell.top > bottomBound)
            break;
        DrawItem(p, g, folder, i, cell.Offset(0, shift));
    }
    p.restore();
}

void CGfxOutBarCtrl::DrawItem(QPainter& p, const COutBarGeometry& g, int folder, int item,
                              const BarRect& cell) const {
    const CImageList* list = ViewImageList(folder);
    const CBarItem* record = ItemOf(folder, item);
    if (!list || !record)
        return;
    p.save();
    p.setFont(DefaultGuiFont());
    p.setPen(m_crText);
    const QSize icon = IconSize(folder, item, g.smallView);
    if (g.smallView) {
        list->Draw(p, record->m_nImage,
                   QPoint(cell.left + 2, cell.top + (cell.Height() - icon.height()) / 2));
        if (!record->m_strLabel.isEmpty()) {
            const int ascent = QFontMetrics(p.font()).ascent();
            p.drawText(QPoint(cell.left + icon.width() + 4, cell.top + ascent), OneLine(record->m_strLabel));
        }
    } else {
        list->Draw(p, record->m_nImage, QPoint(cell.left + (cell.Width() - icon.width()) / 2, cell.top));
        const BarRect text{cell.left, cell.top + icon.height() + 3, cell.right, cell.bottom};
        if (!record->m_strLabel.isEmpty() && !text.IsEmpty())
            p.drawText(text.ToQRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                       record->m_strLabel);
    }
    if ((m_dwFlags & BarStyleSelectedFrame) && item == LastClickedItem && folder == m_nCurrentFolder)
        Outline3D(p, g.IconRect(m_nCurrentFolder, item).Inflated(1), m_crDkShadow, m_crFace);
    p.restore();
}

void CGfxOutBarCtrl::DrawScrollButton(QPainter& p, const BarRect& r, bool up, bool pushed) const {
    QStyleOption option;
    option.initFrom(this);
    option.rect = r.ToQRect();
    option.state = QStyle::State_Enabled | (pushed ? QStyle::State_Sunken : QStyle::State_Raised);
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &p, this);
    if (pushed)
        option.rect.translate(1, 1);
    option.rect.adjust(3, 3, -3, -3);
    style()->drawPrimitive(up ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &option, &p,
                           this);
}

void CGfxOutBarCtrl::DrawHeaderOnWindow(int index, bool pressed) {
    BarRect header;
    if (!Geometry().HeaderRect(index, &header) || m_surface.Image().isNull())
        return;
    {
        QPainter p(&m_surface.Image());
        DrawFolderHeader(p, index, pressed, header);
    }
    FlushRect(header);
}

void CGfxOutBarCtrl::DrawScrollButtonOnWindow(bool up, bool pushed) {
    const BarRect r = up ? m_rcUpArrow : m_rcDownArrow;
    if (m_surface.Image().isNull())
        return;
    {
        QPainter p(&m_surface.Image());
        DrawScrollButton(p, r, up, pushed);
    }
    FlushRect(r);
}

void CGfxOutBarCtrl::HighlightFolder(int index) {
    if (index == HotFolder)
        return;
    const COutBarGeometry g = Geometry();
    BarRect r;
    auto edges = [&](QPainter& p, const QColor& outer, const QColor& inner) {
        HLine(p, r.left, r.right - 1, r.bottom - 1, outer);
        VLine(p, r.right - 1, r.bottom - 1, r.top, outer);
        HLine(p, r.left + 1, r.right - 2, r.bottom - 2, inner);
        VLine(p, r.right - 2, r.bottom - 2, r.top + 1, inner);
    };
    if (!m_surface.Image().isNull()) {
        QPainter p(&m_surface.Image());
        if (g.HeaderRect(HotFolder, &r)) {
            edges(p, m_crLine, m_crFace);
            p.end();
            FlushRect(r);
            p.begin(&m_surface.Image());
        }
        if (g.HeaderRect(index, &r)) {
            edges(p, m_crDkShadow, m_crLine);
            p.end();
            FlushRect(r);
        }
    }
    HotFolder = index;
}

void CGfxOutBarCtrl::HighlightItem(int index, bool pressed) {
    if (index == HotItem && pressed == s_bLastHoverPressed)
        return;
    const COutBarGeometry g = Geometry();
    const BarRect inside = g.InsideRect();
    QImage& surface = m_surface.Image();
    auto frame = [&](int item, const QColor& a, const QColor& b) {
        if (surface.isNull())
            return;
        const BarRect r = g.IconRect(m_nCurrentFolder, item).Inflated(1);
        {
            QPainter p(&surface);
            p.setClipRect(inside.ToQRect());
            Outline3D(p, r, a, b);
        }
        FlushRect(r);
    };
    if (IsItemOfCurrent(HotItem))
        frame(HotItem, m_crBackground, m_crBackground);
    s_bLastHoverPressed = pressed;
    const bool clickedItem =
        (ClickAnimation > 0 || (m_dwFlags & BarStyleSelectedFrame)) && index == LastClickedItem;
    if (index < 0 || clickedItem || !IsItemOfCurrent(index)) {
        HotItem = -1;
        return;
    }
    HotItem = index;
    if (pressed)
        frame(index, m_crDkShadow, m_crFace);
    else
        frame(index, m_crFace, m_crDkShadow);
}

void CGfxOutBarCtrl::DrawAnimItem(int dx, int dy, int item) {
    const CImageList* list = ViewImageList(m_nCurrentFolder);
    const CBarItem* record = ItemOf(m_nCurrentFolder, item);
    if (!list || !record || m_surface.Image().isNull())
        return;
    const COutBarGeometry g = Geometry();
    const BarRect cell = g.ItemRect(m_nCurrentFolder, item);
    const BarRect inside = g.InsideRect();
    // Only an icon that lies wholly inside the page twitches.
    if (item < FirstVisibleItem || cell.top <= inside.top || cell.bottom >= inside.bottom)
        return;
    const int w = list->ImageSize().width();
    const int h = list->ImageSize().height();
    BarRect erase;
    QPoint at;
    if (g.smallView) {
        const int x = cell.left + 2;
        const int y = cell.top + (cell.Height() - h) / 2;
        erase = {cell.left + 1, y - 1, x + w + 2, y + h + 2};
        at = QPoint(x + dx, y + dy);
    } else {
        const int x = cell.left + (cell.Width() - w) / 2;
        erase = {x - 1, cell.top - 1, x + w + 2, cell.top + h + 2};
        at = QPoint(x + dx, cell.top + dy);
    }
    {
        QPainter p(&m_surface.Image());
        Fill(p, erase, m_crBackground);
        list->Draw(p, record->m_nImage, at);
    }
    FlushRect(erase);
}

void CGfxOutBarCtrl::DrawDragMark(int mark) {
    COutBarGeometry g = Geometry();
    if (m_nDragMark >= 0) {
        BarMarkKind oldKind = m_nDragMarkKind;
        const BarRect old = g.MarkRect(m_nDragMark, &oldKind);
        Invalidate(COutBarGeometry::MarkEraseRect(old, m_nDragMarkKind));
        UpdateWindow();
    }
    m_nDragMark = mark;
    if (mark < 0 || m_surface.Image().isNull())
        return;
    BarMarkKind kind = MarkBetween;
    const BarRect r = g.MarkRect(mark, &kind);
    m_nDragMarkKind = kind;
    {
        QPainter p(&m_surface.Image());
        const QColor pen(Qt::black);
        HLine(p, r.left, r.right, r.top, pen);
        const int spans[] = {7, 5, 3, 1};
        if (kind != MarkAfterLast) {
            for (int row = 0; row < 4; ++row)
                HLine(p, r.left, r.left + spans[row], r.top + 1 + row, pen);
            for (int row = 0; row < 3; ++row)
                HLine(p, r.right - 1, r.right - spans[row], r.top + 1 + row, pen);
        }
        if (kind != MarkBeforeFirst) {
            for (int row = 0; row < 4; ++row) {
                HLine(p, r.left, r.left + spans[row], r.top - 1 - row, pen);
                HLine(p, r.right - 1, r.right - spans[row], r.top - 1 - row, pen);
            }
        }
    }
    FlushRect(r.Inflated(5));
}

// ---------------------------------------------------------------------------------------------
// Folder slide

void CGfxOutBarCtrl::SlideFolders(int from, int to) {
    // The headers that stay still must already show what the records hold.
    PaintPending();
    m_bSlideLayout = true;
    m_bSlideHeaderOffset = from > to;
    const COutBarGeometry g = Geometry();
    const BarSlidePlan plan = PlanSlide(g, from, to);
    const int W = plan.R.Width();
    const int H = FolderHeaderHeight;
    if (W <= 0 || plan.bitmapHeight <= 0 || plan.frames.empty() || m_surface.Image().isNull()) {
        m_bSlideLayout = false;
        m_bSlideHeaderOffset = false;
        return;
    }
    QImage X(W, plan.bitmapHeight, QImage::Format_RGB32);
    QImage Y(W, plan.bitmapHeight, QImage::Format_RGB32);
    X.fill(m_crBackground);
    Y.fill(m_crBackground);
    auto headersFrom = [&](QPainter& p, int firstHeader, int lastHeader) {
        for (int i = firstHeader, y = 0; i <= lastHeader; ++i, y += H)
            DrawFolderHeader(p, i, false, BarRect{0, y, W, y + H});
    };
    {
        QPainter px(&X);
        QPainter py(&Y);
        if (to > from) {
            DrawItems(px, g, from, DrawDownOne, 0, plan.R.bottom);
            DrawItems(py, g, to, DrawPlain, to - from, plan.R.bottom);
            headersFrom(py, from + 1, to);
        } else {
            DrawItems(px, g, from, DrawUpOneHeader, from - to, plan.R.bottom);
            headersFrom(px, to + 1, from);
            DrawItems(py, g, to, DrawDownTwo, 0, plan.R.bottom);
        }
    }
    for (const BarSlideFrame& frame : plan.frames) {
        {
            QPainter p(&m_surface.Image());
            auto copy = [&](const QImage& source, const BarSlideCopy& c) {
                if (c.height > 0)
                    p.drawImage(QPoint(plan.R.left, c.destY), source, QRect(0, c.sourceY, W, c.height));
            };
            copy(X, frame.fromX);
            copy(Y, frame.fromY);
        }
        FlushRect(BarRect{plan.R.left, plan.A.top, plan.R.right, plan.R.bottom + H});
        ++m_nSlideFrames;
        if (AnimationTicks > 0)
            QThread::msleep(AnimationTicks);
    }
    m_bSlideLayout = false;
    m_bSlideHeaderOffset = false;
}

// ---------------------------------------------------------------------------------------------
// Mouse handling

bool CGfxOutBarCtrl::EditIsOpen() const {
    QWidget* focus = QApplication::focusWidget();
    return focus && focus != this && isAncestorOf(focus);
}

bool CGfxOutBarCtrl::MouseCapturedElsewhere() const {
    QWidget* grabber = QWidget::mouseGrabber();
    return grabber && grabber != this;
}

void CGfxOutBarCtrl::SetHoverCursor(QPoint point) {
    int index = -1;
    if (HitTest(point, &index) == HitFolder)
        setCursor(m_hHeaderCursor);
    else
        unsetCursor();
}

void CGfxOutBarCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    switch (m_loop) {
    case PressLoop::Header:
        HeaderLoopMove(point);
        break;
    case PressLoop::Item:
        ItemLoopMove(point);
        break;
    case PressLoop::Scroll:
        ScrollLoopMove(point);
        break;
    case PressLoop::None:
        OnMouseMove(point);
        SetHoverCursor(point);
        break;
    }
}

void CGfxOutBarCtrl::mousePressEvent(QMouseEvent* event) {
    // A left press while a loop still waits for its release means the release went elsewhere
    // (the window lost the mouse): that loop ends without its release action.
    if (m_loop != PressLoop::None && event->button() == Qt::LeftButton)
        AbandonLoop();
    if (m_loop != PressLoop::None)
        return;
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        OnRButtonDown(event->position().toPoint());
}

void CGfxOutBarCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    switch (m_loop) {
    case PressLoop::Header:
        HeaderLoopRelease(point);
        break;
    case PressLoop::Item:
        ItemLoopRelease(point);
        break;
    case PressLoop::Scroll:
        ScrollLoopRelease(point);
        break;
    case PressLoop::None:
        break;
    }
}

void CGfxOutBarCtrl::focusOutEvent(QFocusEvent* event) {
    // Another window taking the focus during a press takes the mouse with it.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        AbandonLoop();
    QWidget::focusOutEvent(event);
}

void CGfxOutBarCtrl::AbandonLoop() {
    const PressLoop loop = m_loop;
    m_loop = PressLoop::None;
    switch (loop) {
    case PressLoop::Header:
        if (m_bLoopLook)
            Invalidate(m_rcLoop);
        break;
    case PressLoop::Item:
        if (m_nDragMark >= 0)
            DrawDragMark(-1);
        HighlightItem(-1, false);
        EndItemLoop(m_bDragging);
        m_bDragging = false;
        break;
    case PressLoop::Scroll:
        KillTimer(2);
        m_bUpPressed = m_bDownPressed = false;
        m_bUpVisible = m_bDownVisible = false;
        Invalidate(Geometry().InsideRect());
        break;
    case PressLoop::None:
        break;
    }
    m_bLoopLook = false;
}

void CGfxOutBarCtrl::keyPressEvent(QKeyEvent* event) {
    // While a press loop runs only Escape goes on; other keys are dropped.
    if (m_loop != PressLoop::None && event->key() != Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CGfxOutBarCtrl::OnMouseMove(QPoint point) {
    if (EditIsOpen())
        return;
    int index = -1;
    const int ht = HitTest(point, &index);
    if (ht != HitFolder && HotFolder >= 0)
        HighlightFolder(-1);
    if (ht != HitItem && HotItem >= 0)
        HighlightItem(-1, false);
    if (ht == HitFolder) {
        HighlightFolder(index);
        SetTimer(1, 100);
    } else if (ht == HitItem) {
        HighlightItem(index, false);
        SetTimer(1, 100);
    }
}

void CGfxOutBarCtrl::OnLButtonDown(QPoint point) {
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason); // ends an open label edit first
    int index = -1;
    const int ht = HitTest(point, &index);
    if (ht == HitFolder) {
        BeginHeaderLoop(index);
        return;
    }
    if (ht == HitItem) {
        BeginItemLoop(index);
        return;
    }
    HotItem = -1;
    if (ht == HitUpArrow || ht == HitDownArrow)
        BeginScrollLoop(ht == HitUpArrow);
}

void CGfxOutBarCtrl::BeginHeaderLoop(int index) {
    BarRect header;
    Geometry().HeaderRect(index, &header);
    if (MouseCapturedElsewhere()) {
        Invalidate(header);
        HotItem = -1;
        return;
    }
    m_loop = PressLoop::Header;
    m_nLoopIndex = index;
    m_rcLoop = header;
    DrawHeaderOnWindow(index, true);
    m_bLoopLook = true;
}

void CGfxOutBarCtrl::HeaderLoopMove(QPoint point) {
    BarRect header;
    const bool over = Geometry().HeaderRect(m_nLoopIndex, &header) && header.Contains(point);
    if (!over && m_bLoopLook) {
        DrawHeaderOnWindow(m_nLoopIndex, false);
        m_bLoopLook = false;
    } else if (over && !m_bLoopLook) {
        DrawHeaderOnWindow(m_nLoopIndex, true);
        m_bLoopLook = true;
    }
}

void CGfxOutBarCtrl::HeaderLoopRelease(QPoint point) {
    m_loop = PressLoop::None;
    if (m_bLoopLook) {
        DrawHeaderOnWindow(m_nLoopIndex, false);
        m_bLoopLook = false;
    }
    int index = -1;
    // Releasing over any other folder's header opens that folder.
    if (HitTest(point, &index) == HitFolder && index != m_nCurrentFolder)
        SelectFolder(index);
    HotItem = -1;
}

void CGfxOutBarCtrl::BeginItemLoop(int index) {
    if (MouseCapturedElsewhere())
        return;
    m_loop = PressLoop::Item;
    m_nLoopIndex = index;
    m_nDragMark = -1;
    m_bLoopLook = true;
    m_bDragging = false;
    m_loopCursor = cursor();
    HighlightItem(index, true);
}

void CGfxOutBarCtrl::ItemLoopMove(QPoint point) {
    const COutBarGeometry g = Geometry();
    int j = -1;
    const int h = g.HitTest(point, &j);
    if (m_bDragging) {
        if (h == HitItem) {
            if (j != m_nDragMark)
                DrawDragMark(j);
            m_loopCursor = m_hDropCursor;
        } else {
            const int count = ItemCount(m_nCurrentFolder);
            const BarRect last = g.ItemRect(m_nCurrentFolder, count - 1);
            if (last.bottom < point.y() && point.y() < g.InsideRect().bottom) {
                if (m_nDragMark != count)
                    DrawDragMark(count);
                m_loopCursor = m_hDropCursor;
            } else {
                if (m_nDragMark >= 0)
                    DrawDragMark(-1);
                m_loopCursor = m_hNoDropCursor;
            }
        }
        setCursor(m_loopCursor);
        return;
    }
    if (h == HitItem) {
        if (j == m_nLoopIndex && !m_bLoopLook) {
            HighlightItem(m_nLoopIndex, true);
            m_bLoopLook = true;
            m_bHotItemPressed = true;
        } else if (j != m_nLoopIndex && m_bLoopLook) {
            HighlightItem(m_nLoopIndex, false);
            m_bLoopLook = false;
            m_bHotItemPressed = false;
        }
    } else if (m_dwFlags & BarStyleDragItems) {
        m_bDragging = true;
        HighlightItem(m_nLoopIndex, true);
        m_bLoopLook = true;
        m_loopCursor = m_hDropCursor;
        setCursor(m_loopCursor);
        m_bHotItemPressed = true;
    }
}

void CGfxOutBarCtrl::ItemLoopRelease(QPoint point) {
    m_loop = PressLoop::None;
    const int idx = m_nLoopIndex;
    if (m_bLoopLook) {
        HighlightItem(-1, false);
        m_bLoopLook = false;
    }
    const COutBarGeometry g = Geometry();
    int t = -1;
    const int h = g.HitTest(point, &t);
    const bool dragged = m_bDragging;
    m_bDragging = false;
    if (dragged) {
        DrawDragMark(-1);
        const int count = ItemCount(m_nCurrentFolder);
        const BarRect last = g.ItemRect(m_nCurrentFolder, count - 1);
        const bool belowLast = last.bottom < point.y() && point.y() < g.InsideRect().bottom;
        if ((h == HitItem && t != idx) || (h != HitItem && belowLast)) {
            const int folder = m_nCurrentFolder;
            BarDragMove move{0, 0, folder, idx};
            // The owner may change the folder during the call; move only what is still there.
            if (Notify(BarNotifyItemDragged, reinterpret_cast<qintptr>(&move)) && IsFolder(folder) &&
                idx < ItemCount(folder)) {
                auto& items = m_arFolder[size_t(folder)]->m_arItems;
                std::unique_ptr<CBarItem> item = std::move(items[size_t(idx)]);
                items.erase(items.begin() + idx);
                int target = h == HitItem ? t : int(items.size());
                if (h == HitItem && t > idx)
                    --target;
                target = std::clamp(target, 0, int(items.size()));
                items.insert(items.begin() + target, std::move(item));
            }
        }
    } else if (h == HitItem && t == idx) {
        if (ClickAnimation > 0 && LastClickedItem >= 0 && LastClickedItem != idx)
            DrawAnimItem(0, 0, LastClickedItem);
        if ((m_dwFlags & BarStyleSelectedFrame) && LastClickedItem >= 0)
            Invalidate(g.IconRect(m_nCurrentFolder, LastClickedItem).Inflated(1));
        LastClickedItem = idx;
        if (m_dwFlags & BarStyleSelectedFrame)
            Invalidate(g.IconRect(m_nCurrentFolder, idx).Inflated(1));
        Notify(BarNotifyItemClicked, idx);
    }
    EndItemLoop(dragged);
}

void CGfxOutBarCtrl::EndItemLoop(bool dragged) {
    if (dragged)
        InvalidateAll();
    unsetCursor();
    m_bHotItemPressed = false;
    if (m_bLoopLook && IsItemOfCurrent(m_nLoopIndex))
        Invalidate(Geometry().ItemRect(m_nCurrentFolder, m_nLoopIndex));
}

void CGfxOutBarCtrl::BeginScrollLoop(bool up) {
    if (MouseCapturedElsewhere())
        return;
    m_loop = PressLoop::Scroll;
    m_bLoopUp = up;
    m_rcLoop = up ? m_rcUpArrow : m_rcDownArrow;
    (up ? m_bUpPressed : m_bDownPressed) = true;
    DrawScrollButtonOnWindow(up, true);
    m_bLoopLook = true;
}

void CGfxOutBarCtrl::ScrollLoopMove(QPoint point) {
    const bool inside = m_rcLoop.Contains(point);
    bool& visible = m_bLoopUp ? m_bUpVisible : m_bDownVisible;
    bool& pressed = m_bLoopUp ? m_bUpPressed : m_bDownPressed;
    if (inside && !m_bLoopLook) {
        DrawScrollButtonOnWindow(m_bLoopUp, true);
        visible = pressed = m_bLoopLook = true;
    } else if (!inside && m_bLoopLook) {
        DrawScrollButtonOnWindow(m_bLoopUp, false);
        visible = pressed = m_bLoopLook = false;
    }
}

void CGfxOutBarCtrl::ScrollLoopRelease(QPoint point) {
    m_loop = PressLoop::None;
    if (m_bLoopLook)
        DrawScrollButtonOnWindow(m_bLoopUp, false);
    m_bLoopLook = false;
    (m_bLoopUp ? m_bUpVisible : m_bDownVisible) = false;
    if (m_rcLoop.Contains(point))
        ScrollStep(m_bLoopUp);
    KillTimer(2);
    m_bUpPressed = m_bDownPressed = false;
    (m_bLoopUp ? m_bUpVisible : m_bDownVisible) = false;
    Invalidate(Geometry().InsideRect());
}

bool CGfxOutBarCtrl::ScrollStep(bool up) {
    const COutBarGeometry g = Geometry();
    if (up ? !g.CanScrollUp() : !g.CanScrollDown())
        return false;
    FirstVisibleItem += up ? -1 : 1;
    Invalidate(g.InsideRect());
    return true;
}
