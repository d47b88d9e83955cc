#include "shell/JournalDlg.h"

#include "journal/Database.h"
#include "journal/JournalExport.h"
#include "journal/JournalReasons.h"
#include "cards/CardIdentifier.h"
#include "platform/PrivateProfile.h"
#include "shell/JournalTexts.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimeZone>
#include <QVBoxLayout>

namespace {

// The first day a date field offers stands for "no limit".
const QDate kNoDate(2000, 1, 1);
constexpr int REFRESH_DELAY_MS = 250;
constexpr const char* kSettingsSection = "JournalWindow";
// The source filter's choices after "All", in the order of JournalSource.
constexpr JournalSource kSources[] = {JournalSource::ReadWritePage, JournalSource::MassProduction,
                                      JournalSource::Rfidctl};

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
    else
        m_counter = std::make_unique<CJournalCounter>(connection);
    BuildControls();
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(REFRESH_DELAY_MS);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CJournalDlg::Refresh);
    if (m_counter) {
        connect(m_counter.get(), &CJournalCounter::Counted, this, &CJournalDlg::OnCounted);
        connect(m_counter.get(), &CJournalCounter::Totalled, this, &CJournalDlg::OnTotalled);
        connect(m_counter.get(), &CJournalCounter::Failed, this, &CJournalDlg::OnCountFailed);
    }
    m_liveTimer.setInterval(LIVE_INTERVAL_MS);
    connect(&m_liveTimer, &QTimer::timeout, this, &CJournalDlg::TakeNewRecords);
    Refresh();
    RestoreSettings();
    ApplyLanguage();
}

CJournalDlg::~CJournalDlg() {
    m_counter.reset();
    // The model's records go before the journal they came from.
    m_table->setModel(nullptr);
    delete m_model;
}

void CJournalDlg::BuildControls() {
    m_editIdentifier = new QLineEdit(this);
    m_comboResult = new QComboBox(this);
    m_dateFrom = NewDateEdit(this);
    m_dateTo = NewDateEdit(this);
    m_editStation = new QLineEdit(this);
    m_comboSource = new QComboBox(this);
    m_editBatch = new QLineEdit(this);
    m_table = new CJournalTable(this);
    m_totals = new QLabel(this);
    m_btnRefresh = new QPushButton(this);
    m_btnCopy = new QPushButton(this);
    m_btnExport = new QPushButton(this);
    m_btnExportJson = new QPushButton(this);
    m_btnClose = new QPushButton(this);
    const QList<QWidget*> fields = {m_editIdentifier, m_comboResult, m_dateFrom, m_dateTo,
                                    m_editStation,    m_comboSource, m_editBatch};
    for (QWidget* field : fields) {
        m_labels << new QLabel(this);
        m_labels.back()->setBuddy(field);
    }
    for (int i = 0; i <= int(JournalResult::VerifyFailed) + 1; ++i)
        m_comboResult->addItem(QString());
    for (std::size_t i = 0; i <= std::size(kSources); ++i)
        m_comboSource->addItem(QString());
    // The calendar of an open end starts at today, not at the first day the field offers.
    for (QDateEdit* edit : {m_dateFrom, m_dateTo})
        edit->calendarWidget()->installEventFilter(this);

    m_model = new CColouredJournalModel;
    m_model->SetCountAtOnceLimit(COUNT_AT_ONCE);
    m_model->SetCellText([this](const JournalRecord& record, int column) { return CellText(record, column); });
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    auto* filters = new QGridLayout;
    for (int i = 0; i < fields.size(); ++i) {
        filters->addWidget(m_labels[i], i / 4, (i % 4) * 2);
        filters->addWidget(fields[i], i / 4, (i % 4) * 2 + 1);
    }
    filters->addWidget(m_btnRefresh, 1, 7);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_totals, 1);
    for (QWidget* button : {m_btnCopy, m_btnExport, m_btnExportJson, m_btnClose})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(1100, 600);

    const auto later = [this] { m_refreshTimer.start(); };
    for (QLineEdit* edit : {m_editIdentifier, m_editStation, m_editBatch})
        connect(edit, &QLineEdit::textChanged, this, later);
    for (QComboBox* combo : {m_comboResult, m_comboSource})
        connect(combo, &QComboBox::currentIndexChanged, this, later);
    connect(m_dateFrom, &QDateEdit::dateChanged, this, later);
    connect(m_dateTo, &QDateEdit::dateChanged, this, later);
    connect(m_btnRefresh, &QPushButton::clicked, this, &CJournalDlg::Refresh);
    connect(m_btnCopy, &QPushButton::clicked, this, &CJournalDlg::OnCopy);
    connect(m_btnExport, &QPushButton::clicked, this, [this] { OnExport(ExportFormat::Csv); });
    connect(m_btnExportJson, &QPushButton::clicked, this, [this] { OnExport(ExportFormat::Json); });
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { m_bWidthsRestored = true; });
}

bool CJournalDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        for (QDateEdit* edit : {m_dateFrom, m_dateTo}) {
            if (watched == edit->calendarWidget() && edit->date() == kNoDate) {
                const QDate today = QDate::currentDate();
                edit->calendarWidget()->setCurrentPage(today.year(), today.month());
            }
        }
    }
    return QDialog::eventFilter(watched, event);
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
    const CBuiltInText* labels[] = {&JournalText::Identifier, &JournalText::Result,  &JournalText::From,
                                    &JournalText::To,         &JournalText::Station, &JournalText::Source,
                                    &JournalText::Batch};
    for (int i = 0; i < m_labels.size(); ++i) {
        SetText(m_labels[i], m_Language.GetText(*labels[i]));
        // A field is named by the label in front of it.
        m_labels[i]->buddy()->setAccessibleName(m_labels[i]->text());
    }
    SetText(m_btnRefresh, m_Language.GetText(JournalText::Refresh));
    SetText(m_btnCopy, m_Language.GetText(JournalText::Copy));
    SetText(m_btnExport, m_Language.GetText(JournalText::Export));
    SetText(m_btnExportJson, m_Language.GetText(JournalText::ExportJson));
    SetText(m_btnClose, m_Language.GetText(JournalText::Close));
    m_comboResult->setItemText(0, m_Language.GetText(JournalText::All));
    for (int i = 0; i <= int(JournalResult::VerifyFailed); ++i)
        m_comboResult->setItemText(i + 1, m_Language.GetText(JournalText::ResultNames[i]));
    m_comboSource->setItemText(0, m_Language.GetText(JournalText::All));
    for (std::size_t i = 0; i < std::size(kSources); ++i) {
        JournalRecord record;
        record.source = kSources[i];
        m_comboSource->setItemText(int(i) + 1, CellText(record, CJournalModel::COL_SOURCE));
    }
    for (QDateEdit* edit : {m_dateFrom, m_dateTo})
        edit->setSpecialValueText(m_Language.GetText(JournalText::AnyDate));
    QStringList headers;
    for (const CBuiltInText& column : JournalText::Columns)
        headers << m_Language.GetText(column);
    m_model->SetHeaders(headers);
    ShowTotals();
    // Widths the user set are kept; otherwise every column fits its texts in this language.
    if (!m_bWidthsRestored)
        SizeColumns();
    m_table->viewport()->update();
}

// Every column as wide as its header and the rows in view, the reason taking what width is left.
void CJournalDlg::SizeColumns() {
    m_table->resizeColumnsToContents();
    m_bWidthsRestored = false;
    FillWidth();
}

void CJournalDlg::FillWidth() {
    QHeaderView* header = m_table->horizontalHeader();
    const int spare = m_table->viewport()->width() - header->length();
    if (spare > 0) {
        const QSignalBlocker quiet(header);
        header->resizeSection(CJournalModel::COL_REASON, header->sectionSize(CJournalModel::COL_REASON) + spare);
    }
}

// The journal is asked for new records only while the window is open.
void CJournalDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_liveTimer.start();
}

void CJournalDlg::hideEvent(QHideEvent* event) {
    m_liveTimer.stop();
    QDialog::hideEvent(event);
}

void CJournalDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FillWidth();
}

QString CJournalDlg::Setting(const char* key) const {
    return GetPrivateProfileString(QLatin1String(kSettingsSection), QLatin1String(key), QString(), 65536,
                                   m_Language.GetSettingFile());
}

void CJournalDlg::SetSetting(const char* key, const QString& value) {
    WritePrivateProfileString(QLatin1String(kSettingsSection), QLatin1String(key), value, m_Language.GetSettingFile());
}

// The placement and column widths of the last time; anything unreadable is left at the defaults.
void CJournalDlg::RestoreSettings() {
    restoreGeometry(QByteArray::fromBase64(Setting("Placement").toLatin1()));
    const QStringList widths = Setting("Columns").split(u',', Qt::SkipEmptyParts);
    if (widths.size() != CJournalModel::COLUMN_COUNT)
        return;
    std::vector<int> sizes;
    for (const QString& text : widths) {
        bool ok = false;
        const int width = text.trimmed().toInt(&ok);
        if (!ok || width < 8 || width > 4000)
            return;
        sizes.push_back(width);
    }
    for (int column = 0; column < CJournalModel::COLUMN_COUNT; ++column)
        m_table->horizontalHeader()->resizeSection(column, sizes[std::size_t(column)]);
    m_bWidthsRestored = true;
}

void CJournalDlg::SaveSettings() {
    SetSetting("Placement", QString::fromLatin1(saveGeometry().toBase64()));
    if (!m_bWidthsRestored)
        return;
    QStringList widths;
    for (int column = 0; column < CJournalModel::COLUMN_COUNT; ++column)
        widths << QString::number(m_table->horizontalHeader()->sectionSize(column));
    SetSetting("Columns", widths.join(u','));
}

void CJournalDlg::done(int result) {
    SaveSettings();
    QDialog::done(result);
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
    case CJournalModel::COL_REASON:
        return ReasonText(record.reason);
    default:
        return CJournalModel::PlainCellText(record, column);
    }
}

// A stored reason in the window's language; words of no known reason are shown as they are.
QString CJournalDlg::ReasonText(const QString& reason) const {
    const std::optional<ReasonParts> parts = ParseReason(reason);
    if (!parts)
        return reason;
    QString text = m_Language.GetText(JournalText::ReasonNames[int(parts->kind)]);
    // In one pass, so that a station's name that looks like a placeholder stays as it is.
    const QStringList& v = parts->values;
    if (v.size() == 1)
        text = text.arg(v[0]);
    else if (v.size() == 2)
        text = text.arg(v[0], v[1]);
    else if (v.size() == 3)
        text = text.arg(v[0], v[1], v[2]);
    if (!parts->backToBatch.isEmpty())
        text += m_Language.GetText(JournalText::BackToBatch).arg(parts->backToBatch);
    return text;
}

QDate CJournalDlg::DateOf(const QDateEdit* edit) const {
    return edit->date() == kNoDate ? QDate() : edit->date();
}

JournalFilter CJournalDlg::CurrentFilter() const {
    JournalFilter filter = MakeJournalFilter(m_editIdentifier->text(), m_comboResult->currentIndex(),
                                             DateOf(m_dateFrom), DateOf(m_dateTo));
    filter.station = m_editStation->text().trimmed();
    filter.batch = m_editBatch->text().trimmed();
    const int source = m_comboSource->currentIndex();
    if (source >= 1 && source <= int(std::size(kSources)))
        filter.source = kSources[source - 1];
    return filter;
}

void CJournalDlg::Refresh() {
    m_refreshTimer.stop();
    m_model->SetFilter(m_journal.get(), CurrentFilter());
    m_strTotalsError = m_model->LastError();
    ComputeTotals();
}

void CJournalDlg::ComputeTotals() {
    m_totalsShown.reset();
    m_nFiguresRequest = 0;
    if (m_counter)
        m_counter->Cancel();
    if (!m_counter || !m_model->LastError().isEmpty()) {
        // Nothing to count: the line says why.
    } else if (m_model->LastSeenId() == 0) {
        m_totalsShown = JournalTotals();
    } else {
        // The totals of exactly the rows the model counted; records taken in later are added to them.
        const JournalFilter counted = m_model->StartExactCount();
        m_nTotalsUpTo = counted.idAtMost;
        m_nFiguresRequest = m_counter->Request(counted);
    }
    ShowTotals();
}

void CJournalDlg::OnCounted(quint64 request, qint64 records, const QList<JournalKey>& steps, qint64 step) {
    if (request == m_nFiguresRequest)
        m_model->TakeCount(records, steps, step);
}

void CJournalDlg::OnTotalled(quint64 request, const JournalTotals& totals) {
    if (request != m_nFiguresRequest)
        return;
    m_nFiguresRequest = 0;
    m_totalsShown = totals;
    if (m_model->LastSeenId() > m_nTotalsUpTo) {
        JournalFilter arrived = CurrentFilter();
        arrived.idAbove = m_nTotalsUpTo;
        arrived.idAtMost = m_model->LastSeenId();
        const std::optional<JournalTotals> more = m_journal->Totals(arrived, &m_strTotalsError);
        if (more)
            *m_totalsShown += *more;
        else
            m_totalsShown.reset();
    }
    ShowTotals();
}

void CJournalDlg::OnCountFailed(quint64 request, const QString& error) {
    if (request != m_nFiguresRequest)
        return;
    m_nFiguresRequest = 0;
    m_strTotalsError = error;
    ShowTotals();
}

qint64 CJournalDlg::TakeNewRecords() {
    if (!m_journal)
        return 0;
    const std::int64_t seen = m_model->LastSeenId();
    QScrollBar* scroll = m_table->verticalScrollBar();
    const int top = scroll->value();
    const qint64 added = m_model->Refresh();
    if (added > 0) {
        // At the top the new records come into view; anywhere else the rows in view stay.
        m_table->doItemsLayout();
        if (top > 0)
            scroll->setValue(top + int(added));
        JournalFilter arrived = CurrentFilter();
        arrived.idAbove = seen;
        arrived.idAtMost = m_model->LastSeenId();
        const std::optional<JournalTotals> more = m_journal->Totals(arrived, &m_strTotalsError);
        if (more && m_totalsShown)
            *m_totalsShown += *more;
        ShowTotals();
    }
    return added;
}

void CJournalDlg::ShowTotals() {
    if (!m_journal)
        m_totals->setText(m_strOpenProblem);
    else if (FiguresPending())
        m_totals->setText(m_Language.GetText(JournalText::Counting));
    else if (!m_totalsShown)
        m_totals->setText(m_strTotalsError);
    else
        m_totals->setText(m_Language.GetText(JournalText::Totals)
                              .arg(m_totalsShown->good)
                              .arg(m_totalsShown->failed)
                              .arg(m_totalsShown->refused)
                              .arg(m_totalsShown->throwAway)
                              .arg(m_totalsShown->overwritten)
                              .arg(m_totalsShown->records));
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

bool CJournalDlg::ExportTo(const QString& path, QString* message, ExportFormat format) {
    QString error = m_strOpenProblem;
    qint64 written = -1;
    bool cancelled = false;
    QSaveFile file(path);
    if (m_journal && file.open(QIODevice::WriteOnly)) {
        QProgressDialog progress(m_Language.GetText(JournalText::Exporting).arg(m_model->rowCount()),
                                 m_Language.GetText(JournalText::Cancel), 0, std::max(1, m_model->rowCount()), this);
        progress.setWindowTitle(windowTitle());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        bool writeFailed = false;
        ExportSink sink;
        sink.write = [&file, &writeFailed](const QByteArray& text) {
            writeFailed = file.write(text) != text.size();
            return !writeFailed;
        };
        sink.progress = [&progress, &cancelled](qint64 done) {
            progress.setValue(int(std::min<qint64>(done, progress.maximum())));
            QCoreApplication::processEvents();
            cancelled = progress.wasCanceled();
            return !cancelled;
        };
        JournalFilter shown = CurrentFilter();
        shown.idAtMost = m_model->LastSeenId();
        written = ExportRecords(*m_journal, shown, format, 0, sink, &error);
        if (writeFailed)
            error = file.errorString();
        if (written >= 0 && !file.commit()) {
            error = file.errorString();
            written = -1;
        }
    } else if (m_journal) {
        error = file.errorString();
    }
    if (cancelled)
        *message = m_Language.GetText(JournalText::ExportCancelled).arg(path);
    else
        *message = written >= 0 ? m_Language.GetText(JournalText::Exported).arg(written).arg(path)
                                : m_Language.GetText(JournalText::ExportFailed).arg(path, error);
    return written >= 0;
}

QString CJournalDlg::ExportFolder() const {
    const QString last = Setting("ExportFolder");
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

void CJournalDlg::OnExport(ExportFormat format) {
    const bool json = format == ExportFormat::Json;
    const QString title = m_Language.GetText(json ? JournalText::ExportJson : JournalText::Export).remove(QStringLiteral("..."));
    const QString name = json ? QStringLiteral("journal.json") : QStringLiteral("journal.csv");
    const QString path = QFileDialog::getSaveFileName(this, title, QDir(ExportFolder()).filePath(name),
                                                      m_Language.GetText(json ? JournalText::JsonFiles : JournalText::CsvFiles));
    if (path.isEmpty())
        return;
    SetSetting("ExportFolder", QFileInfo(path).absolutePath());
    QString message;
    if (ExportTo(path, &message, format))
        QMessageBox::information(this, windowTitle(), message);
    else
        QMessageBox::warning(this, windowTitle(), message);
}
