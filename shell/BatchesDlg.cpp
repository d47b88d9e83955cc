#include "shell/BatchesDlg.h"

#include "batches/BatchListFile.h"
#include "batches/BatchStation.h"
#include "journal/Database.h"
#include "shell/BatchesTexts.h"
#include "shell/DeliveryReport.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableWidget>
#include <QUuid>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Where a report is offered first: the user's documents, else the home folder.
QString DocumentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

constexpr int kMaxShownBadLines = 20;

const CBuiltInText* const kBatchHeaders[BATCH_COLUMNS] = {
    &BatchesText::ColBatch, &BatchesText::ColProgress, &BatchesText::ColClaimed, &BatchesText::ColThrowaway,
    &BatchesText::ColLeft,  &BatchesText::ColRate,     &BatchesText::ColFinish,  &BatchesText::ColState};
const CBuiltInText* const kStationHeaders[STATION_COLUMNS] = {
    &BatchesText::ColStation, &BatchesText::ColHost,     &BatchesText::ColSeen,
    &BatchesText::ColCards,   &BatchesText::ColFailures, &BatchesText::ColState};

const CBuiltInText& StateText(BatchState state) {
    switch (state) {
    case BatchState::NotStarted:
        return BatchesText::StateNotstarted;
    case BatchState::Running:
        return BatchesText::StateRunning;
    case BatchState::Paused:
        return BatchesText::StatePaused;
    case BatchState::Finished:
        break;
    }
    return BatchesText::StateFinished;
}

const CBuiltInText& ActivityText(StationActivity activity) {
    switch (activity) {
    case StationActivity::Working:
        return BatchesText::ActWorking;
    case StationActivity::Idle:
        return BatchesText::ActIdle;
    case StationActivity::Away:
        break;
    }
    return BatchesText::ActAway;
}

// Sets a cell's text in place: a cell that already shows it is left alone, so nothing is repainted.
void SetCell(QTableWidget* table, int row, int column, const QString& text, bool number = false) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (number)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
}

QTableWidget* NewTable(QWidget* parent, int columns) {
    auto* table = new QTableWidget(0, columns, parent);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// The fields of a new range batch.
class CRangeDlg : public QDialog {
public:
    CRangeDlg(CMultiLanguage& language, QWidget* parent) : QDialog(parent) {
        setWindowTitle(language.GetText(BatchesText::Newrange).remove(QStringLiteral("...")));
        m_vendor->setRange(0, 255);
        m_order->addItems({language.GetText(BatchesText::Inorder), language.GetText(BatchesText::Random)});
        auto* form = new QFormLayout;
        const std::pair<const CBuiltInText*, QWidget*> rows[] = {{&BatchesText::Name, m_name},
                                                                 {&BatchesText::Vendor, m_vendor},
                                                                 {&BatchesText::First, m_first},
                                                                 {&BatchesText::Last, m_last},
                                                                 {&BatchesText::Order, m_order}};
        for (const auto& [text, field] : rows) {
            form->addRow(language.GetText(*text), field);
            field->setAccessibleName(language.GetText(*text));
        }
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* ok = buttons->addButton(language.GetText(BatchesText::Ok), QDialogButtonBox::AcceptRole);
        QPushButton* cancel = buttons->addButton(language.GetText(BatchesText::Cancel), QDialogButtonBox::RejectRole);
        ok->setAccessibleName(ok->text());
        cancel->setAccessibleName(cancel->text());
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }

    QString Name() const { return m_name->text(); }
    std::optional<BatchRange> Range() const {
        return RangeFromFields(m_vendor->value(), m_first->text(), m_last->text(), m_order->currentIndex() == 1);
    }

private:
    QLineEdit* m_name = new QLineEdit(this);
    QSpinBox* m_vendor = new QSpinBox(this);
    QLineEdit* m_first = new QLineEdit(this);
    QLineEdit* m_last = new QLineEdit(this);
    QComboBox* m_order = new QComboBox(this);
};

std::optional<std::uint32_t> CardNumber(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const qulonglong value = digits.toULongLong();
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

std::optional<BatchRange> RangeFromFields(int vendor, const QString& first, const QString& last, bool random) {
    const std::optional<std::uint32_t> from = CardNumber(first);
    const std::optional<std::uint32_t> to = CardNumber(last);
    if (vendor < 0 || vendor > 255 || !from || !to || *from > *to)
        return std::nullopt;
    return BatchRange{vendor, *from, *to, random ? BatchOrder::Random : BatchOrder::InOrder};
}

CBatchesDlg::CBatchesDlg(const QString& connection, CMultiLanguage& language, QWidget* parent)
    : QDialog(parent), m_Language(language), m_strConnection(connection) {
    m_fnConfirm = [this](const QString& question) {
        return QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
    };
    m_fnShow = [this](const QString& message, bool problem) {
        if (problem)
            QMessageBox::warning(this, windowTitle(), message);
        else
            QMessageBox::information(this, windowTitle(), message);
    };
    BuildControls();
    ApplyLanguage();
    m_timer.setInterval(BATCHES_REFRESH_MS);
    connect(&m_timer, &QTimer::timeout, this, &CBatchesDlg::Tick);
    m_timer.start();
    Tick();
}

CBatchesDlg::~CBatchesDlg() {
    if (!m_db.connectionName().isEmpty()) {
        const QString name = m_db.connectionName();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
}

void CBatchesDlg::BuildControls() {
    m_tableBatches = NewTable(this, BATCH_COLUMNS);
    m_tableStations = NewTable(this, STATION_COLUMNS);
    m_chartView = new QChartView(new QChart, this);
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setMinimumHeight(160);
    m_chartView->chart()->legend()->setAlignment(Qt::AlignRight);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_btnNewRange = new QPushButton(this);
    m_btnImport = new QPushButton(this);
    m_btnRelease = new QPushButton(this);
    m_btnReport = new QPushButton(this);
    m_btnClose = new QPushButton(this);

    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_tableStations);
    lower->addWidget(m_chartView);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_tableBatches);
    split->addWidget(lower);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_btnNewRange, m_btnImport, m_btnRelease, m_btnReport})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(1000, 640);

    connect(m_tableBatches, &QTableWidget::itemSelectionChanged, this, [this] {
        ShowStations();
        UpdateButtons();
    });
    connect(m_tableStations, &QTableWidget::itemSelectionChanged, this, &CBatchesDlg::UpdateButtons);
    connect(m_btnNewRange, &QPushButton::clicked, this, &CBatchesDlg::OnNewRange);
    connect(m_btnImport, &QPushButton::clicked, this, &CBatchesDlg::OnImport);
    connect(m_btnRelease, &QPushButton::clicked, this, &CBatchesDlg::OnRelease);
    connect(m_btnReport, &QPushButton::clicked, this, &CBatchesDlg::OnReport);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::close);
}

void CBatchesDlg::ApplyLanguage() {
    setWindowTitle(m_Language.GetText(BatchesText::Title));
    const std::pair<QPushButton*, const CBuiltInText*> buttons[] = {{m_btnNewRange, &BatchesText::Newrange},
                                                                    {m_btnImport, &BatchesText::Import},
                                                                    {m_btnRelease, &BatchesText::Release},
                                                                    {m_btnReport, &BatchesText::Report},
                                                                    {m_btnClose, &BatchesText::Close}};
    for (const auto& [button, text] : buttons) {
        button->setText(m_Language.GetText(*text));
        button->setAccessibleName(button->text());
    }
    QStringList headers;
    for (const CBuiltInText* header : kBatchHeaders)
        headers << m_Language.GetText(*header);
    m_tableBatches->setHorizontalHeaderLabels(headers);
    m_tableBatches->setAccessibleName(m_Language.GetText(BatchesText::Title));
    headers.clear();
    for (const CBuiltInText* header : kStationHeaders)
        headers << m_Language.GetText(*header);
    m_tableStations->setHorizontalHeaderLabels(headers);
    m_tableStations->setAccessibleName(m_Language.GetText(BatchesText::ColStation));
    m_chartView->chart()->setTitle(m_Language.GetText(BatchesText::Chart));
    m_chartView->setAccessibleName(m_chartView->chart()->title());
    ShowBatches();
    ShowStations();
}

void CBatchesDlg::Tick() {
    if (!m_db.isOpen()) {
        QString error;
        const std::optional<DatabaseLocation> location = ParseDatabaseLocation(m_strConnection, &error);
        if (location) {
            const QString name = m_db.connectionName().isEmpty()
                                     ? QStringLiteral("batches-window-") + QUuid::createUuid().toString(QUuid::Id128)
                                     : m_db.connectionName();
            m_db = OpenDatabase(*location, name, &error);
            if (m_db.isOpen() && !MigrateDatabase(m_db, &error))
                m_db.close();
        }
        m_strOpenProblem = m_db.isOpen() ? QString() : DatabaseDisplayText(m_strConnection) + QStringLiteral(": ") + error;
    }
    QString error = m_strOpenProblem;
    if (error.isEmpty()) {
        std::vector<BatchFigures> batches = ReadAllBatchFigures(m_db, QDateTime::currentDateTimeUtc(), &error);
        if (error.isEmpty())
            m_batches = std::move(batches);
        else if (!DatabaseReachable(m_db))
            m_db.close(); // opened again at the next tick
    }
    m_status->setText(error.isEmpty() ? QString() : m_Language.GetText(BatchesText::Cannotread).arg(error));
    ShowBatches();
    ShowStations();
}

void CBatchesDlg::ShowBatches() {
    // The selection follows the batch's name, whatever rows come and go.
    const QString selected = SelectedBatch();
    const QSignalBlocker block(m_tableBatches);
    if (m_tableBatches->rowCount() != int(m_batches.size()))
        m_tableBatches->setRowCount(int(m_batches.size()));
    for (int row = 0; row < int(m_batches.size()); ++row) {
        const BatchFigures& figures = m_batches[std::size_t(row)];
        const BatchCounts& c = figures.info.counts;
        SetCell(m_tableBatches, row, BATCH_NAME, figures.info.name);
        auto* bar = qobject_cast<QProgressBar*>(m_tableBatches->cellWidget(row, BATCH_PROGRESS));
        if (!bar) {
            bar = new QProgressBar;
            bar->setRange(0, 100);
            m_tableBatches->setCellWidget(row, BATCH_PROGRESS, bar);
        }
        const QString text = QStringLiteral("%1 / %2").arg(c.Done()).arg(c.total);
        if (bar->value() != figures.Percent())
            bar->setValue(figures.Percent());
        if (bar->format() != text) {
            bar->setFormat(text);
            bar->setAccessibleName(text);
        }
        SetCell(m_tableBatches, row, BATCH_CLAIMED, QString::number(c.claimed), true);
        SetCell(m_tableBatches, row, BATCH_THROWAWAY, QString::number(c.throwAway), true);
        SetCell(m_tableBatches, row, BATCH_LEFT, QString::number(c.left), true);
        SetCell(m_tableBatches, row, BATCH_RATE, QString::number(figures.cardsPerMinute, 'f', 1), true);
        SetCell(m_tableBatches, row, BATCH_FINISH, DurationText(figures.secondsToFinish), true);
        SetCell(m_tableBatches, row, BATCH_STATE, m_Language.GetText(StateText(figures.state)));
    }
    if (SelectedBatch() != selected)
        SelectBatch(selected);
}

void CBatchesDlg::ShowStations() {
    const QString batch = SelectedBatch();
    const QString selected = SelectedStation();
    QString error;
    std::vector<StationRate> rates;
    m_stations.clear();
    if (!batch.isEmpty() && m_db.isOpen()) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        m_stations = ReadStationFigures(m_db, batch, now, &error);
        if (error.isEmpty())
            rates = ReadStationRates(m_db, batch, &error);
    }
    if (!error.isEmpty())
        m_status->setText(m_Language.GetText(BatchesText::Cannotread).arg(error));
    const QSignalBlocker block(m_tableStations);
    if (m_tableStations->rowCount() != int(m_stations.size()))
        m_tableStations->setRowCount(int(m_stations.size()));
    int reselect = -1;
    for (int row = 0; row < int(m_stations.size()); ++row) {
        const StationFigures& station = m_stations[std::size_t(row)];
        SetCell(m_tableStations, row, STATION_NAME, station.name);
        SetCell(m_tableStations, row, STATION_HOST, station.host);
        SetCell(m_tableStations, row, STATION_SEEN, QDateTime::fromString(station.lastSeen, Qt::ISODateWithMs)
                                                        .toLocalTime()
                                                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        SetCell(m_tableStations, row, STATION_CARDS, QString::number(station.cards), true);
        SetCell(m_tableStations, row, STATION_FAILURES, QString::number(station.failures), true);
        SetCell(m_tableStations, row, STATION_STATE, m_Language.GetText(ActivityText(station.activity)));
        if (station.name == selected)
            reselect = row;
    }
    if (SelectedStation() != selected) {
        if (reselect >= 0)
            m_tableStations->selectRow(reselect);
        else
            m_tableStations->clearSelection();
    }
    ShowChart(rates);
}

void CBatchesDlg::ShowChart(const std::vector<StationRate>& rates) {
    QChart* chart = m_chartView->chart();
    // A series per station, kept from tick to tick and given new points in place.
    std::map<QString, QLineSeries*> kept;
    QDateTime first, last;
    int most = 1;
    for (const StationRate& rate : rates) {
        QLineSeries*& series = m_series[rate.station];
        if (!series) {
            series = new QLineSeries;
            series->setName(rate.station);
            chart->addSeries(series);
        }
        QList<QPointF> points;
        for (const StationMinute& minute : rate.minutes) {
            points.append(QPointF(qreal(minute.minute.toMSecsSinceEpoch()), minute.cards));
            most = std::max(most, minute.cards);
            first = first.isValid() ? std::min(first, minute.minute) : minute.minute;
            last = last.isValid() ? std::max(last, minute.minute) : minute.minute;
        }
        if (series->points() != points)
            series->replace(points);
        kept[rate.station] = series;
    }
    for (auto& [name, series] : m_series) {
        if (!kept.count(name)) {
            chart->removeSeries(series);
            delete series;
        }
    }
    m_series = std::move(kept);
    if (chart->axes().isEmpty()) {
        auto* time = new QDateTimeAxis;
        time->setFormat(QStringLiteral("HH:mm"));
        auto* cards = new QValueAxis;
        cards->setLabelFormat(QStringLiteral("%d"));
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(cards, Qt::AlignLeft);
    }
    QAbstractAxis* time = chart->axes(Qt::Horizontal).value(0);
    QAbstractAxis* cards = chart->axes(Qt::Vertical).value(0);
    for (const auto& [name, series] : m_series) {
        if (series->attachedAxes().isEmpty()) {
            series->attachAxis(time);
            series->attachAxis(cards);
        }
    }
    if (first.isValid()) {
        time->setRange(first.toLocalTime(), std::max(last, first.addSecs(60)).toLocalTime());
        cards->setRange(0, most);
    }
}

void CBatchesDlg::UpdateButtons() {
    m_btnRelease->setEnabled(!SelectedStation().isEmpty());
    m_btnReport->setEnabled(!SelectedBatch().isEmpty());
}

QString CBatchesDlg::SelectedBatch() const {
    const QList<QTableWidgetItem*> items = m_tableBatches->selectedItems();
    for (QTableWidgetItem* item : items) {
        if (item->column() == BATCH_NAME)
            return item->text();
    }
    return QString();
}

bool CBatchesDlg::SelectBatch(const QString& name) {
    for (int row = 0; row < m_tableBatches->rowCount(); ++row) {
        if (QTableWidgetItem* item = m_tableBatches->item(row, BATCH_NAME); item && item->text() == name) {
            m_tableBatches->selectRow(row);
            return true;
        }
    }
    m_tableBatches->clearSelection();
    return false;
}

QString CBatchesDlg::SelectedStation() const {
    const QList<QTableWidgetItem*> items = m_tableStations->selectedItems();
    for (QTableWidgetItem* item : items) {
        if (item->column() == STATION_NAME)
            return item->text();
    }
    return QString();
}

QChart* CBatchesDlg::Chart() const {
    return m_chartView->chart();
}

// A refusal of the database for a login that may only read is said as such.
QString CBatchesDlg::Words(const QString& error) const {
    return IsPermissionRefusal(error) ? m_Language.GetText(BatchesText::Readonly).arg(error) : error;
}

void CBatchesDlg::Say(const QString& message, bool problem) {
    if (m_fnShow)
        m_fnShow(message, problem);
}

bool CBatchesDlg::MakeRangeBatch(const QString& name, const BatchRange& range, QString* message) {
    QString error;
    const bool made = m_db.isOpen() ? CreateRangeBatch(m_db, name, range, &error) : (error = m_strOpenProblem, false);
    *message = made ? m_Language.GetText(BatchesText::Made).arg(name).arg(std::uint64_t(range.last) - range.first + 1)
                    : m_Language.GetText(BatchesText::Notmade).arg(Words(error));
    Tick();
    if (made)
        SelectBatch(name);
    return made;
}

bool CBatchesDlg::ImportListFile(const QString& name, const QString& path, QString* message) {
    const ListFile file = ReadListFile(path);
    const QString shown = QFileInfo(path).fileName();
    QString error;
    switch (file.problem) {
    case ListFileProblem::NotAFile:
        error = QStringLiteral("no list file at %1").arg(path);
        break;
    case ListFileProblem::TooLarge:
        error = QStringLiteral("the list %1 is larger than a list of %2 identifiers can be").arg(shown).arg(MAX_LIST_LINES);
        break;
    case ListFileProblem::CannotRead:
        error = QStringLiteral("cannot read %1 (%2)").arg(shown, file.reason);
        break;
    case ListFileProblem::None:
        break;
    }
    if (!error.isEmpty()) {
        *message = m_Language.GetText(BatchesText::Notmade).arg(error);
        return false;
    }
    if (!file.list.errors.empty()) {
        QStringList lines{m_Language.GetText(BatchesText::Notimported).arg(file.list.errors.size()).arg(shown)};
        for (std::size_t i = 0; i < file.list.errors.size() && i < kMaxShownBadLines; ++i) {
            const ListLineError& bad = file.list.errors[i];
            const QString problem = bad.text.isEmpty() ? bad.problem : bad.problem + QStringLiteral(": ") + bad.text;
            lines << m_Language.GetText(BatchesText::Badline).arg(bad.line).arg(problem);
        }
        *message = lines.join(u'\n');
        return false;
    }
    const bool made = m_db.isOpen() ? CreateListBatch(m_db, name, file.list.identifiers, &error)
                                    : (error = m_strOpenProblem, false);
    *message = made ? m_Language.GetText(BatchesText::Imported).arg(file.list.identifiers.size()).arg(name)
                    : m_Language.GetText(BatchesText::Notmade).arg(Words(error));
    Tick();
    if (made)
        SelectBatch(name);
    return made;
}

bool CBatchesDlg::ReleaseSelectedStation(QString* message) {
    const QString batch = SelectedBatch();
    const QString station = SelectedStation();
    message->clear();
    if (batch.isEmpty() || station.isEmpty())
        return false;
    std::int64_t held = 0;
    for (const StationFigures& figures : m_stations) {
        if (figures.name == station)
            held = figures.claimed;
    }
    if (!m_fnConfirm || !m_fnConfirm(m_Language.GetText(BatchesText::Releaseask).arg(held).arg(station, batch)))
        return false;
    QString error;
    const int released = m_db.isOpen() ? ReleaseStationClaims(m_db, batch, station, &error) : (error = m_strOpenProblem, -1);
    *message = released >= 0 ? m_Language.GetText(BatchesText::Released).arg(released).arg(station)
                             : m_Language.GetText(BatchesText::Notreleased).arg(Words(error));
    Tick();
    return released >= 0;
}

bool CBatchesDlg::WriteReport(const QString& path, QString* message) {
    QString error;
    const bool written = m_db.isOpen() ? WriteDeliveryReport(m_db, SelectedBatch(), m_nNumberForms, path, &error)
                                      : (error = m_strOpenProblem, false);
    *message = written ? m_Language.GetText(BatchesText::Reportmade).arg(path)
                       : m_Language.GetText(BatchesText::Reportfailed).arg(error);
    return written;
}

void CBatchesDlg::OnNewRange() {
    CRangeDlg dialog(m_Language, this);
    while (dialog.exec() == QDialog::Accepted) {
        const std::optional<BatchRange> range = dialog.Range();
        if (!range) {
            Say(m_Language.GetText(BatchesText::Numberrule), true);
            continue;
        }
        QString message;
        const bool made = MakeRangeBatch(dialog.Name(), *range, &message);
        Say(message, !made);
        if (made)
            return;
    }
}

void CBatchesDlg::OnImport() {
    const QString path = QFileDialog::getOpenFileName(this, m_Language.GetText(BatchesText::Import).remove(QStringLiteral("...")),
                                                      QString(), m_Language.GetText(BatchesText::Listfiles));
    if (path.isEmpty())
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, windowTitle(), m_Language.GetText(BatchesText::Newname),
                                               QLineEdit::Normal, QFileInfo(path).completeBaseName(), &ok);
    if (!ok)
        return;
    QString message;
    const bool made = ImportListFile(name, path, &message);
    Say(message, !made);
}

void CBatchesDlg::OnRelease() {
    QString message;
    const bool released = ReleaseSelectedStation(&message);
    if (!message.isEmpty())
        Say(message, !released);
}

void CBatchesDlg::OnReport() {
    const QString batch = SelectedBatch();
    if (batch.isEmpty())
        return;
    const QString path = QFileDialog::getSaveFileName(this, m_Language.GetText(BatchesText::Report).remove(QStringLiteral("...")),
                                                      QDir(DocumentsFolder()).filePath(DeliveryReportFileName(batch)),
                                                      m_Language.GetText(BatchesText::Pdffiles));
    if (path.isEmpty())
        return;
    QString message;
    const bool written = WriteReport(path, &message);
    Say(message, !written);
}
