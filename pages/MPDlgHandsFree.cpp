// The hands-free runs of the Mass Production page: with "Hands-free" checked, Write starts a run that
// polls the reader and writes every card laid on it once, through the same WriteOneCard as a Write press.

#include "pages/MPDlg.h"

#include "pages/PageBatch.h"
#include "pages/PageHost.h"
#include "platform/DialogTemplate.h"
#include "reader/CardIdentifier.h"
#include "reader/RFIDDevice.h"

#include <QApplication>
#include <QCheckBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

// Where the check box sits in the option frame, in dialog units: beside "Verify".
const QRect kHandsFreeRect(230, 28, 80, 10);
// The state line is read from a metre away.
constexpr qreal kRunStatePointSize = 22.0;
// A failed card sounds twice, this far apart.
constexpr int kSecondBeepMs = 180;

const CBuiltInText kHandsFree = {"IDD_138", "IDD_138_1016", u"Hands-free", u"免手动", u"免手動"};
const CBuiltInText kStop = {"IDD_138", "IDD_138_Stop", u"Stop", u"停止", u"停止"};
const CBuiltInText kWaiting = {"SPECIAL_STRING", "IDS_HANDSFREE_WAITING", u"Waiting for a card", u"等待卡片",
                               u"等待卡片"};
const CBuiltInText kNoCardHint = {
    "SPECIAL_STRING", "IDS_HANDSFREE_NOCARD",
    u"Waiting for a card. A card that does not read at all needs Write with Hands-free off.",
    u"等待卡片。读不出的卡片请取消免手动后按写入。", u"等待卡片。讀不出的卡片請取消免手動後按寫入。"};
const CBuiltInText kWriting = {"SPECIAL_STRING", "IDS_HANDSFREE_WRITING", u"Writing %1", u"正在写入 %1",
                               u"正在寫入 %1"};
const CBuiltInText kGood = {"SPECIAL_STRING", "IDS_HANDSFREE_GOOD", u"Good %1", u"成功 %1", u"成功 %1"};
const CBuiltInText kFailed = {"SPECIAL_STRING", "IDS_HANDSFREE_FAILED", u"Failed: %1", u"失败：%1", u"失敗：%1"};
const CBuiltInText kWriteError = {"SPECIAL_STRING", "IDS_HANDSFREE_WRITEERROR", u"write error", u"写卡错误",
                                  u"寫卡錯誤"};
const CBuiltInText kVerifyFailed = {"SPECIAL_STRING", "IDS_HANDSFREE_VERIFYFAIL", u"verify failed", u"校验失败",
                                    u"校驗失敗"};
const CBuiltInText kNoIdentifier = {"SPECIAL_STRING", "IDS_HANDSFREE_NOID", u"the fields hold no card number",
                                    u"卡号无效", u"卡號無效"};
const CBuiltInText kRefused = {"SPECIAL_STRING", "IDS_HANDSFREE_REFUSED", u"not written, the log says why",
                               u"未写入，原因见日志", u"未寫入，原因見日誌"};
const CBuiltInText kAlreadyWritten = {"SPECIAL_STRING", "IDS_HANDSFREE_ALREADY", u"Already written: %1. Take the card away.",
                                      u"已写入：%1。请取走卡片。", u"已寫入：%1。請取走卡片。"};
const CBuiltInText kStopped = {"SPECIAL_STRING", "IDS_HANDSFREE_STOPPED", u"Stopped", u"已停止", u"已停止"};
const CBuiltInText kStoppedFailures = {"SPECIAL_STRING", "IDS_HANDSFREE_STOPPED_FAILURES",
                                       u"Stopped: three failed cards in a row", u"已停止：连续三张卡片失败",
                                       u"已停止：連續三張卡片失敗"};
const CBuiltInText kStoppedReader = {"SPECIAL_STRING", "IDS_HANDSFREE_STOPPED_READER",
                                     u"Stopped: the reader is gone", u"已停止：读卡器已断开",
                                     u"已停止：讀卡器已斷開"};

// Why a batch holds no number for the next card of a run.
const CBuiltInText* NoNumberStopText(const CPageBatch& batch) {
    return batch.LastClaimStatus() == BatchStatus::Exhausted ? &BatchText::StoppedExhausted
                                                             : &BatchText::StoppedAway;
}

// A control's accessible name is the text it shows.
void ShowButtonText(QAbstractButton* button, const QString& text) {
    button->setText(text);
    button->setAccessibleName(text);
}

} // namespace

void CMPDlg::CreateHandsFreeControls() {
    m_checkHandsFree = new QCheckBox(this);
    ShowButtonText(m_checkHandsFree, m_Language.GetText(kHandsFree));
    m_checkHandsFree->setProperty(kControlIdProperty, int(IDC_CHECK_HANDSFREE));
    m_checkHandsFree->setGeometry(MapDialogRect(kHandsFreeRect));
    if (QWidget* verify = GetDlgItem(IDC_CHECK_VERIFY))
        QWidget::setTabOrder(verify, m_checkHandsFree);
    connect(m_checkHandsFree, &QCheckBox::toggled, this, [this](bool bChecked) {
        if (!bChecked && m_Run.IsRunning())
            StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
        if (m_labelRunState)
            m_labelRunState->setVisible(bChecked || m_Run.GetPhase() == CHandsFreeRun::Phase::Stopped);
    });

    m_labelRunState = new QLabel(this);
    QFont font = m_labelRunState->font();
    font.setPointSizeF(kRunStatePointSize);
    font.setBold(true);
    m_labelRunState->setFont(font);
    m_labelRunState->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_labelRunState->setWordWrap(true);
    m_labelRunState->hide();

    m_RunTimer.setInterval(CHandsFreeRun::POLL_INTERVAL_MS);
    connect(&m_RunTimer, &QTimer::timeout, this, &CMPDlg::OnHandsFreePoll);
    if (m_btnWrite)
        m_strWriteText = m_btnWrite->text();
    ShowWriteButton();
}

void CMPDlg::TranslateHandsFree() {
    // The dialog's translation has just given the button its Write text (ApplyLanguage puts the Write
    // text back first while a run shows Stop).
    if (m_btnWrite)
        m_strWriteText = m_btnWrite->text();
    if (m_checkHandsFree)
        ShowButtonText(m_checkHandsFree, m_Language.GetText(kHandsFree));
    ShowWriteButton();
    if (m_fnRunStateText)
        RenderRunState();
}

void CMPDlg::ShowWriteButton() {
    if (m_btnWrite)
        ShowButtonText(m_btnWrite, m_Run.IsRunning() ? m_Language.GetText(kStop) : m_strWriteText);
}

void CMPDlg::ShowRunState(RunState state, std::function<QString()> text) {
    if (!m_labelRunState)
        return;
    m_runState = state;
    m_fnRunStateText = std::move(text);
    RenderRunState();
    m_labelRunState->show();
}

void CMPDlg::RenderRunState() {
    QPalette palette = m_labelRunState->palette();
    const QColor colour = m_runState == RunState::Good          ? QColor(0x1B, 0x7F, 0x37)
                          : m_runState == RunState::Failed      ? QColor(0xC6, 0x28, 0x28)
                          : m_runState == RunState::LeftAsItWas ? QColor(0xA0, 0x5A, 0x00)
                                                                : this->palette().color(QPalette::WindowText);
    palette.setColor(QPalette::WindowText, colour);
    m_labelRunState->setPalette(palette);
    const QString text = m_fnRunStateText();
    m_labelRunState->setText(text);
    m_labelRunState->setAccessibleName(text);
}

void CMPDlg::ShowWaitingState() {
    auto text = [this] { return m_Language.GetText(m_Run.ShowNoCardHint() ? kNoCardHint : kWaiting); };
    if (!m_labelRunState || m_runState != RunState::Waiting || m_labelRunState->text() != text())
        ShowRunState(RunState::Waiting, text);
}

void CMPDlg::StartHandsFreeRun() {
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady())
        return;
    UpdateData(true);
    // A batch that holds no number for the first card (every number taken, its database away) ends the
    // run before it starts.
    if (m_pBatch && !m_pBatch->Claimed()) {
        m_pBatch->ClaimNext();
        ShowBatchState();
        if (!m_pBatch->Claimed()) {
            m_pBatchStopText = NoNumberStopText(*m_pBatch);
            ShowRunState(RunState::Stopped,
                         [this, text = m_pBatchStopText] { return m_Language.GetText(*text); });
            return;
        }
    }
    if (m_strVendorId.isEmpty() && m_strCardNo.isEmpty())
        return;
    // Fields that hold no identifier would fail every card laid; the run does not start, and the
    // operator sees why at once.
    if (!ComposeIdentifier(m_strVendorId, m_strCardNo).IsValid()) {
        ShowRunState(RunState::Failed,
                     [this] { return m_Language.GetText(kFailed).arg(m_Language.GetText(kNoIdentifier)); });
        return;
    }
    m_Run.Start();
    ShowWriteButton();
    ShowWaitingState();
    m_RunTimer.start();
    qApp->installEventFilter(this);
}

void CMPDlg::StopHandsFreeRun(CHandsFreeRun::StopReason reason) {
    m_Run.Stop(reason);
    m_RunTimer.stop();
    qApp->removeEventFilter(this);
    ShowWriteButton();
    ShowRunState(RunState::Stopped, [this] { return StoppedText(); });
}

QString CMPDlg::StoppedText() const {
    switch (m_Run.GetStopReason()) {
    case CHandsFreeRun::StopReason::Failures:
        return m_Language.GetText(kStoppedFailures);
    case CHandsFreeRun::StopReason::ReaderGone:
        return m_Language.GetText(kStoppedReader);
    case CHandsFreeRun::StopReason::Batch:
        return m_Language.GetText(m_pBatchStopText ? *m_pBatchStopText : kStopped);
    default:
        return m_Language.GetText(kStopped);
    }
}

void CMPDlg::OnHandsFreePoll() {
    if (!m_Run.IsRunning())
        return;
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady()) {
        StopHandsFreeRun(CHandsFreeRun::StopReason::ReaderGone);
        return;
    }
    const std::optional<std::uint64_t> laidCard = m_pMainDlg->Reader().ReadCardId(true);
    if (!m_Run.OnPoll(laidCard)) {
        if (m_Run.GetPhase() == CHandsFreeRun::Phase::WaitingForCard)
            ShowWaitingState();
        return;
    }
    UpdateData(true);
    const FieldNumber next = ComposeIdentifier(m_strVendorId, m_strCardNo);
    const QString nextText = next.IsValid() ? CardIdText(next.value) : m_strCardNo;
    ShowRunState(RunState::Writing, [this, nextText] { return m_Language.GetText(kWriting).arg(nextText); });
    // The write blocks the window for its transfers; the line shows before it starts.
    m_labelRunState->repaint();
    // No poll may start inside this card, even if something in it runs an event loop (a message box).
    m_RunTimer.stop();
    OnCardOfRun(laidCard, WriteOneCard(laidCard));
    if (m_Run.IsRunning())
        m_RunTimer.start();
}

void CMPDlg::OnCardOfRun(std::optional<std::uint64_t> laidCard, const CardResult& result) {
    if (result.outcome == CardOutcome::NotWritten) {
        // The reader went away, or both fields were emptied.
        const bool bReaderGone = !m_pMainDlg || !m_pMainDlg->IsReaderReady();
        StopHandsFreeRun(bReaderGone ? CHandsFreeRun::StopReason::ReaderGone : CHandsFreeRun::StopReason::Operator);
        return;
    }
    if (result.outcome == CardOutcome::NoNumber) {
        StopHandsFreeRun(CHandsFreeRun::StopReason::Batch);
        return;
    }
    if (result.outcome == CardOutcome::AlreadyWritten) {
        // A finished card laid again: neither good nor failed; the run waits for it to be taken away.
        m_Run.OnCardLeftAsItWas();
        const QString cardText = CardIdText(result.cardId);
        ShowRunState(RunState::LeftAsItWas,
                     [this, cardText] { return m_Language.GetText(kAlreadyWritten).arg(cardText); });
        return;
    }
    std::vector<std::uint64_t> heldIds;
    for (const std::optional<std::uint64_t>& id : {laidCard, std::optional<std::uint64_t>(result.cardId), result.readBack})
        if (id)
            heldIds.push_back(*id);
    const bool bGood = result.outcome == CardOutcome::Good;
    m_Run.OnCardDone(bGood, heldIds, result.readBack.has_value());
    if (bGood) {
        const QString cardText = CardIdText(result.cardId);
        ShowRunState(RunState::Good, [this, cardText] { return m_Language.GetText(kGood).arg(cardText); });
        QApplication::beep();
    } else {
        ShowRunState(RunState::Failed,
                     [this, result] { return m_Language.GetText(kFailed).arg(FailureReason(result)); });
        QApplication::beep();
        QTimer::singleShot(kSecondBeepMs, this, [] { QApplication::beep(); });
    }
    if (!m_Run.IsRunning()) {
        StopHandsFreeRun(m_Run.GetStopReason());
    } else if (bGood && m_pBatch && !m_pBatch->Claimed()) {
        // The batch has no number for another card: the run ends with its last good card.
        m_pBatchStopText = NoNumberStopText(*m_pBatch);
        StopHandsFreeRun(CHandsFreeRun::StopReason::Batch);
    }
}

QString CMPDlg::FailureReason(const CardResult& result) const {
    switch (result.outcome) {
    case CardOutcome::Refused:
        // The fields, or the journal (a number already on a good card, a journal that cannot record).
        return m_Language.GetText(kRefused);
    case CardOutcome::VerifyFailed:
        return m_Language.GetText(kVerifyFailed);
    default:
        return m_Language.GetText(kWriteError);
    }
}

void CMPDlg::hideEvent(QHideEvent* e) {
    // A minimised window hides its pages too (spontaneously); only a page put away ends the run.
    if (!e->spontaneous() && m_Run.IsRunning())
        StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
    CDialog::hideEvent(e);
}

bool CMPDlg::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && m_Run.IsRunning() &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == window())
            StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
    }
    return CDialog::eventFilter(watched, e);
}
