// rfidctl and the production journal: its reads and writes on record with source rfidctl, the journal
// command's filters and forms, and no card written that the journal cannot record.

#include "journal/Journal.h"
#include "tools/emureader/FakeUsbBus.h"
#include "tools/rfidctl/Rfidctl.h"
#include "tools/rfidctl/RfidctlJournal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

class RfidctlJournal : public testing::Test {
protected:
    void SetUp() override { previousProbe = SetDeviceNodeProbe([](const std::string&) { return true; }); }
    void TearDown() override { SetDeviceNodeProbe(previousProbe); }

    Result Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--journal", path});
        std::ostringstream out, err;
        const int code = RunRfidctl(args, out, err);
        return {code, out.str(), err.str()};
    }

    QTemporaryDir dir;
    std::string path = (dir.path() + QStringLiteral("/shift.sqlite")).toStdString();
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    DeviceNodeProbe previousProbe;
};

} // namespace

TEST_F(RfidctlJournal, ReadsAndWritesAreRecordedAndPrintedAsCsvJsonAndText) {
    reader.PutCard(5);
    ASSERT_EQ(Run({"write", "78187493530", "--verify", "--station", "Line 7"}).code, RFIDCTL_OK);
    ASSERT_EQ(Run({"read"}).code, RFIDCTL_OK);
    reader.SetFault(1, CEmulatedReader::Fault::Stall);
    ASSERT_EQ(Run({"write", "42"}).code, RFIDCTL_TRANSFER_FAILED);

    const Result csv = Run({"journal", "--csv"});
    ASSERT_EQ(csv.code, RFIDCTL_OK) << csv.err;
    std::istringstream lines(csv.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << csv.out; // header, failed write, read, verification, write
    EXPECT_EQ(rows[0].rfind("id,time_utc,station,user,source,operation,identifier", 0), 0u);
    EXPECT_NE(rows[1].find(",rfidctl,write,0000000000042,0,42,error,failed,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(",rfidctl,read,0078187493530,"), std::string::npos) << rows[2];
    EXPECT_NE(rows[3].find("Line 7"), std::string::npos) << rows[3];
    EXPECT_NE(rows[3].find(",verify,0078187493530,18,878082202,verify-ok,good,,RFID Reader,1.0.2"),
              std::string::npos) << rows[3];

    const Result json = Run({"journal", "--json", "--result", "verify-ok"});
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].toObject().value(QStringLiteral("identifier_value")).toInteger(), 78187493530);

    EXPECT_EQ(Run({"journal", "--since", "2999-01-01"}).out, "");
    const std::string text = Run({"journal", "--until", "2999-01-01"}).out;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    for (const auto& bad : std::vector<std::vector<std::string>>{{"journal", "--result", "fine"},
                                                                 {"journal", "--since", "yesterday\n"},
                                                                 {"journal", "--csv", "--json"},
                                                                 {"journal", "extra"}}) {
        const Result result = Run(bad);
        EXPECT_EQ(result.code, RFIDCTL_USAGE) << bad[1];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

TEST_F(RfidctlJournal, NoCardIsWrittenThatTheJournalCannotRecordAndAMissingJournalIsNotCreated) {
    reader.PutCard(5);
    path = dir.path().toStdString() + "/missing/folder/../../no-such.sqlite";
    EXPECT_EQ(Run({"journal"}).code, RFIDCTL_JOURNAL_FAILED);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    // A journal file that is no SQLite file and cannot be moved aside: a folder in its place.
    path = dir.path().toStdString() + "/blocked.sqlite";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path)));
    const int transfers = bus.TransferCount();
    const Result write = Run({"write", "42"});
    EXPECT_EQ(write.code, RFIDCTL_JOURNAL_FAILED);
    EXPECT_NE(write.err.find("cannot be opened"), std::string::npos) << write.err;
    EXPECT_EQ(std::count(write.err.begin(), write.err.end(), '\n'), 1) << write.err;
    EXPECT_EQ(reader.ProgrammedCount(), 0);
    EXPECT_EQ(bus.TransferCount(), transfers);
}
