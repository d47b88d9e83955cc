#include "pages/OPMainDlg.h"

#include "pages/KeyFilter.h"
#include "pages/NumberSequence.h"
#include "pages/PageControls.h"
#include "pages/PageHost.h"
#include "pages/PageJournal.h"
#include "pages/PageLayout.h"
#include "platform/VirtualKey.h"
#include "reader/CardIdentifier.h"
#include "reader/RFIDDevice.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

COPMainDlg::COPMainDlg(QWidget* parent) : CDialog(IDD, parent) {}

bool COPMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_editRead = qobject_cast<QLineEdit*>(GetDlgItem(IDC_EDIT_READ));
    m_btnRead = qobject_cast<QPushButton*>(GetDlgItem(IDC_BUTTON_READ));
    m_editWrite = qobject_cast<QLineEdit*>(GetDlgItem(IDC_EDIT_WRITE));
    m_btnWrite = qobject_cast<QPushButton*>(GetDlgItem(IDC_BUTTON_WRITE));
    DoDataExchange(false);

    // A 24-point font of the default face for the two fields and the two buttons, narrowed so that
    // both fields show a whole 13-digit identifier.
    m_font = ApplyPageFont(*this, {m_editRead, m_btnRead, m_editWrite, m_btnWrite});
    const QString widest = CardIdText(MAX_IDENTIFIER);
    m_font = FitPageFont(m_font, {{m_editRead, widest}, {m_editWrite, widest}},
                         {m_editRead, m_btnRead, m_editWrite, m_btnWrite});
    return true;
}

void COPMainDlg::ApplyLanguage(const QString& strLanguage) {
    m_Language.SetLanguage(strLanguage);
    m_Language.TranslateDialog(this, IDD);
    FitControlTexts();
}

void COPMainDlg::OnCommand(int nID) {
    if (nID == IDC_BUTTON_READ)
        OnRead();
    else if (nID == IDC_BUTTON_WRITE)
        OnWrite();
    else
        CDialog::OnCommand(nID);
}

void COPMainDlg::DoDataExchange(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        if (m_editRead)
            m_strRead = m_editRead->text();
        if (m_editWrite)
            m_strWrite = m_editWrite->text();
    } else {
        ShowText(m_editRead, m_strRead);
        ShowText(m_editWrite, m_strWrite);
    }
}

void COPMainDlg::UpdateData(bool bSaveAndValidate) {
    DoDataExchange(bSaveAndValidate);
}

void COPMainDlg::OnRead() {
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady())
        return;
    UpdateData(true);
    // The whole identifier is read in both display modes (the same transfer), so the printed forms have
    // their vendor bits when the field shows the card number alone.
    const QString fullText = m_pMainDlg->Reader().ReadCardNumber(true);
    CPageJournal journal(m_pMainDlg->Recorder(), JournalSource::ReadWritePage);
    if (fullText.isEmpty()) {
        m_pMainDlg->AppendLog(kLogReadError, false);
        journal.Record(JournalOperation::Read, JournalResult::Error, std::nullopt);
    } else {
        const auto cardId = static_cast<quint64>(DecimalToInt64(fullText));
        const QString text = m_bIncludeVendor ? fullText : CardIdText(cardId & MAX_CARD_NUMBER);
        m_strRead = text;
        m_pMainDlg->AppendLog(kLogReadSuccess, false);
        if (m_bIncludeVendor)
            m_pMainDlg->AppendLog(QStringLiteral(" [") + VendorIdText(text) + u' ' + CardNoText(text) + u']',
                                  false);
        if (m_nNumberForms)
            m_pMainDlg->AppendLog(QStringLiteral("\r\n") + NumberFormsLine(m_nNumberForms, cardId), false);
        // A read whose record fails is still shown; the journal's problem is said after its lines.
        journal.Record(JournalOperation::Read, JournalResult::Ok, cardId);
    }
    UpdateData(false);
}

void COPMainDlg::OnWrite() {
    if (!m_pMainDlg || !m_pMainDlg->IsReaderReady())
        return;
    UpdateData(true);
    if (m_strWrite.isEmpty())
        return;
    // Pasted text can hold anything; only the number the field shows may reach the card.
    const FieldNumber cardId = ParseFieldNumber(m_strWrite, MAX_IDENTIFIER);
    CPageJournal journal(m_pMainDlg->Recorder(), JournalSource::ReadWritePage);
    if (!cardId.IsValid()) {
        journal.RecordRefused(std::nullopt, NotANumberReason(cardId.error));
        m_pMainDlg->AppendLog(RefusedWriteLine(cardId.error), false);
        return;
    }
    // No card is written whose result the journal could not record.
    if (!journal.MayWrite()) {
        journal.RecordRefused(cardId.value, NotRecordedReason());
        m_pMainDlg->AppendLog(kLogWriteError + m_Language.GetText(JournalText::NotRecorded), false);
        return;
    }
    // The page writes as asked; with the journal on it reads the card first, so that a good card written
    // over is taken off the record (and its number goes back to its batch).
    CRFIDDevice& reader = m_pMainDlg->Reader();
    const std::optional<std::uint64_t> read = journal.IsOn() ? reader.ReadCardId(true) : std::nullopt;
    const std::uint64_t held = read.value_or(cardId.value); // the number written is no overwrite
    const bool ok = reader.WriteCardId(cardId.value);
    // The card's own line first: a journal that cannot record it says so after it.
    m_pMainDlg->AppendLog(ok ? kLogWriteSuccess : kLogWriteError, false);
    journal.Record(JournalOperation::Write, ok ? JournalResult::Ok : JournalResult::Error, cardId.value,
                   ok ? QString() : TransferFailedReason());
    if (ok && journal.RecordOverwrite(held, cardId.value))
        m_pMainDlg->AppendLog(m_Language.GetText(JournalText::Overwritten).arg(CardIdText(held)), false);
}

bool COPMainDlg::PreTranslateMessage(QObject* target, QKeyEvent* e) {
    if (!KeyFilter::IsExaminedKeyEvent(e->type(), e->modifiers()))
        return false;
    const unsigned vk = VirtualKey::FromEvent(e);
    // Esc never closes the page, whichever control has the focus.
    if (vk == VirtualKey::VK_ESCAPE)
        return true;
    auto* edit = qobject_cast<QLineEdit*>(target);
    if (!edit || (edit != m_editRead && edit != m_editWrite))
        return false;
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int end = edit->hasSelectedText() ? edit->selectionEnd() : edit->cursorPosition();
    return KeyFilter::IsSwallowed(vk, e->modifiers() & Qt::ControlModifier, edit->text(), start, end,
                                  MAX_IDENTIFIER);
}

void COPMainDlg::resizeEvent(QResizeEvent* e) {
    CDialog::resizeEvent(e);
    CenterControls();
}

std::array<QWidget*, 4> COPMainDlg::Controls() const {
    return {m_editRead, m_btnRead, m_editWrite, m_btnWrite};
}

void COPMainDlg::CenterControls() {
    if (!m_editRead || !m_btnRead || !m_editWrite || !m_btnWrite)
        return;
    // The group runs from the top-left corner of the read field to the bottom-right corner of
    // the Write button.
    const QRect group(m_editRead->geometry().topLeft(), m_btnWrite->geometry().bottomRight());
    const QPoint offset = CenteringOffset(GetClientRect(), group);
    for (QWidget* control : Controls())
        control->move(control->pos() + offset);
}
