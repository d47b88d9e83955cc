#include "pages/MPDlg.h"

#include "pages/KeyFilter.h"
#include "pages/PageBatch.h"
#include "pages/PageControls.h"
#include "pages/PageHost.h"
#include "pages/PageJournal.h"
#include "pages/PageLayout.h"
#include "platform/VirtualKey.h"
#include "reader/CardIdentifier.h"
#include "reader/RFIDDevice.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <iterator>

namespace {

const QString kVerifySuccess = QStringLiteral(" VERIFY SUCCESS\u221A");
const QString kVerifyFail = QStringLiteral(" VERIFY FAIL\u00D7");

// The radio buttons of the number mode, in the order of their mode values.
constexpr int kModeButtons[] = {CMPDlg::IDC_RADIO_INCREASE, CMPDlg::IDC_RADIO_RANDOM,
                                CMPDlg::IDC_RADIO_NOCHANGE};
// The controls inside the frame, which move with it.
constexpr int kOptionControls[] = {CMPDlg::IDC_RADIO_INCREASE,  CMPDlg::IDC_RADIO_RANDOM,
                                   CMPDlg::IDC_RADIO_NOCHANGE,  CMPDlg::IDC_CHECK_VERIFY,
                                   CMPDlg::IDC_CHECK_HANDSFREE, CMPDlg::IDC_STATIC_BATCH,
                                   CMPDlg::IDC_COMBO_BATCH};
// The state line of a hands-free run sits this far below the row of fields.
constexpr int kRunStateGap = 12;

} // namespace

CMPDlg::CMPDlg(QWidget* parent) : CDialog(IDD, parent) {}

CMPDlg::~CMPDlg() = default;

bool CMPDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_editVendorId = qobject_cast<QLineEdit*>(GetDlgItem(IDC_EDIT_VENDORID));
    m_editCardNo = qobject_cast<QLineEdit*>(GetDlgItem(IDC_EDIT_CARDNO));
    m_btnWrite = qobject_cast<QPushButton*>(GetDlgItem(IDC_BUTTON_WRITE));
    m_frame = qobject_cast<QLabel*>(GetDlgItem(IDC_STATIC_FRAME));
    DoDataExchange(false);

    // A 24-point font of the default face for the two fields and the Write button, narrowed so that
    // vendor 255 and card number 4294967295 show whole.
    m_font = ApplyPageFont(*this, {m_editVendorId, m_editCardNo, m_btnWrite});
    m_font = FitPageFont(m_font,
                         {{m_editVendorId, QString::number(MAX_VENDOR_ID)},
                          {m_editCardNo, QString::number(MAX_CARD_NUMBER)}},
                         {m_editVendorId, m_editCardNo, m_btnWrite});
    m_Random.Seed(quint32(QDateTime::currentSecsSinceEpoch()));
    CreateHandsFreeControls();
    CreateBatchControls();

    // Choosing "Increase Progressively" or "Random" takes effect at once; the other choices are
    // read when a card is written.
    for (int id : {IDC_RADIO_INCREASE, IDC_RADIO_RANDOM}) {
        if (auto* radio = qobject_cast<QAbstractButton*>(GetDlgItem(id)))
            connect(radio, &QAbstractButton::clicked, this, [this] { UpdateData(true); });
    }
    return true;
}

void CMPDlg::ApplyLanguage(const QString& strLanguage) {
    m_Language.SetLanguage(strLanguage);
    if (m_btnWrite && m_Run.IsRunning())
        m_btnWrite->setText(m_strWriteText);
    m_Language.TranslateDialog(this, IDD);
    TranslateHandsFree();
    TranslateBatch();
    FitControlTexts();
}

void CMPDlg::OnCommand(int nID) {
    if (nID == IDC_BUTTON_WRITE)
        OnWrite();
    else
        CDialog::OnCommand(nID);
}

void CMPDlg::ExchangeRadioGroup(bool bSaveAndValidate) {
    QAbstractButton* buttons[std::size(kModeButtons)] = {};
    for (size_t i = 0; i < std::size(kModeButtons); ++i)
        buttons[i] = qobject_cast<QAbstractButton*>(GetDlgItem(kModeButtons[i]));
    if (bSaveAndValidate) {
        m_nNumberMode = -1;
        for (size_t i = 0; i < std::size(buttons); ++i) {
            if (buttons[i] && buttons[i]->isChecked())
                m_nNumberMode = int(i);
        }
        return;
    }
    // A mode outside the group leaves no button checked, which an exclusive group allows only
    // while it is not exclusive.
    QButtonGroup* group = buttons[0] ? buttons[0]->group() : nullptr;
    if (group)
        group->setExclusive(false);
    for (size_t i = 0; i < std::size(buttons); ++i) {
        if (buttons[i])
            buttons[i]->setChecked(int(i) == m_nNumberMode);
    }
    if (group)
        group->setExclusive(true);
}

void CMPDlg::DoDataExchange(bool bSaveAndValidate) {
    // In the order the controls are bound: card number, mode, Verify, vendor ID.
    if (bSaveAndValidate) {
        if (m_editCardNo)
            m_strCardNo = m_editCardNo->text();
    } else {
        ShowText(m_editCardNo, m_strCardNo);
    }
    ExchangeRadioGroup(bSaveAndValidate);
    if (auto* verify = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_CHECK_VERIFY))) {
        if (bSaveAndValidate)
            m_bVerify = verify->isChecked() ? 1 : 0;
        else
            verify->setChecked(m_bVerify != 0);
    }
    if (bSaveAndValidate) {
        if (m_editVendorId)
            m_strVendorId = m_editVendorId->text();
    } else {
        ShowText(m_editVendorId, m_strVendorId);
    }
}

void CMPDlg::UpdateData(bool bSaveAndValidate) {
    DoDataExchange(bSaveAndValidate);
}

void CMPDlg::OnWrite() {
    if (m_Run.IsRunning())
        StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
    else if (m_checkHandsFree && m_checkHandsFree->isChecked())
        StartHandsFreeRun();
    else
        WriteOneCard();
}

CMPDlg::CardResult CMPDlg::WriteOneCard(std::optional<std::uint64_t> laidCard) {
    CardResult result;
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady())
        return result;
    // The batch's writer guards its cards itself, before it claims a number.
    if (m_pBatch)
        return WriteBatchCard(laidCard);
    UpdateData(true);
    if (m_strVendorId.isEmpty() && m_strCardNo.isEmpty())
        return result;
    // Pasted text may hold something other than a number, or a vendor ID or card number out of
    // range; the card would then get another identifier than the fields show, so it is not written.
    const FieldNumber typedId = ComposeIdentifier(m_strVendorId, m_strCardNo);
    CPageJournal journal(m_pMainDlg->Recorder(), JournalSource::MassProduction);
    if (!typedId.IsValid()) {
        journal.RecordRefused(std::nullopt, NotANumberReason(typedId.error));
        m_pMainDlg->AppendLog(RefusedWriteLine(typedId.error), false);
        result.outcome = CardOutcome::Refused;
        return result;
    }
    if (std::optional<CardResult> refused = RefuseFinishedCard(laidCard))
        return *refused;
    const std::optional<std::uint64_t> cardId = ClearForWriting(journal, typedId.value);
    if (!cardId) {
        result.outcome = CardOutcome::Refused;
        result.cardId = typedId.value;
        return result;
    }
    result.cardId = *cardId;
    CRFIDDevice& reader = m_pMainDlg->Reader();
    if (!reader.WriteCardId(*cardId)) {
        m_pMainDlg->AppendLog(kLogWriteError, false);
        journal.Record(JournalOperation::Write, JournalResult::Error, *cardId, TransferFailedReason());
        result.outcome = CardOutcome::WriteError;
        return result;
    }
    // The card's own line first: a journal that cannot record it says so after it.
    m_pMainDlg->AppendLog(kLogWriteSuccess, false);
    bool recorded = journal.Record(JournalOperation::Write, JournalResult::Ok, *cardId, QString(), m_bVerify != 0);

    if (m_bVerify) {
        // The card needs a moment before it can be read back. A plain pause keeps the window
        // from handling another Write (or a reader change) in the middle of this card.
        QThread::msleep(VERIFY_DELAY_MS);
        result.readBack = reader.ReadCardId(true);
        // A failed read-back is a failure, never the identifier 0.
        if (result.readBack != *cardId) {
            m_pMainDlg->AppendLog(kVerifyFail, false);
            journal.Record(JournalOperation::Verify, JournalResult::VerifyFailed, *cardId,
                           VerifyFailedReason(result.readBack));
            result.outcome = CardOutcome::VerifyFailed;
            return result;
        }
        m_pMainDlg->AppendLog(kVerifySuccess, false);
        recorded = journal.Record(JournalOperation::Verify, JournalResult::VerifyOk, *cardId) && recorded;
    }
    if (m_nNumberForms)
        m_pMainDlg->AppendLog(QStringLiteral("  ") + NumberFormsLine(m_nNumberForms, *cardId), false);
    // The number never advances past a card that is not on record: its record is committed first, before
    // the next card may be written, and the number is then found on a good card.
    if (recorded)
        m_strCardNo = NextCardNumber(m_nNumberMode, m_strCardNo, m_Random);
    UpdateData(false);
    result.outcome = CardOutcome::Good;
    if (!m_bVerify)
        m_writtenClock.start();
    return result;
}

std::optional<CMPDlg::CardResult> CMPDlg::RefuseFinishedCard(std::optional<std::uint64_t> laidCard) {
    // With the journal off the page makes no read of its own; a journal that cannot record refuses the
    // card further on, before any transfer.
    CPageJournal journal(m_pMainDlg->Recorder(), JournalSource::MassProduction);
    if (!journal.IsOn() || !journal.MayWrite())
        return std::nullopt;
    // A card that reads nothing (some blanks do) may be written.
    const std::optional<std::uint64_t> held = laidCard ? laidCard : ReadCardBeforeWriting();
    if (!held)
        return std::nullopt;
    const CPageJournal::GoodCardAnswer answer = journal.FindFinishedCard(*held);
    CardResult result;
    result.cardId = *held;
    if (!answer.answered) {
        RefuseUnrecorded(journal, *held);
        result.outcome = CardOutcome::Refused;
        return result;
    }
    if (!answer.goodCard)
        return std::nullopt;
    journal.RecordRefused(*held, FinishedCardReason(*held, *answer.goodCard));
    m_pMainDlg->AppendLog(kLogWriteError + FinishedCardLogText(m_Language, *held, *answer.goodCard), false);
    result.outcome = CardOutcome::AlreadyWritten;
    return result;
}

std::optional<std::uint64_t> CMPDlg::ReadCardBeforeWriting() {
    CRFIDDevice& reader = m_pMainDlg->Reader();
    std::optional<std::uint64_t> held = reader.ReadCardId(true);
    // Write pressed again at once: the card just written may not answer yet, and would be taken for a blank.
    if (!held && m_writtenClock.isValid() && m_writtenClock.elapsed() < VERIFY_DELAY_MS) {
        QThread::msleep(unsigned(VERIFY_DELAY_MS - m_writtenClock.elapsed()));
        held = reader.ReadCardId(true);
    }
    return held;
}

CMPDlg::CardResult CMPDlg::WriteBatchCard(std::optional<std::uint64_t> laidCard) {
    UpdateData(true);
    const BatchCardOutcome outcome = m_pBatch->WriteCard(m_bVerify != 0, VERIFY_DELAY_MS, laidCard);
    CardResult result;
    if (outcome.claim)
        result.cardId = outcome.claim->identifier;
    else if (outcome.held)
        result.cardId = *outcome.held;
    // A failed read-back is a failure, never the identifier 0.
    if (!outcome.readBack.isEmpty())
        result.readBack = std::uint64_t(DecimalToInt64(outcome.readBack));
    result.outcome = LogBatchCard(outcome);
    ShowBatchState();
    if (result.outcome == CardOutcome::Good && !m_bVerify)
        m_writtenClock.start();
    return result;
}

CMPDlg::CardOutcome CMPDlg::LogBatchCard(const BatchCardOutcome& outcome) {
    const QString cardText = outcome.claim ? CardIdText(outcome.claim->identifier) : QString();
    switch (outcome.result) {
    case BatchCardResult::Verified:
    case BatchCardResult::Written:
        m_pMainDlg->AppendLog(kLogWriteSuccess, false);
        if (outcome.result == BatchCardResult::Verified)
            m_pMainDlg->AppendLog(kVerifySuccess, false);
        if (m_nNumberForms)
            m_pMainDlg->AppendLog(
                QStringLiteral("  ") + NumberFormsLine(m_nNumberForms, outcome.claim->identifier), false);
        return CardOutcome::Good;
    case BatchCardResult::WriteFailed:
        m_pMainDlg->AppendLog(kLogWriteError, false);
        return CardOutcome::WriteError;
    case BatchCardResult::VerifyFailed:
        m_pMainDlg->AppendLog(kLogWriteSuccess, false);
        m_pMainDlg->AppendLog(kVerifyFail, false);
        return CardOutcome::VerifyFailed;
    case BatchCardResult::NotRecorded:
        m_pMainDlg->AppendLog(kLogWriteSuccess, false);
        LogBatchProblem(m_Language.GetText(BatchText::NotRecorded).arg(cardText), BatchText::StoppedAway);
        return CardOutcome::NoNumber;
    case BatchCardResult::Exhausted:
        LogBatchProblem(m_Language.GetText(BatchText::Exhausted), BatchText::StoppedExhausted);
        return CardOutcome::NoNumber;
    case BatchCardResult::AlreadyWritten:
        m_pMainDlg->AppendLog(kLogWriteError + FinishedCardLogText(m_Language, *outcome.held, *outcome.finishedCard),
                              false);
        return CardOutcome::AlreadyWritten;
    case BatchCardResult::Unavailable:
        LogBatchProblem(m_Language.GetText(BatchText::Away), BatchText::StoppedAway);
        return CardOutcome::NoNumber;
    case BatchCardResult::Refused:
        // Another run has taken the station's name over: the batch is no longer this page's to write.
        LogBatchProblem(m_Language.GetText(BatchText::InUse).arg(m_pBatch->StationName()),
                        BatchText::StoppedBatch);
        break;
    default:
        if (outcome.claim) { // written, but neither the batch nor the journal holds it
            m_pMainDlg->AppendLog(kLogWriteSuccess, false);
            LogBatchProblem(m_Language.GetText(BatchText::CannotRecord).arg(cardText),
                            BatchText::StoppedBatch);
        } else {
            LogBatchProblem(m_Language.GetText(BatchText::Failed).arg(outcome.message),
                            BatchText::StoppedBatch);
        }
        break;
    }
    EndBatch();
    ShowChosenBatch(false);
    return CardOutcome::NoNumber;
}

void CMPDlg::LogBatchProblem(const QString& reason, const CBuiltInText& stopText) {
    m_pMainDlg->AppendLog(kLogWriteError + QStringLiteral(" (") + reason + u')', false);
    m_pBatchStopText = &stopText;
}

std::optional<std::uint64_t> CMPDlg::ClearForWriting(CPageJournal& journal, std::uint64_t cardId) {
    // Increase and Random hand out numbers that must be on no other good card; No Change is meant to repeat.
    if (!journal.MayWrite())
        return RefuseUnrecorded(journal, cardId);
    if (m_nNumberMode != MODE_INCREASE && m_nNumberMode != MODE_RANDOM)
        return cardId;
    const QString typedCardNo = m_strCardNo;
    for (int draw = 0;; ++draw) {
        const CPageJournal::GoodCardAnswer answer = journal.FindGoodCard(cardId);
        if (!answer.answered) {
            m_strCardNo = typedCardNo;
            return RefuseUnrecorded(journal, cardId);
        }
        if (!answer.goodCard)
            return cardId;
        // Random draws another number for this card, a bounded number of times.
        if (m_nNumberMode != MODE_RANDOM || draw + 1 >= MAX_RANDOM_DRAWS) {
            m_strCardNo = typedCardNo;
            journal.RecordRefused(cardId, DuplicateReason(*answer.goodCard));
            m_pMainDlg->AppendLog(kLogWriteError + DuplicateLogText(m_Language, *answer.goodCard), false);
            return std::nullopt;
        }
        m_strCardNo = NextCardNumber(MODE_RANDOM, m_strCardNo, m_Random);
        cardId = ComposeIdentifier(m_strVendorId, m_strCardNo).value;
    }
}

std::nullopt_t CMPDlg::RefuseUnrecorded(CPageJournal& journal, std::uint64_t cardId) {
    journal.RecordRefused(cardId, NotRecordedReason());
    m_pMainDlg->AppendLog(kLogWriteError + m_Language.GetText(JournalText::NotRecorded), false);
    return std::nullopt;
}

bool CMPDlg::PreTranslateMessage(QObject* target, QKeyEvent* e) {
    if (!KeyFilter::IsExaminedKeyEvent(e->type(), e->modifiers()))
        return false;
    const unsigned vk = VirtualKey::FromEvent(e);
    // Esc never closes the page, whichever control has the focus.
    if (vk == VirtualKey::VK_ESCAPE)
        return true;
    auto* edit = qobject_cast<QLineEdit*>(target);
    if (!edit || (edit != m_editCardNo && edit != m_editVendorId))
        return false;
    const quint64 limit = edit == m_editCardNo ? MAX_CARD_NUMBER : MAX_VENDOR_ID;
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int end = edit->hasSelectedText() ? edit->selectionEnd() : edit->cursorPosition();
    return KeyFilter::IsSwallowed(vk, e->modifiers() & Qt::ControlModifier, edit->text(), start, end, limit);
}

void CMPDlg::resizeEvent(QResizeEvent* e) {
    CDialog::resizeEvent(e);
    LayoutControls();
}

void CMPDlg::LayoutControls() {
    if (!m_frame || !m_editVendorId || !m_editCardNo || !m_btnWrite)
        return;
    const MassProductionLayout layout = LayOutMassProduction(
        GetClientRect(), m_frame->geometry(), m_editVendorId->geometry(), m_btnWrite->geometry());
    for (QWidget* control : {static_cast<QWidget*>(m_editVendorId), static_cast<QWidget*>(m_editCardNo),
                             static_cast<QWidget*>(m_btnWrite)})
        control->move(control->pos() + layout.rowOffset);
    for (int id : kOptionControls) {
        if (QWidget* option = GetDlgItem(id))
            option->move(option->pos() + layout.optionOffset);
    }
    m_frame->setGeometry(layout.frame);
    LayoutBatchCounts();
    if (m_labelRunState) {
        const QRect client = GetClientRect();
        int top = m_btnWrite->geometry().bottom() + 1 + kRunStateGap;
        if (m_labelBatchCounts && m_pBatch)
            top = m_labelBatchCounts->geometry().bottom() + 1 + kRunStateGap;
        m_labelRunState->setGeometry(client.left(), top, client.width(), qMax(0, client.bottom() + 1 - top));
    }
}
