#include "emulator/EmuTestbed.h"
#include "reader/RFIDDevice.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <set>
#include <signal.h>

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
    QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    if (!lines[0].startsWith(firstId)) // in the bus's own order
        lines.swapItemsAt(0, 1);
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

namespace {

// A hands-free rfidctl run in the background, whose card lines the test waits for.
class BackgroundRun {
public:
    BackgroundRun(const CEmuTestbed& testbed, const QStringList& args) {
        m_process.setProcessEnvironment(testbed.ChildEnvironment());
        m_process.start(QStringLiteral(RFIDCTL_PATH), QStringList{"run"} + args);
        EXPECT_TRUE(m_process.waitForStarted());
    }
    ~BackgroundRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // The card lines so far, once there are at least count of them (or the time is up).
    QStringList WaitForLines(int count, int timeoutMs = 15000) {
        QElapsedTimer clock;
        clock.start();
        while (Lines().size() < count && clock.elapsed() < timeoutMs && m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(100);
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return Lines();
    }
    // The exit status, once it has ended (-1 when it has not).
    int Finish(int timeoutMs = 15000) {
        const bool finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
        if (!finished)
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }
    // Only to the run itself: a process id of 0 (the run has ended) would signal the whole group.
    void Signal(int number) {
        if (m_process.processId() > 0)
            kill(pid_t(m_process.processId()), number);
    }
    const QString& Err() const { return m_err; }

private:
    QStringList Lines() {
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_out.split('\n', Qt::SkipEmptyParts);
    }

    QProcess m_process;
    QString m_out, m_err;
};

// Long enough for a run to see a written card taken away: it settles, then reads nothing three times
// (a blank card laid sooner reads as the blank just written, and waits).
constexpr int kTakenAwayMs = 1200;

// Lays a blank card and waits until the run has written it.
void LayBlankAndTakeAway(CEmulatedReader& reader, BackgroundRun& run, int lines) {
    reader.PutCard(0);
    run.WaitForLines(lines);
    reader.RemoveCard();
    QThread::msleep(kTakenAwayMs);
}

} // namespace

TEST_F(RfidctlWithReader, RunWritesEachCardOfTheBatchOnceLeavesAFinishedCardAndEndsWhenDone) {
    QTemporaryDir dir;
    const QStringList journal{"--journal", dir.filePath("journal.sqlite")};
    ASSERT_EQ(Rfidctl(testbed, QStringList{"batch", "create", "order", "--vendor", "18", "--first", "41", "--last", "43"} +
                                   journal)
                  .code,
              0);
    reader.RemoveCard();
    BackgroundRun run(testbed, QStringList{"--batch", "order"} + journal);
    QThread::msleep(500); // no card: nothing happens
    EXPECT_EQ(reader.ProgrammedCount(), 0);

    reader.PutCard(0);
    ASSERT_EQ(run.WaitForLines(1), QStringList{"written 0077309411369"});
    QThread::msleep(600); // the written card stays: it is not written again
    EXPECT_EQ(reader.ProgrammedCount(), 1);
    reader.RemoveCard();
    QThread::msleep(500);

    reader.PutCard((18ull << 32) | 41); // the finished card laid again
    const QStringList left = run.WaitForLines(2);
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left[1].startsWith("left-as-it-was 0077309411369")) << left[1].toStdString();
    reader.RemoveCard();
    QThread::msleep(500);

    LayBlankAndTakeAway(reader, run, 3);
    reader.PutCard(0);
    EXPECT_EQ(run.Finish(), 0) << run.Err().toStdString();
    EXPECT_TRUE(run.Err().contains("the batch is done")) << run.Err().toStdString();
    EXPECT_EQ(reader.ProgrammedCount(), 3);
    EXPECT_EQ(reader.CardId(), (18ull << 32) | 43);
    EXPECT_TRUE(Rfidctl(testbed, QStringList{"batch", "list"} + journal).out.contains("\t3 done\t0 claimed"));
}

TEST_F(RfidctlWithReader, CtrlCInTheMiddleOfACardEndsTheRunOnceTheCardIsVerifiedAndRecorded) {
    QTemporaryDir dir;
    const QStringList journal{"--journal", dir.filePath("journal.sqlite")};
    reader.RemoveCard();
    BackgroundRun run(testbed, QStringList{"--vendor", "18", "--first", "100", "--verify"} + journal);
    LayBlankAndTakeAway(reader, run, 1);
    reader.PutCard(0);
    QElapsedTimer clock;
    clock.start();
    while (reader.ProgrammedCount() < 2 && clock.elapsed() < 15000)
        QThread::msleep(5);
    run.Signal(SIGINT); // written, in the pause before its verification
    EXPECT_EQ(run.Finish(), 130) << run.Err().toStdString();
    EXPECT_EQ(run.WaitForLines(2), (QStringList{"verified 0077309411428", "verified 0077309411429"}));
    const QString records = Rfidctl(testbed, QStringList{"journal", "--result", "verify-ok"} + journal).out;
    EXPECT_EQ(records.count("00773094114"), 2) << records.toStdString();
}

TEST(Rfidctl, TwoRunsOnTwoReadersShareOneBatchAndNeverWriteANumberTwice) {
    CEmuTestbed testbed;
    auto first = testbed.PlugReader();
    auto second = testbed.PlugReaderWithSerial("RD-0002");
    QTemporaryDir dir;
    const QStringList journal{"--journal", dir.filePath("journal.sqlite")};
    ASSERT_EQ(Rfidctl(testbed, QStringList{"batch", "create", "order", "--vendor", "18", "--first", "1", "--last", "4"} +
                                   journal)
                  .code,
              0);
    const QString firstId = QString("1-%1").arg(first->DeviceNumber() - 1);
    // Neither is named: each is named after the host and its reader, so both are stations of their own.
    BackgroundRun one(testbed, QStringList{"--batch", "order", "--reader", firstId} + journal);
    QThread::msleep(300);
    BackgroundRun two(testbed, QStringList{"--batch", "order", "--reader", "RD-0002"} + journal);
    QThread::msleep(300);
    std::set<std::uint64_t> written;
    for (int card = 1; card <= 2; ++card) {
        first->Reader().PutCard(0);
        second->Reader().PutCard(0);
        one.WaitForLines(card);
        two.WaitForLines(card);
        written.insert(first->Reader().CardId().value_or(0));
        written.insert(second->Reader().CardId().value_or(0));
        first->Reader().RemoveCard();
        second->Reader().RemoveCard();
        QThread::msleep(kTakenAwayMs);
    }
    first->Reader().PutCard(0);
    second->Reader().PutCard(0);
    EXPECT_EQ(one.Finish(), 0) << one.Err().toStdString();
    EXPECT_EQ(two.Finish(), 0) << two.Err().toStdString();
    EXPECT_EQ(written, (std::set<std::uint64_t>{(18ull << 32) | 1, (18ull << 32) | 2, (18ull << 32) | 3, (18ull << 32) | 4}));
    EXPECT_EQ(first->Reader().ProgrammedCount(), 2);
    EXPECT_EQ(second->Reader().ProgrammedCount(), 2);
}
