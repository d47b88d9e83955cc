#include "pages/MPDlg.h"

#include "pages/KeyFilter.h"
#include "pages/PageBatch.h"
#include "pages/PageControls.h"
#include "pages/PageHost.h"
#include "pages/PageJournal.h"
#include "station/TypedNumbers.h"
#include "pages/PageLayout.h"
#include "platform/VirtualKey.h"
#include "cards/CardIdentifier.h"
#include "reader/RFIDDevice.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QPushButton>

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

CCardRoutine& CMPDlg::Routine() {
    if (!m_pRoutine)
        m_pRoutine = std::make_unique<CCardRoutine>(m_pMainDlg->Reader());
    return *m_pRoutine;
}

CardOutcome CMPDlg::WriteOneCard(std::optional<std::uint64_t> laidCard) {
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady())
        return CardOutcome();
    UpdateData(true);
    CardRequest request;
    request.verify = m_bVerify != 0;
    request.verifyDelayMs = VERIFY_DELAY_MS;
    request.laidCard = laidCard;
    request.onStep = [this](CardStep step, const CardOutcome& card) { LogCardStep(step, card); };
    if (m_pBatch)
        return WriteBatchCard(request);
    CCardJournal journal(m_pMainDlg->Recorder(), JournalSource::MassProduction);
    CFieldNumbers fields(journal, m_strVendorId, m_strCardNo, m_nNumberMode, m_Random);
    const CardOutcome card = Routine().WriteCard(fields, request);
    LogRefusal(card);
    if (card.result == CardResult::Good) {
        if (m_nNumberForms)
            m_pMainDlg->AppendLog(QStringLiteral("  ") + NumberFormsLine(m_nNumberForms, *card.cardId), false);
        m_strCardNo = fields.CardText();
        UpdateData(false);
    }
    return card;
}

void CMPDlg::LogCardStep(CardStep step, const CardOutcome& card) {
    // The card's own line first: a journal that cannot record it says so after it.
    switch (step) {
    case CardStep::WriteFailed:
        m_pMainDlg->AppendLog(kLogWriteError, false);
        break;
    case CardStep::Written:
        m_pMainDlg->AppendLog(kLogWriteSuccess, false);
        break;
    case CardStep::ReadBack:
        m_pMainDlg->AppendLog(card.result == CardResult::VerifyFailed ? kVerifyFail : kVerifySuccess, false);
        break;
    }
}

void CMPDlg::LogRefusal(const CardOutcome& card) {
    if (card.result == CardResult::AlreadyWritten) {
        m_pMainDlg->AppendLog(kLogWriteError + FinishedCardLogText(m_Language, *card.held, *card.goodCard), false);
        return;
    }
    if (card.result != CardResult::Refused)
        return;
    switch (card.refusal) {
    case CardRefusal::NotANumber:
    case CardRefusal::OutOfRange:
        m_pMainDlg->AppendLog(RefusedWriteLine(card.refusal == CardRefusal::OutOfRange ? NumberTextError::OutOfRange
                                                                                       : NumberTextError::NotANumber),
                              false);
        break;
    case CardRefusal::Duplicate:
        m_pMainDlg->AppendLog(kLogWriteError + DuplicateLogText(m_Language, *card.goodCard), false);
        break;
    case CardRefusal::NotRecorded:
    case CardRefusal::None:
        m_pMainDlg->AppendLog(kLogWriteError + m_Language.GetText(JournalText::NotRecorded), false);
        break;
    }
}

CardOutcome CMPDlg::WriteBatchCard(const CardRequest& request) {
    const BatchCardOutcome outcome = m_pBatch->WriteCard(Routine(), request);
    CardOutcome card;
    card.cardId = outcome.claim ? std::optional<std::uint64_t>(outcome.claim->identifier) : outcome.held;
    card.held = outcome.held;
    // A failed read-back is a failure, never the identifier 0.
    if (!outcome.readBack.isEmpty())
        card.readBack = std::uint64_t(DecimalToInt64(outcome.readBack));
    card.result = LogBatchCard(outcome);
    if (card.result == CardResult::Good && m_nNumberForms)
        m_pMainDlg->AppendLog(QStringLiteral("  ") + NumberFormsLine(m_nNumberForms, *card.cardId), false);
    ShowBatchState();
    return card;
}

CardResult CMPDlg::LogBatchCard(const BatchCardOutcome& outcome) {
    // The card's own lines are in the log already (LogCardStep); here is what the batch says of it.
    const QString cardText = outcome.claim ? CardIdText(outcome.claim->identifier) : QString();
    switch (outcome.result) {
    case BatchCardResult::Verified:
    case BatchCardResult::Written:
        return CardResult::Good;
    case BatchCardResult::WriteFailed:
        return CardResult::WriteError;
    case BatchCardResult::VerifyFailed:
        return CardResult::VerifyFailed;
    case BatchCardResult::AlreadyWritten:
        m_pMainDlg->AppendLog(kLogWriteError + FinishedCardLogText(m_Language, *outcome.held, *outcome.finishedCard),
                              false);
        return CardResult::AlreadyWritten;
    case BatchCardResult::NotRecorded:
        LogBatchProblem(m_Language.GetText(BatchText::NotRecorded).arg(cardText), BatchText::StoppedAway);
        return CardResult::NoNumber;
    case BatchCardResult::Exhausted:
        LogBatchProblem(m_Language.GetText(BatchText::Exhausted), BatchText::StoppedExhausted);
        return CardResult::NoNumber;
    case BatchCardResult::Unavailable:
        LogBatchProblem(m_Language.GetText(BatchText::Away), BatchText::StoppedAway);
        return CardResult::NoNumber;
    case BatchCardResult::Refused:
        // Another run has taken the station's name over: the batch is no longer this page's to write.
        LogBatchProblem(m_Language.GetText(BatchText::InUse).arg(m_pBatch->StationName()), BatchText::StoppedBatch);
        break;
    default:
        if (outcome.claim) // written, but neither the batch nor the journal holds it
            LogBatchProblem(m_Language.GetText(BatchText::CannotRecord).arg(cardText), BatchText::StoppedBatch);
        else
            LogBatchProblem(m_Language.GetText(BatchText::Failed).arg(outcome.message), BatchText::StoppedBatch);
        break;
    }
    EndBatch();
    ShowChosenBatch(false);
    return CardResult::NoNumber;
}

void CMPDlg::LogBatchProblem(const QString& reason, const CBuiltInText& stopText) {
    m_pMainDlg->AppendLog(kLogWriteError + QStringLiteral(" (") + reason + u')', false);
    m_pBatchStopText = &stopText;
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
        if (m_barBatch && m_pBatch)
            top = m_barBatch->geometry().bottom() + 1 + kRunStateGap;
        m_labelRunState->setGeometry(client.left(), top, client.width(), qMax(0, client.bottom() + 1 - top));
    }
}
