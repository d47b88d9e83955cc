#include "emulator/EmuTestbed.h"
#include "reader/RFIDDevice.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

// Runs the real rfidctl binary; it sees the same emulated devices as this process.
Outcome Rfidctl(const CEmuTestbed& testbed, const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(testbed.ChildEnvironment());
    process.start(QStringLiteral(RFIDCTL_PATH), args);
    Outcome outcome;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

class RfidctlWithReader : public testing::Test {
protected:
    CEmuTestbed testbed;
    std::shared_ptr<CEmuUsbDevice> plugged = testbed.PlugReader();
    CEmulatedReader& reader = plugged->Reader();

    void SetUp() override { reader.PutCard(78187493530); }
};

} // namespace

TEST_F(RfidctlWithReader, InfoShowsNameAndDottedVersion) {
    reader.SetName("AB");
    reader.SetVersion({'1', '0', '2'});
    const Outcome info = Rfidctl(testbed, {"info"});
    EXPECT_EQ(info.code, 0) << info.err.toStdString();
    EXPECT_EQ(info.out, "AB Version: 1.0.2\n");
}

TEST_F(RfidctlWithReader, ReadShowsTheFullVendorAndCardForms) {
    const Outcome read = Rfidctl(testbed, {"read"});
    EXPECT_EQ(read.code, 0) << read.err.toStdString();
    EXPECT_EQ(read.out, "0078187493530\nVENDOR ID:018\nCARD NO.:0878082202\n");
    EXPECT_EQ(Rfidctl(testbed, {"read", "--card-only"}).out, "0000878082202\n");
}

TEST_F(RfidctlWithReader, WriteWithVerifyProgramsTheCard) {
    const Outcome write = Rfidctl(testbed, {"write", "0000000000042", "--verify"});
    EXPECT_EQ(write.code, 0) << write.err.toStdString();
    EXPECT_EQ(write.out, "written 0000000000042\nverified 0000000000042\n");
    EXPECT_EQ(reader.CardId(), 42u);
}

TEST_F(RfidctlWithReader, BadIdsAreRefusedBeforeAnythingIsSent) {
    for (const char* bad : {"abc", "1099511627776", "-1", "12x", ""}) {
        const Outcome write = Rfidctl(testbed, {"write", bad});
        EXPECT_EQ(write.code, 2) << bad;
        EXPECT_EQ(write.err.count('\n'), 1) << write.err.toStdString();
    }
    EXPECT_TRUE(reader.Transfers().empty());
    EXPECT_EQ(reader.CardId(), 78187493530u);
}

TEST_F(RfidctlWithReader, ARefusedCardOrAStallIsAnError) {
    reader.PutCard(5, CEmulatedReader::CARD_READ_ONLY);
    const Outcome write = Rfidctl(testbed, {"write", "42"});
    EXPECT_EQ(write.code, 4);
    EXPECT_TRUE(write.out.isEmpty());
    EXPECT_EQ(reader.CardId(), 5u);

    reader.SetFault(128, CEmulatedReader::Fault::Stall);
    EXPECT_EQ(Rfidctl(testbed, {"info"}).code, 4);
    reader.RemoveCard();
    EXPECT_EQ(Rfidctl(testbed, {"read"}).code, 4);
}

TEST(Rfidctl, WithoutAReaderEveryReaderCommandFails) {
    CEmuTestbed testbed;
    auto other = testbed.PlugReader(0x0314, 0x1002);
    for (const QStringList& args : {QStringList{"info"}, QStringList{"read"}, QStringList{"write", "1"}}) {
        const Outcome outcome = Rfidctl(testbed, args);
        EXPECT_EQ(outcome.code, 3) << args.join(' ').toStdString();
        EXPECT_TRUE(outcome.err.startsWith("rfidctl: no reader")) << outcome.err.toStdString();
    }
    EXPECT_TRUE(other->Reader().Transfers().empty());
    EXPECT_EQ(Rfidctl(testbed, {"frame", "78187493530"}).out, "FF 8C A6 4A 98 F8 CA 96\n");
}

TEST_F(RfidctlWithReader, BatchNextWritesTheBatchNumbersInTurnUntilTheBatchIsDone) {
    QTemporaryDir dir;
    const QStringList journal{"--journal", dir.filePath("journal.sqlite")};
    ASSERT_EQ(Rfidctl(testbed, QStringList{"batch", "create", "order", "--vendor", "18", "--first", "41",
                                           "--last", "42"} +
                                   journal)
                  .code,
              0);
    for (std::uint64_t card : {41u, 42u}) {
        reader.PutCard(0); // a blank card for each number
        const Outcome next = Rfidctl(testbed, QStringList{"batch", "next", "order", "--verify"} + journal);
        EXPECT_EQ(next.code, 0) << next.err.toStdString();
        EXPECT_EQ(reader.CardId(), (18ull << 32) | card);
    }
    reader.PutCard(0);
    const Outcome done = Rfidctl(testbed, QStringList{"batch", "next", "order"} + journal);
    EXPECT_EQ(done.code, 8) << done.err.toStdString();
    EXPECT_EQ(reader.ProgrammedCount(), 2);
    EXPECT_TRUE(Rfidctl(testbed, QStringList{"batch", "list"} + journal)
                    .out.contains("\t2 done\t0 claimed\t0 to throw away\t0 left"));
}

TEST(Rfidctl, TwoReadersAreListedChosenByIdOrSerialAndEachServesOneProgram) {
    CEmuTestbed testbed;
    auto first = testbed.PlugReader();
    auto second = testbed.PlugReaderWithSerial("RD-0002");
    first->Reader().PutCard(41);
    second->Reader().PutCard(42);
    const QString firstId = QString("1-%1").arg(first->DeviceNumber() - 1);

    const Outcome listed = Rfidctl(testbed, {"readers"});
    ASSERT_EQ(listed.code, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(firstId + "  -  ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("  RD-0002  ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(second->DevNode())) << lines[1].toStdString();

    EXPECT_TRUE(Rfidctl(testbed, {"read", "--reader", "RD-0002"}).out.startsWith("0000000000042\n"));
    EXPECT_TRUE(Rfidctl(testbed, {"--reader", firstId, "read"}).out.startsWith("0000000000041\n"));
    const Outcome missing = Rfidctl(testbed, {"read", "--reader", "1-99"});
    EXPECT_EQ(missing.code, 3);
    EXPECT_TRUE(missing.err.contains("no reader 1-99 found")) << missing.err.toStdString();

    // This process takes the second reader: another program is refused it, and without --reader
    // takes the reader that is free.
    {
        CRFIDDevice mine;
        CUSBDevice::ChooseReader("RD-0002");
        ASSERT_TRUE(mine.OpenReader());
        const Outcome refused = Rfidctl(testbed, {"write", "7", "--reader", "RD-0002"});
        EXPECT_EQ(refused.code, 11);
        EXPECT_TRUE(refused.err.contains("is in use by another program (process")) << refused.err.toStdString();
        EXPECT_EQ(second->Reader().CardId(), 42u); // nothing written
        EXPECT_TRUE(Rfidctl(testbed, {"read"}).out.startsWith("0000000000041\n"));
        EXPECT_TRUE(Rfidctl(testbed, {"readers"}).out.contains("in use by another program"));
    }
    // Closed: free again.
    CUSBDevice::ChooseReader(std::string());
    EXPECT_EQ(Rfidctl(testbed, {"read", "--reader", "RD-0002"}).code, 0);
}
