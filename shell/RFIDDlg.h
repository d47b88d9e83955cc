#pragma once

// CRFIDDlg: the program's main window. It owns the reader, its language catalogue, the
// navigation pane, the Read/Write and Mass Production pages, the two splitters, the log and the
// status bar; it lays them out, keeps the clock and the idle text, builds the Language menu,
// dispatches the menu commands, switches pages, remembers its placement between runs and
// watches the reader coming and going.

#include "journal/JournalRecorder.h"
#include "language/MultiLanguage.h"
#include "pages/PageHost.h"
#include "platform/DeviceNotifier.h"
#include "platform/Dialog.h"
#include "reader/RFIDDevice.h"
#include "shell/NumberFormsMenu.h"
#include "shell/ReaderMenu.h"
#include "shell/SSplitter.h"
#include "shell/WindowPlacement.h"

#include <QIcon>
#include <map>
#include <memory>

class CJournalDlg;
class CBatchesDlg;
class CMPDlg;
class COPListDlg;
class COPMainDlg;
class CStatusBar;
class QPlainTextEdit;
struct ReaderFlags;

// Timers of the main window.
constexpr int TIMER_CLOCK = 1;     // every 1000 ms: the clock pane
constexpr int TIMER_DEVICE = 2;    // every 100 ms: the reader connection state machine
constexpr int TIMER_STARTSCAN = 3; // once, 100 ms after start: the first search for the reader

// File > Production Journal...
constexpr int ID_MENU_JOURNAL = 32780;
// File > Batches...
constexpr int ID_MENU_BATCHES = 32785;

// The log keeps its last lines only, so its memory stays flat over a long shift; the production journal
// keeps every card.
constexpr int LOG_MAX_LINES = 10000;

class CRFIDDlg : public CDialog, public CPageHost {
    Q_OBJECT
public:
    explicit CRFIDDlg(QWidget* parent = nullptr);
    ~CRFIDDlg() override;

    // Writes into the log. Appending puts the text at the end; replacing makes the log hold only
    // the text, and does nothing when it already holds exactly that. A Windows line break
    // ("\r\n") is one line break in the log.
    void AppendLog(const QString& text, bool bReplace) override;
    // The log's whole text, line breaks as "\n".
    QString GetLogText() const;

    // Makes page 0 (Read/Write) or 1 (Mass Production) the page above the log.
    void ShowPage(int nPage) override;
    // Switches the main window and then the three panes to the named language (empty: the one
    // stored in setting.ini).
    void ApplyLanguage(const QString& strLanguage);
    // Queues a command the way a posted command message arrives: it runs after the handler in
    // progress has returned (the navigation pane posts the About and language commands so).
    void PostCommand(int nID) override;
    // The rest of what the pages use: the reader, whether it is ready, the Read/Write page's format.
    bool IsReaderReady() const override;
    CRFIDDevice& Reader() override;
    void SetReadFormat(int bIncludeVendor) override;
    CJournalRecorder* Recorder() override;

    // The placement stored at the last close through the close box, if it is usable.
    std::optional<WindowPlacement> LoadWindowPos() const;
    void SaveWindowPos();

    // Device-change message from the notifier; answers true to every message.
    bool OnDeviceChange(unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData);
    // Asks the open reader for its name and version and writes its identification line.
    bool IdentifyReader();
    // Timer message with the timer's own id (TIMER_CLOCK, TIMER_DEVICE, TIMER_STARTSCAN).
    void OnTimer(int nIDEvent);

    // What tests, the soak and the benchmarks look at and drive, as an operator sees it.
    COPMainDlg& ReadWritePage() { return *m_OPMainDlg; }
    CMPDlg& MassProductionPage() { return *m_MPDlg; }
    COPListDlg& NavigationPane() { return *m_OPListDlg; }
    CSSplitter& MainSplitter() { return m_SplitterMain; }
    CSSplitter& RightSplitter() { return m_SplitterRight; }
    QPlainTextEdit* Log() const { return log; }
    CStatusBar* StatusBar() const { return m_wndStatusBar; }
    CMultiLanguage& Language() { return m_Language; }
    int CurrentPage() const { return m_nCurPage; }
    bool IsReaderPresent() const { return m_bDevicePresent != 0; }
    bool IsReaderOpen() const { return m_bDeviceOpen != 0; }
    // The journal window, opened by File > Production Journal... (null until then).
    CJournalDlg* JournalWindow() const { return m_pJournalDlg.get(); }
    // The Batches window, opened by File > Batches... (null until then).
    CBatchesDlg* BatchesWindow() const { return m_pBatchesDlg.get(); }

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override;

protected:
    bool OnInitDialog() override;
    void OnCommand(int nID) override;
    void OnOK() override;
    void OnCancel() override;

    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CRFIDDevice m_RFIDDevice;
    std::unique_ptr<CDeviceNotifier> m_hDevNotify;
    CMultiLanguage m_Language;
    // The panes, children of this window and of the splitters, owned here.
    std::unique_ptr<COPListDlg> m_OPListDlg;
    std::unique_ptr<COPMainDlg> m_OPMainDlg;
    std::unique_ptr<CMPDlg> m_MPDlg;
    CSSplitter m_SplitterMain;  // IDC_SPLITTER_MAIN 40000: navigation pane | right side
    CSSplitter m_SplitterRight; // IDC_SPLITTER_RIGHT 40001: page above the log
    int m_nCurPage = 0;
    int m_bDevicePresent = 0;
    int m_bDeviceOpen = 0;
    int m_bDeviceReady = 0;
    int m_bDeviceStale = 0;        // the open handle may belong to a node that is gone: reopen
    QPlainTextEdit* log = nullptr; // IDC_LOG 1004
    QIcon m_hIcon;
    CStatusBar* m_wndStatusBar = nullptr;

    void SetTimer(int nIDEvent, int nElapse);
    void KillTimer(int nIDEvent);
    void OnSize();
    void PostSize();
    void OnLanguageCommand(int nID);
    void OnInitMenuPopup(QMenu* popup);
    void OnAbout();
    void SelectNavigationFolder(int nFolder);
    void ApplyWindowPlacement(const WindowPlacement& placement);
    ReaderFlags ReaderFlagsRef();

    std::map<int, int> m_TimerIds; // Qt timer id -> timer id of this window
    QMenu* m_pLanguageMenu = nullptr;
    CNumberFormsMenu m_NumberFormsMenu;
    void ShowNumberForms(NumberFormSet forms);

    void OnJournal();
    std::unique_ptr<CJournalDlg> m_pJournalDlg;
    // The recorder every card of the pages goes through, with the [Journal] settings of setting.ini.
    std::unique_ptr<CJournalRecorder> m_pRecorder;
    // Says that the journal cannot be used (once, until it works again): in the log and in a message box
    // that does not hold up the handler it comes from.
    void ReportJournalProblem(const JournalStatus& status);
    void ShowWarning(const QString& message);
    void AddJournalMenuItem();
    QAction* m_pJournalItem = nullptr;

    void OnBatches();
    std::unique_ptr<CBatchesDlg> m_pBatchesDlg;
    QAction* m_pBatchesItem = nullptr;
    // File > Reader, shown with several readers plugged in.
    CReaderMenu m_ReaderMenu;
    void ReopenChosenReader();

public:
    CReaderMenu& ReaderMenu() { return m_ReaderMenu; }
};
