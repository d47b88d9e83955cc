#pragma once
// A popup menu whose entries are measured and painted here rather than by the style: an image
// column on the left, the label with an optional accelerator after a tab, etched separators,
// embossed grey text for disabled entries and a bold default entry.

#include "platform/ImageList.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QPainter;
class QWidget;
class CGfxPopupMenuStyle;

// One command entry being brought up to date before its menu is shown.
class CGfxCmdUI {
public:
    int m_nID = 0;
    int m_nIndex = 0;
    QMenu* m_pMenu = nullptr;
    QAction* m_pAction = nullptr;
    void Enable(bool on = true);
    void SetCheck(int check = 1);
};

// The window whose commands the menu shows. Returns false when it has no handler at all for the
// command, which disables the entry.
class CGfxCmdTarget {
public:
    virtual ~CGfxCmdTarget() = default;
    virtual bool OnCmdUIUpdate(CGfxCmdUI& cmdUI) = 0;
};

// Item-state bits handed to DrawItem.
enum : unsigned {
    ODS_SELECTED = 0x1,
    ODS_DISABLED = 0x4,
    ODS_CHECKED = 0x8,
    ODS_DEFAULT = 0x20,
};

class CGfxPopupMenu {
public:
    static constexpr int ItemSeparator = -3;

    struct MenuItemRecord {
        qint32 image = -1;
        qint32 command = 0;
        char16_t text[128] = {};
        QString Text() const { return QString::fromUtf16(text); }
    };

    CGfxPopupMenu();
    ~CGfxPopupMenu();
    CGfxPopupMenu(const CGfxPopupMenu&) = delete;
    CGfxPopupMenu& operator=(const CGfxPopupMenu&) = delete;

    // Attaches a new empty popup menu (any menu attached before is destroyed).
    bool CreatePopupMenu();
    QMenu* GetMenu() const { return m_pMenu.get(); }
    QAction* AppendMenu(int command, const QString& text);
    QAction* AppendSeparator();
    void DestroyMenu();

    // Images for the entries from the application's toolbar 128; false when it has none.
    bool LoadToolBarResource();
    // The same from a toolbar description (16-bit words: version, width, height, count, ids)
    // and its image strip.
    bool LoadToolBarResource(const QString& toolbarPath, const QString& bitmapPath);
    void ConvertMenu(QMenu* menu);
    void UpdateMenuState(QMenu* menu, CGfxCmdTarget* target);
    // Shows the menu at a screen point until an entry is chosen or the menu is dismissed;
    // returns the chosen command, 0 for none.
    int TrackPopupMenu(QPoint screenPos, QWidget* owner);

    QSize MeasureItem(const MenuItemRecord& record) const;
    void DrawItem(QPainter& painter, const QRect& itemRect, const MenuItemRecord& record,
                  unsigned state) const;
    static const MenuItemRecord* RecordOf(const QAction* action);

    // Replaces the interactive tracking (tests): gets the menu and the point, returns the chosen
    // action or null.
    static std::function<QAction*(QMenu*, QPoint)> s_trackHook;

    int ImageWidth = 20;
    int ImageHeight = 20;

private:
    void DrawSeparator(QPainter& painter, const QRect& r) const;
    void DrawImage(QPainter& painter, const QRect& square, int image, bool selected, bool enabled) const;
    void DrawMenuText(QPainter& painter, const QRect& rect, const QString& text, bool selected, bool enabled,
                      const QColor& enabledColor) const;
    int ImageOfCommand(int command) const;

    QFont m_fontBold;
    QFont m_fontMenu;
    CImageList m_ilImages;
    CImageList m_ilCheckMarks;
    QColor m_crMenuText, m_crHighlightText, m_crBtnFace, m_crMenu, m_crHighlight, m_crBtnHighlight,
        m_crBtnShadow, m_crGrayText;
    std::vector<std::unique_ptr<MenuItemRecord>> m_arRecords;
    std::vector<std::pair<qint32, qint32>> m_arImageMap; // (image index, command id)

    std::unique_ptr<CGfxPopupMenuStyle> m_pStyle; // outlives the menu: declared first, freed last
    std::unique_ptr<QMenu> m_pMenu;
};
