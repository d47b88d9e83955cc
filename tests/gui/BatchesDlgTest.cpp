// The Batches window on both engines while stations write: its figures equal those of `rfidctl batch
// status` (the same batch functions), progress bars, the selection kept over refreshes, a chart series
// per station; making a range and importing a list, bad files included; releasing asks first; its texts
// whole in every language.

#include "shell/BatchesDlg.h"
#include "shell/DeliveryReport.h"
#include "tests/support/BatchTestSupport.h"
#include "tests/support/EngineTest.h"
#include "tests/support/ShippedLanguages.h"

#include <QChart>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class BatchesWindowTest : public EngineTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_appFolder.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_appFolder.path());
        m_language.emplace();
        m_language->ProvideBuiltInLanguages();
        MakeDatabase(GetParam());
        if (!DatabaseMade())
            return;
        m_db = m_database->Open("supervisor");
        m_line = std::make_unique<CBatchLine>(*m_database);
    }
    void TearDown() override {
        m_window.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    CBatchesDlg& Window() {
        if (!m_window) {
            m_window = std::make_unique<CBatchesDlg>(m_database->Text(), *m_language);
            m_window->m_fnShow = [](const QString&, bool) {};
        }
        return *m_window;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_appFolder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_appFolder;
    std::optional<CMultiLanguage> m_language;
    QSqlDatabase m_db;
    std::unique_ptr<CBatchLine> m_line;
    std::unique_ptr<CBatchesDlg> m_window;
};

QString Cell(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

TEST_P(BatchesWindowTest, TheWindowShowsTheFiguresOfBatchStatusAndKeepsItsSelectionWhileStationsWrite) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 40, BatchOrder::InOrder}, &error)) << error.toStdString();
    ASSERT_TRUE(CreateRangeBatch(m_db, "spare", {18, 41, 50, BatchOrder::Random}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "order", 6));
    ASSERT_TRUE(m_line->Good("line 2", "order", 4));
    ASSERT_TRUE(m_line->ThrowAway("line 2", "order"));

    CBatchesDlg& window = Window();
    ASSERT_TRUE(window.SelectBatch("order"));
    const auto* firstBar = qobject_cast<QProgressBar*>(window.m_tableBatches->cellWidget(0, BATCH_PROGRESS));
    for (int round = 0; round < 2; ++round) {
        window.Tick();
        const std::vector<BatchFigures> status = ReadAllBatchFigures(m_db, QDateTime::currentDateTimeUtc(), &error);
        ASSERT_EQ(window.m_tableBatches->rowCount(), int(status.size()));
        for (int row = 0; row < int(status.size()); ++row) {
            const BatchFigures& figures = status[std::size_t(row)];
            EXPECT_EQ(Cell(window.m_tableBatches, row, BATCH_NAME), figures.info.name);
            const auto* bar = qobject_cast<QProgressBar*>(window.m_tableBatches->cellWidget(row, BATCH_PROGRESS));
            ASSERT_TRUE(bar);
            EXPECT_EQ(bar->value(), figures.Percent());
            EXPECT_EQ(bar->format(), QStringLiteral("%1 / %2").arg(figures.Good()).arg(figures.info.counts.total));
            EXPECT_EQ(Cell(window.m_tableBatches, row, BATCH_CLAIMED).toLongLong(), figures.info.counts.claimed);
            EXPECT_EQ(Cell(window.m_tableBatches, row, BATCH_THROWAWAY).toLongLong(), figures.info.counts.throwAway);
            EXPECT_EQ(Cell(window.m_tableBatches, row, BATCH_LEFT).toLongLong(), figures.info.counts.left);
            EXPECT_EQ(Cell(window.m_tableBatches, row, BATCH_FINISH), DurationText(figures.secondsToFinish));
        }
        // Refreshed in place: the same bar, the same batch chosen.
        EXPECT_EQ(window.m_tableBatches->cellWidget(0, BATCH_PROGRESS), firstBar);
        EXPECT_EQ(window.SelectedBatch(), "order");
        ASSERT_TRUE(m_line->Good("line 1", "order", 2)); // the line goes on between two refreshes
    }
    EXPECT_EQ(firstBar->value(), 30); // 12 of 40: the last two cards came after the last refresh

    ASSERT_EQ(window.m_tableStations->rowCount(), 2);
    EXPECT_EQ(Cell(window.m_tableStations, 0, STATION_NAME), "line 1");
    EXPECT_EQ(Cell(window.m_tableStations, 0, STATION_CARDS), "8");
    EXPECT_EQ(Cell(window.m_tableStations, 1, STATION_FAILURES), "1");
    EXPECT_EQ(Cell(window.m_tableStations, 1, STATION_STATE), "Working");
    ASSERT_EQ(window.Chart()->series().size(), 2);
    EXPECT_EQ(window.Chart()->series()[0]->name(), "line 1");

    // A batch made elsewhere comes in; the choice stays on its batch, whose stations stay listed.
    ASSERT_TRUE(CreateRangeBatch(m_db, "another", {18, 51, 60, BatchOrder::InOrder}, &error));
    window.Tick();
    EXPECT_EQ(window.m_tableBatches->rowCount(), 3);
    EXPECT_EQ(window.SelectedBatch(), "order");
    EXPECT_EQ(window.m_tableStations->rowCount(), 2);
    ASSERT_TRUE(window.SelectBatch("spare"));
    EXPECT_EQ(window.m_tableStations->rowCount(), 0);
    EXPECT_TRUE(window.Chart()->series().isEmpty());
}

TEST_P(BatchesWindowTest, RangesAndListsAreMadeWithRfidctlsRulesAndABadFileImportsNothing) {
    CBatchesDlg& window = Window();
    EXPECT_FALSE(RangeFromFields(18, "20", "10", false));
    EXPECT_FALSE(RangeFromFields(18, "1", "4294967296", false));
    EXPECT_FALSE(RangeFromFields(18, "1x", "10", false));
    const std::optional<BatchRange> range = RangeFromFields(18, " 1 ", "4294967295", true);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->last, 4294967295u);
    EXPECT_EQ(range->order, BatchOrder::Random);

    QString message;
    EXPECT_TRUE(window.MakeRangeBatch("customer A", {18, 100, 199, BatchOrder::InOrder}, &message));
    EXPECT_EQ(message, "Batch customer A made: 100 numbers.");
    EXPECT_EQ(window.SelectedBatch(), "customer A");
    EXPECT_FALSE(window.MakeRangeBatch("customer A", {18, 1, 2, BatchOrder::InOrder}, &message));
    EXPECT_TRUE(message.contains("exists already")) << message.toStdString();

    const QString bad = WriteFile("bad.txt", "0077309411428\n\nnot a number\n18:5\n0077309411428\n");
    EXPECT_FALSE(window.ImportListFile("list B", bad, &message));
    const QStringList lines = message.split('\n');
    ASSERT_EQ(lines.size(), 3) << message.toStdString();
    EXPECT_EQ(lines[0], "Nothing imported: 2 bad line(s) in bad.txt.");
    EXPECT_TRUE(lines[1].startsWith("Line 3: ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("Line 5: repeats line 1")) << lines[2].toStdString();
    EXPECT_FALSE(window.ImportListFile("list B", m_appFolder.path(), &message)); // a folder is no list
    QString error;
    EXPECT_FALSE(FindBatch(m_db, "list B", &error));

    const QString good = WriteFile("good.txt", "0077309411428\r\n18:5\r\n");
    EXPECT_TRUE(window.ImportListFile("list B", good, &message)) << message.toStdString();
    EXPECT_EQ(message, "2 identifiers imported into batch list B.");
    const std::optional<BatchInfo> list = FindBatch(m_db, "list B", &error);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->counts.total, 2);
    EXPECT_EQ(window.m_tableBatches->rowCount(), 2);
}

TEST_P(BatchesWindowTest, ReleasingAStationsClaimsAsksFirstAndIsRefusedWhileItRuns) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));
    ASSERT_TRUE(m_line->Hold("lost", "order"));
    CBatchesDlg& window = Window();
    ASSERT_TRUE(window.SelectBatch("order"));
    window.m_tableStations->selectRow(0);
    ASSERT_EQ(window.SelectedStation(), "lost");
    QString asked;
    bool answer = true;
    window.m_fnConfirm = [&](const QString& question) {
        asked = question;
        return answer;
    };
    QString message;
    EXPECT_FALSE(window.ReleaseSelectedStation(&message)); // still running
    EXPECT_TRUE(message.contains("already running")) << message.toStdString();

    m_line->StopStation("lost");
    answer = false;
    asked.clear();
    EXPECT_FALSE(window.ReleaseSelectedStation(&message));
    EXPECT_EQ(asked, "Release the 1 number(s) that station lost holds in batch order? Other stations will write them; "
                     "this cannot be undone.");
    EXPECT_EQ(FindBatch(m_db, "order", &error)->counts.claimed, 1);

    answer = true;
    window.m_tableStations->selectRow(0);
    EXPECT_TRUE(window.ReleaseSelectedStation(&message));
    EXPECT_EQ(message, "1 claim(s) of station lost released.");
    EXPECT_EQ(FindBatch(m_db, "order", &error)->counts.claimed, 0);
}

TEST_P(BatchesWindowTest, TheDeliveryReportOfTheChosenBatchListsItsGoodNumbersInTheChosenForms) {
    QString error;
    ASSERT_TRUE(CreateListBatch(m_db, "list", {(18ull << 32) | 7, (19ull << 32) | 8, (20ull << 32) | 9}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "list", 2));
    CBatchesDlg& window = Window();
    ASSERT_TRUE(window.SelectBatch("list"));
    window.m_nNumberForms = FORM_DEZ10;
    QString message;
    const QString pdf = m_appFolder.filePath("list.pdf");
    ASSERT_TRUE(window.WriteReport(pdf, &message)) << message.toStdString();
    EXPECT_EQ(message, "Delivery report written to " + pdf + ".");
    const QString text = PdfText(pdf);
    EXPECT_EQ(IdentifiersIn(text), std::vector<std::uint64_t>({(18ull << 32) | 7, (19ull << 32) | 8})) << text.toStdString();
    EXPECT_TRUE(text.contains("list of 3 identifiers")) << text.toStdString();
    EXPECT_TRUE(text.contains(NumberFormText(FORM_DEZ10, 8)));
    EXPECT_FALSE(text.contains(NumberFormText(FORM_HEX, (18ull << 32) | 7)));
    EXPECT_FALSE(window.WriteReport(m_appFolder.filePath("no/such/folder.pdf"), &message));
    EXPECT_TRUE(message.startsWith("The delivery report was not written: ")) << message.toStdString();
    // A batch name is offered as a file name that stays in the folder chosen and is valid on Windows too.
    EXPECT_EQ(DeliveryReportFileName("Order 12/2026: A*B"), "Order 12_2026_ A_B.pdf");
    EXPECT_EQ(DeliveryReportFileName("../..\\x"), "_.._x.pdf");
    EXPECT_EQ(DeliveryReportFileName(" \t"), "report.pdf");
}

TEST_P(BatchesWindowTest, EveryButtonShowsItsWholeTextInEveryLanguage) {
    ASSERT_TRUE(ProvideShippedLanguages(m_appFolder.path()));
    QStringList languages;
    m_language->GetLanguageList(languages);
    ASSERT_EQ(languages.size(), 3 + ShippedLanguageFiles().size());
    CBatchesDlg& window = Window();
    window.show();
    for (const QString& language : languages) {
        m_language->SetLanguage(language);
        window.ApplyLanguage();
        QTest::qWait(0);
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            EXPECT_EQ(button->accessibleName(), button->text());
            QStyleOptionButton option;
            option.initFrom(button);
            option.rect = button->rect();
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room.width())
                << qPrintable(language + u' ' + button->text());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchesWindowTest,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL), EngineTestName);
