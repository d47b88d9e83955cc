#pragma once

// Numbers of the program's dialog templates, menu and icon, and the ids of their controls and
// commands. The templates themselves are registered with the platform's template registry when
// the program starts (see platform/DialogTemplate.h).

constexpr int IDR_MAINFRAME = 128;   // application icon
constexpr int IDD_ABOUTBOX = 100;    // About box
constexpr int IDD_RFID_DIALOG = 102; // main window
constexpr int IDD_OPLIST = 135;      // navigation pane
constexpr int IDD_OPMAIN = 136;      // Read/Write page
constexpr int IDR_MENU_MAIN = 137;   // menu of the main window
constexpr int IDD_MP = 138;          // Mass Production page

// Read/Write page.
constexpr int IDC_BTN_READ = 1000;
constexpr int IDC_BTN_WRITE = 1001;
constexpr int IDC_EDIT_READ = 1002;
constexpr int IDC_EDIT_WRITE = 1003;

// Mass Production page.
constexpr int IDC_MP_WRITE = 1001;
constexpr int IDC_MP_CARDNO = 1003;
constexpr int IDC_MP_VENDORID = 1004;
constexpr int IDC_MP_INCREASE = 1011;
constexpr int IDC_MP_RANDOM = 1012;
constexpr int IDC_MP_NOCHANGE = 1013;
constexpr int IDC_MP_VERIFY = 1014;
constexpr int IDC_MP_FRAME = 1015;

// Main window.
constexpr int IDC_LOG = 1004;
constexpr int IDC_SPLITTER_MAIN = 40000;
constexpr int IDC_SPLITTER_RIGHT = 40001;
constexpr int AFX_IDW_STATUS_BAR = 59393;
constexpr int ID_INDICATOR_IDLE = 102;  // status pane 0, initial text "Ready"
constexpr int ID_INDICATOR_CLOCK = 103; // status pane 1, initial text "00:00:00"

// Menu commands.
constexpr int ID_MENU_READWRITE = 32771;
constexpr int ID_MENU_EXIT = 32772;
constexpr int ID_MENU_MASSPRODUCTION = 32773;
constexpr int ID_MENU_ABOUT = 32774;
constexpr int ID_LANGUAGE_FIRST = 60000;
constexpr int ID_LANGUAGE_LAST = 60999;

// Registers the five dialog templates and menu 137. Runs by itself at start-up; calling it
// again is harmless.
void RegisterProgramTemplates();
