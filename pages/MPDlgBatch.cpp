// The batch choice of the Mass Production page: with a batch chosen the numbers come from the journal's
// database, claimed by this station one card at a time, instead of from the fields.

#include "pages/MPDlg.h"

#include "journal/JournalRecorder.h"
#include "cards/NumberSequence.h"
#include "pages/PageBatch.h"
#include "pages/PageControls.h"
#include "pages/PageHost.h"
#include "platform/DialogTemplate.h"
#include "cards/CardIdentifier.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

#include <functional>

namespace {

// In dialog units, in the option frame beside "No Change", above "Hands-free".
const QRect kBatchLabelRect(230, 14, 30, 10);
const QRect kBatchComboRect(262, 12, 130, 13);
// The progress bar sits this far below the row of fields.
constexpr int kCountsGap = 4;
// Well inside the lease, so that a pause between cards never loses the station's name.
constexpr int kHeartbeatMs = STATION_LEASE_SECONDS * 1000 / 3;
constexpr int kModeButtons[] = {CMPDlg::IDC_RADIO_INCREASE, CMPDlg::IDC_RADIO_RANDOM,
                                CMPDlg::IDC_RADIO_NOCHANGE};

const CBuiltInText kNoReader = {"SPECIAL_STRING", "IDS_BATCH_NOREADER",
                                u"A batch can be chosen once the reader is connected: connect it, then choose the batch again.",
                                u"连接读写器后才能选择批次: 请连接读写器, 然后再次选择批次。",
                                u"連接讀寫器後才能選擇批次: 請連接讀寫器, 然後再次選擇批次。"};

const CBuiltInText kProgress = {"SPECIAL_STRING", "IDS_BATCH_PROGRESS", u"%1 of %2 good", u"良品 %1 / %2",
                                u"良品 %1 / %2"};
const CBuiltInText kProgressFinish = {"SPECIAL_STRING", "IDS_BATCH_PROGRESS_FINISH", u"%1 of %2 good \u00B7 %3 to finish",
                                      u"良品 %1 / %2 \u00B7 预计还需 %3", u"良品 %1 / %2 \u00B7 預計還需 %3"};

// A combo box that reads its list again each time it is opened.
class CBatchComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> m_fnBeforePopup;

    void showPopup() override {
        if (m_fnBeforePopup)
            m_fnBeforePopup();
        QComboBox::showPopup();
    }
};

} // namespace

void CMPDlg::CreateBatchControls() {
    m_labelBatch = new QLabel(this);
    m_labelBatch->setProperty(kControlIdProperty, int(IDC_STATIC_BATCH));
    m_labelBatch->setGeometry(MapDialogRect(kBatchLabelRect));
    m_labelBatch->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* combo = new CBatchComboBox(this);
    combo->m_fnBeforePopup = [this] { RefreshBatchList(); };
    m_comboBatch = combo;
    m_comboBatch->setProperty(kControlIdProperty, int(IDC_COMBO_BATCH));
    m_comboBatch->setGeometry(MapDialogRect(kBatchComboRect));
    m_comboBatch->addItem(QString());
    m_labelBatch->setBuddy(m_comboBatch);
    if (m_checkHandsFree)
        QWidget::setTabOrder(m_checkHandsFree, m_comboBatch);
    connect(m_comboBatch, &QComboBox::activated, this, &CMPDlg::OnBatchChosen);
    connect(m_comboBatch, &QComboBox::currentTextChanged, m_comboBatch, [this](const QString& text) {
        m_comboBatch->setToolTip(m_comboBatch->currentIndex() > 0 ? text : QString());
    });

    m_barBatch = new QProgressBar(this);
    m_barBatch->setProperty(kControlIdProperty, int(IDC_STATIC_BATCHCOUNTS));
    m_barBatch->setRange(0, 100);
    m_barBatch->setAlignment(Qt::AlignCenter);
    m_barBatch->hide();

    m_BatchHeartbeat.setInterval(kHeartbeatMs);
    connect(&m_BatchHeartbeat, &QTimer::timeout, this, &CMPDlg::OnBatchHeartbeat);
    TranslateBatch();
}

void CMPDlg::TranslateBatch() {
    if (!m_comboBatch)
        return;
    const QString label = m_Language.GetText(BatchText::Label);
    m_labelBatch->setText(label);
    m_labelBatch->setAccessibleName(label);
    m_comboBatch->setAccessibleName(label);
    m_comboBatch->setItemText(0, m_Language.GetText(BatchText::None));
    ShowBatchState();
    LayoutBatchChoice();
}

void CMPDlg::showEvent(QShowEvent* e) {
    CDialog::showEvent(e);
    // Only a journal the window has opened already is read here: opening one (and saying what is wrong
    // with it) is for the reader's arrival and for the operator opening the list.
    CJournalRecorder* recorder = m_pMainDlg ? m_pMainDlg->Recorder() : nullptr;
    if (!e->spontaneous() && recorder && recorder->IsOpen())
        RefreshBatchList();
}

void CMPDlg::RefreshBatchList() {
    if (!m_comboBatch)
        return;
    const QString chosen = m_pBatch ? m_pBatch->Batch() : QString();
    QStringList names = CPageBatch::BatchNames(m_pMainDlg ? m_pMainDlg->Recorder() : nullptr);
    if (!chosen.isEmpty() && !names.contains(chosen))
        names.push_back(chosen);
    const QSignalBlocker blocker(m_comboBatch);
    while (m_comboBatch->count() > 1)
        m_comboBatch->removeItem(1);
    m_comboBatch->addItems(names);
    // A name elided in the choice is whole in its tooltip, in the list as in the choice.
    for (int i = 1; i < m_comboBatch->count(); ++i)
        m_comboBatch->setItemData(i, m_comboBatch->itemText(i), Qt::ToolTipRole);
    SelectChosenBatch();
}

void CMPDlg::SelectChosenBatch() {
    const int index = m_pBatch ? m_comboBatch->findText(m_pBatch->Batch(), Qt::MatchExactly) : 0;
    const QSignalBlocker blocker(m_comboBatch);
    m_comboBatch->setCurrentIndex(index > 0 ? index : 0);
    m_comboBatch->setToolTip(index > 0 ? m_comboBatch->currentText() : QString());
}

void CMPDlg::OnBatchChosen(int index) {
    const QString name = index > 0 ? m_comboBatch->itemText(index) : QString();
    if (m_pBatch && m_pBatch->Batch() == name)
        return;
    // The station claims its first number as the batch is chosen, for the card on the reader.
    if (!name.isEmpty() && m_pMainDlg && !m_pMainDlg->IsReaderReady()) {
        LogBatchLine(m_Language.GetText(kNoReader));
        SelectChosenBatch();
        return;
    }
    // A run writes from one source of numbers only.
    if (m_Run.IsRunning())
        StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
    if (m_pBatch && !LeaveBatch()) {
        SelectChosenBatch();
        return;
    }
    if (!name.isEmpty())
        ChooseBatch(name);
    SelectChosenBatch();
}

void CMPDlg::LogBatchLine(const QString& text) {
    m_pMainDlg->AppendLog(QStringLiteral("\r\n") + text, false);
}

void CMPDlg::ChooseBatch(const QString& name) {
    CJournalRecorder* recorder = m_pMainDlg ? m_pMainDlg->Recorder() : nullptr;
    if (!recorder)
        return;
    auto batch = std::make_unique<CPageBatch>(*recorder, m_pMainDlg->Reader(), m_Language.GetAppFolder());
    QString keptProblem;
    const BatchOutcome chosen = batch->Choose(name, &keptProblem);
    if (!keptProblem.isEmpty())
        LogBatchLine(keptProblem);
    QString problem;
    if (chosen.status == BatchStatus::Refused)
        problem = m_Language.GetText(BatchText::InUse).arg(batch->StationName());
    else if (chosen.status == BatchStatus::Unavailable)
        problem = m_Language.GetText(BatchText::Away);
    else if (chosen.status != BatchStatus::Ok && chosen.status != BatchStatus::Exhausted)
        problem = m_Language.GetText(BatchText::Failed).arg(chosen.message);
    if (!problem.isEmpty()) {
        LogBatchLine(problem);
        return;
    }
    UpdateData(true);
    m_strTypedVendorId = m_strVendorId;
    m_strTypedCardNo = m_strCardNo;
    m_pBatch = std::move(batch);
    if (chosen.status == BatchStatus::Exhausted)
        LogBatchLine(m_Language.GetText(BatchText::Exhausted));
    ShowChosenBatch(true);
    m_BatchHeartbeat.start();
}

bool CMPDlg::LeaveBatch() {
    // A written card whose result waits for the database and is kept nowhere else would be lost with the
    // station.
    if (!m_pBatch->RecordPending() && !m_pBatch->PendingIsKept()) {
        LogBatchLine(m_Language.GetText(BatchText::StaysChosen));
        return false;
    }
    EndBatch();
    ShowChosenBatch(false);
    return true;
}

void CMPDlg::EndBatch() {
    m_BatchHeartbeat.stop();
    if (!m_pBatch)
        return;
    m_pBatch->RecordPending();
    m_pBatch.reset();
}

void CMPDlg::ShowChosenBatch(bool chosen) {
    // The fields show the claimed number and cannot be changed; the number rule is the batch's own.
    for (QLineEdit* edit : {m_editVendorId, m_editCardNo}) {
        if (edit)
            edit->setReadOnly(chosen);
    }
    for (int id : kModeButtons) {
        if (QWidget* radio = GetDlgItem(id))
            radio->setEnabled(!chosen);
    }
    if (!chosen) {
        m_strVendorId = m_strTypedVendorId;
        m_strCardNo = m_strTypedCardNo;
        ShowText(m_editVendorId, m_strVendorId);
        ShowText(m_editCardNo, m_strCardNo);
        m_batchFigures.reset();
        if (m_comboBatch)
            SelectChosenBatch();
    }
    ShowBatchState();
    LayoutControls();
}

void CMPDlg::ShowBatchState() {
    if (!m_barBatch || !m_pBatch) {
        if (m_barBatch)
            m_barBatch->hide();
        return;
    }
    const std::optional<std::uint64_t> claimed = m_pBatch->Claimed();
    m_strVendorId = claimed ? QString::number(*claimed >> 32) : QString();
    m_strCardNo = claimed ? CardNumberText(*claimed & MAX_CARD_NUMBER) : QString();
    ShowText(m_editVendorId, m_strVendorId);
    ShowText(m_editCardNo, m_strCardNo);
    if (std::optional<BatchFigures> figures = m_pBatch->Figures())
        m_batchFigures = std::move(figures);
    // While the database does not answer, the bar keeps the figures it last had.
    QString text;
    if (m_batchFigures) {
        const BatchFigures& f = *m_batchFigures;
        text = f.secondsToFinish && f.state != BatchState::Finished
                   ? m_Language.GetText(kProgressFinish).arg(f.Good()).arg(f.info.counts.total).arg(DurationText(f.secondsToFinish))
                   : m_Language.GetText(kProgress).arg(f.Good()).arg(f.info.counts.total);
        m_barBatch->setValue(f.Percent());
    }
    m_barBatch->setFormat(text);
    m_barBatch->setAccessibleName(text);
    m_barBatch->setToolTip(text);
    m_barBatch->show();
}

void CMPDlg::LayoutBatchCounts() {
    LayoutBatchChoice();
    if (!m_barBatch || !m_btnWrite)
        return;
    const QRect client = GetClientRect();
    const int top = m_btnWrite->geometry().bottom() + 1 + kCountsGap;
    // As wide as the row of fields, so that the bar reads as the row's progress.
    const int left = std::max(client.left(), m_editVendorId ? m_editVendorId->x() : client.left());
    const int right = std::min(client.right(), m_btnWrite->geometry().right());
    m_barBatch->setGeometry(left, top, std::max(0, right - left + 1), m_barBatch->sizeHint().height());
}

// The batch choice keeps inside the page at every size and in every language: its label as wide as
// its text, the choice in the room left up to the page's edge (a long name is elided there and shown
// whole in the tooltip). Beside the options, in the column of Hands-free, where there is room; on a
// page too narrow for that column, just below the options' frame.
void CMPDlg::LayoutBatchChoice() {
    QWidget* noChange = GetDlgItem(IDC_RADIO_NOCHANGE);
    if (!m_labelBatch || !m_comboBatch || !noChange || !m_checkHandsFree)
        return;
    const QRect client = GetClientRect();
    const int margin = MapDialogRect(QRect(0, 0, 4, 4)).width();
    const int labelWidth = std::max(MapDialogRect(kBatchLabelRect).width(),
                                    m_labelBatch->fontMetrics().horizontalAdvance(m_labelBatch->text()) + 2);
    const int labelHeight = m_labelBatch->height();
    const int widest = MapDialogRect(kBatchComboRect).width();
    const int least = m_comboBatch->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")) +
                      m_comboBatch->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margin;
    int left = m_checkHandsFree->x();
    int right = client.right() - margin;
    int row = noChange->geometry().center().y();
    if (right - (left + labelWidth + margin / 2) < least && m_frame) {
        left = client.left() + margin;
        row = m_frame->geometry().bottom() + 1 + margin / 2 + std::max(labelHeight, m_comboBatch->height()) / 2;
    }
    m_labelBatch->setGeometry(left, row - labelHeight / 2, labelWidth, labelHeight);
    const int comboLeft = left + labelWidth + margin / 2;
    m_comboBatch->setGeometry(comboLeft, row - m_comboBatch->height() / 2,
                              std::clamp(right - comboLeft + 1, 0, widest), m_comboBatch->height());
}

void CMPDlg::OnBatchHeartbeat() {
    if (!m_pBatch)
        return;
    if (m_pBatch->Heartbeat().status != BatchStatus::Refused)
        return;
    if (m_Run.IsRunning())
        StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
    SayBatchRefused();
}

void CMPDlg::SayBatchRefused() {
    LogBatchLine(m_Language.GetText(BatchText::InUse).arg(m_pBatch->StationName()));
    EndBatch();
    ShowChosenBatch(false);
}
