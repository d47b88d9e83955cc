#pragma once

// Dialog and menu templates as data, and the registry that resources fill at start-up.
//
// A dialog template gives the size in dialog units, the caption, the window style and the
// controls in creation order. Dialog units map to pixels with the fixed base units 6 x 13 of
// the template font: x = du * 6 / 4, y = du * 13 / 8.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

// Window styles (the bits the templates and the windows that use them speak of).
constexpr unsigned WS_POPUP = 0x80000000u;
constexpr unsigned WS_CHILD = 0x40000000u;
constexpr unsigned WS_MINIMIZE = 0x20000000u;
constexpr unsigned WS_VISIBLE = 0x10000000u;
constexpr unsigned WS_CLIPSIBLINGS = 0x04000000u;
constexpr unsigned WS_CLIPCHILDREN = 0x02000000u;
constexpr unsigned WS_CAPTION = 0x00C00000u;
constexpr unsigned WS_BORDER = 0x00800000u;
constexpr unsigned WS_VSCROLL = 0x00200000u;
constexpr unsigned WS_HSCROLL = 0x00100000u;
constexpr unsigned WS_SYSMENU = 0x00080000u;
constexpr unsigned WS_THICKFRAME = 0x00040000u;
constexpr unsigned WS_GROUP = 0x00020000u;
constexpr unsigned WS_TABSTOP = 0x00010000u;
constexpr unsigned WS_MINIMIZEBOX = 0x00020000u;
constexpr unsigned WS_MAXIMIZEBOX = 0x00010000u;

constexpr unsigned WS_EX_STATICEDGE = 0x00020000u;
constexpr unsigned WS_EX_APPWINDOW = 0x00040000u;

constexpr unsigned DS_MODALFRAME = 0x80u;
constexpr unsigned DS_SETFONT = 0x40u;
constexpr unsigned DS_CENTER = 0x800u;

constexpr unsigned BS_DEFPUSHBUTTON = 0x1u;
constexpr unsigned BS_AUTOCHECKBOX = 0x3u;
constexpr unsigned BS_AUTORADIOBUTTON = 0x9u;

constexpr unsigned ES_MULTILINE = 0x4u;
constexpr unsigned ES_AUTOVSCROLL = 0x40u;
constexpr unsigned ES_AUTOHSCROLL = 0x80u;
constexpr unsigned ES_READONLY = 0x800u;
constexpr unsigned ES_WANTRETURN = 0x1000u;

constexpr unsigned SS_ICON = 0x3u;
constexpr unsigned SS_NOTIFY = 0x100u;

// Standard command ids of dialog buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
// The id of controls that nobody addresses (labels).
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    PushButton,
    Edit,
    Static, // text label, or an empty frame with a static edge
    Icon,   // static control showing an icon resource (its text is the icon number)
    RadioButton,
    CheckBox,
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    QString text;
    QRect rect; // x, y, width, height in dialog units
    unsigned style = 0;
    unsigned exStyle = 0;
};

struct DialogTemplate {
    int number = 0;
    QSize size; // width, height of the client area in dialog units
    QString caption;
    unsigned style = 0;
    unsigned exStyle = 0;
    QString fontName;
    int pointSize = 8;
    int menu = 0; // menu resource number, 0 for none
    std::vector<ControlTemplate> controls;
};

// One entry of a menu template: a command (id > 0), a separator (id 0, no children and no
// text) or a popup (children).
struct MenuItemTemplate {
    int id = 0;
    QString text;
    std::vector<MenuItemTemplate> children;

    bool IsSeparator() const { return id == 0 && text.isEmpty() && children.empty(); }
    bool IsPopup() const { return !children.empty() || (id == 0 && !text.isEmpty()); }
};

struct MenuTemplate {
    int number = 0;
    std::vector<MenuItemTemplate> popups; // the menu bar's entries
};

// Dialog units to pixels: each edge is mapped on its own, so adjacent controls stay adjacent.
int DialogUnitsToPixelsX(int du);
int DialogUnitsToPixelsY(int du);
QRect MapDialogRect(const QRect& duRect);
QSize MapDialogSize(const QSize& duSize);

// Registry of templates by number. Registering a number again replaces the earlier template.
void RegisterDialogTemplate(const DialogTemplate& dialogTemplate);
const DialogTemplate* FindDialogTemplate(int number);
void RegisterMenuTemplate(const MenuTemplate& menuTemplate);
const MenuTemplate* FindMenuTemplate(int number);
