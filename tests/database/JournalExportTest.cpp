// What leaves the journal: CSV that a spreadsheet reads back field for field, and JSON.

#include "tests/support/JournalTestSupport.h"

#include "journal/JournalExport.h"
#include "cards/CardIdentifier.h"

#include <QBuffer>
#include <QJsonDocument>

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

} // namespace

TEST(JournalExportTest, OddValuesComeBackFieldForFieldFromTheCsv) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(dir.path() + QStringLiteral("/journal.sqlite"));
    ASSERT_TRUE(journal);
    const QStringList odd = {QStringLiteral("comma, inside"), QStringLiteral("a \"quoted\" word"),
                             QStringLiteral("two\r\nlines"), QStringLiteral("line\nfeed"),
                             QStringLiteral("  blanks kept  "), QStringLiteral("生产线 3 號"),
                             QStringLiteral("=SUM(A1)"), QString()};
    for (const QString& value : odd) {
        JournalRecord record = MakeRecord(JournalOperation::Write, JournalResult::Refused, 0x12ABCDEF01ull);
        record.station = value;
        record.reason = value;
        AddOrFail(*journal, record);
    }
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
