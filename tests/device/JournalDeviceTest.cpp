// The production journal of the main window against the emulated reader: what each page records, the
// duplicate refusal of Mass Production and a journal that cannot be written.
#include "tests/support/JournalTestSupport.h"
#include "device/MainWindowFixture.h"
#include "journal/JournalSettings.h"
#include "pages/NumberSequence.h"
#include "pages/PageJournal.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include "shell/JournalDlg.h"

using namespace journaltest;

namespace {

const QString kNotRecorded = kWriteError + QStringLiteral(" (the journal cannot record it)");

struct ExpectedRecord {
    JournalOperation operation;
    JournalResult result;
    std::optional<std::uint64_t> identifier;
    QString reason;
};

void ExpectRecords(const std::vector<JournalRecord>& records, const std::vector<ExpectedRecord>& expected) {
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].operation, expected[i].operation) << "record " << i;
        EXPECT_EQ(records[i].result, expected[i].result) << "record " << i;
        EXPECT_EQ(records[i].identifier, expected[i].identifier) << "record " << i;
        EXPECT_EQ(records[i].reason, expected[i].reason) << "record " << i;
    }
}

} // namespace

class JournalOnReader : public MassProductionOnReader {
protected:
    bool KeepsJournal() const override { return true; }
    QString JournalFile() const { return m_appFolder.filePath(QString::fromLatin1(JOURNAL_FILE_NAME)); }
    // The [Journal] section of setting.ini, before the window reads it.
    void WriteJournalSettings(const QString& lines) { WriteSettings(("[Journal]\n" + lines + "\n").toUtf8()); }
    // The journal file the window records in (by default the one in the data folder).
    CJournal& Journal() {
        if (!m_journal)
            m_journal = OpenOrFail(m_strJournalFile.isEmpty() ? JournalFile() : m_strJournalFile);
        return *m_journal;
    }
    // A good card on record, as another shift left it.
    JournalRecord AddGoodCard(std::uint64_t cardId) {
        JournalRecord record = GoodWrite(cardId);
        QString error;
        EXPECT_TRUE(Journal().Add(record, &error)) << error.toStdString();
        return record;
    }
    int MessageBoxes() const { return int(m_dlg->findChildren<QMessageBox*>().size()); }

    std::unique_ptr<CJournal> m_journal;
    QString m_strJournalFile;
};

TEST_F(JournalOnReader, TheReadWritePageRecordsEveryReadWriteAndRefusalWithItsReader) {
    Reader().PutCard(78187493530);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        QLineEdit* field = Edit(page, COPMainDlg::IDC_EDIT_WRITE);
        Click(page, COPMainDlg::IDC_BUTTON_READ);
        Reader().RemoveCard();
        Click(page, COPMainDlg::IDC_BUTTON_READ);
        Reader().PutCard(0);
        field->setText(QStringLiteral("42"));
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        field->setText(QStringLiteral("abc"));
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        Reader().PutCard(5, CEmulatedReader::CARD_READ_ONLY);
        field->setText(QStringLiteral("43"));
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        // Committed before each handler returned: visible to another connection at once.
        const std::vector<JournalRecord> records = RecordsOldestFirst(Journal());
        ExpectRecords(records,
                      {{JournalOperation::Read, JournalResult::Ok, 78187493530ull, {}},
                       {JournalOperation::Read, JournalResult::Error, std::nullopt, {}},
                       {JournalOperation::Write, JournalResult::Ok, 42u, {}},
                       {JournalOperation::Write, JournalResult::Refused, std::nullopt, "not a number"},
                       {JournalOperation::Write, JournalResult::Error, 43u, "transfer failed"}});
        for (const JournalRecord& record : records) {
            EXPECT_EQ(record.source, JournalSource::ReadWritePage);
            EXPECT_EQ(record.readerName, QStringLiteral("RFID Reader"));
            EXPECT_EQ(record.readerVersion, QStringLiteral("1.0.2"));
            EXPECT_EQ(record.station, StationName(QString()));
            EXPECT_EQ(record.user, LoginUserName());
        }
        EXPECT_EQ(MessageBoxes(), 0);
    });
}

TEST_F(JournalOnReader, AMassProductionBatchRecordsWhatEachEmulatedCardHolds) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("18"), QStringLiteral("878082202"), CMPDlg::IDC_RADIO_INCREASE, true);
        std::vector<std::optional<std::uint64_t>> held;
        for (int card = 0; card < 3; ++card) {
            Reader().PutCard(0); // a blank card for each number, as the operator lays them
            PressEnter();
            held.push_back(Reader().CardId());
        }
        Reader().PutCard(0);
        // Neither the read before the write nor the read back answers: written, a card to throw away.
        Reader().SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::Stall, 2);
        PressEnter();
        held.push_back(Reader().CardId());
        Reader().PutCard(9, CEmulatedReader::CARD_READ_ONLY);
        PressEnter();
        SetOption(CMPDlg::IDC_CHECK_VERIFY, false);
        Reader().PutCard(0);
        PressEnter();
        held.push_back(Reader().CardId());

        const std::uint64_t first = 78187493530ull;
        ASSERT_EQ(held, (std::vector<std::optional<std::uint64_t>>{first, first + 1, first + 2, first + 3,
                                                                   first + 3}));
        const std::vector<JournalRecord> records = RecordsOldestFirst(Journal());
        std::vector<ExpectedRecord> expected;
        for (std::uint64_t id : {first, first + 1, first + 2}) {
            expected.push_back({JournalOperation::Write, JournalResult::Ok, id, {}});
            expected.push_back({JournalOperation::Verify, JournalResult::VerifyOk, id, {}});
        }
        expected.push_back({JournalOperation::Write, JournalResult::Ok, first + 3, {}});
        expected.push_back({JournalOperation::Verify, JournalResult::VerifyFailed, first + 3,
                            "the card holds nothing readable"});
        expected.push_back({JournalOperation::Write, JournalResult::Error, first + 3, "transfer failed"});
        expected.push_back({JournalOperation::Write, JournalResult::Ok, first + 3, {}});
        ExpectRecords(records, expected);
        ASSERT_EQ(records.size(), 10u);
        EXPECT_EQ(records[0].source, JournalSource::MassProduction);
        EXPECT_TRUE(records[0].verifyRequested);
        EXPECT_FALSE(records[9].verifyRequested); // Verify off: good as written
        EXPECT_EQ(StatusOf(records[1]), CardStatus::Good);
        EXPECT_EQ(StatusOf(records[7]), CardStatus::ThrowAway);
        EXPECT_EQ(StatusOf(records[8]), CardStatus::Failed);
        EXPECT_EQ(StatusOf(records[9]), CardStatus::Good);
    });
}

TEST_F(JournalOnReader, IncreaseRefusesANumberOnAGoodCardRandomDrawsAgainAndNoChangeRepeats) {
    const std::uint64_t vendor = 1ull << 32;
    const JournalRecord onRecord = AddGoodCard(vendor + 5);
    // Random's first draw from seed 7 is on a good card too, so the card gets the second one.
    CRandomGenerator reference;
    reference.Seed(7);
    const QString firstDraw = NextCardNumber(MODE_RANDOM, QStringLiteral("5"), reference);
    const QString secondDraw = NextCardNumber(MODE_RANDOM, firstDraw, reference);
    AddGoodCard(vendor + firstDraw.toULongLong());
    // From seed 9, the typed number and every draw Random may make are on good cards.
    CRandomGenerator exhausted;
    exhausted.Seed(9);
    QString draw = QStringLiteral("6");
    for (int i = 0; i < MAX_RANDOM_DRAWS; ++i) {
        AddGoodCard(vendor + draw.toULongLong());
        draw = NextCardNumber(MODE_RANDOM, draw, exhausted);
    }
    Reader().PutCard(0);
    RunWhenReady([&] {
        const QString duplicateLine =
            kWriteError +
            QStringLiteral(" (already on a good card: %1, station-1)").arg(JournalTimeText(onRecord.time));
        Prepare(QStringLiteral("1"), QStringLiteral("5"), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), duplicateLine);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("5"));
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
        const JournalRecord refused = RecordsOldestFirst(Journal()).back();
        EXPECT_EQ(refused.result, JournalResult::Refused);
        EXPECT_EQ(refused.identifier, vendor + 5);
        EXPECT_EQ(refused.reason, DuplicateReason(onRecord));

        Prepare(QStringLiteral("1"), QStringLiteral("5"), CMPDlg::IDC_RADIO_RANDOM, false);
        Page().m_Random.Seed(7);
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(Reader().CardId(), vendor + secondDraw.toULongLong());
        EXPECT_EQ(CardNo()->text(), NextCardNumber(MODE_RANDOM, secondDraw, reference));

        Reader().PutCard(0);
        CardNo()->setText(QStringLiteral("6"));
        Page().m_Random.Seed(9);
        EXPECT_TRUE(PressEnter().startsWith(kWriteError + QStringLiteral(" (already on a good card: ")));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("6"));
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 1);

        Prepare(QStringLiteral("1"), QStringLiteral("5"), CMPDlg::IDC_RADIO_NOCHANGE, false);
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(Reader().CardId(), vendor + 5);
    });
}

TEST_F(JournalOnReader, AReadOnlyJournalFolderStopsEveryWriteSaysSoOnceAndRecordsTheRefusalsLater) {
    ScratchMount mount(1024);
    if (!mount.Usable())
        GTEST_SKIP() << "this process may not mount a file system";
    const QString journalFile = mount.Path() + QStringLiteral("/journal.sqlite");
    WriteJournalSettings(QStringLiteral("Database=") + journalFile);
    ASSERT_TRUE(mount.SetReadOnly(true));
    Reader().PutCard(0);
    RunWhenReady([&] {
        // Said when the reader was identified, in the log and in one message box.
        EXPECT_NE(
            Log().indexOf(QStringLiteral("The production journal ") + journalFile + " cannot be opened"), -1)
            << Log().toStdString();
        EXPECT_EQ(MessageBoxes(), 1);
        Edit(m_dlg->m_OPMainDlg, COPMainDlg::IDC_EDIT_WRITE)->setText(QStringLiteral("42"));
        EXPECT_EQ(LogAdded([&] { Click(m_dlg->m_OPMainDlg, COPMainDlg::IDC_BUTTON_WRITE); }), kNotRecorded);
        for (int mode : {CMPDlg::IDC_RADIO_INCREASE, CMPDlg::IDC_RADIO_NOCHANGE}) {
            Prepare(QStringLiteral("1"), QStringLiteral("7"), mode, true);
            EXPECT_EQ(PressEnter(), kNotRecorded);
            EXPECT_EQ(CardNo()->text(), QStringLiteral("7"));
        }
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
        EXPECT_EQ(MessageBoxes(), 1);

        ASSERT_TRUE(mount.SetReadOnly(false));
        SetOption(CMPDlg::IDC_CHECK_VERIFY, false);
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(Reader().CardId(), (1ull << 32) + 7);
    });
    m_journal = OpenOrFail(journalFile);
    ExpectRecords(RecordsOldestFirst(*m_journal),
                  {{JournalOperation::Write, JournalResult::Refused, 42u, NotRecordedReason()},
                   {JournalOperation::Write, JournalResult::Refused, (1ull << 32) + 7, NotRecordedReason()},
                   {JournalOperation::Write, JournalResult::Refused, (1ull << 32) + 7, NotRecordedReason()},
                   {JournalOperation::Write, JournalResult::Ok, (1ull << 32) + 7, {}}});
}

TEST_F(JournalOnReader, WithTheJournalTurnedOffCardsAreWrittenAndNothingIsRecorded) {
    const QString unusable = m_appFolder.filePath(QStringLiteral("no-such-folder/journal.sqlite"));
    WriteJournalSettings(QStringLiteral("Enabled=0\nDatabase=") + unusable);
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("7"), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000008"));
        EXPECT_EQ(Log(), QStringLiteral("RFID Reader Version: 1.0.2") + kWritten);
        EXPECT_EQ(MessageBoxes(), 0);
    });
    EXPECT_FALSE(QFile::exists(unusable));
    EXPECT_FALSE(QFile::exists(JournalFile()));
}

TEST_F(JournalOnReader, ACardWhoseRecordDoesNotFitOnAFullDiskHoldsTheNumberUntilItIsOnRecord) {
    ScratchMount mount(512);
    if (!mount.Usable())
        GTEST_SKIP() << "this process may not mount a file system";
    m_strJournalFile = mount.Path() + QStringLiteral("/journal.sqlite");
    WriteJournalSettings(QStringLiteral("Database=") + m_strJournalFile);
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("1"), CMPDlg::IDC_RADIO_INCREASE, false);
        mount.Fill();
        // The write-ahead log still has room for some records; the first card that does not fit is written
        // (the journal could take records before it), but its number does not advance.
        QString typed;
        bool stuck = false;
        for (int card = 0; card < 2000 && !stuck; ++card) {
            Reader().PutCard(0);
            typed = CardNo()->text();
            ASSERT_EQ(PressEnter().left(kWritten.size()), kWritten);
            stuck = CardNo()->text() == typed;
        }
        ASSERT_TRUE(stuck);
        const std::uint64_t unrecorded = (1ull << 32) + typed.toULongLong();
        EXPECT_EQ(Reader().CardId(), unrecorded);
        EXPECT_NE(Log().indexOf(QStringLiteral(" cannot record: ")), -1);
        EXPECT_EQ(MessageBoxes(), 1);
        const int programmed = Reader().ProgrammedCount();
        EXPECT_EQ(PressEnter(), kNotRecorded);
        EXPECT_EQ(Reader().ProgrammedCount(), programmed);

        // With room again the held record goes in first, and its number is then on a good card.
        mount.Release();
        Reader().PutCard(0);
        EXPECT_TRUE(PressEnter().startsWith(kWriteError + QStringLiteral(" (already on a good card: ")));
        EXPECT_EQ(Reader().ProgrammedCount(), programmed);
        EXPECT_EQ(MessageBoxes(), 1);

        CJournal& journal = Journal();
        QString error;
        const std::optional<JournalRecord> onRecord = journal.FindGoodCard(unrecorded, &error);
        ASSERT_TRUE(onRecord) << error.toStdString();
        EXPECT_EQ(onRecord->source, JournalSource::MassProduction);
        EXPECT_EQ(IntegrityCheck(journal), QStringLiteral("ok"));
    });
}

TEST_F(JournalOnReader, ADamagedJournalIsSaidToBeKeptAsideAndCardsGoOnInANewOne) {
    const QByteArray garbage = QByteArray("this is no journal\n").repeated(300);
    {
        QFile damaged(JournalFile());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(garbage);
    }
    Reader().PutCard(0);
    RunWhenReady([&] {
        const QString said =
            QStringLiteral("The production journal ") + JournalFile() + " was damaged. It is kept as ";
        const qsizetype at = Log().indexOf(said);
        ASSERT_NE(at, -1) << Log().toStdString();
        EXPECT_EQ(MessageBoxes(), 1);
        const QString keptAs = Log().mid(at + said.size()).section(QStringLiteral(" for recovery"), 0, 0);
        QFile kept(keptAs);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << keptAs.toStdString();
        EXPECT_EQ(kept.readAll(), garbage);

        Prepare(QStringLiteral("1"), QStringLiteral("1"), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), kWritten);
        ExpectRecords(RecordsOldestFirst(Journal()),
                      {{JournalOperation::Write, JournalResult::Ok, (1ull << 32) + 1, {}}});
    });
}

TEST_F(JournalOnReader, WritePressedTwiceOnOneCardWritesItOnceAndABlankThatDoesNotReadIsWritten) {
    Reader().PutCard(0);
    Reader().SetSettleTimeMs(300); // a card just programmed does not answer reads at once
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("5"), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), kWritten);
        const JournalRecord good = RecordsOldestFirst(Journal()).back();
        // At once again: the page waits for the card to answer and finds it finished.
        const QString refused = PressEnter();
        EXPECT_EQ(refused, kWriteError + QStringLiteral(" (the card on the reader already holds %1, a good card: %2, %3)")
                                             .arg(CardIdText((1ull << 32) + 5), JournalTimeText(good.time), good.station));
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        EXPECT_EQ(Reader().CardId(), (1ull << 32) + 5);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000006"));
        const JournalRecord record = RecordsOldestFirst(Journal()).back();
        EXPECT_EQ(record.result, JournalResult::Refused);
        EXPECT_EQ(record.identifier, (1ull << 32) + 5);
        EXPECT_EQ(record.reason, FinishedCardReason((1ull << 32) + 5, good));

        // A blank card that does not read at all is written.
        Reader().PutCard(0);
        Reader().SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::Stall, 2);
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(Reader().CardId(), (1ull << 32) + 6);
        QString error;
        const std::optional<JournalTotals> totals = Journal().Totals({}, &error);
        ASSERT_TRUE(totals) << error.toStdString();
        EXPECT_EQ(totals->good, 2);
        EXPECT_EQ(totals->refused, 1);
        EXPECT_EQ(totals->failed, 0);
    });
}

TEST_F(JournalOnReader, APasswordWrittenIntoTheDatabaseUrlReachesNoTextMessageLogOrFile) {
    const QString secret = QStringLiteral("hunter2-in-the-url");
    WriteJournalSettings(QStringLiteral("Database=postgresql://rfid_station:%1@127.0.0.1:1/rfid").arg(secret));
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("5"), CMPDlg::IDC_RADIO_INCREASE, false);
        PressEnter();
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        m_dlg->ShowPage(0);
        Edit(page, COPMainDlg::IDC_EDIT_WRITE)->setText(QStringLiteral("42"));
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        for (QAction* item : m_dlg->GetMenu()->actions().at(0)->menu()->actions()) { // File > Production Journal...
            if (item->data().toInt() == ID_MENU_JOURNAL)
                item->trigger();
        }
        ASSERT_TRUE(m_dlg->m_pJournalDlg);
        QString exportMessage;
        EXPECT_FALSE(m_dlg->m_pJournalDlg->ExportTo(m_appFolder.filePath(QStringLiteral("out.csv")), &exportMessage));
        QStringList shown{Log(), exportMessage};
        for (QWidget* window : QApplication::topLevelWidgets()) {
            shown << window->windowTitle();
            for (QWidget* child : window->findChildren<QWidget*>()) {
                shown << child->accessibleName() << child->toolTip();
                if (auto* label = qobject_cast<QLabel*>(child))
                    shown << label->text();
                if (auto* box = qobject_cast<QMessageBox*>(child))
                    shown << box->text() << box->informativeText() << box->detailedText();
            }
        }
        EXPECT_GE(MessageBoxes(), 1); // the journal's problem was said
        for (const QString& text : shown)
            EXPECT_FALSE(text.contains(secret)) << text.toStdString();
        EXPECT_FALSE(m_dlg->m_pJournalDlg->m_totals->text().isEmpty());
    });
    // Nor does it reach a file the program wrote, setting.ini apart (where the operator wrote it).
    QDirIterator files(m_appFolder.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const bool mayHoldIt = path.endsWith(QLatin1String("setting.ini"));
        EXPECT_TRUE(mayHoldIt || !file.readAll().contains(secret.toUtf8())) << path.toStdString();
        EXPECT_FALSE(QFileInfo(path).fileName().contains(secret));
    }
}
