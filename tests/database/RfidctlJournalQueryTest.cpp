// rfidctl journal on generated journals of both engines: its filters choose exactly the records the
// window's filters do, in the window's order, and CSV and JSON stream any number of them.

#include "tests/support/EngineTest.h"
#include "tests/support/JournalTestSupport.h"

#include "rfidctl/Rfidctl.h"
#include "rfidctl/RfidctlJournal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <sstream>

using namespace journaltest;

namespace {

class RfidctlJournalQuery : public EngineTest {
protected:
    void SetUp() override {
        MakeDatabase(GetParam());
        if (!DatabaseMade())
            return;
        JournalStatus status;
        auto journal = CJournal::Open(m_database->Text(), &status);
        ASSERT_TRUE(journal) << status.detail.toStdString();
        m_records = GenerateJournal(*journal, 600, QDateTime(QDate(2025, 1, 2), QTime(7, 0), QTimeZone::utc()));
    }

    struct Output {
        int code;
        std::string out;
        std::string err;
    };
    Output Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--journal", m_database->Text().toStdString()});
        std::ostringstream out, err;
        const int code = RunRfidctl(args, out, err);
        CurrentJournalOptions() = RfidctlJournalOptions();
        return {code, out.str(), err.str()};
    }

    // The ids of a JSON export, in its order.
    static std::vector<std::int64_t> JsonIds(const std::string& text) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text.substr(0, 200);
        std::vector<std::int64_t> ids;
        for (const QJsonValue& value : document.array())
            ids.push_back(value.toObject().value(QStringLiteral("id")).toInteger());
        return ids;
    }
    template <typename Keep>
    std::vector<std::int64_t> ExpectedIds(Keep keep, std::size_t limit = SIZE_MAX) const {
        std::vector<std::int64_t> ids;
        for (const JournalRecord& record : NewestFirst(m_records, keep))
            if (ids.size() < limit)
                ids.push_back(record.id);
        return ids;
    }

    std::vector<JournalRecord> m_records;
};

TEST_P(RfidctlJournalQuery, FiltersChooseTheWindowsRecordsInItsOrder) {
    EXPECT_EQ(JsonIds(Run({"journal", "--json"}).out), ExpectedIds([](const JournalRecord&) { return true; }));
    EXPECT_EQ(JsonIds(Run({"journal", "--json", "--station", "station-3", "--batch", "batch-0"}).out),
              ExpectedIds([](const JournalRecord& r) { return r.station == "station-3" && r.batch == "batch-0"; }));
    // The number printed on the card under every vendor; one vendor's card in the other forms.
    EXPECT_EQ(JsonIds(Run({"journal", "--json", "--identifier", "1040"}).out),
              ExpectedIds([](const JournalRecord& r) { return (*r.identifier & 0xFFFFFFFFu) == 1040; }));
    const std::uint64_t card = (255ull << 32) | 1040;
    for (const char* form : {"255:1040", "0xFF00000410", "1095216661520"})
        EXPECT_EQ(JsonIds(Run({"journal", "--json", "--identifier", form}).out),
                  ExpectedIds([card](const JournalRecord& r) { return *r.identifier == card; }))
            << form;
    EXPECT_EQ(JsonIds(Run({"journal", "--json", "--result", "refused", "--limit", "7"}).out),
              ExpectedIds([](const JournalRecord& r) { return r.result == JournalResult::Refused; }, 7));
    EXPECT_EQ(JsonIds(Run({"journal", "--json", "--station", "nobody"}).out), std::vector<std::int64_t>{});

    // CSV: a header and one line a record, the same records.
    const Output csv = Run({"journal", "--csv", "--batch", "batch-1", "--limit", "50"});
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 51) << csv.err;
    const std::string text = Run({"journal", "--limit", "3"}).out;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"journal", "--identifier", "18:"}, {"journal", "--identifier", "abc"}, {"journal", "--limit", "0"},
             {"journal", "--limit", "-3"}, {"journal", "--limit", "many"}}) {
        const Output result = Run(bad);
        EXPECT_EQ(result.code, RFIDCTL_USAGE) << bad[2];
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, RfidctlJournalQuery,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL), EngineTestName);

} // namespace
