#include "journal/JournalExport.h"

#include "cards/NumberForms.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

// An export writes millions of lines: each line is built in one reused buffer, its numbers and printed
// forms formatted straight into small arrays and its text copied as UTF-8, so a record costs no
// allocation of its own.

namespace {

// The columns before the printed forms.
constexpr const char* kColumnNames[] = {"id", "time_utc", "station", "user", "source", "operation", "identifier",
                                        "vendor_id", "card_number", "result", "card", "reason", "reader_name",
                                        "reader_version"};
constexpr int kCardIdDigits = 13;

const char* CardStatusAscii(CardStatus status) {
    switch (status) {
    case CardStatus::Good:
        return "good";
    case CardStatus::Failed:
        return "failed";
    case CardStatus::ThrowAway:
        return "throw-away";
    case CardStatus::Refused:
        return "refused";
    case CardStatus::Overwritten:
        return "overwritten";
    case CardStatus::None:
        break;
    }
    return "";
}

// Room for a 64-bit number in decimal with its sign, or for any printed form.
using DigitBuffer = std::array<char, 24>;

template <typename Integer>
std::string_view Decimal(Integer value, DigitBuffer& buffer) {
    const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return {buffer.data(), std::size_t(end - buffer.data())};
}

// At least `width` digits, zeros in front, as QString::arg pads an identifier.
std::string_view ZeroPadded(std::uint64_t value, int width, DigitBuffer& buffer) {
    DigitBuffer digits;
    const std::string_view text = Decimal(value, digits);
    const std::size_t zeros = text.size() < std::size_t(width) ? std::size_t(width) - text.size() : 0;
    std::memset(buffer.data(), '0', zeros);
    std::memcpy(buffer.data() + zeros, text.data(), text.size());
    return {buffer.data(), zeros + text.size()};
}

// Text in UTF-8 exactly as QString::toUtf8 writes it: characters of the Basic Multilingual Plane are
// encoded here, text with a surrogate (a character beyond that plane, or half of one) goes through Qt.
void AppendUtf8(std::string& out, QStringView text) {
    const std::size_t start = out.size();
    out.resize(start + 3 * std::size_t(text.size())); // room for the longest encoding
    char* next = out.data() + start;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *next++ = char(u);
        } else if (u < 0x800) {
            *next++ = char(0xC0 | (u >> 6));
            *next++ = char(0x80 | (u & 0x3F));
        } else if (!c.isSurrogate()) {
            *next++ = char(0xE0 | (u >> 12));
            *next++ = char(0x80 | ((u >> 6) & 0x3F));
            *next++ = char(0x80 | (u & 0x3F));
        } else {
            const QByteArray utf8 = text.toUtf8();
            out.resize(start);
            out.append(utf8.constData(), std::size_t(utf8.size()));
            return;
        }
    }
    out.resize(std::size_t(next - out.data()));
}

// Which bytes make a CSV field quoted, and which a JSON string escapes.
constexpr std::array<bool, 256> ByteTable(bool (*chosen)(unsigned char)) {
    std::array<bool, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte)
        table[byte] = chosen(static_cast<unsigned char>(byte));
    return table;
}
constexpr auto kCsvQuoted = ByteTable([](unsigned char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
constexpr auto kJsonEscaped = ByteTable([](unsigned char c) { return c == '"' || c == '\\' || c < 0x20; });

// Appends text byte for byte when every character is ASCII and none is marked in the table (nearly all
// text of a journal); otherwise appends nothing and says so.
bool AppendPlainAscii(std::string& out, QStringView text, const std::array<bool, 256>& marked) {
    const std::size_t start = out.size();
    out.resize(start + std::size_t(text.size()));
    char* next = out.data() + start;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || marked[u]) {
            out.resize(start);
            return false;
        }
        *next++ = char(u);
    }
    return true;
}

// A CSV field: with a comma, quote or line break, quoted with its quotes doubled; else as it is.
void AppendCsvField(std::string& out, std::string_view bytes) {
    const bool quote = std::any_of(bytes.begin(), bytes.end(),
                                   [](char c) { return kCsvQuoted[static_cast<unsigned char>(c)]; });
    if (!quote) {
        out.append(bytes);
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as it is.
void AppendJsonString(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0; // the start of the bytes not yet written
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!kJsonEscaped[byte])
            continue;
        out.append(bytes.substr(plain, i - plain));
        plain = i + 1;
        if (byte >= 0x20) {
            out += '\\';
            out += char(byte);
        } else {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    out.append(bytes.substr(plain));
    out += '"';
}

// Hands each field of a record to out.Field, in the order of the header: as UTF-8 bytes, or as text.
template <typename Out>
void VisitFields(Out& out, const JournalRecord& record, QStringView time) {
    DigitBuffer digits;
    out.Field(Decimal(record.id, digits));
    out.Field(time);
    out.Field(record.station);
    out.Field(record.user);
    out.Field(SourceKeyAscii(record.source));
    out.Field(OperationKeyAscii(record.operation));
    const std::uint64_t id = record.identifier.value_or(0);
    out.Field(record.identifier ? ZeroPadded(id, kCardIdDigits, digits) : std::string_view());
    out.Field(record.identifier ? Decimal(id >> 32, digits) : std::string_view());
    out.Field(record.identifier ? Decimal(id & 0xFFFFFFFFull, digits) : std::string_view());
    out.Field(ResultKeyAscii(record.result));
    out.Field(CardStatusAscii(StatusOf(record)));
    out.Field(record.reason);
    out.Field(record.readerName);
    out.Field(record.readerVersion);
    // The identifier in each printed form, a column a form, empty without an identifier.
    for (NumberForm form : ALL_NUMBER_FORMS) {
        const char* end = record.identifier ? WriteNumberForm(form, id, digits.data()) : digits.data();
        out.Field(std::string_view(digits.data(), std::size_t(end - digits.data())));
    }
}

// A line of CSV, fields between commas, ended by CR LF.
class CsvWriter {
public:
    explicit CsvWriter(std::string& line) : m_line(line) {}
    void Field(std::string_view bytes) {
        Separate();
        AppendCsvField(m_line, bytes);
    }
    void Field(QStringView text) {
        Separate();
        if (AppendPlainAscii(m_line, text, kCsvQuoted))
            return;
        m_text.clear();
        AppendUtf8(m_text, text);
        AppendCsvField(m_line, m_text);
    }
    void End() { m_line += "\r\n"; }

private:
    void Separate() {
        if (m_fields++ > 0)
            m_line += ',';
    }

    std::string& m_line;
    std::string m_text;
    int m_fields = 0;
};

// ,"name": for each column of the CSV after the id, made once.
const std::vector<std::string>& JsonKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> made;
        const QStringList names = ExportHeader();
        for (qsizetype i = 1; i < names.size(); ++i) {
            std::string key = ",";
            AppendJsonString(key, names[i].toStdString());
            made.push_back(key + ':');
        }
        return made;
    }();
    return keys;
}

// A record as one JSON object: the id as a number, the other columns of the CSV as text in its order,
// then the identifier as a number and whether a verification was asked for.
class JsonWriter {
public:
    explicit JsonWriter(std::string& line) : m_line(line) {}
    void Field(std::string_view bytes) {
        if (m_fields == 0) {
            m_line += "{\"id\":";
            m_line.append(bytes);
        } else {
            m_line += m_keys[std::size_t(m_fields - 1)];
            AppendJsonString(m_line, bytes);
        }
        ++m_fields;
    }
    void Field(QStringView text) {
        if (m_fields > 0) {
            const std::size_t start = m_line.size();
            m_line += m_keys[std::size_t(m_fields - 1)];
            m_line += '"';
            if (AppendPlainAscii(m_line, text, kJsonEscaped)) {
                m_line += '"';
                ++m_fields;
                return;
            }
            m_line.resize(start);
        }
        m_text.clear();
        AppendUtf8(m_text, text);
        Field(std::string_view(m_text));
    }
    void End(const JournalRecord& record) {
        if (record.identifier) {
            DigitBuffer digits;
            m_line += ",\"identifier_value\":";
            m_line.append(Decimal(qint64(*record.identifier), digits));
        }
        m_line += record.verifyRequested ? ",\"verify_requested\":true}" : ",\"verify_requested\":false}";
    }

private:
    std::string& m_line;
    const std::vector<std::string>& m_keys = JsonKeys();
    std::string m_text;
    int m_fields = 0;
};

// The fields of a record as a list of text.
class FieldCollector {
public:
    void Field(std::string_view bytes) { m_fields << QString::fromUtf8(bytes.data(), qsizetype(bytes.size())); }
    void Field(QStringView text) { m_fields << text.toString(); }
    QStringList Take() { return std::move(m_fields); }

private:
    QStringList m_fields;
};

void AppendCsvLine(std::string& line, const JournalRecord& record, QStringView time) {
    CsvWriter writer(line);
    VisitFields(writer, record, time);
    writer.End();
}

void AppendJsonLine(std::string& line, const JournalRecord& record, QStringView time) {
    JsonWriter writer(line);
    VisitFields(writer, record, time);
    writer.End(record);
}

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), qsizetype(text.size()));
}

} // namespace

QStringList ExportHeader() {
    QStringList header;
    for (const char* name : kColumnNames)
        header << QLatin1String(name);
    // The printed forms are named by the form in lower case ("hex", "dez10", "dez8", "w26", "5.5").
    for (NumberForm form : ALL_NUMBER_FORMS)
        header << NumberFormName(form).toLower();
    return header;
}

QString CardStatusKey(CardStatus status) {
    return QString::fromLatin1(CardStatusAscii(status));
}

QStringList ExportFields(const JournalRecord& record) {
    FieldCollector fields;
    VisitFields(fields, record, JournalTimeText(record.time));
    return fields.Take();
}

QString CsvField(const QString& value) {
    std::string text, field;
    AppendUtf8(text, value);
    AppendCsvField(field, text);
    return QString::fromStdString(field);
}

QByteArray CsvLine(const QStringList& fields) {
    std::string line;
    CsvWriter writer(line);
    for (const QString& field : fields)
        writer.Field(QStringView(field));
    writer.End();
    return Bytes(line);
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
    std::string line;
    AppendJsonLine(line, record, JournalTimeText(record.time));
    return Bytes(line);
}

namespace {

// A record's time as exported: the stored text when it is in the stored form (nearly always), else the
// time it reads as, written in that form.
QStringView ExportedTime(const QString& storedTime, QString* rewritten) {
    if (IsStoredTimeText(storedTime))
        return storedTime;
    *rewritten = JournalTimeText(JournalTimeFromText(storedTime));
    return *rewritten;
}

} // namespace

qint64 ExportRecords(CJournal& journal, const JournalFilter& filter, ExportFormat format, qint64 limit,
                     const ExportSink& sink, QString* error) {
    constexpr qint64 kProgressEvery = 2000;
    constexpr qsizetype kChunk = 256 * 1024;
    const bool json = format == ExportFormat::Json;
    // The text goes out in chunks of a few hundred kilobytes: whatever the number of records, the
    // memory stays that of one chunk and one page of records.
    QByteArray chunk;
    chunk.reserve(kChunk + 4096);
    std::string line;
    bool writeFailed = false;
    const auto flush = [&] {
        writeFailed = writeFailed || (!chunk.isEmpty() && !sink.write(chunk));
        chunk.clear();
        return !writeFailed;
    };
    if (json)
        chunk += '[';
    else
        chunk += CsvLine(ExportHeader());
    qint64 written = 0;
    bool cancelled = false;
    QString rewrittenTime;
    const bool read = journal.ForEachStored(filter, [&](const JournalRecord& record, const QString& storedTime) {
        line.clear();
        const QStringView time = ExportedTime(storedTime, &rewrittenTime);
        if (json) {
            line += written == 0 ? "\n" : ",\n";
            AppendJsonLine(line, record, time);
        } else {
            AppendCsvLine(line, record, time);
        }
        chunk.append(line.data(), qsizetype(line.size()));
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
