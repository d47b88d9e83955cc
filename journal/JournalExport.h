#pragma once

// Journal records as CSV (RFC 4180: comma-separated, fields with a comma, quote or line break quoted,
// quotes doubled, lines ended by CR LF; UTF-8 with a header row) and as JSON.

#include "journal/Journal.h"

#include <QJsonObject>
#include <QStringList>

#include <functional>

class QIODevice;

// The column names of an export, and one record's fields in the same order.
QStringList ExportHeader();
QStringList ExportFields(const JournalRecord& record);

// A status key for a card: "good", "failed", "throw-away", "refused", "overwritten", or empty text.
QString CardStatusKey(CardStatus status);

// One CSV line of fields, with its CR LF, in UTF-8.
QByteArray CsvLine(const QStringList& fields);
QString CsvField(const QString& value);

QJsonObject RecordToJson(const JournalRecord& record);

// One record as a JSON object on one line, without its line end.
QByteArray JsonLine(const JournalRecord& record);

enum class ExportFormat { Csv, Json };

// Where an export goes and how far it is: write takes each piece of text and says whether it was written;
// progress hears the number of records written every so often and says whether to go on (Cancel).
struct ExportSink {
    std::function<bool(const QByteArray&)> write;
    std::function<bool(qint64 written)> progress;
};

// Streams the records of the filter, newest first, as CSV (a header row, then a line a record) or as a
// JSON array (an object a line), a page at a time whatever their number; limit > 0 stops after that many.
// The number of records written, or -1 with error set (a cancelled export says so in error).
qint64 ExportRecords(CJournal& journal, const JournalFilter& filter, ExportFormat format, qint64 limit,
                     const ExportSink& sink, QString* error);

// Writes the header and every record of the filter to out, newest first; the number of records written,
// or -1 with error set.
qint64 ExportCsv(CJournal& journal, const JournalFilter& filter, QIODevice& out, QString* error);
