#include "rfidctl/RfidctlJournal.h"

#include "cards/CardIdentifier.h"
#include "journal/Database.h"
#include "journal/JournalExport.h"
#include "platform/AppFolder.h"
#include "platform/DataFolder.h"
#include "rfidctl/ArgumentText.h"

#include <QFileInfo>

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

namespace {

std::optional<std::string> ParseSelection(const JournalQueryTexts& texts, JournalQuery* query) {
    if (!texts.identifier.empty()) {
        query->filter.identifierText = QString::fromStdString(texts.identifier);
        if (!ParseIdentifierSearch(query->filter.identifierText))
            return "not an identifier: --identifier " + ArgumentText(texts.identifier) +
                   " (13 digits, vendor:card, 0x and 10 hex digits, a card number, W26 086,30874 or 5.5)";
    }
    if (texts.station)
        query->filter.station = QString::fromStdString(*texts.station);
    query->filter.batch = QString::fromStdString(texts.batch);
    if (!texts.limit.empty()) {
        const FieldNumber limit = ParseFieldNumber(QString::fromStdString(texts.limit), std::uint64_t(1) << 62);
        if (!limit.IsValid() || limit.value == 0)
            return "not a number of records: --limit " + ArgumentText(texts.limit) + " (1 or more)";
        query->limit = qint64(limit.value);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ParseJournalQuery(const JournalQueryTexts& texts, JournalQuery* query) {
    const std::string& since = texts.since;
    const std::string& until = texts.until;
    const std::string& result = texts.result;
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
    return ParseSelection(texts, query);
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
    if (query.output == JournalOutput::Text) {
        qint64 printed = 0;
        ok = journal->ForEach(query.filter, [&](const JournalRecord& r) {
            out << TextLine(r);
            return bool(out) && (query.limit <= 0 || ++printed < query.limit);
        }, &error);
    } else {
        // Straight to the output a page at a time: any number of records in the same small memory.
        ExportSink sink;
        sink.write = [&out](const QByteArray& text) { return bool(out.write(text.constData(), text.size())); };
        ok = ExportRecords(*journal, query.filter, query.output == JournalOutput::Json ? ExportFormat::Json : ExportFormat::Csv,
                           query.limit, sink, &error) >= 0;
    }
    if (!ok) {
        err << "rfidctl: reading the journal failed (" << error.toStdString() << ")\n";
        return RFIDCTL_JOURNAL_FAILED;
    }
    return 0;
}
