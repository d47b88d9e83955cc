#pragma once

// rfidctl's batches: `db init`, `batch create|import|list|report|release`, and the station that
// `batch next` writes its card through.
//
// The batches live in the journal's database: the file or server named by --journal, else
// "[Journal] Database=" of setting.ini, else the program's journal.sqlite.

#include "station/BatchWriter.h"
#include "journal/Journal.h"
#include "journal/JournalSettings.h"
#include "rfidctl/RfidctlArguments.h"
#include "rfidctl/RfidctlJournal.h"

#include <QElapsedTimer>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

// The journal's database, opened for one command and closed with it.
class CBatchDatabase {
public:
    CBatchDatabase() = default;
    ~CBatchDatabase();
    CBatchDatabase(const CBatchDatabase&) = delete;
    CBatchDatabase& operator=(const CBatchDatabase&) = delete;

    // The journal of --journal or the settings. mustExist: a journal file that is not there is said
    // so, not created empty. RFIDCTL_OK, or the failure said on err.
    int Open(bool mustExist, std::ostream& err);
    int OpenText(const QString& text, bool mustExist, std::ostream& err);

    QSqlDatabase& Db() { return m_db; }

private:
    QString m_strConnection;
    QSqlDatabase m_db;
};

// Whether the batch is there (wanted) or not: RFIDCTL_OK, RFIDCTL_USAGE said on err when it is not as
// wanted, or the journal's failure.
int CheckBatchExists(QSqlDatabase& db, const QString& name, bool wanted, std::ostream& err);

// How long `batch next` waits by default for a journal server that cannot be reached (seconds).
constexpr int BATCH_DEFAULT_WAIT_SECONDS = 30;

int InitDatabaseCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
int CreateBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
int ImportBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
int ListBatchesCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
int ReportBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
int ReleaseBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);

// `batch report NAME --pdf FILE [--form FORM]...`: the delivery report, written by the report helper
// (rfid-report, beside rfidctl or in its libexec folder) so that rfidctl loads no window library.
int WriteDeliveryReportPdf(const Arguments& arguments, const QString& batch, std::ostream& err, std::ostream& out);
// Where the report helper is taken from instead (tests run rfidctl in process); returns the previous one.
QString SetReportHelperPath(const QString& path);

// The batch name of a command that takes exactly one; an error message otherwise.
std::optional<std::string> BatchNameArgument(const Arguments& arguments, const char* command, QString* name);

// --wait SECONDS (0 to 86400), BATCH_DEFAULT_WAIT_SECONDS when not given; nullopt for any other text.
std::optional<int> WaitSecondsArgument(const Arguments& arguments);

// The station of one `batch next`: the journal, the station's run under its name, and the waiting for
// a server that went away. While the server cannot be reached nothing is claimed and no card is written;
// it is said once, and the station tries again every half second until the wait is over.
class CRfidctlBatchStation {
public:
    CRfidctlBatchStation(const RfidctlJournalOptions& options, int waitSeconds, std::ostream& err);
    ~CRfidctlBatchStation();

    // Opens the journal and takes the station name: RFIDCTL_OK, RFIDCTL_JOURNAL_FAILED (with the reason
    // said) or RFIDCTL_STATION_IN_USE.
    int Start();

    const JournalSettings& Settings() const { return m_settings; }
    CJournal& Journal() { return *m_journal; }
    CBatchStation& Station() { return *m_station; }

    // Lets the writer keep a card result that waits for the database in the data folder, and takes over
    // the one an earlier run of this station left there (said on err); that result is recorded before
    // any other card is written.
    void KeepPendingResults(CBatchWriter& writer);

    // Writes the next card of the batch, waiting while the server is away (see the class comment).
    BatchCardOutcome WriteNext(CBatchWriter& writer, const QString& batch, bool verify);

private:
    bool WaitForServer(const QString& message);

    JournalSettings m_settings;
    int m_nWaitSeconds;
    std::ostream& m_err;
    QElapsedTimer m_away; // valid while the server is away
    QString m_strSaid;    // what was said about it, so it is said once
    std::unique_ptr<CJournal> m_journal;
    std::unique_ptr<CBatchStation> m_station;
};
