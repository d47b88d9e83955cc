// `rfidctl batch status` against stations filling a batch, on both engines: the same figures as the
// batch functions give the Batches window, as text and JSON, and --watch's lines per change; and the
// delivery report of `batch report --pdf`.

#include "batches/BatchStatus.h"
#include "cards/NumberForms.h"
#include "journal/DatabaseInit.h"
#include "rfidctl/Rfidctl.h"
#include "rfidctl/RfidctlBatch.h"
#include "rfidctl/RfidctlBatchStatus.h"
#include "tests/support/BatchTestSupport.h"
#include "tests/support/EngineTest.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace {

class RfidctlBatchStatus : public BatchLineTest {
protected:
    int Run(std::vector<std::string> args, std::string* out, std::string* err = nullptr) {
        args.insert(args.end(), {"--journal", m_database->Text().toStdString()});
        std::ostringstream outStream, errStream;
        const int code = RunRfidctl(args, outStream, errStream);
        *out = outStream.str();
        if (err)
            *err = errStream.str();
        return code;
    }

};

} // namespace

TEST_P(RfidctlBatchStatus, TheCommandGivesTheFiguresOfTheBatchesAndTheirStations) {
    std::string out, err;
    ASSERT_EQ(Run({"batch", "create", "order", "--vendor", "18", "--first", "1", "--last", "50"}, &out, &err), 0) << err;
    ASSERT_EQ(Run({"batch", "create", "spare", "--vendor", "18", "--first", "51", "--last", "60"}, &out, &err), 0);
    ASSERT_TRUE(m_line->Good("line 1", "order", 4));
    ASSERT_TRUE(m_line->ThrowAway("line 2", "order"));
    ASSERT_TRUE(m_line->Good("line 2", "order", 1));

    ASSERT_EQ(Run({"batch", "status", "--json"}, &out, &err), RFIDCTL_OK) << err;
    const QJsonArray batches = QJsonDocument::fromJson(QByteArray::fromStdString(out)).array();
    ASSERT_EQ(batches.size(), 2);
    QString error;
    const std::optional<BatchFigures> figures = ReadBatchFigures(m_db, "order", QDateTime::currentDateTimeUtc(), &error);
    ASSERT_TRUE(figures) << error.toStdString();
    const QJsonObject order = batches[0].toObject();
    EXPECT_EQ(order["name"].toString(), "order");
    EXPECT_EQ(order["good"].toInteger(), figures->Good());
    EXPECT_EQ(order["good"].toInteger(), 5);
    EXPECT_EQ(order["throw_away"].toInteger(), 1);
    EXPECT_EQ(order["left"].toInteger(), figures->info.counts.left);
    EXPECT_EQ(order["state"].toString(), "running");
    EXPECT_GT(order["seconds_to_finish"].toInteger(), 0);
    EXPECT_EQ(order["stations"].toArray().size(), 2);
    EXPECT_TRUE(batches[1].toObject()["seconds_to_finish"].isNull());

    // One batch as text: its line, then a line per station.
    ASSERT_EQ(Run({"batch", "status", "order"}, &out, &err), RFIDCTL_OK) << err;
    EXPECT_EQ(out.rfind("order\t5 of 50 good (10%)\t0 claimed\t1 to throw away\t45 left\t", 0), 0u) << out;
    EXPECT_NE(out.find("\n  station line 1\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\t4 cards\t0 failures\tworking\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\t1 cards\t1 failures\tworking\n"), std::string::npos) << out;

    EXPECT_EQ(Run({"batch", "status", "no such batch"}, &out, &err), RFIDCTL_USAGE);
    EXPECT_NE(err.find("there is no batch named"), std::string::npos) << err;
    EXPECT_EQ(Run({"batch", "status", "--watch", "--json"}, &out, &err), RFIDCTL_USAGE);
}

TEST_P(RfidctlBatchStatus, WatchingALogPrintsALinePerChangeAndATerminalIsDrawnOver) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));
    ASSERT_TRUE(CreateRangeBatch(m_db, "spare", {18, 11, 20, BatchOrder::InOrder}, &error));
    const auto figures = [&] { return ReadAllBatchFigures(m_db, QDateTime::currentDateTimeUtc(), &error); };
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };

    CBatchStatusWatch log(false);
    EXPECT_EQ(lines(log.Round(figures(), "t1")), 2);
    EXPECT_EQ(log.Round(figures(), "t2"), "");
    ASSERT_TRUE(m_line->Good("line 1", "order", 1));
    const std::string changed = log.Round(figures(), "t3");
    EXPECT_EQ(changed.rfind("t3\torder\t1 of 10 good", 0), 0u) << changed;
    EXPECT_EQ(lines(changed), 1);

    CBatchStatusWatch terminal(true);
    const std::string first = terminal.Round(figures(), "t1");
    EXPECT_EQ(first.find("\x1b["), first.find("\x1b[2K")); // nothing to go up over yet
    EXPECT_NE(first.find("[##------------------] order\t"), std::string::npos) << first;
    EXPECT_EQ(terminal.Round(figures(), "t2").rfind("\x1b[2A", 0), 0u);
}

TEST_P(RfidctlBatchStatus, TheWatchingProgramPrintsTheBatchesThenALineWhenACardIsWritten) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));
    ASSERT_TRUE(CreateRangeBatch(m_db, "spare", {18, 11, 20, BatchOrder::InOrder}, &error));
    QProcess watch;
    watch.start(QStringLiteral(RFIDCTL_PATH), {"batch", "status", "--watch", "--journal", m_database->Text()});
    ASSERT_TRUE(watch.waitForStarted()) << watch.errorString().toStdString();
    const auto readLines = [&watch](int count) {
        QStringList lines;
        QDeadlineTimer deadline(20000);
        while (lines.size() < count && !deadline.hasExpired() && watch.state() == QProcess::Running) {
            if (watch.canReadLine() || watch.waitForReadyRead(int(deadline.remainingTime())))
                while (watch.canReadLine())
                    lines << QString::fromUtf8(watch.readLine());
        }
        return lines;
    };
    const QStringList first = readLines(2);
    ASSERT_EQ(first.size(), 2) << watch.readAllStandardError().toStdString();
    EXPECT_TRUE(first[0].contains("\torder\t0 of 10 good")) << first[0].toStdString();
    EXPECT_TRUE(first[1].contains("\tspare\t0 of 10 good")) << first[1].toStdString();
    ASSERT_TRUE(m_line->Good("line 1", "order", 1));
    const QStringList changed = readLines(1);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(changed[0].contains("\torder\t1 of 10 good")) << changed[0].toStdString();
    EXPECT_FALSE(changed[0].contains("\x1b")) << "a pipe gets plain lines";
    watch.terminate();
    EXPECT_TRUE(watch.waitForFinished(5000));
}

INSTANTIATE_TEST_SUITE_P(Engines, RfidctlBatchStatus,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL), EngineTestName);

// The delivery report through rfidctl's report helper, read back with pdftotext.
TEST_P(RfidctlBatchStatus, TheDeliveryReportListsEveryGoodNumberWithTheChosenFormsAndNothingElse) {
    const QString previous = SetReportHelperPath(QStringLiteral(RFID_REPORT_PATH));
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "customer A", {18, 1000, 1199, BatchOrder::Random}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "customer A", 120));
    ASSERT_TRUE(m_line->ThrowAway("line 2", "customer A")); // its number stays claimed, never good
    ASSERT_TRUE(m_line->Hold("line 3", "customer A"));
    QTemporaryDir folder;
    const QString pdf = folder.filePath("customer A.pdf");
    std::string out, err;
    ASSERT_EQ(Run({"batch", "report", "customer A", "--pdf", pdf.toStdString(), "--form", "hex,w26"}, &out, &err),
              RFIDCTL_OK)
        << err;
    const QString text = PdfText(pdf);
    ASSERT_FALSE(text.isEmpty());
    const std::vector<std::uint64_t> good = GoodNumbers(m_db, "customer A");
    ASSERT_EQ(good.size(), 120u);
    EXPECT_EQ(IdentifiersIn(text), good);
    for (std::uint64_t identifier : good) {
        EXPECT_TRUE(text.contains(NumberFormText(FORM_HEX, identifier))) << identifier;
        EXPECT_TRUE(text.contains(NumberFormText(FORM_W26, identifier))) << identifier;
        EXPECT_FALSE(text.contains(NumberFormText(FORM_5_5, identifier))) << identifier;
    }
    EXPECT_TRUE(text.contains("Delivery report: customer A"));
    EXPECT_TRUE(text.contains("range 18:1000 to 18:1199, at random"));
    for (const char* line : {"Good cards: 120 of 200", "Thrown away: 1", "Left: 80", "First card: 20", "Last card: 20"})
        EXPECT_TRUE(text.contains(line)) << line;
    EXPECT_TRUE(text.contains("line 1 (120 cards)"));
    const int pages = int(text.count(QChar('\f')));
    ASSERT_GE(pages, 2);
    for (int page = 1; page <= pages; ++page)
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages))) << page;

    EXPECT_EQ(Run({"batch", "report", "customer A", "--pdf", pdf.toStdString(), "--form", "octal"}, &out, &err),
              RFIDCTL_USAGE);
    EXPECT_EQ(Run({"batch", "report", "customer A", "--pdf", folder.filePath("no/such/folder.pdf").toStdString()}, &out, &err),
              RFIDCTL_JOURNAL_FAILED);
    EXPECT_NE(err.find("the delivery report was not written"), std::string::npos) << err;
    SetReportHelperPath(previous);
}

// The supervisors' role of `db init` reads every figure and is refused every change, in plain words.
TEST_P(RfidctlBatchStatus, TheSupervisorRoleReadsTheFiguresAndIsToldWhyItMayNotChangeBatches) {
    if (GetParam() != JournalEngine::PostgreSQL)
        GTEST_SKIP() << "roles exist on PostgreSQL only";
    std::string out, err;
    std::ostringstream initOut, initErr;
    ASSERT_EQ(RunRfidctl({"db", "init", m_database->Text().toStdString()}, initOut, initErr), 0) << initErr.str();
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "order", 3));
    m_line->StopStation("line 1");
    QString supervisor = m_database->Text();
    supervisor.replace("postgresql://postgres@", QStringLiteral("postgresql://%1@").arg(SUPERVISOR_ROLE));
    const auto asSupervisor = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--journal", supervisor.toStdString()});
        std::ostringstream outStream, errStream;
        const int code = RunRfidctl(args, outStream, errStream);
        out = outStream.str();
        err = errStream.str();
        return code;
    };
    ASSERT_EQ(asSupervisor({"batch", "status", "order"}), RFIDCTL_OK) << err;
    EXPECT_EQ(out.rfind("order\t3 of 10 good", 0), 0u) << out;
    EXPECT_EQ(asSupervisor({"batch", "create", "mine", "--vendor", "1", "--first", "1", "--last", "2"}),
              RFIDCTL_JOURNAL_FAILED);
    EXPECT_NE(err.find("this database login may only read"), std::string::npos) << err;
    EXPECT_EQ(asSupervisor({"batch", "release", "order", "--station", "line 1"}), RFIDCTL_JOURNAL_FAILED);
    EXPECT_NE(err.find("this database login may only read"), std::string::npos) << err;
    EXPECT_EQ(FindBatch(m_db, "order", &error)->counts.Done(), 3);
}
