#include "journal/JournalExport.h"

#include "cards/CardIdentifier.h"
#include "cards/NumberForms.h"

#include <QIODevice>
#include <QJsonDocument>

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

QByteArray CsvLine(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields)
        quoted << CsvField(field);
    return (quoted.join(u',') + QStringLiteral("\r\n")).toUtf8();
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
    return QJsonDocument(RecordToJson(record)).toJson(QJsonDocument::Compact);
}

qint64 ExportRecords(CJournal& journal, const JournalFilter& filter, ExportFormat format, qint64 limit,
                     const ExportSink& sink, QString* error) {
    constexpr qint64 kProgressEvery = 2000;
    const bool json = format == ExportFormat::Json;
    if (!sink.write(json ? QByteArray("[") : CsvLine(ExportHeader()))) {
        *error = QStringLiteral("the output cannot be written");
        return -1;
    }
    qint64 written = 0;
    bool writeFailed = false;
    bool cancelled = false;
    const bool read = journal.ForEach(filter, [&](const JournalRecord& record) {
        const QByteArray text = json ? (written == 0 ? "\n" : ",\n") + JsonLine(record) : CsvLine(ExportFields(record));
        if (!sink.write(text)) {
            writeFailed = true;
            return false;
        }
        ++written;
        if (written % kProgressEvery == 0 && sink.progress && !sink.progress(written)) {
            cancelled = true;
            return false;
        }
        return limit <= 0 || written < limit;
    }, error);
    if (writeFailed || (!cancelled && read && json && !sink.write(written == 0 ? "]\n" : "\n]\n"))) {
        *error = QStringLiteral("the output cannot be written");
        return -1;
    }
    if (cancelled) {
        *error = QStringLiteral("cancelled");
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
