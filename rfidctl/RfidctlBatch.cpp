#include "rfidctl/RfidctlBatch.h"

#include "batches/Batch.h"
#include "batches/BatchListFile.h"
#include "batches/BatchPending.h"
#include "batches/BatchStatus.h"
#include "journal/Database.h"
#include "journal/DatabaseInit.h"
#include "journal/JournalExport.h"
#include "platform/AppFolder.h"
#include "platform/DataFolder.h"
#include "cards/CardFrame.h"
#include "cards/CardIdentifier.h"
#include "cards/NumberForms.h"
#include "reader/RFIDDevice.h"
#include "rfidctl/ArgumentText.h"
#include "rfidctl/Rfidctl.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {

constexpr int kMaxWaitSeconds = 86400;
constexpr int kRetryPauseMs = 500;
constexpr int kMaxListedErrors = 20;

int Problem(std::ostream& err, int status, const QString& message) {
    err << "rfidctl: " << message.toStdString() << "\n";
    return status;
}

int BadArgument(std::ostream& err, const std::string& message) {
    err << "rfidctl: " << message << " (see rfidctl --help)\n";
    return RFIDCTL_USAGE;
}

// Decimal digits only, at most max; anything else is refused so that a typo never becomes a batch.
std::optional<std::uint64_t> Unsigned(const std::string& text, std::uint64_t max) {
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::uint64_t(c - '0');
        if (value > max)
            return std::nullopt;
    }
    return value;
}

QString Quoted(const QString& name) {
    return QString::fromStdString(ArgumentText(name.toStdString()));
}

// A change the database refused to this login's role is said as such.
QString Refusal(const QString& error) {
    if (!IsPermissionRefusal(error))
        return error;
    return error + QStringLiteral("; this database login may only read: making, importing and releasing batches "
                                  "need a role that may write, such as the stations' or the database owner's");
}

QString VendorCard(std::uint64_t vendor, std::uint64_t card) {
    return QStringLiteral("%1:%2").arg(vendor).arg(card);
}

QString Description(const BatchInfo& info) {
    if (info.isList)
        return info.vendor ? QStringLiteral("list, vendor %1").arg(*info.vendor)
                           : QStringLiteral("list, several vendors");
    return QStringLiteral("range %1 to %2, %3")
        .arg(VendorCard(info.vendor.value_or(0), info.first), VendorCard(info.vendor.value_or(0), info.last),
             info.order == BatchOrder::Random ? QStringLiteral("at random") : QStringLiteral("in order"));
}

QString CountsText(const BatchCounts& counts) {
    return QStringLiteral("%1 numbers\t%2 done\t%3 claimed\t%4 to throw away\t%5 left")
        .arg(counts.total)
        .arg(counts.Done())
        .arg(counts.claimed)
        .arg(counts.throwAway)
        .arg(counts.left);
}

} // namespace

int CheckBatchExists(QSqlDatabase& db, const QString& name, bool wanted, std::ostream& err) {
    QString error;
    const std::optional<BatchInfo> found = FindBatch(db, name, &error);
    if (!found && !error.startsWith(QLatin1String("there is no batch")))
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("reading the batches failed (%1)").arg(error));
    if (bool(found) == wanted)
        return RFIDCTL_OK;
    return Problem(err, RFIDCTL_USAGE,
                   (wanted ? QStringLiteral("there is no batch named %1")
                           : QStringLiteral("a batch named %1 exists already"))
                       .arg(Quoted(name)));
}

CBatchDatabase::~CBatchDatabase() {
    if (m_strConnection.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_strConnection);
}

int CBatchDatabase::Open(bool mustExist, std::ostream& err) {
    return OpenText(RfidctlJournalSettings(CurrentJournalOptions()).connection, mustExist, err);
}

int CBatchDatabase::OpenText(const QString& text, bool mustExist, std::ostream& err) {
    QString error;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(text, &error);
    if (!location)
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("the journal %1 cannot be opened (%2)").arg(Quoted(DatabaseDisplayText(text)), error));
    if (mustExist && location->engine == JournalEngine::SQLite && !QFileInfo::exists(location->path))
        return Problem(err, RFIDCTL_JOURNAL_FAILED, QStringLiteral("no journal at ") + location->path);
    m_strConnection = QStringLiteral("rfidctl-batch");
    m_db = OpenDatabase(*location, m_strConnection, &error);
    if (!m_db.isOpen() || !MigrateDatabase(m_db, &error))
        return Problem(err, RFIDCTL_JOURNAL_FAILED, error);
    return RFIDCTL_OK;
}

std::optional<std::string> BatchNameArgument(const Arguments& arguments, const char* command, QString* name) {
    if (arguments.values.size() != 1)
        return std::string(command) + " takes exactly one batch name";
    *name = QString::fromStdString(arguments.values[0]);
    QString error;
    if (!IsValidBatchName(*name, &error))
        return "not a batch name: " + ArgumentText(arguments.values[0]) + " (" + error.toStdString() + ")";
    return std::nullopt;
}

std::optional<int> WaitSecondsArgument(const Arguments& arguments) {
    bool given = false;
    for (const std::string& option : arguments.options)
        given = given || OptionName(option) == "--wait";
    if (!given)
        return BATCH_DEFAULT_WAIT_SECONDS;
    const std::optional<std::uint64_t> seconds = Unsigned(ValueOf(arguments, "--wait"), kMaxWaitSeconds);
    return seconds ? std::optional<int>(int(*seconds)) : std::nullopt;
}

int InitDatabaseCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() != 1)
        return BadArgument(
            err, "db init takes exactly one database (postgresql://user@host:port/dbname or a file)");
    const std::string given = ValueOf(arguments, "--role");
    const QString role = given.empty() ? QString(DEFAULT_STATION_ROLE) : QString::fromStdString(given);
    if (!IsValidRoleName(role))
        return BadArgument(err, "not a role name: " + ArgumentText(role.toStdString()) +
                                    " (a lower-case letter or _, then lower-case letters, digits or _)");
    QString error;
    if (!ParseDatabaseLocation(QString::fromStdString(arguments.values[0]), &error))
        return BadArgument(
            err,
            "not a database: " +
                ArgumentText(DatabaseDisplayText(QString::fromStdString(arguments.values[0])).toStdString()) +
                " (" + error.toStdString() + ")");
    CBatchDatabase database;
    if (const int opened = database.OpenText(QString::fromStdString(arguments.values[0]), false, err))
        return opened;
    QString notes;
    if (!InitDatabase(database.Db(), role, &notes, &error))
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("setting up the database failed (%1)").arg(error));
    out << notes.toStdString() << "\n";
    return RFIDCTL_OK;
}

int CreateBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    QString name;
    if (const auto problem = BatchNameArgument(arguments, "batch create", &name))
        return BadArgument(err, *problem);
    const std::optional<std::uint64_t> vendor = Unsigned(ValueOf(arguments, "--vendor"), 255);
    const std::optional<std::uint64_t> first = Unsigned(ValueOf(arguments, "--first"), MAX_CARD_NUMBER);
    const std::optional<std::uint64_t> last = Unsigned(ValueOf(arguments, "--last"), MAX_CARD_NUMBER);
    if (!vendor)
        return BadArgument(err, "batch create needs --vendor 0 to 255, not " +
                                    ArgumentText(ValueOf(arguments, "--vendor")));
    if (!first || !last)
        return BadArgument(err, "batch create needs --first and --last card numbers of 0 to 4294967295");
    if (*first > *last)
        return BadArgument(err, "the first card number is above the last");
    CBatchDatabase database;
    if (const int opened = database.Open(false, err))
        return opened;
    if (const int exists = CheckBatchExists(database.Db(), name, false, err))
        return exists;
    const BatchRange range{int(*vendor), std::uint32_t(*first), std::uint32_t(*last),
                           Has(arguments, "--random") ? BatchOrder::Random : BatchOrder::InOrder};
    QString error;
    if (!CreateRangeBatch(database.Db(), name, range, &error))
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("creating the batch failed (%1)").arg(Refusal(error)));
    out << "created batch " << name.toStdString() << ": " << (*last - *first + 1) << " numbers, "
        << VendorCard(*vendor, *first).toStdString() << " to " << VendorCard(*vendor, *last).toStdString()
        << (range.order == BatchOrder::Random ? ", at random" : ", in order") << "\n";
    return RFIDCTL_OK;
}

int ImportBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() != 2)
        return BadArgument(err, "batch import takes a batch name and a file");
    QString name;
    if (const auto problem =
            BatchNameArgument({arguments.options, {arguments.values[0]}}, "batch import", &name))
        return BadArgument(err, *problem);
    const ListFile file = ReadListFile(QString::fromStdString(arguments.values[1]));
    switch (file.problem) {
    case ListFileProblem::NotAFile:
        return BadArgument(err, "no list file at " + ArgumentText(arguments.values[1]));
    case ListFileProblem::TooLarge:
        return BadArgument(err, "the list " + ArgumentText(arguments.values[1]) + " is larger than a list of " +
                                    std::to_string(MAX_LIST_LINES) + " identifiers can be");
    case ListFileProblem::CannotRead:
        return BadArgument(err, "cannot read " + ArgumentText(arguments.values[1]) + " (" + file.reason.toStdString() + ")");
    case ListFileProblem::None:
        break;
    }
    const ParsedList& list = file.list;
    if (!list.errors.empty()) {
        int shown = 0;
        for (const ListLineError& line : list.errors) {
            if (++shown > kMaxListedErrors)
                break;
            err << "rfidctl: " << PlainArgumentText(arguments.values[1]) << ":" << line.line << ": "
                << line.problem.toStdString();
            if (!line.text.isEmpty())
                err << ": " << ArgumentText(line.text.toStdString());
            err << "\n";
        }
        err << "rfidctl: nothing imported: " << list.errors.size() << " bad line(s) in " << PlainArgumentText(arguments.values[1])
            << "\n";
        return RFIDCTL_USAGE;
    }
    CBatchDatabase database;
    if (const int opened = database.Open(false, err))
        return opened;
    if (const int exists = CheckBatchExists(database.Db(), name, false, err))
        return exists;
    QString error;
    if (!CreateListBatch(database.Db(), name, list.identifiers, &error))
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("importing the list failed (%1)").arg(Refusal(error)));
    out << "imported " << list.identifiers.size() << " identifiers into batch " << name.toStdString() << "\n";
    return RFIDCTL_OK;
}

int ListBatchesCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return BadArgument(err, "batch list takes no arguments");
    CBatchDatabase database;
    if (const int opened = database.Open(true, err))
        return opened;
    QString error;
    const std::vector<BatchInfo> batches = ListBatches(database.Db(), &error);
    if (!error.isEmpty())
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("reading the batches failed (%1)").arg(error));
    for (const BatchInfo& info : batches)
        out << (info.name + u'\t' + Description(info) + u'\t' + CountsText(info.counts) +
                QStringLiteral("\tcreated ") + info.createdAt)
                   .toStdString()
            << "\n";
    return RFIDCTL_OK;
}

namespace {

QString& ReportHelperOverride() {
    static QString path;
    return path;
}

// The report helper: beside rfidctl (a build folder), else in the libexec folder of the installation.
QString ReportHelperPath() {
    if (!ReportHelperOverride().isEmpty())
        return ReportHelperOverride();
    const QString beside = ExecutableFolder() + QStringLiteral("/rfid-report");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QFileInfo(ExecutableFolder() + QStringLiteral("/../libexec/rfid/rfid-report")).absoluteFilePath();
}

// The forms of --form (names or "all", also as comma lists); every form when none is given.
std::optional<NumberFormSet> ReportForms(const Arguments& arguments, std::ostream& err) {
    NumberFormSet forms = 0;
    bool given = false;
    for (const std::string& option : arguments.options) {
        if (OptionName(option) != "--form")
            continue;
        given = true;
        for (const QString& word : QString::fromStdString(option.substr(std::min(option.size(), std::size_t(7)))).split(u',')) {
            const std::optional<NumberFormSet> form = NumberFormsFromOption(word);
            if (!form) {
                BadArgument(err, "not a number form: " + ArgumentText(word.toStdString()) + " (hex, dez10, dez8, w26, 5.5 or all)");
                return std::nullopt;
            }
            forms |= *form;
        }
    }
    return given ? forms : NUMBER_FORMS_ALL;
}

} // namespace

QString SetReportHelperPath(const QString& path) {
    QString previous = ReportHelperOverride();
    ReportHelperOverride() = path;
    return previous;
}

int WriteDeliveryReportPdf(const Arguments& arguments, const QString& batch, std::ostream& err, std::ostream& out) {
    const QString file = QString::fromStdString(ValueOf(arguments, "--pdf"));
    if (file.isEmpty())
        return BadArgument(err, "--pdf needs the file to write");
    if (Has(arguments, "--csv"))
        return BadArgument(err, "--csv and --pdf exclude each other");
    const std::optional<NumberFormSet> forms = ReportForms(arguments, err);
    if (!forms)
        return RFIDCTL_USAGE;
    const QString helper = ReportHelperPath();
    if (!QFileInfo(helper).isExecutable())
        return Problem(err, RFIDCTL_JOURNAL_FAILED, QStringLiteral("the report helper %1 is not installed").arg(helper));
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(helper, {RfidctlJournalSettings(CurrentJournalOptions()).connection, batch, file,
                           NumberFormsToText(*forms)});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString reason = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("the delivery report was not written (%1)")
                           .arg(reason.isEmpty() ? process.errorString() : reason));
    }
    out << "wrote the delivery report of batch " << batch.toStdString() << " to " << file.toStdString() << "\n";
    return RFIDCTL_OK;
}

int ReportBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    QString name;
    if (const auto problem = BatchNameArgument(arguments, "batch report", &name))
        return BadArgument(err, *problem);
    CBatchDatabase database;
    if (const int opened = database.Open(true, err))
        return opened;
    QString error;
    const std::optional<BatchInfo> info = FindBatch(database.Db(), name, &error);
    if (!info)
        return CheckBatchExists(database.Db(), name, true, err);
    if (!ValueOf(arguments, "--pdf").empty() || Has(arguments, "--pdf="))
        return WriteDeliveryReportPdf(arguments, name, err, out);
    const std::vector<BatchReportLine> lines = BatchReport(database.Db(), name, &error);
    if (!error.isEmpty())
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("reading the batch failed (%1)").arg(error));
    const bool csv = Has(arguments, "--csv");
    if (csv)
        out << CsvLine({"identifier", "vendor", "card", "state", "station", "time_utc"}).toStdString();
    else
        out << ("batch " + name + u'\t' + Description(*info) + u'\t' + CountsText(info->counts)).toStdString()
            << "\n";
    for (const BatchReportLine& line : lines) {
        const QString identifier = CardIdText(line.identifier);
        if (csv)
            out << CsvLine({identifier, QString::number(line.identifier >> 32),
                            QString::number(line.identifier & MAX_CARD_NUMBER), line.state, line.station,
                            line.time})
                       .toStdString();
        else
            out << (identifier + u'\t' + line.state + u'\t' + line.station + u'\t' + line.time).toStdString()
                << "\n";
    }
    return RFIDCTL_OK;
}

int ReleaseBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    QString name;
    if (const auto problem = BatchNameArgument(arguments, "batch release", &name))
        return BadArgument(err, *problem);
    const std::optional<std::string>& given = CurrentJournalOptions().station;
    if (!given || QString::fromStdString(*given).trimmed().isEmpty())
        return BadArgument(err, "batch release needs --station NAME, the station whose claims are released");
    const QString station = QString::fromStdString(*given).trimmed();
    CBatchDatabase database;
    if (const int opened = database.Open(true, err))
        return opened;
    if (const int exists = CheckBatchExists(database.Db(), name, true, err))
        return exists;
    QString who, error;
    if (StationIsLive(database.Db(), station, &who, &error))
        return Problem(err, RFIDCTL_STATION_IN_USE,
                       who + QStringLiteral("; its claims are released only when it is not running"));
    const int released = ReleaseStationClaims(database.Db(), name, station, &error);
    if (released < 0)
        return Problem(err, RFIDCTL_JOURNAL_FAILED,
                       QStringLiteral("releasing the claims failed (%1)").arg(Refusal(error)));
    out << "released " << released << " claim(s) of station " << PlainArgumentText(station.toStdString()) << " in batch "
        << name.toStdString() << "\n";
    return RFIDCTL_OK;
}

CRfidctlBatchStation::CRfidctlBatchStation(const RfidctlJournalOptions& options, int waitSeconds,
                                           std::ostream& err)
    : m_settings(RfidctlJournalSettings(options)), m_nWaitSeconds(waitSeconds), m_err(err) {}

CRfidctlBatchStation::~CRfidctlBatchStation() = default;

bool CRfidctlBatchStation::WaitForServer(const QString& message) {
    if (!m_away.isValid()) {
        m_away.start();
        if (m_nWaitSeconds > 0)
            m_err << "rfidctl: " << message.toStdString() << "; waiting up to " << m_nWaitSeconds
                  << " s for it to answer\n";
    }
    if (m_away.elapsed() >= qint64(m_nWaitSeconds) * 1000)
        return false;
    QThread::msleep(kRetryPauseMs);
    return true;
}

int CRfidctlBatchStation::Start() {
    const bool server =
        m_settings.connection.trimmed().startsWith(QLatin1String("postgres"), Qt::CaseInsensitive);
    for (;;) {
        JournalStatus status;
        m_journal = CJournal::Open(m_settings.connection, &status);
        if (status.fault == JournalFault::KeptAside)
            m_err << "rfidctl: " << JournalProblemText(status) << "\n";
        if (m_journal)
            break;
        // A server that does not answer may come back; a file or a schema that cannot be used will not.
        const QString problem =
            QString::fromStdString(JournalProblemText(status)) + QStringLiteral("; no card is written");
        if (!server || status.fault != JournalFault::CannotOpen || !WaitForServer(problem))
            return Problem(m_err, RFIDCTL_JOURNAL_FAILED, problem);
    }
    m_station = std::make_unique<CBatchStation>(m_journal->Database(), m_settings.station);
    m_station->SetReconnect([this] { return m_journal->Reconnect(); });
    for (;;) {
        const BatchOutcome started = m_station->Start();
        if (started.status == BatchStatus::Ok)
            break;
        if (started.status == BatchStatus::Refused)
            return Problem(m_err, RFIDCTL_STATION_IN_USE, started.message);
        const QString problem =
            QStringLiteral("the journal database cannot be reached (%1); no card is written")
                .arg(started.message);
        if (started.status != BatchStatus::Unavailable || !WaitForServer(problem))
            return Problem(m_err, RFIDCTL_JOURNAL_FAILED, problem);
        m_station->Reconnect();
    }
    m_away.invalidate();
    return RFIDCTL_OK;
}

void CRfidctlBatchStation::KeepPendingResults(CBatchWriter& writer) {
    const QString path =
        PendingResultPath(ResolveDataFolder(ExecutableFolder()), m_settings.station, m_settings.connection);
    const QString problem = writer.KeepPendingIn(path);
    if (!problem.isEmpty())
        m_err << "rfidctl: " << problem.toStdString() << "\n";
    if (writer.HasPendingResult())
        m_err << "rfidctl: a card written by an earlier run waits to be recorded; it is recorded now and no "
                 "other card is written\n";
}

BatchCardOutcome CRfidctlBatchStation::WriteNext(CBatchWriter& writer, const QString& batch, bool verify) {
    for (;;) {
        const BatchCardOutcome outcome = writer.HasPendingResult()
                                             ? writer.RecordPending()
                                             : writer.WriteNext(batch, verify, CARD_SETTLE_MS);
        const bool away =
            outcome.result == BatchCardResult::Unavailable || outcome.result == BatchCardResult::NotRecorded;
        if (!away || !WaitForServer(outcome.message)) {
            m_away.invalidate();
            return outcome;
        }
        m_station->Reconnect();
    }
}
