#include "tools/rfidctl/RfidctlJournal.h"

#include "journal/Database.h"
#include "journal/JournalExport.h"
#include "platform/AppFolder.h"
#include "platform/DataFolder.h"
#include "tools/rfidctl/ArgumentText.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

RfidctlJournalOptions& CurrentJournalOptions() {
    static RfidctlJournalOptions options;
    return options;
}

JournalSettings RfidctlJournalSettings(const RfidctlJournalOptions& options) {
    JournalSettings settings = ReadJournalSettings(ResolveDataFolder(ExecutableFolder()));
    if (options.journalPath) {
        // A journal named on the command line is the one asked for, whatever setting.ini says.
        settings.connection = QString::fromStdString(*options.journalPath);
        settings.enabled = true;
    }
    if (options.station)
        settings.station = StationName(QString::fromStdString(*options.station));
    return settings;
}

std::string JournalProblemText(const JournalStatus& status) {
    // The location as given (a path may hold anything, a newline included), never with a password.
    const std::string location = PlainArgumentText(status.location.toStdString());
    const std::string detail = status.detail.toStdString();
    switch (status.fault) {
    case JournalFault::KeptAside:
        return "the journal " + location + " was damaged; it is kept as " + PlainArgumentText(status.keptAs.toStdString()) +
               " and a new journal was started (" + detail + ")";
    case JournalFault::TooNew:
        return "the journal " + location + " was written by a newer program and is left as it is (" + detail + ")";
    case JournalFault::CannotWrite:
        return "the journal " + location + " cannot record (" + detail + ")";
    case JournalFault::DriverMissing:
    case JournalFault::CannotOpen:
    case JournalFault::None:
        break;
    }
    return "the journal " + location + " cannot be opened (" + detail + ")";
}

std::unique_ptr<CJournalRecorder> MakeRfidctlRecorder(const RfidctlJournalOptions& options, std::ostream& err) {
    auto recorder = std::make_unique<CJournalRecorder>(RfidctlJournalSettings(options));
    recorder->m_fnReport = [&err](const JournalStatus& status) {
        err << "rfidctl: " << JournalProblemText(status) << "\n";
    };
    return recorder;
}

std::optional<std::string> ParseJournalQuery(const std::string& since, const std::string& until,
                                             const std::string& result, JournalQuery* query) {
    if (!since.empty()) {
        query->filter.since = JournalTimeFromText(QString::fromStdString(since));
        if (!query->filter.since.isValid())
            return "not a time: --since " + ArgumentText(since) + " (2026-12-08 or 2026-12-08T06:30:00, UTC)";
    }
    if (!until.empty()) {
        const QString text = QString::fromStdString(until).trimmed();
        query->filter.until = JournalTimeFromText(text);
        if (!query->filter.until.isValid())
            return "not a time: --until " + ArgumentText(until) + " (2026-12-08 or 2026-12-08T06:30:00, UTC)";
        if (text.size() == 10)
            query->filter.until = query->filter.until.addDays(1);
    }
    if (!result.empty()) {
        query->filter.result = ResultFromKey(QString::fromStdString(result));
        if (!query->filter.result)
            return "not a result: " + ArgumentText(result) + " (ok, error, refused, verify-ok or verify-failed)";
    }
    return std::nullopt;
}

namespace {

std::string TextLine(const JournalRecord& record) {
    return ExportFields(record).join(u'\t').toStdString() + "\n";
}

} // namespace

int PrintJournal(const RfidctlJournalOptions& options, const JournalQuery& query, std::ostream& out,
                 std::ostream& err) {
    const JournalSettings settings = RfidctlJournalSettings(options);
    // Printing never creates a journal: a mistyped path is said so, not shown as an empty journal. A
    // server's journal is no file: opening it says whether it is there.
    QString ignored;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(settings.connection, &ignored);
    if (location && location->engine == JournalEngine::SQLite && !QFileInfo::exists(location->path)) {
        err << "rfidctl: no journal at " << PlainArgumentText(DatabaseDisplayText(settings.connection).toStdString()) << "\n";
        return RFIDCTL_JOURNAL_FAILED;
    }
    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(settings.connection, &status);
    if (!journal || status.fault == JournalFault::KeptAside) {
        err << "rfidctl: " << JournalProblemText(status) << "\n";
        return RFIDCTL_JOURNAL_FAILED;
    }
    QString error;
    bool ok = true;
    if (query.output == JournalOutput::Csv) {
        out << CsvLine(ExportHeader()).toStdString();
        ok = journal->ForEach(query.filter, [&](const JournalRecord& r) {
            out << CsvLine(ExportFields(r)).toStdString();
            return bool(out);
        }, &error);
    } else if (query.output == JournalOutput::Json) {
        QJsonArray records;
        ok = journal->ForEach(query.filter, [&](const JournalRecord& r) {
            records.append(RecordToJson(r));
            return true;
        }, &error);
        out << QJsonDocument(records).toJson(QJsonDocument::Indented).toStdString();
    } else {
        ok = journal->ForEach(query.filter, [&](const JournalRecord& r) {
            out << TextLine(r);
            return bool(out);
        }, &error);
    }
    if (!ok) {
        err << "rfidctl: reading the journal failed (" << error.toStdString() << ")\n";
        return RFIDCTL_JOURNAL_FAILED;
    }
    return 0;
}
