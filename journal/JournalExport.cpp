#include "journal/JournalExport.h"

#include "cards/CardIdentifier.h"
#include "cards/NumberForms.h"

#include <QIODevice>

namespace {

QString IdentifierField(const JournalRecord& record) {
    return record.identifier ? CardIdText(*record.identifier) : QString();
}

// The identifier in each printed form, after the other fields: a column a form, named by the form in
// lower case ("hex", "dez10", "dez8", "w26", "5.5"), empty without an identifier.
void AppendFormColumns(QStringList& columns, const JournalRecord* record) {
    for (NumberForm form : ALL_NUMBER_FORMS) {
        if (!record)
            columns << NumberFormName(form).toLower();
        else
            columns << (record->identifier ? NumberFormText(form, *record->identifier) : QString());
    }
}

} // namespace

QStringList ExportHeader() {
    QStringList header = {QStringLiteral("id"),          QStringLiteral("time_utc"), QStringLiteral("station"),
            QStringLiteral("user"),        QStringLiteral("source"),   QStringLiteral("operation"),
            QStringLiteral("identifier"),  QStringLiteral("vendor_id"), QStringLiteral("card_number"),
            QStringLiteral("result"),      QStringLiteral("card"),     QStringLiteral("reason"),
            QStringLiteral("reader_name"), QStringLiteral("reader_version")};
    AppendFormColumns(header, nullptr);
    return header;
}

QString CardStatusKey(CardStatus status) {
    switch (status) {
    case CardStatus::Good:
        return QStringLiteral("good");
    case CardStatus::Failed:
        return QStringLiteral("failed");
    case CardStatus::ThrowAway:
        return QStringLiteral("throw-away");
    case CardStatus::Refused:
        return QStringLiteral("refused");
    case CardStatus::Overwritten:
        return QStringLiteral("overwritten");
    case CardStatus::None:
        break;
    }
    return QString();
}

QStringList ExportFields(const JournalRecord& record) {
    const bool hasId = record.identifier.has_value();
    QStringList fields = {QString::number(record.id),
            JournalTimeText(record.time),
            record.station,
            record.user,
            SourceKey(record.source),
            OperationKey(record.operation),
            IdentifierField(record),
            hasId ? QString::number(*record.identifier >> 32) : QString(),
            hasId ? QString::number(*record.identifier & 0xFFFFFFFFull) : QString(),
            ResultKey(record.result),
            CardStatusKey(StatusOf(record)),
            record.reason,
            record.readerName,
            record.readerVersion};
    AppendFormColumns(fields, &record);
    return fields;
}

QString CsvField(const QString& value) {
    const bool quote = value.contains(u',') || value.contains(u'"') || value.contains(u'\r') || value.contains(u'\n');
    if (!quote)
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

namespace {

void AppendCsvLine(QByteArray& out, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        out += CsvField(fields[i]).toUtf8();
    }
    out += "\r\n";
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void AppendJsonString(QByteArray& out, const QString& value) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : value.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

// ,"name": for each column of the CSV after the id, made once.
QList<QByteArray> JsonKeys() {
    QList<QByteArray> keys;
    const QStringList names = ExportHeader();
    for (qsizetype i = 1; i < names.size(); ++i) {
        QByteArray key(",");
        AppendJsonString(key, names[i]);
        keys << key + ':';
    }
    return keys;
}

void AppendJsonLine(QByteArray& out, const JournalRecord& record) {
    static const QList<QByteArray> keys = JsonKeys();
    const QStringList fields = ExportFields(record);
    out += "{\"id\":";
    out += QByteArray::number(qint64(record.id));
    // The other columns as text, in the order of the CSV's.
    for (qsizetype i = 0; i < keys.size(); ++i) {
        out += keys[i];
        AppendJsonString(out, fields[i + 1]);
    }
    if (record.identifier)
        out += ",\"identifier_value\":" + QByteArray::number(qint64(*record.identifier));
    out += record.verifyRequested ? ",\"verify_requested\":true}" : ",\"verify_requested\":false}";
}

} // namespace

QByteArray CsvLine(const QStringList& fields) {
    QByteArray line;
    AppendCsvLine(line, fields);
    return line;
}

QJsonObject RecordToJson(const JournalRecord& record) {
    static const QStringList names = ExportHeader();
    const QStringList fields = ExportFields(record);
    QJsonObject object;
    for (qsizetype i = 0; i < names.size(); ++i)
        object.insert(names[i], fields[i]);
    object.insert(QStringLiteral("id"), qint64(record.id));
    if (record.identifier)
        object.insert(QStringLiteral("identifier_value"), qint64(*record.identifier));
    object.insert(QStringLiteral("verify_requested"), record.verifyRequested);
    return object;
}

QByteArray JsonLine(const JournalRecord& record) {
    QByteArray line;
    AppendJsonLine(line, record);
    return line;
}

qint64 ExportRecords(CJournal& journal, const JournalFilter& filter, ExportFormat format, qint64 limit,
                     const ExportSink& sink, QString* error) {
    constexpr qint64 kProgressEvery = 2000;
    constexpr qsizetype kChunk = 256 * 1024;
    const bool json = format == ExportFormat::Json;
    // The text goes out in chunks of a few hundred kilobytes: whatever the number of records, the
    // memory stays that of one chunk and one page of records.
    QByteArray chunk;
    chunk.reserve(kChunk + 4096);
    bool writeFailed = false;
    const auto flush = [&] {
        writeFailed = writeFailed || (!chunk.isEmpty() && !sink.write(chunk));
        chunk.clear();
        return !writeFailed;
    };
    if (json)
        chunk += '[';
    else
        AppendCsvLine(chunk, ExportHeader());
    qint64 written = 0;
    bool cancelled = false;
    const bool read = journal.ForEach(filter, [&](const JournalRecord& record) {
        if (json) {
            chunk += written == 0 ? "\n" : ",\n";
            AppendJsonLine(chunk, record);
        } else {
            AppendCsvLine(chunk, ExportFields(record));
        }
        ++written;
        if (chunk.size() >= kChunk && !flush())
            return false;
        if (written % kProgressEvery == 0 && sink.progress && !sink.progress(written)) {
            cancelled = true;
            return false;
        }
        return limit <= 0 || written < limit;
    }, error);
    if (cancelled) {
        *error = QStringLiteral("cancelled");
        return -1;
    }
    if (read && json)
        chunk += written == 0 ? "]\n" : "\n]\n";
    if (!flush()) {
        *error = QStringLiteral("the output cannot be written");
        return -1;
    }
    if (read && sink.progress)
        sink.progress(written);
    return read ? written : -1;
}

qint64 ExportCsv(CJournal& journal, const JournalFilter& filter, QIODevice& out, QString* error) {
    bool writeFailed = false;
    ExportSink sink;
    sink.write = [&out, &writeFailed](const QByteArray& text) {
        writeFailed = out.write(text) != text.size();
        return !writeFailed;
    };
    const qint64 written = ExportRecords(journal, filter, ExportFormat::Csv, 0, sink, error);
    if (writeFailed)
        *error = out.errorString();
    return written;
}
