// The journal window against a generated journal: filters, totals, copy and export; its texts in the
// three built-in languages and from a dropped-in language file; File > Production Journal... opens it.

#include "journal/JournalExport.h"
#include "resources/DialogTemplates.h"
#include "shell/JournalDlg.h"
#include "shell/RFIDDlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

class JournalWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_dir.path());
        m_language.emplace();
        m_language->ProvideBuiltInLanguages();
        Generate();
    }
    void TearDown() override { CMultiLanguage::SetDefaultAppFolder(QString()); }

    // Three days of cards: day d has 10 + d good ones, d refused writes and d cards to throw away.
    void Generate() {
        JournalStatus status;
        auto journal = CJournal::Open(Path(), &status);
        ASSERT_TRUE(journal);
        ASSERT_TRUE(journal->Database().transaction());
        std::uint64_t id = 0x1200000000ull;
        for (int day = 0; day < 3; ++day) {
            const QDateTime time(QDate(2026, 5, 10 + day), QTime(9, 0), QTimeZone::utc());
            const auto add = [&](JournalOperation op, JournalResult result, bool verify) {
                JournalRecord record;
                record.time = time;
                record.station = QStringLiteral("line-%1").arg(day);
                record.source = JournalSource::MassProduction;
                record.operation = op;
                record.result = result;
                record.identifier = id;
                record.verifyRequested = verify;
                QString error;
                ASSERT_TRUE(journal->Add(record, &error)) << error.toStdString();
            };
            for (int i = 0; i < 10 + day; ++i, ++id)
                add(JournalOperation::Write, JournalResult::Ok, false);
            for (int i = 0; i < day; ++i, ++id) {
                add(JournalOperation::Write, JournalResult::Refused, false);
                add(JournalOperation::Write, JournalResult::Ok, true);
                add(JournalOperation::Verify, JournalResult::VerifyFailed, false);
            }
        }
        ASSERT_TRUE(journal->Database().commit());
    }

    QString Path() const { return m_dir.filePath(QStringLiteral("journal.sqlite")); }

    static int ShownRows(CJournalDlg& dlg) {
        while (dlg.Model().canFetchMore(QModelIndex()))
            dlg.Model().fetchMore(QModelIndex());
        return dlg.Model().rowCount();
    }

    QTemporaryDir m_dir;
    std::optional<CMultiLanguage> m_language; // made once the test's folder is the default one
};

} // namespace

TEST_F(JournalWindowTest, FiltersChooseTheRecordsAndTheTotalsCountWhatIsShown) {
    CJournalDlg dlg(Path(), *m_language);
    EXPECT_EQ(ShownRows(dlg), 33 + 3 * 3);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 33    Failed: 0    Refused: 3    To throw away: 3    Overwritten: 0    Records: 42");
    EXPECT_EQ(dlg.Model().RecordAt(0).operation, JournalOperation::Verify); // newest first

    dlg.m_dateFrom->setDate(QDate(2026, 5, 11));
    dlg.m_dateTo->setDate(QDate(2026, 5, 11));
    dlg.Refresh();
    EXPECT_EQ(ShownRows(dlg), 11 + 3);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 11    Failed: 0    Refused: 1    To throw away: 1    Overwritten: 0    Records: 14");

    dlg.m_dateTo->setDate(dlg.m_dateTo->minimumDate()); // "(any)"
    dlg.m_comboResult->setCurrentIndex(1 + int(JournalResult::VerifyFailed));
    dlg.Refresh();
    EXPECT_EQ(ShownRows(dlg), 1 + 2);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 0    Failed: 0    Refused: 0    To throw away: 3    Overwritten: 0    Records: 3");

    dlg.m_comboResult->setCurrentIndex(0);
    dlg.m_dateFrom->setDate(dlg.m_dateFrom->minimumDate());
    dlg.m_editIdentifier->setText(QStringLiteral("007730941133"));
    dlg.Refresh();
    EXPECT_EQ(ShownRows(dlg), 10); // 0077309411330 to 339: 8 cards of the first day, 2 of the second
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 10    Failed: 0    Refused: 0    To throw away: 0    Overwritten: 0    Records: 10");

    // Copy takes the selected rows as shown; the export takes every record shown, as CSV.
    dlg.m_table->selectRow(0);
    const QString copied = dlg.SelectedRowsText();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("2026-05-11 09:00:00.000\tline-1\t"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("\tMass Production\tWrite\t0077309411339\tOK\t"))) << copied.toStdString();
    QString message;
    const QString csv = m_dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(dlg.ExportTo(csv, &message));
    EXPECT_EQ(message, QStringLiteral("10 records exported to ") + csv + u'.');
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 11);
    EXPECT_FALSE(dlg.ExportTo(m_dir.filePath(QStringLiteral("no/such/folder/out.csv")), &message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("The export to "))) << message.toStdString();
}

TEST_F(JournalWindowTest, TextsFollowTheLanguageAndADroppedInFileMayTranslateThemByKey) {
    CJournalDlg dlg(Path(), *m_language);
    EXPECT_EQ(dlg.windowTitle(), "Production Journal");
    for (QWidget* control : std::initializer_list<QWidget*>{dlg.m_btnCopy, dlg.m_btnExport, dlg.m_btnClose})
        EXPECT_EQ(control->accessibleName(), qobject_cast<QPushButton*>(control)->text());
    EXPECT_EQ(dlg.m_editIdentifier->accessibleName(), "Identifier:");

    m_language->SetLanguage(QStringLiteral("简体中文"));
    dlg.ApplyLanguage();
    EXPECT_EQ(dlg.windowTitle(), "生产记录");
    EXPECT_EQ(dlg.m_btnExport->text(), "导出 CSV...");
    EXPECT_EQ(dlg.Model().headerData(CJournalModel::COL_IDENTIFIER, Qt::Horizontal, Qt::DisplayRole), "卡号");
    EXPECT_EQ(dlg.Model().index(0, CJournalModel::COL_SOURCE).data().toString(), "量产");
    m_language->SetLanguage(QStringLiteral("繁體中文"));
    dlg.ApplyLanguage();
    EXPECT_EQ(dlg.m_btnClose->text(), "關閉");
    EXPECT_EQ(dlg.m_btnClose->accessibleName(), "關閉");

    // A language of its own, which names the window by key and leaves the rest to English.
    QFile german(m_dir.filePath(QStringLiteral("Language/4.Deutsch.ini")));
    ASSERT_TRUE(german.open(QIODevice::WriteOnly));
    german.write("[Setting]\r\nLanguage=Deutsch\r\n[SPECIAL_STRING]\r\nIDS_JOURNAL_TITLE=Produktionsjournal\r\n");
    german.close();
    m_language->SetLanguage(QStringLiteral("Deutsch"));
    dlg.ApplyLanguage();
    EXPECT_EQ(dlg.windowTitle(), "Produktionsjournal");
    EXPECT_EQ(dlg.m_btnCopy->text(), "Copy");
}

TEST_F(JournalWindowTest, TheFileMenuOpensTheJournalWindow) {
    CRFIDDlg main;
    ASSERT_TRUE(main.CreateTopLevel());
    QMenu* file = main.GetMenu()->actions().at(0)->menu();
    QAction* item = nullptr;
    for (QAction* action : file->actions())
        item = action->data().toInt() == ID_MENU_JOURNAL ? action : item;
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), "Production Journal...");
    const int index = int(file->actions().indexOf(item));
    EXPECT_TRUE(file->actions().at(index + 1)->isSeparator()); // above Exit
    item->trigger();
    ASSERT_TRUE(main.m_pJournalDlg);
    EXPECT_TRUE(main.m_pJournalDlg->isVisible());
    EXPECT_EQ(ShownRows(*main.m_pJournalDlg), 42);
}

TEST_F(JournalWindowTest, TheLogKeepsItsLastLinesOnly) {
    CRFIDDlg main;
    ASSERT_TRUE(main.CreateTopLevel());
    for (int i = 0; i < LOG_MAX_LINES + 50; ++i)
        main.AppendLog(QStringLiteral("\r\nline %1").arg(i), false);
    const QStringList lines = main.GetLogText().split(u'\n');
    EXPECT_EQ(lines.size(), LOG_MAX_LINES);
    EXPECT_EQ(lines.last(), QStringLiteral("line %1").arg(LOG_MAX_LINES + 49));
    EXPECT_EQ(lines.first(), QStringLiteral("line 50"));
}
