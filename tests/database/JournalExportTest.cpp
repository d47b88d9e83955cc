// What leaves the journal: CSV that a spreadsheet reads back field for field, and JSON.

#include "tests/support/JournalTestSupport.h"

#include "journal/JournalExport.h"
#include "cards/CardIdentifier.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QTimeZone>

using namespace journaltest;

namespace {

// An RFC 4180 reader, as a spreadsheet reads the file: rows of fields.
std::vector<QStringList> ParseCsv(const QString& text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += c, ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field, field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field, field.clear();
            rows.push_back(row), row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.isEmpty() && row.isEmpty()) << "the last line has no CR LF";
    return rows;
}

// One write record for every text, with the text as its station and its reason, oldest first.
void AddWritesNamed(CJournal& journal, const QStringList& texts, JournalResult result, std::uint64_t identifier) {
    for (const QString& text : texts) {
        JournalRecord record = MakeRecord(JournalOperation::Write, result, identifier);
        record.station = text;
        record.reason = text;
        AddOrFail(journal, record);
    }
}

} // namespace

TEST(JournalExportTest, OddValuesComeBackFieldForFieldFromTheCsv) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(dir.path() + QStringLiteral("/journal.sqlite"));
    ASSERT_TRUE(journal);
    const QStringList odd = {QStringLiteral("comma, inside"), QStringLiteral("a \"quoted\" word"),
                             QStringLiteral("two\r\nlines"), QStringLiteral("line\nfeed"),
                             QStringLiteral("  blanks kept  "), QStringLiteral("生产线 3 號"),
                             QStringLiteral("=SUM(A1)"), QString()};
    AddWritesNamed(*journal, odd, JournalResult::Refused, 0x12ABCDEF01ull);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString error;
    ASSERT_EQ(ExportCsv(*journal, {}, out, &error), odd.size()) << error.toStdString();
    const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(out.data()));
    ASSERT_EQ(rows.size(), std::size_t(odd.size() + 1));
    EXPECT_EQ(rows[0], ExportHeader());
    const int station = int(ExportHeader().indexOf(QStringLiteral("station")));
    const int reason = int(ExportHeader().indexOf(QStringLiteral("reason")));
    for (qsizetype i = 0; i < odd.size(); ++i) {
        const QStringList& row = rows[std::size_t(odd.size() - i)]; // newest first
        ASSERT_EQ(row.size(), ExportHeader().size());
        EXPECT_EQ(row[station], odd[i]);
        EXPECT_EQ(row[reason], odd[i]);
        EXPECT_EQ(row[6], QStringLiteral("0080191811329")); // 13 digits: 0x12 = vendor 18
        EXPECT_EQ(row[7], QStringLiteral("18"));
        EXPECT_EQ(row[10], QStringLiteral("refused")); // refused before a card was touched, not failed
        EXPECT_EQ(row[ExportHeader().indexOf(QStringLiteral("hex"))], QStringLiteral("12ABCDEF01"));
        EXPECT_EQ(row[ExportHeader().indexOf(QStringLiteral("5.5"))], QStringLiteral("43981,61185"));
    }
    EXPECT_EQ(CsvField(QStringLiteral("plain")), QStringLiteral("plain"));

    const QJsonObject json = RecordToJson(journal->FindGoodCard(1, &error).value_or(GoodWrite(1)));
    EXPECT_EQ(json.value(QStringLiteral("identifier_value")).toInteger(), 1);
    EXPECT_EQ(json.value(QStringLiteral("card")).toString(), QStringLiteral("good"));
}

namespace {

// Every record of the journal exported in a format, as text.
QByteArray Exported(CJournal& journal, ExportFormat format) {
    QByteArray text;
    ExportSink sink;
    sink.write = [&text](const QByteArray& piece) {
        text += piece;
        return true;
    };
    QString error;
    EXPECT_GE(ExportRecords(journal, {}, format, 0, sink, &error), 0) << error.toStdString();
    return text;
}

} // namespace

TEST(JournalExportTest, JsonGivesBackEveryCharacterAndAgreesWithTheCsv) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(dir.path() + QStringLiteral("/journal.sqlite"));
    ASSERT_TRUE(journal);
    const QStringList odd = {QStringLiteral("tab\there, bell\a, unit\x1f end"), QStringLiteral("back\\slash \"quoted\""),
                             QStringLiteral("two\r\nlines"), QStringLiteral("déjà 生产线 3 號 🏭"), QStringLiteral("del\x7f")};
    AddWritesNamed(*journal, odd, JournalResult::Error, 0xFF00000410ull);
    JournalRecord nothingRead = MakeRecord(JournalOperation::Read, JournalResult::Error, 0);
    nothingRead.identifier.reset();
    AddOrFail(*journal, nothingRead);

    QJsonParseError parseError;
    const QJsonArray objects = QJsonDocument::fromJson(Exported(*journal, ExportFormat::Json), &parseError).array();
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
    const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(Exported(*journal, ExportFormat::Csv)));
    ASSERT_EQ(objects.size(), odd.size() + 1);
    ASSERT_EQ(rows.size(), std::size_t(odd.size() + 2));
    const QStringList header = rows[0];
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QJsonObject object = objects[i].toObject();
        const QStringList& row = rows[std::size_t(i + 1)];
        // Both forms say the same of every column: the id as a number, the rest as text.
        EXPECT_EQ(object.value(QStringLiteral("id")).toInteger(), row[0].toLongLong());
        for (qsizetype column = 1; column < header.size(); ++column)
            EXPECT_EQ(object.value(header[column]).toString(), row[column]) << header[column].toStdString();
    }
    for (qsizetype i = 0; i < odd.size(); ++i) {
        const QJsonObject object = objects[odd.size() - i].toObject(); // newest first
        EXPECT_EQ(object.value(QStringLiteral("station")).toString(), odd[i]);
        EXPECT_EQ(object.value(QStringLiteral("w26")).toString(), QStringLiteral("000,01040"));
        EXPECT_EQ(object.value(QStringLiteral("identifier_value")).toInteger(), 0xFF00000410ll);
    }
    // A record without an identifier has empty forms and no identifier value.
    EXPECT_EQ(objects[0].toObject().value(QStringLiteral("hex")).toString(), QString());
    EXPECT_FALSE(objects[0].toObject().contains(QStringLiteral("identifier_value")));
    EXPECT_EQ(rows[1][header.indexOf(QStringLiteral("identifier"))], QString());
}

TEST(JournalExportTest, TimesInTheStoredFormAreKeptAndOthersWrittenInIt) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(dir.path() + QStringLiteral("/journal.sqlite"));
    ASSERT_TRUE(journal);
    // Times as another program may have stored them, beside the stored form.
    const QString stored[] = {QStringLiteral("2025-01-02T07:00:00.123Z"), QStringLiteral("2025-01-02T07:00:01Z"),
                              QStringLiteral("2025-01-02 07:00:02"), QStringLiteral("2025-02-30T07:00:03.000Z")};
    for (const QString& time : stored) {
        AddOrFail(*journal, GoodWrite(1));
        QSqlQuery update(journal->Database());
        update.prepare(QStringLiteral("UPDATE journal_record SET recorded_at = ? WHERE id = (SELECT MAX(id) FROM journal_record)"));
        update.addBindValue(time);
        ASSERT_TRUE(update.exec());
        ASSERT_EQ(update.numRowsAffected(), 1);
    }
    const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(Exported(*journal, ExportFormat::Csv)));
    ASSERT_EQ(rows.size(), 5u);
    QStringList times;
    for (std::size_t i = 1; i < rows.size(); ++i)
        times << rows[i][1];
    // In the order of the stored text, newest first; a day that does not exist reads as no time.
    EXPECT_EQ(times, (QStringList{QStringLiteral("Z"), QStringLiteral("2025-01-02T07:00:01.000Z"),
                                  QStringLiteral("2025-01-02T07:00:00.123Z"), QStringLiteral("2025-01-02T07:00:02.000Z")}));
}

TEST(JournalExportTest, PagesFollowOneAnotherWithoutLosingOrRepeatingRecords) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(dir.path() + QStringLiteral("/journal.sqlite"));
    ASSERT_TRUE(journal);
    // More records than a page holds, three of them at each time.
    const std::vector<JournalRecord> records =
        GenerateJournal(*journal, 12000, QDateTime(QDate(2025, 1, 2), QTime(7, 0), QTimeZone::utc()));
    QJsonParseError parseError;
    const QJsonArray objects = QJsonDocument::fromJson(Exported(*journal, ExportFormat::Json), &parseError).array();
    ASSERT_EQ(parseError.error, QJsonParseError::NoError);
    std::vector<std::int64_t> ids;
    for (const QJsonValue& object : objects)
        ids.push_back(object.toObject().value(QStringLiteral("id")).toInteger());
    std::vector<std::int64_t> expected;
    for (const JournalRecord& record : NewestFirst(records, [](const JournalRecord&) { return true; }))
        expected.push_back(record.id);
    EXPECT_EQ(ids, expected);
}
