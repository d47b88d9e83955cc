#include "shell/JournalDlg.h"

#include "journal/Database.h"
#include "journal/JournalExport.h"
#include "reader/CardIdentifier.h"
#include "shell/JournalTexts.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QTimeZone>
#include <QVBoxLayout>

namespace {

// The first day a date field offers stands for "no limit".
const QDate kNoDate(2000, 1, 1);
constexpr int REFRESH_DELAY_MS = 250;

// Rows of good cards and of cards to throw away are told apart at a glance.
class CColouredJournalModel : public CJournalModel {
public:
    using CJournalModel::CJournalModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::BackgroundRole)
            return CJournalModel::data(index, role);
        switch (CardStatus(CJournalModel::data(index, CardStatusRole).toInt())) {
        case CardStatus::Good:
            return QBrush(QColor(0xD8, 0xF0, 0xD8));
        case CardStatus::ThrowAway:
            return QBrush(QColor(0xF8, 0xC8, 0xC8));
        case CardStatus::Failed:
            return QBrush(QColor(0xF8, 0xE8, 0xC8));
        case CardStatus::Refused:
            return QBrush(QColor(0xE8, 0xE8, 0xE8));
        case CardStatus::Overwritten:
            return QBrush(QColor(0xD8, 0xE4, 0xF4));
        case CardStatus::None:
            break;
        }
        return QVariant();
    }
};

QDateEdit* NewDateEdit(QWidget* parent) {
    auto* edit = new QDateEdit(parent);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setMinimumDate(kNoDate);
    edit->setDate(kNoDate);
    return edit;
}

} // namespace

JournalFilter MakeJournalFilter(const QString& identifierText, int resultIndex, QDate from, QDate to) {
    JournalFilter filter;
    filter.identifierText = identifierText.trimmed();
    if (resultIndex >= 1 && resultIndex <= int(JournalResult::VerifyFailed) + 1)
        filter.result = JournalResult(resultIndex - 1);
    if (from.isValid())
        filter.since = QDateTime(from, QTime(0, 0), QTimeZone::utc());
    if (to.isValid())
        filter.until = QDateTime(to.addDays(1), QTime(0, 0), QTimeZone::utc());
    return filter;
}

CJournalDlg::CJournalDlg(const QString& connection, CMultiLanguage& language, QWidget* parent)
    : QDialog(parent), m_Language(language) {
    JournalStatus status;
    m_journal = CJournal::Open(connection, &status);
    // The location as it may be shown: a password written into a URL never reaches the window.
    if (!m_journal)
        m_strOpenProblem = DatabaseDisplayText(connection) + QStringLiteral(": ") + status.detail;
    BuildControls();
    ApplyLanguage();
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(REFRESH_DELAY_MS);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CJournalDlg::Refresh);
    Refresh();
}

CJournalDlg::~CJournalDlg() {
    // The model's records go before the journal they came from.
    m_table->setModel(nullptr);
    delete m_model;
}

void CJournalDlg::BuildControls() {
    m_labelIdentifier = new QLabel(this);
    m_editIdentifier = new QLineEdit(this);
    m_labelResult = new QLabel(this);
    m_comboResult = new QComboBox(this);
    m_labelFrom = new QLabel(this);
    m_dateFrom = NewDateEdit(this);
    m_labelTo = new QLabel(this);
    m_dateTo = NewDateEdit(this);
    m_table = new QTableView(this);
    m_totals = new QLabel(this);
    m_btnCopy = new QPushButton(this);
    m_btnExport = new QPushButton(this);
    m_btnClose = new QPushButton(this);
    m_labelIdentifier->setBuddy(m_editIdentifier);
    m_labelResult->setBuddy(m_comboResult);
    m_comboResult->addItem(QString());
    for (int i = 0; i <= int(JournalResult::VerifyFailed); ++i)
        m_comboResult->addItem(QString());

    m_model = new CColouredJournalModel;
    m_model->SetCellText([this](const JournalRecord& record, int column) { return CellText(record, column); });
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto* filters = new QHBoxLayout;
    for (QWidget* control : std::initializer_list<QWidget*>{m_labelIdentifier, m_editIdentifier, m_labelResult, m_comboResult,
                                                            m_labelFrom, m_dateFrom, m_labelTo, m_dateTo})
        filters->addWidget(control);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_totals, 1);
    for (QWidget* button : {m_btnCopy, m_btnExport, m_btnClose})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(980, 560);

    const auto later = [this] { m_refreshTimer.start(); };
    connect(m_editIdentifier, &QLineEdit::textChanged, this, later);
    connect(m_comboResult, &QComboBox::currentIndexChanged, this, later);
    connect(m_dateFrom, &QDateEdit::dateChanged, this, later);
    connect(m_dateTo, &QDateEdit::dateChanged, this, later);
    connect(m_btnCopy, &QPushButton::clicked, this, &CJournalDlg::OnCopy);
    connect(m_btnExport, &QPushButton::clicked, this, &CJournalDlg::OnExport);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::close);
}

void CJournalDlg::SetText(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<QPushButton*>(control))
        button->setText(text);
    control->setAccessibleName(text);
}

void CJournalDlg::ApplyLanguage() {
    setWindowTitle(m_Language.GetText(JournalText::Title));
    SetText(m_labelIdentifier, m_Language.GetText(JournalText::Identifier));
    SetText(m_labelResult, m_Language.GetText(JournalText::Result));
    SetText(m_labelFrom, m_Language.GetText(JournalText::From));
    SetText(m_labelTo, m_Language.GetText(JournalText::To));
    SetText(m_btnCopy, m_Language.GetText(JournalText::Copy));
    SetText(m_btnExport, m_Language.GetText(JournalText::Export));
    SetText(m_btnClose, m_Language.GetText(JournalText::Close));
    // A field is named by the label in front of it.
    m_editIdentifier->setAccessibleName(m_labelIdentifier->text());
    m_comboResult->setAccessibleName(m_labelResult->text());
    m_dateFrom->setAccessibleName(m_labelFrom->text());
    m_dateTo->setAccessibleName(m_labelTo->text());
    m_comboResult->setItemText(0, m_Language.GetText(JournalText::All));
    for (int i = 0; i <= int(JournalResult::VerifyFailed); ++i)
        m_comboResult->setItemText(i + 1, m_Language.GetText(JournalText::ResultNames[i]));
    for (QDateEdit* edit : {m_dateFrom, m_dateTo})
        edit->setSpecialValueText(m_Language.GetText(JournalText::AnyDate));
    QStringList headers;
    for (const CBuiltInText& column : JournalText::Columns)
        headers << m_Language.GetText(column);
    m_model->SetHeaders(headers);
    m_table->viewport()->update();
}

QString CJournalDlg::CellText(const JournalRecord& record, int column) const {
    switch (column) {
    case CJournalModel::COL_SOURCE:
        if (record.source == JournalSource::Rfidctl)
            return QStringLiteral("rfidctl");
        return m_Language.GetText({"SPECIAL_STRING", record.source == JournalSource::MassProduction ? "IDS_FOLDER1" : "IDS_FOLDER0",
                                   record.source == JournalSource::MassProduction ? u"Mass Production" : u"Read|Write",
                                   record.source == JournalSource::MassProduction ? u"量产" : u"读/写",
                                   record.source == JournalSource::MassProduction ? u"量產" : u"讀/寫"});
    case CJournalModel::COL_OPERATION:
        return m_Language.GetText(JournalText::OperationNames[int(record.operation)]);
    case CJournalModel::COL_RESULT:
        return m_Language.GetText(JournalText::ResultNames[int(record.result)]);
    default:
        return CJournalModel::PlainCellText(record, column);
    }
}

QDate CJournalDlg::DateOf(const QDateEdit* edit) const {
    return edit->date() == kNoDate ? QDate() : edit->date();
}

JournalFilter CJournalDlg::CurrentFilter() const {
    return MakeJournalFilter(m_editIdentifier->text(), m_comboResult->currentIndex(), DateOf(m_dateFrom),
                             DateOf(m_dateTo));
}

void CJournalDlg::Refresh() {
    m_refreshTimer.stop();
    const JournalFilter filter = CurrentFilter();
    m_model->SetFilter(m_journal.get(), filter);
    if (!m_journal) {
        m_totals->setText(m_strOpenProblem);
        return;
    }
    QString error;
    const std::optional<JournalTotals> totals = m_journal->Totals(filter, &error);
    m_totals->setText(totals ? m_Language.GetText(JournalText::Totals)
                                   .arg(totals->good)
                                   .arg(totals->failed)
                                   .arg(totals->refused)
                                   .arg(totals->throwAway)
                                   .arg(totals->overwritten)
                                   .arg(totals->records)
                             : error);
    m_totals->setAccessibleName(m_totals->text());
}

QString CJournalDlg::SelectedRowsText() const {
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < CJournalModel::COLUMN_COUNT; ++column)
            cells << m_model->index(row.row(), column).data().toString();
        text += cells.join(u'\t') + u'\n';
    }
    return text;
}

void CJournalDlg::OnCopy() {
    QApplication::clipboard()->setText(SelectedRowsText());
}

bool CJournalDlg::ExportTo(const QString& path, QString* message) {
    QString error = m_strOpenProblem;
    qint64 written = -1;
    QSaveFile file(path);
    if (m_journal && file.open(QIODevice::WriteOnly)) {
        written = ExportCsv(*m_journal, CurrentFilter(), file, &error);
        if (written >= 0 && !file.commit()) {
            error = file.errorString();
            written = -1;
        }
    } else if (m_journal) {
        error = file.errorString();
    }
    *message = written >= 0 ? m_Language.GetText(JournalText::Exported).arg(written).arg(path)
                            : m_Language.GetText(JournalText::ExportFailed).arg(path, error);
    return written >= 0;
}

void CJournalDlg::OnExport() {
    const QString path = QFileDialog::getSaveFileName(this, m_Language.GetText(JournalText::Export).remove(QStringLiteral("...")),
                                                      QStringLiteral("journal.csv"),
                                                      m_Language.GetText(JournalText::CsvFiles));
    if (path.isEmpty())
        return;
    QString message;
    if (ExportTo(path, &message))
        QMessageBox::information(this, windowTitle(), message);
    else
        QMessageBox::warning(this, windowTitle(), message);
}
