#include "shell/RFIDDlg.h"

#include "journal/JournalSettings.h"
#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/BatchesDlg.h"
#include "shell/BatchesTexts.h"
#include "shell/JournalDlg.h"
#include "shell/JournalTexts.h"

#include "platform/AppProfile.h"
#include "reader/ReaderPresence.h"
#include "resources/DialogTemplates.h"
#include "shell/AboutDlg.h"
#include "shell/Clock.h"
#include "shell/StatusBar.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextCursor>
#include <QTimerEvent>
#include <QWindow>

namespace {

constexpr unsigned kPaneAddedStyle = 0x42810000u;     // child, clip children, border, tab stop
constexpr unsigned kSplitterRightStyle = 0x52000002u; // child, visible, clip children, horizontal
constexpr unsigned kSplitterMainStyle = 0x52000001u;  // child, visible, clip children, vertical
constexpr int kClockPaneWidth = 84;                   // pane 0 is this much narrower than the client area
constexpr int kPaneMinimum = 150;
constexpr int kLogMinimum = 60;
// The least size a restored window gets: room for the navigation pane, a page and the log.
constexpr QSize kMinimumRestoredSize(400, 300);

const QString kSettingsSection = QStringLiteral("Settings");
const QString kWindowPosEntry = QStringLiteral("WindowPos");

// The log keeps one line break for a Windows line break, so replace mode compares like with like.
QString LogTextFrom(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QAction* FindCommand(const QList<QAction*>& actions, int nID) {
    for (QAction* action : actions) {
        if (QMenu* submenu = action->menu()) {
            if (QAction* found = FindCommand(submenu->actions(), nID))
                return found;
        } else if (!action->isSeparator() && action->data().isValid() && action->data().toInt() == nID) {
            return action;
        }
    }
    return nullptr;
}

bool IsLanguageCommand(int nID) {
    return nID >= ID_LANGUAGE_FIRST && nID <= ID_LANGUAGE_LAST;
}

} // namespace

CRFIDDlg::CRFIDDlg(QWidget* parent)
    : CDialog(IDD_RFID_DIALOG, parent), m_OPListDlg(std::make_unique<COPListDlg>()),
      m_OPMainDlg(std::make_unique<COPMainDlg>()), m_MPDlg(std::make_unique<CMPDlg>()),
      m_hIcon(LoadIconResource(IDR_MAINFRAME)) {}

CRFIDDlg::~CRFIDDlg() {
    // The station of a chosen batch gives its name up while the journal it runs on is still open.
    m_MPDlg->EndBatch();
    // The splitters hold the panes as children but do not own them: the panes are members of
    // this window and are destroyed as members, so they leave the splitters first.
    for (QWidget* pane : {static_cast<QWidget*>(m_OPListDlg.get()), static_cast<QWidget*>(m_OPMainDlg.get()),
                          static_cast<QWidget*>(m_MPDlg.get())})
        pane->setParent(nullptr);
}

bool CRFIDDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    setWindowIcon(m_hIcon);

    m_wndStatusBar = new CStatusBar(this);
    m_wndStatusBar->setProperty(kControlIdProperty, AFX_IDW_STATUS_BAR);
    if (!m_wndStatusBar->SetIndicators({ID_INDICATOR_IDLE, ID_INDICATOR_CLOCK}))
        return false;

    log = new QPlainTextEdit(this);
    log->setProperty(kControlIdProperty, IDC_LOG);
    log->setGeometry(QRect(0, 0, 10, 10).translated(GetClientRect().topLeft()));
    log->setReadOnly(true);
    log->setUndoRedoEnabled(false);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log->setMaximumBlockCount(LOG_MAX_LINES);
    log->installEventFilter(this);
    log->viewport()->installEventFilter(this);

    m_OPListDlg->Create(this);
    m_OPListDlg->ModifyStyle(0, kPaneAddedStyle);
    m_OPListDlg->m_pMainDlg = this;
    m_OPMainDlg->Create(this);
    m_OPMainDlg->ModifyStyle(0, kPaneAddedStyle);
    m_OPMainDlg->m_pMainDlg = this;
    m_MPDlg->Create(this);
    m_MPDlg->ModifyStyle(0, kPaneAddedStyle);
    m_MPDlg->m_pMainDlg = this;

    const QRect client = GetClientRect();
    m_SplitterRight.ProfileId = IDC_SPLITTER_RIGHT;
    m_SplitterRight.Create(kSplitterRightStyle, client, this, IDC_SPLITTER_RIGHT);
    m_SplitterRight.MinLeft = m_SplitterRight.MinTop = kPaneMinimum;
    m_SplitterRight.MinRight = m_SplitterRight.MinBottom = kLogMinimum;
    m_SplitterRight.SetPanes(this, m_OPMainDlg.get(), log, kSplitterRightStyle);

    m_SplitterMain.ProfileId = IDC_SPLITTER_MAIN;
    m_SplitterMain.Create(kSplitterMainStyle, client, this, IDC_SPLITTER_MAIN);
    m_SplitterMain.MinLeft = m_SplitterMain.MinTop = kPaneMinimum;
    m_SplitterMain.MinRight = m_SplitterMain.MinBottom = 0;
    m_SplitterMain.SetPanes(this, m_OPListDlg.get(), &m_SplitterRight, kSplitterMainStyle);

    m_nCurPage = 0;

    if (const std::optional<WindowPlacement> placement = LoadWindowPos()) {
        ApplyWindowPlacement(*placement);
        PostSize();
    }

    // The language list, writing out the built-in languages when no usable file is there.
    const QStringList languages = m_Language.ProvideBuiltInLanguages();

    // The Language popup goes between "File(&F)" and "Help(&H)".
    if (QMenuBar* menuBar = GetMenu()) {
        m_pLanguageMenu = new QMenu(QStringLiteral("Language(&H)"), menuBar);
        const QList<QAction*> entries = menuBar->actions();
        menuBar->insertMenu(entries.size() > 1 ? entries.at(1) : nullptr, m_pLanguageMenu);
        for (int i = 0; i < languages.size(); ++i) {
            QAction* item = m_pLanguageMenu->addAction(languages.at(i));
            item->setData(ID_LANGUAGE_FIRST + i);
        }
        m_NumberFormsMenu.Create(menuBar, m_Language.GetSettingFile(),
                                 [this](NumberFormSet forms) { ShowNumberForms(forms); });
        ShowNumberForms(m_NumberFormsMenu.GetForms());
        for (QAction* entry : menuBar->actions())
            if (QMenu* popup = entry->menu())
                connect(popup, &QMenu::aboutToShow, this, [this, popup] { OnInitMenuPopup(popup); });
    }

    AddJournalMenuItem();
    ApplyLanguage(QString());

    m_pRecorder = std::make_unique<CJournalRecorder>(ReadJournalSettings(m_Language.GetAppFolder()));
    m_pRecorder->m_fnReport = [this](const JournalStatus& status) { ReportJournalProblem(status); };

    m_hDevNotify =
        CDeviceNotifier::Register([this](unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData) {
            OnDeviceChange(nEventType, pData);
        });

    m_wndStatusBar->SetPaneText(1, FormatClock(std::time(nullptr)));

    SetTimer(TIMER_CLOCK, 1000);
    SetTimer(TIMER_DEVICE, 100);
    SetTimer(TIMER_STARTSCAN, 100);

    PostSize();
    return true;
}

void CRFIDDlg::AppendLog(const QString& text, bool bReplace) {
    if (!log)
        return;
    const QString logText = LogTextFrom(text);
    QTextCursor cursor = log->textCursor();
    if (bReplace) {
        if (log->toPlainText() == logText)
            return;
        cursor.select(QTextCursor::Document);
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    // One caret move and one scroll after the text is in: moving and scrolling before it as well
    // gave the same result at a quarter of a card's host time.
    cursor.insertText(logText);
    log->setTextCursor(cursor);
    log->ensureCursorVisible();
}

bool CRFIDDlg::IsReaderReady() const {
    return m_bDeviceReady != 0;
}

CRFIDDevice& CRFIDDlg::Reader() {
    return m_RFIDDevice;
}

CJournalRecorder* CRFIDDlg::Recorder() {
    return m_pRecorder.get();
}

void CRFIDDlg::SetReadFormat(int bIncludeVendor) {
    m_OPMainDlg->m_bIncludeVendor = bIncludeVendor;
}

QString CRFIDDlg::GetLogText() const {
    return log ? log->toPlainText() : QString();
}

void CRFIDDlg::ShowPage(int nPage) {
    if (nPage == m_nCurPage)
        return;
    m_nCurPage = nPage;
    QWidget* page = nPage == 0   ? static_cast<QWidget*>(m_OPMainDlg.get())
                    : nPage == 1 ? static_cast<QWidget*>(m_MPDlg.get())
                                 : nullptr;
    if (page)
        m_SplitterRight.SetPanes(this, page, m_SplitterRight.GetSecondPane(), 0);
}

void CRFIDDlg::ApplyLanguage(const QString& strLanguage) {
    m_Language.SetLanguage(strLanguage);
    m_Language.TranslateDialog(this, IDD_RFID_DIALOG);
    if (QMenuBar* menuBar = GetMenu()) {
        m_Language.TranslateMenu(menuBar, IDR_MENU_MAIN);
        m_NumberFormsMenu.Translate(m_Language);
        if (DrawMenuBar())
            OnSize();
    }
    if (m_pJournalItem)
        m_pJournalItem->setText(m_Language.GetText(JournalText::MenuItem));
    m_ReaderMenu.Translate(m_Language);
    if (m_pJournalDlg)
        m_pJournalDlg->ApplyLanguage();
    if (m_pBatchesItem)
        m_pBatchesItem->setText(m_Language.GetText(BatchesText::Menu));
    if (m_pBatchesDlg)
        m_pBatchesDlg->ApplyLanguage();
    if (m_wndStatusBar)
        m_wndStatusBar->SetPaneText(0, m_Language.GetSpecialString(QStringLiteral("SPECIAL_STRING"),
                                                                   QStringLiteral("IDS_IDLEMESSAGE")));
    m_OPListDlg->ApplyLanguage(strLanguage);
    m_OPMainDlg->ApplyLanguage(strLanguage);
    m_MPDlg->ApplyLanguage(strLanguage);
}

std::optional<WindowPlacement> CRFIDDlg::LoadWindowPos() const {
    return ParseWindowPlacement(GetProfileString(kSettingsSection, kWindowPosEntry));
}

void CRFIDDlg::SaveWindowPos() {
    const bool bMinimized = isMinimized();
    const WindowPlacement current = CurrentPlacement(normalGeometry(), bMinimized, isMaximized());
    WriteProfileString(kSettingsSection, kWindowPosEntry,
                       FormatWindowPlacement(PlacementToSave(current, bMinimized)));
}

void CRFIDDlg::ApplyWindowPlacement(const WindowPlacement& placement) {
    // A rectangle without area would leave no window to see.
    if (qint64(placement.right) <= placement.left || qint64(placement.bottom) <= placement.top)
        return;
    // A stored rectangle can be off every screen or far larger than any: the window comes back on
    // a screen, usable and no larger than it, frame included (the window system knows the frame
    // once the window exists).
    if (!windowHandle())
        create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry().marginsRemoved(frame));
    setGeometry(RestoredNormalRect(placement, areas, kMinimumRestoredSize));
    switch (placement.showCmd) {
    case SW_SHOWMAXIMIZED:
        setWindowState(Qt::WindowMaximized);
        break;
    case SW_SHOWMINIMIZED:
    case 6: // minimise
    case 7: // show minimised without activating
        setWindowState(Qt::WindowMinimized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

bool CRFIDDlg::OnDeviceChange(unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData) {
    ApplyDeviceChange(ReaderFlagsRef(), nEventType, pData);
    return true;
}

ReaderFlags CRFIDDlg::ReaderFlagsRef() {
    return {m_bDevicePresent, m_bDeviceOpen, m_bDeviceReady, m_bDeviceStale};
}

bool CRFIDDlg::IdentifyReader() {
    unsigned char name[READER_TEXT_BYTES] = {};
    unsigned char version[READER_TEXT_BYTES] = {};
    // Both requests are always made.
    const int nName = qBound(0, m_RFIDDevice.ReadReaderName(name), READER_TEXT_BYTES);
    const int nVersion = qBound(0, m_RFIDDevice.ReadReaderVersion(version), READER_TEXT_BYTES);
    if (nName == 0 || nVersion == 0)
        return false;
    AppendLog(IdentificationLine(name, nName, version, nVersion), true);
    if (m_pRecorder) {
        m_pRecorder->SetReader(ReaderNameText(name, nName), ReaderVersionText(version, nVersion));
        // A journal that cannot be used is said as soon as the reader is there, not at the first card.
        m_pRecorder->ReadyToWrite();
    }
    return true;
}

void CRFIDDlg::OnTimer(int nIDEvent) {
    switch (nIDEvent) {
    case TIMER_CLOCK:
        if (m_wndStatusBar)
            m_wndStatusBar->SetPaneText(1, FormatClock(std::time(nullptr)));
        break;
    case TIMER_DEVICE:
        // A transfer that found the device gone counts as a removal followed by an arrival:
        // the reader may be back already under a new node, which only a fresh scan finds.
        if (m_bDeviceOpen && CUSBDevice::ReaderGone())
            m_bDeviceStale = 1;
        if (StepConnection(
                ReaderFlagsRef(), [this] { return m_RFIDDevice.OpenReader(); },
                [this] { return IdentifyReader(); }))
            AppendLog(QString::fromLatin1(kDisconnectText), true);
        m_ReaderMenu.Update();
        break;
    case TIMER_STARTSCAN: {
        // A reader plugged in before the start sends no arrival message; this scan finds it.
        KillTimer(TIMER_STARTSCAN);
        m_bDeviceOpen = m_bDevicePresent = m_RFIDDevice.OpenReader() ? 1 : 0;
        m_ReaderMenu.Update();
        break;
    }
    default:
        break;
    }
}

void CRFIDDlg::SetTimer(int nIDEvent, int nElapse) {
    KillTimer(nIDEvent);
    m_TimerIds[startTimer(nElapse)] = nIDEvent;
}

void CRFIDDlg::KillTimer(int nIDEvent) {
    for (auto it = m_TimerIds.begin(); it != m_TimerIds.end(); ++it) {
        if (it->second == nIDEvent) {
            killTimer(it->first);
            m_TimerIds.erase(it);
            return;
        }
    }
}

void CRFIDDlg::timerEvent(QTimerEvent* e) {
    const auto it = m_TimerIds.find(e->timerId());
    if (it != m_TimerIds.end())
        OnTimer(it->second);
    else
        CDialog::timerEvent(e);
}

void CRFIDDlg::OnCommand(int nID) {
    switch (nID) {
    case ID_MENU_READWRITE:
        SelectNavigationFolder(0);
        return;
    case ID_MENU_MASSPRODUCTION:
        SelectNavigationFolder(1);
        return;
    case ID_MENU_EXIT:
        // Ends the modal loop as a quit message would: the close handling (and with it the
        // placement save) does not run.
        QMetaObject::invokeMethod(
            this, [this] { EndDialog(IDCANCEL); }, Qt::QueuedConnection);
        return;
    case ID_MENU_ABOUT:
        OnAbout();
        return;
    case ID_MENU_JOURNAL:
        OnJournal();
        return;
    case ID_MENU_BATCHES:
        OnBatches();
        return;
    default:
        break;
    }
    if (IsLanguageCommand(nID))
        OnLanguageCommand(nID);
    else if (m_NumberFormsMenu.OnCommand(nID))
        return;
    else
        CDialog::OnCommand(nID);
}

void CRFIDDlg::AddJournalMenuItem() {
    QMenuBar* menuBar = GetMenu();
    QMenu* file = menuBar && !menuBar->actions().isEmpty() ? menuBar->actions().first()->menu() : nullptr;
    if (!file)
        return;
    // Below the two pages, before the separator above Exit.
    const QList<QAction*> items = file->actions();
    QAction* before = nullptr;
    for (QAction* item : items) {
        if (item->isSeparator())
            before = item;
    }
    m_pJournalItem = new QAction(QString::fromUtf16(JournalText::MenuItem.english), file);
    m_pJournalItem->setData(ID_MENU_JOURNAL);
    file->insertAction(before, m_pJournalItem);
    // File > Reader goes above the journal, which stays last before Exit; Batches... between them.
    m_ReaderMenu.Create(file, m_pJournalItem, m_Language.GetSettingFile(), [this] { ReopenChosenReader(); });
    m_pBatchesItem = new QAction(QString::fromUtf16(BatchesText::Menu.english), file);
    m_pBatchesItem->setData(ID_MENU_BATCHES);
    file->insertAction(m_pJournalItem, m_pBatchesItem);
}

// The reader chosen in File > Reader replaces the open one; one in use by another program is not
// opened: the window says so and shows no reader until another is chosen.
void CRFIDDlg::ReopenChosenReader() {
    m_bDeviceOpen = m_bDevicePresent = m_RFIDDevice.OpenReader() ? 1 : 0;
    m_bDeviceReady = m_bDeviceOpen && IdentifyReader() ? 1 : 0;
    if (!m_bDeviceOpen && CUSBDevice::LastProblem() == ReaderProblem::InUse)
        ShowWarning(m_Language.GetText(ReaderText::InUse).arg(QString::fromStdString(CUSBDevice::ChosenReader())));
}

void CRFIDDlg::OnBatches() {
    if (!m_pBatchesDlg)
        m_pBatchesDlg = std::make_unique<CBatchesDlg>(ReadJournalSettings(m_Language.GetAppFolder()).connection,
                                                      m_Language, this);
    m_pBatchesDlg->m_nNumberForms = m_NumberFormsMenu.GetForms();
    m_pBatchesDlg->Tick();
    m_pBatchesDlg->show();
    m_pBatchesDlg->raise();
    m_pBatchesDlg->activateWindow();
}

void CRFIDDlg::OnJournal() {
    if (!m_pJournalDlg)
        m_pJournalDlg = std::make_unique<CJournalDlg>(ReadJournalSettings(m_Language.GetAppFolder()).connection,
                                                      m_Language, this);
    else
        m_pJournalDlg->Refresh();
    m_pJournalDlg->show();
    m_pJournalDlg->raise();
    m_pJournalDlg->activateWindow();
}

void CRFIDDlg::ReportJournalProblem(const JournalStatus& status) {
    ShowWarning(JournalProblemMessage(m_Language, status));
}

// In the log, and in a box that does not stop the window's work.
void CRFIDDlg::ShowWarning(const QString& message) {
    AppendLog(QStringLiteral("\r\n") + message, false);
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Enter and Escape that no control takes (in the log, on a splitter that kept the focus after a
// drag) would end the program at once, without storing its placement and losing the numbers in
// the fields: only the close box and File > Exit end it.
void CRFIDDlg::OnOK() {}

void CRFIDDlg::OnCancel() {}

void CRFIDDlg::ShowNumberForms(NumberFormSet forms) {
    m_OPMainDlg->m_nNumberForms = forms;
    m_MPDlg->m_nNumberForms = forms;
}

void CRFIDDlg::SelectNavigationFolder(int nFolder) {
    // The page follows from the bar's folder change, which the navigation pane turns into
    // ShowPage, so menu and bar always agree.
    m_OPListDlg->m_wndOutBar.SelectFolder(nFolder);
}

void CRFIDDlg::PostCommand(int nID) {
    QMetaObject::invokeMethod(
        this, [this, nID] { OnCommand(nID); }, Qt::QueuedConnection);
}

void CRFIDDlg::OnLanguageCommand(int nID) {
    QMenuBar* menuBar = GetMenu();
    QAction* item = menuBar ? FindCommand(menuBar->actions(), nID) : nullptr;
    if (item)
        ApplyLanguage(item->text());
}

void CRFIDDlg::OnInitMenuPopup(QMenu* popup) {
    // Every item of the opening popup gets its update; only language items have one: the
    // check mark on the current language.
    for (QAction* item : popup->actions()) {
        if (item->isSeparator() || item->menu())
            continue;
        const int nID = item->data().toInt();
        if (IsLanguageCommand(nID)) {
            item->setCheckable(true);
            item->setChecked(item->text() == m_Language.GetLanguage());
        }
    }
}

void CRFIDDlg::OnAbout() {
    CAboutDlg dlgAbout(m_Language, this);
    dlgAbout.DoModal();
}

bool CRFIDDlg::PreTranslateMessage(QObject* target, QKeyEvent* e) {
    return CDialog::PreTranslateMessage(target, e);
}

bool CRFIDDlg::eventFilter(QObject* watched, QEvent* e) {
    if (log && (watched == log || watched == log->viewport())) {
        // The log has no context menu, and Enter stays in it instead of ending the window.
        if (e->type() == QEvent::ContextMenu)
            return true;
        if (e->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(e)->button() == Qt::RightButton)
            return true;
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
    }
    return CDialog::eventFilter(watched, e);
}

void CRFIDDlg::closeEvent(QCloseEvent* e) {
    SaveWindowPos();
    m_MPDlg->EndBatch();
    CDialog::closeEvent(e);
}

void CRFIDDlg::resizeEvent(QResizeEvent* e) {
    CDialog::resizeEvent(e);
    OnSize();
}

void CRFIDDlg::changeEvent(QEvent* e) {
    CDialog::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        OnSize();
}

void CRFIDDlg::PostSize() {
    QMetaObject::invokeMethod(
        this, [this] { OnSize(); }, Qt::QueuedConnection);
}

void CRFIDDlg::OnSize() {
    if (!isVisible() || !m_wndStatusBar)
        return;
    QRect client = GetClientRect();
    if (!isMinimized()) {
        m_wndStatusBar->SetPaneInfo(0, ID_INDICATOR_IDLE, SBPS_NORMAL, client.width() - kClockPaneWidth);
        m_wndStatusBar->SetPaneInfo(1, ID_INDICATOR_CLOCK, SBPS_STRETCH, 0);
        const int barHeight = m_wndStatusBar->sizeHint().height();
        m_wndStatusBar->setGeometry(client.left(), client.bottom() + 1 - barHeight, client.width(),
                                    barHeight);
        m_wndStatusBar->show();
    }
    client.setBottom(client.bottom() - m_wndStatusBar->height());
    if (m_SplitterMain.IsCreated())
        m_SplitterMain.setGeometry(client);
}
