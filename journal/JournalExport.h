#pragma once

// Journal records as CSV (RFC 4180: comma-separated, fields with a comma, quote or line break quoted,
// quotes doubled, lines ended by CR LF; UTF-8 with a header row) and as JSON.

#include "journal/Journal.h"

#include <QJsonObject>
#include <QStringList>

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

// Writes the header and every record of the filter to out, newest first; the number of records written,
// or -1 with error set.
qint64 ExportCsv(CJournal& journal, const JournalFilter& filter, QIODevice& out, QString* error);
