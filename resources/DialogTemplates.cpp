#include "resources/DialogTemplates.h"

#include "platform/DialogTemplate.h"
#include "resources/Menu.h"

namespace {

constexpr unsigned kChildDialog = WS_CHILD | DS_SETFONT;
constexpr unsigned kEdit = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr unsigned kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr unsigned kRadio = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;

DialogTemplate AboutBox() {
    DialogTemplate t;
    t.number = IDD_ABOUTBOX;
    t.size = QSize(170, 62);
    t.caption = QStringLiteral("About RFID");
    t.style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.fontName = QStringLiteral("MS Shell Dlg");
    t.controls = {
        {IDC_STATIC, ControlKind::Icon, QStringLiteral("128"), QRect(14, 14, 21, 20),
         WS_CHILD | WS_VISIBLE | SS_ICON},
        {IDC_STATIC, ControlKind::Static, QStringLiteral("RFID Version 1.0.0.1"), QRect(42, 14, 114, 8),
         WS_CHILD | WS_VISIBLE},
        {IDC_STATIC, ControlKind::Static, QStringLiteral("Tagwell, www.tagwell.com"), QRect(42, 26, 114, 8),
         WS_CHILD | WS_VISIBLE},
        {IDOK, ControlKind::PushButton, QStringLiteral("OK"), QRect(113, 41, 50, 14),
         kButton | WS_GROUP | BS_DEFPUSHBUTTON},
    };
    return t;
}

DialogTemplate MainWindow() {
    DialogTemplate t;
    t.number = IDD_RFID_DIALOG;
    t.size = QSize(560, 320);
    t.caption = QStringLiteral("RFID");
    t.style =
        DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    t.exStyle = WS_EX_APPWINDOW;
    t.fontName = QStringLiteral("MS Shell Dlg");
    t.menu = IDR_MENU_MAIN;
    return t;
}

DialogTemplate NavigationPane() {
    DialogTemplate t;
    t.number = IDD_OPLIST;
    t.size = QSize(185, 266);
    t.style = kChildDialog;
    t.fontName = QStringLiteral("MS Shell Dlg");
    return t;
}

DialogTemplate ReadWritePage() {
    DialogTemplate t;
    t.number = IDD_OPMAIN;
    t.size = QSize(313, 228);
    t.style = kChildDialog;
    t.fontName = QStringLiteral("MS Shell Dlg");
    t.controls = {
        {IDC_EDIT_READ, ControlKind::Edit, QString(), QRect(42, 71, 150, 24), kEdit},
        {IDC_BTN_READ, ControlKind::PushButton, QStringLiteral("Read"), QRect(195, 71, 80, 24),
         kButton | BS_DEFPUSHBUTTON},
        {IDC_EDIT_WRITE, ControlKind::Edit, QString(), QRect(42, 113, 150, 24), kEdit},
        {IDC_BTN_WRITE, ControlKind::PushButton, QStringLiteral("Write"), QRect(195, 113, 80, 24), kButton},
    };
    return t;
}

DialogTemplate MassProductionPage() {
    DialogTemplate t;
    t.number = IDD_MP;
    t.size = QSize(406, 225);
    t.style = kChildDialog;
    t.fontName = QStringLiteral("MS Shell Dlg");
    t.controls = {
        {IDC_MP_FRAME, ControlKind::Static, QString(), QRect(7, 7, 392, 36), WS_CHILD | WS_VISIBLE,
         WS_EX_STATICEDGE},
        {IDC_MP_INCREASE, ControlKind::RadioButton, QStringLiteral("Increase Progressively"),
         QRect(15, 14, 84, 11), kRadio | WS_GROUP},
        {IDC_MP_RANDOM, ControlKind::RadioButton, QStringLiteral("Random"), QRect(15, 27, 85, 11), kRadio},
        {IDC_MP_NOCHANGE, ControlKind::RadioButton, QStringLiteral("No Change"), QRect(141, 14, 67, 9),
         kRadio},
        {IDC_MP_VERIFY, ControlKind::CheckBox, QStringLiteral("Verify"), QRect(141, 28, 67, 10),
         WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP},
        {IDC_MP_VENDORID, ControlKind::Edit, QString(), QRect(69, 110, 40, 24), kEdit},
        {IDC_MP_CARDNO, ControlKind::Edit, QString(), QRect(109, 110, 115, 24), kEdit},
        {IDC_MP_WRITE, ControlKind::PushButton, QStringLiteral("Write"), QRect(228, 110, 80, 24),
         kButton | BS_DEFPUSHBUTTON},
    };
    return t;
}

// The templates are in place before any window of the program is constructed.
const bool registered = [] {
    RegisterProgramTemplates();
    return true;
}();

} // namespace

void RegisterProgramTemplates() {
    for (const DialogTemplate& t :
         {AboutBox(), MainWindow(), NavigationPane(), ReadWritePage(), MassProductionPage()})
        RegisterDialogTemplate(t);
    RegisterMainMenu();
}
