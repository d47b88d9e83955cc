// The journal on real SQLite files: records and the good-card look-up, filters and totals, the schema's
// migrations, and the files that cannot be used as they are (damaged, read-only, full).

#include "tests/support/JournalTestSupport.h"

#include "journal/JournalRecorder.h"
#include "journal/JournalSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <QSqlQuery>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace journaltest;

namespace {

QString JournalPath(const QTemporaryDir& dir) {
    return dir.path() + QStringLiteral("/journal.sqlite");
}

int RecordCount(CJournal& journal) {
    QString error;
    return int(journal.Totals({}, &error).value_or(JournalTotals{-1, 0, 0, 0}).records);
}

} // namespace

TEST(JournalTest, RecordsComeBackAsAddedAndOnlyGoodCardsCountAsDuplicates) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(JournalPath(dir));
    ASSERT_TRUE(journal);
    const std::uint64_t unverified = 1, verified = 2, rejected = 3, readOnly = 4, plain = 5, failed = 6;
    AddOrFail(*journal, MakeRecord(JournalOperation::Write, JournalResult::Ok, unverified, true));
    AddOrFail(*journal, MakeRecord(JournalOperation::Write, JournalResult::Ok, verified, true));
    AddOrFail(*journal, MakeRecord(JournalOperation::Verify, JournalResult::VerifyOk, verified));
    AddOrFail(*journal, MakeRecord(JournalOperation::Write, JournalResult::Ok, rejected, true));
    AddOrFail(*journal, MakeRecord(JournalOperation::Verify, JournalResult::VerifyFailed, rejected));
    AddOrFail(*journal, MakeRecord(JournalOperation::Read, JournalResult::Ok, readOnly));
    AddOrFail(*journal, MakeRecord(JournalOperation::Write, JournalResult::Error, failed));
    JournalRecord good = GoodWrite(plain);
    good.station = QStringLiteral("站 2, \"east\"");
    good.time = QDateTime::fromMSecsSinceEpoch(1788000000123, QTimeZone::utc());
    AddOrFail(*journal, good);

    QString error;
    for (std::uint64_t id : {unverified, rejected, readOnly, failed, std::uint64_t(99)})
        EXPECT_FALSE(journal->FindGoodCard(id, &error)) << id;
    ASSERT_TRUE(journal->FindGoodCard(verified, &error));
    EXPECT_EQ(journal->FindGoodCard(verified, &error)->operation, JournalOperation::Verify);
    const std::optional<JournalRecord> found = journal->FindGoodCard(plain, &error);
    ASSERT_TRUE(found);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(found->station, good.station);
    EXPECT_EQ(found->time, good.time);
    EXPECT_EQ(found->readerVersion, QStringLiteral("1.0.2"));
    EXPECT_EQ(found->user, QStringLiteral("operator"));

    // A read that gave nothing has no identifier.
    JournalRecord noCard = MakeRecord(JournalOperation::Read, JournalResult::Error, 0);
    noCard.identifier.reset();
    AddOrFail(*journal, noCard);
    std::vector<JournalRecord> newest;
    ASSERT_TRUE(journal->Select({}, 0, 1, &newest, &error));
    ASSERT_EQ(newest.size(), 1u);
    EXPECT_FALSE(newest[0].identifier);
    EXPECT_EQ(IntegrityCheck(*journal), QStringLiteral("ok"));
}

TEST(JournalTest, FiltersAndTotalsCountTheCardsOfWhatIsSelected) {
    QTemporaryDir dir;
    auto journal = OpenOrFail(JournalPath(dir));
    ASSERT_TRUE(journal);
    const QDateTime day1 = QDateTime(QDate(2026, 3, 1), QTime(8, 0), QTimeZone::utc());
    const QDateTime day2 = day1.addDays(1);
    struct Row {
        QDateTime time;
        JournalOperation operation;
        JournalResult result;
        std::uint64_t id;
        bool verify;
    };
    const Row rows[] = {
        {day1, JournalOperation::Write, JournalResult::Ok, 77100001, false},            // good
        {day1, JournalOperation::Write, JournalResult::Ok, 77100002, true},             // verify follows
        {day1, JournalOperation::Verify, JournalResult::VerifyOk, 77100002, false},     // good
        {day1, JournalOperation::Write, JournalResult::Refused, 77100003, false},       // failed
        {day2, JournalOperation::Write, JournalResult::Ok, 88100004, true},
        {day2, JournalOperation::Verify, JournalResult::VerifyFailed, 88100004, false}, // throw away
        {day2, JournalOperation::Write, JournalResult::Error, 88100005, false},         // failed
        {day2, JournalOperation::Read, JournalResult::Ok, 77100001, false},
        {day2, JournalOperation::Overwrite, JournalResult::Ok, 77100001, false}, // the good card written over
    };
    for (const Row& row : rows) {
        JournalRecord record = MakeRecord(row.operation, row.result, row.id, row.verify);
        record.time = row.time;
        AddOrFail(*journal, record);
    }
    QString error;
    const auto totals = [&](const JournalFilter& filter) {
        const JournalTotals t = journal->Totals(filter, &error).value_or(JournalTotals{-1, -1, -1, -1, -1, -1});
        return std::vector<qint64>{t.records, t.good, t.failed, t.refused, t.throwAway, t.overwritten};
    };
    // Refusals apart from failed cards; the overwritten card no longer counts as good.
    EXPECT_EQ(totals({}), (std::vector<qint64>{9, 1, 1, 1, 1, 1}));
    // The card's number alone finds its write, its read and the overwrite that took it off the good cards.
    EXPECT_EQ(totals({.identifierText = QStringLiteral("77100001")}), (std::vector<qint64>{3, 0, 0, 0, 0, 1}));
    EXPECT_EQ(totals({.result = JournalResult::VerifyFailed}), (std::vector<qint64>{1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(totals({.since = day2}), (std::vector<qint64>{5, 0, 1, 0, 1, 1}));
    EXPECT_EQ(totals({.since = day1, .until = day2}), (std::vector<qint64>{4, 2, 0, 1, 0, 0}));
    // Text that is no identifier finds nothing, and is never taken for SQL.
    EXPECT_EQ(totals({.identifierText = QStringLiteral("%")}), (std::vector<qint64>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(totals({.identifierText = QStringLiteral("x'); DROP TABLE journal_record; --")})[0], 0);
    EXPECT_EQ(RecordCount(*journal), 9);
    // The card written over holds its number no longer; the one verified still does.
    EXPECT_FALSE(journal->FindGoodCard(77100001, &error));
    EXPECT_TRUE(journal->FindGoodCard(77100002, &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();

    std::vector<JournalRecord> page;
    ASSERT_TRUE(journal->Select({.identifierText = QStringLiteral("0:88100004")}, 0, 0, &page, &error));
    ASSERT_EQ(page.size(), 2u); // the write and the verification of one card
    EXPECT_GT(page[0].id, page[1].id); // newest first
    EXPECT_EQ(page[0].result, JournalResult::VerifyFailed);
}

TEST(JournalTest, MigrationsTakeAJournalStepByStepAndStopAtAFailedStep) {
    QTemporaryDir dir;
    {
        auto journal = OpenOrFail(JournalPath(dir));
        ASSERT_TRUE(journal);
        AddOrFail(*journal, GoodWrite(42));
        QString error;
        EXPECT_EQ(ReadSchemaVersion(journal->Database(), &error), LatestSchemaVersion());

        // A later step adds to what is there and keeps every record.
        std::vector<SchemaStep> steps = JournalSchemaSteps();
        const int next = LatestSchemaVersion() + 1;
        steps.push_back({next, "a note per record", [](const SqlDialect&) {
                             return QStringList{QStringLiteral("ALTER TABLE journal_record ADD COLUMN note TEXT")};
                         }});
        ASSERT_TRUE(MigrateSchema(journal->Database(), journal->Dialect(), steps, &error)) << error.toStdString();
        EXPECT_EQ(ReadSchemaVersion(journal->Database(), &error), next);
        EXPECT_TRUE(journal->FindGoodCard(42, &error));
        // Migrating again does nothing.
        EXPECT_TRUE(MigrateSchema(journal->Database(), journal->Dialect(), steps, &error));

        // A failing step leaves the journal at the version before it, with nothing of the step.
        steps.push_back({next + 1, "a broken step", [](const SqlDialect&) {
                             return QStringList{QStringLiteral("CREATE TABLE half_done (x INTEGER)"),
                                                QStringLiteral("THIS IS NOT SQL")};
                         }});
        EXPECT_FALSE(MigrateSchema(journal->Database(), journal->Dialect(), steps, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("a broken step")));
        EXPECT_EQ(ReadSchemaVersion(journal->Database(), &error), next);
        EXPECT_FALSE(journal->Database().tables().contains(QStringLiteral("half_done")));
    }
    // This program does not know version next: it leaves that journal alone.
    const QByteArray before = [&] {
        QFile file(JournalPath(dir));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    JournalStatus status;
    EXPECT_FALSE(CJournal::Open(JournalPath(dir), &status));
    EXPECT_EQ(status.fault, JournalFault::TooNew);
    QFile after(JournalPath(dir));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST(JournalFailureTest, ADamagedFileIsKeptAsideUnchangedAndANewJournalStarted) {
    QTemporaryDir dir;
    const QString path = JournalPath(dir);
    const QByteArray garbage = QByteArray("this is no journal\n").repeated(300);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    JournalStatus status;
    auto journal = OpenOrFail(path, &status);
    ASSERT_TRUE(journal);
    EXPECT_EQ(status.fault, JournalFault::KeptAside);
    QFile kept(status.keptAs);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << status.keptAs.toStdString();
    EXPECT_EQ(kept.readAll(), garbage);
    AddOrFail(*journal, GoodWrite(7));
    EXPECT_EQ(RecordCount(*journal), 1);
}

TEST(JournalFailureTest, AJournalDamagedInsideIsKeptAsideAndTheNextRecordGoesToANewOne) {
    QTemporaryDir dir;
    JournalSettings settings;
    settings.connection = JournalPath(dir);
    {
        auto journal = OpenOrFail(settings.connection);
        ASSERT_TRUE(journal);
        for (int i = 0; i < 400; ++i)
            AddOrFail(*journal, GoodWrite(std::uint64_t(i)));
    }
    // The first page (the file header and the list of tables) stays; every table's pages are overwritten.
    QFile file(settings.connection);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    ASSERT_GT(size, 8192);
    file.seek(4096);
    file.write(QByteArray(int(size - 4096), '\xA5'));
    file.close();

    std::vector<JournalStatus> reports;
    CJournalRecorder recorder(settings);
    recorder.m_fnReport = [&](const JournalStatus& status) { reports.push_back(status); };
    EXPECT_TRUE(recorder.Record(GoodWrite(1000)));
    ASSERT_EQ(reports.size(), 1u) << reports[0].detail.toStdString();
    EXPECT_EQ(reports[0].fault, JournalFault::KeptAside) << reports[0].detail.toStdString();
    EXPECT_EQ(QFileInfo(reports[0].keptAs).size(), size);
    EXPECT_EQ(RecordCount(*recorder.Journal()), 1);
}

TEST(JournalFailureTest, AReadOnlyFolderStopsCardsUntilItCanBeWrittenAgain) {
    ScratchMount mount(1024);
    if (!mount.Usable())
        GTEST_SKIP() << "this process may not mount a file system";
    ASSERT_TRUE(mount.SetReadOnly(true));
    JournalSettings settings;
    settings.connection = mount.Path() + QStringLiteral("/journal.sqlite");
    int reports = 0;
    JournalStatus last;
    CJournalRecorder recorder(settings);
    recorder.m_fnReport = [&](const JournalStatus& status) { ++reports, last = status; };
    EXPECT_FALSE(recorder.ReadyToWrite());
    EXPECT_FALSE(recorder.ReadyToWrite());
    EXPECT_FALSE(recorder.Record(GoodWrite(5)));
    EXPECT_EQ(reports, 1); // said once, not at every card
    EXPECT_EQ(last.fault, JournalFault::CannotOpen);
    EXPECT_EQ(last.location, settings.connection);
    EXPECT_FALSE(last.detail.isEmpty());

    ASSERT_TRUE(mount.SetReadOnly(false));
    EXPECT_TRUE(recorder.ReadyToWrite());
    EXPECT_EQ(recorder.PendingRecords(), 0);
    QString error;
    EXPECT_TRUE(recorder.Journal()->FindGoodCard(5, &error));
}

TEST(JournalFailureTest, AFullDiskKeepsTheRecordUntilThereIsSpaceAgain) {
    ScratchMount mount(512);
    if (!mount.Usable())
        GTEST_SKIP() << "this process may not mount a file system";
    JournalSettings settings;
    settings.connection = mount.Path() + QStringLiteral("/journal.sqlite");
    int reports = 0;
    JournalStatus last;
    CJournalRecorder recorder(settings);
    recorder.m_fnReport = [&](const JournalStatus& status) { ++reports, last = status; };
    ASSERT_TRUE(recorder.Record(GoodWrite(1)));
    mount.Fill();
    // The write-ahead log grows page by page: some records still fit in its last page.
    int committed = 1;
    bool failed = false;
    for (int i = 2; i < 2000 && !failed; ++i) {
        JournalRecord record = GoodWrite(std::uint64_t(i));
        record.reason = QString(200, u'r');
        failed = !recorder.Record(record);
        committed += failed ? 0 : 1;
    }
    ASSERT_TRUE(failed);
    EXPECT_FALSE(recorder.ReadyToWrite());
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(last.fault, JournalFault::CannotWrite);
    EXPECT_EQ(recorder.PendingRecords(), 1);

    mount.Release();
    EXPECT_TRUE(recorder.ReadyToWrite());
    EXPECT_EQ(RecordCount(*recorder.Journal()), committed + 1);
    EXPECT_EQ(IntegrityCheck(*recorder.Journal()), QStringLiteral("ok"));
}

TEST(JournalRecorderTest, SettingsDecideStationDuplicatesAndWhetherAnythingIsRecorded) {
    QTemporaryDir dir;
    {
        QFile ini(dir.path() + QStringLiteral("/setting.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Journal]\nEnabled=0\nStation=  Line 3  \nRefuseDuplicates=no\n");
    }
    JournalSettings settings = ReadJournalSettings(dir.path());
    EXPECT_FALSE(settings.enabled);
    EXPECT_FALSE(settings.refuseDuplicates);
    EXPECT_EQ(settings.station, QStringLiteral("Line 3"));
    EXPECT_EQ(settings.connection, JournalPath(dir));
    {
        CJournalRecorder off(settings);
        EXPECT_TRUE(off.ReadyToWrite());
        EXPECT_TRUE(off.Record(GoodWrite(1)));
        EXPECT_FALSE(QFile::exists(settings.connection));
    }
    const JournalSettings defaults = ReadJournalSettings(dir.path() + QStringLiteral("/nowhere"));
    EXPECT_TRUE(defaults.enabled);
    EXPECT_TRUE(defaults.refuseDuplicates);
    EXPECT_FALSE(defaults.station.isEmpty());

    // The recorder fills in who and where; duplicates are found only while they are refused.
    settings.enabled = true;
    CJournalRecorder on(settings);
    on.SetReader(QStringLiteral("RFID Reader"), QStringLiteral("1.0.2"));
    JournalRecord bare;
    bare.operation = JournalOperation::Write;
    bare.identifier = 9;
    ASSERT_TRUE(on.Record(bare));
    bool answered = false;
    EXPECT_FALSE(on.FindGoodCard(9, &answered));
    EXPECT_TRUE(answered);
    QString error;
    const auto stored = on.Journal()->FindGoodCard(9, &error);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->station, QStringLiteral("Line 3"));
    EXPECT_EQ(stored->user, LoginUserName());
    EXPECT_EQ(stored->readerName, QStringLiteral("RFID Reader"));
    settings.refuseDuplicates = true;
    CJournalRecorder refusing(settings);
    EXPECT_TRUE(refusing.FindGoodCard(9, &answered));
}

TEST(JournalFailureTest, AWriterKilledMidBatchLosesNoCommittedRecordAndLeavesASoundFile) {
    QTemporaryDir dir;
    const QString path = JournalPath(dir);
    int committed[2];
    ASSERT_EQ(pipe(committed), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        // The writer tells after each commit which card it recorded, then goes on until it is killed.
        close(committed[0]);
        JournalSettings settings;
        settings.connection = path;
        CJournalRecorder recorder(settings);
        for (std::uint64_t card = 1;; ++card) {
            if (!recorder.Record(GoodWrite(card)) || write(committed[1], &card, sizeof card) != sizeof card)
                _exit(1);
        }
    }
    close(committed[1]);
    std::uint64_t last = 0, card = 0;
    while (last < 300 && read(committed[0], &card, sizeof card) == sizeof card)
        last = card;
    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    while (read(committed[0], &card, sizeof card) == sizeof card)
        last = card;
    close(committed[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(last, 300u);

    auto journal = OpenOrFail(path);
    ASSERT_TRUE(journal);
    EXPECT_EQ(IntegrityCheck(*journal), QStringLiteral("ok"));
    QString error;
    for (std::uint64_t id = 1; id <= last; ++id)
        ASSERT_TRUE(journal->FindGoodCard(id, &error)) << "committed card " << id << " is missing";
    EXPECT_GE(RecordCount(*journal), int(last));
}

TEST(JournalTimeTest, StoredTimesReadBackAsWrittenAndOnlyRealTimesAreRead) {
    // Every few days from 1600 to 2400 (leap years and centuries included), at an odd millisecond.
    const QDateTime first(QDate(1600, 1, 1), QTime(0, 0), QTimeZone::utc());
    for (qint64 step = 0; step < 800 * 365; step += 7) {
        const QDateTime time = first.addDays(step).addMSecs(step * 3601 % 86400000);
        const QString text = JournalTimeText(time);
        ASSERT_EQ(text, time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'Z');
        ASSERT_EQ(JournalTimeFromText(text), time) << text.toStdString();
    }
    for (const char* text : {"2025-02-29T00:00:00.000Z", "2024-13-01T00:00:00.000Z",
                             "2024-01-0aT00:00:00.000Z", "yesterday"})
        EXPECT_FALSE(JournalTimeFromText(QLatin1String(text)).isValid()) << text;
    EXPECT_EQ(JournalTimeFromText(QStringLiteral("2024-02-29")), QDateTime(QDate(2024, 2, 29), QTime(0, 0), QTimeZone::utc()));
}
