// The journal window against a generated journal: filters, totals, copy and export; its texts in the
// three built-in languages and from a dropped-in language file; File > Production Journal... opens it.

#include "journal/JournalExport.h"
#include "resources/DialogTemplates.h"
#include "shell/JournalDlg.h"
#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"
#include "rfidctl/Rfidctl.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QHeaderView>
#include <QtTest/QTest>
#include <QTableView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QDir>
#include <QTimeZone>

#include "tests/support/ShippedLanguages.h"

#include <gtest/gtest.h>

#include <sstream>

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

    static int ShownRows(CJournalDlg& dlg) { return dlg.Model().rowCount(); }
    // Waits for the totals (and the exact count, where the model estimated it) the window asked for.
    static void WaitForFigures(CJournalDlg& dlg) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.FiguresPending(); }, 10000));
    }
    // The rows of the filter the controls show now, their totals counted.
    static int Filtered(CJournalDlg& dlg) {
        dlg.Refresh();
        WaitForFigures(dlg);
        return dlg.Model().rowCount();
    }

    QTemporaryDir m_dir;
    std::optional<CMultiLanguage> m_language; // made once the test's folder is the default one
};

} // namespace

TEST_F(JournalWindowTest, FiltersChooseTheRecordsAndTheTotalsCountWhatIsShown) {
    CJournalDlg dlg(Path(), *m_language);
    WaitForFigures(dlg);
    EXPECT_EQ(ShownRows(dlg), 33 + 3 * 3);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 33    Failed: 0    Refused: 3    To throw away: 3    Overwritten: 0    Records: 42");
    EXPECT_EQ(dlg.Model().RecordAt(0)->operation, JournalOperation::Verify); // newest first

    dlg.m_dateFrom->setDate(QDate(2026, 5, 11));
    dlg.m_dateTo->setDate(QDate(2026, 5, 11));
    EXPECT_EQ(Filtered(dlg), 11 + 3);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 11    Failed: 0    Refused: 1    To throw away: 1    Overwritten: 0    Records: 14");

    dlg.m_dateTo->setDate(dlg.m_dateTo->minimumDate()); // "(any)"
    dlg.m_comboResult->setCurrentIndex(1 + int(JournalResult::VerifyFailed));
    EXPECT_EQ(Filtered(dlg), 1 + 2);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 0    Failed: 0    Refused: 0    To throw away: 3    Overwritten: 0    Records: 3");

    dlg.m_comboResult->setCurrentIndex(0);
    dlg.m_dateFrom->setDate(dlg.m_dateFrom->minimumDate());
    dlg.m_editStation->setText(QStringLiteral("line-1"));
    EXPECT_EQ(Filtered(dlg), 11 + 3);
    dlg.m_editStation->clear();
    // The number printed on the card finds it, whatever its vendor.
    dlg.m_editIdentifier->setText(QStringLiteral("9"));
    EXPECT_EQ(Filtered(dlg), 1);
    EXPECT_EQ(dlg.Model().RecordAt(0)->identifier, 0x1200000009ull);
    dlg.m_editIdentifier->setText(QStringLiteral("18:9"));
    dlg.m_comboSource->setCurrentIndex(2); // Mass Production
    EXPECT_EQ(Filtered(dlg), 1);
    dlg.m_editIdentifier->setText(QStringLiteral("0x1200000009"));
    EXPECT_EQ(Filtered(dlg), 1);
    dlg.m_editIdentifier->setText(QStringLiteral("0x12"));
    EXPECT_EQ(Filtered(dlg), 0);
    dlg.m_comboSource->setCurrentIndex(0);
    dlg.m_editIdentifier->setText(QStringLiteral("0077309411330"));
    EXPECT_EQ(Filtered(dlg), 1);

    // Copy takes the selected rows as shown; the export takes every record shown, as CSV.
    dlg.m_table->selectRow(0);
    const QString copied = dlg.SelectedRowsText();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("2026-05-10 09:00:00.000\tline-0\t"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("\tMass Production\tWrite\t0077309411330\tOK\t"))) << copied.toStdString();
    QString message;
    const QString csv = m_dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(dlg.ExportTo(csv, &message));
    EXPECT_EQ(message, QStringLiteral("1 records exported to ") + csv + u'.');
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 2);
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
    // A reason is stored in the journal's own words and shown in the window's.
    JournalRecord overwrite;
    overwrite.operation = JournalOperation::Overwrite;
    overwrite.identifier = 5;
    overwrite.reason = QStringLiteral("overwritten with 0000000000555; back to batch order");
    QString error;
    ASSERT_TRUE(dlg.Journal()->Add(overwrite, &error)) << error.toStdString();
    ASSERT_EQ(dlg.TakeNewRecords(), 1);
    EXPECT_EQ(dlg.Model().index(0, CJournalModel::COL_REASON).data().toString(), "已被 0000000000555 覆盖; 已退回批次 order");
    m_language->SetLanguage(QStringLiteral("繁體中文"));
    dlg.ApplyLanguage();
    EXPECT_EQ(dlg.Model().index(0, CJournalModel::COL_REASON).data().toString(), "已被 0000000000555 覆寫; 已退回批次 order");
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
    ASSERT_TRUE(main.JournalWindow());
    EXPECT_TRUE(main.JournalWindow()->isVisible());
    EXPECT_EQ(ShownRows(*main.JournalWindow()), 42);
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

TEST_F(JournalWindowTest, NewRecordsAppearWithoutLosingTheSelectionOrTheRowsInView) {
    CJournalDlg dlg(Path(), *m_language);
    WaitForFigures(dlg);
    dlg.resize(900, 300);
    dlg.show();
    QScrollBar* scroll = dlg.m_table->verticalScrollBar();
    const auto addCards = [&](int count) {
        for (int i = 0; i < count; ++i) {
            JournalRecord record;
            record.station = QStringLiteral("line-9");
            record.operation = JournalOperation::Write;
            record.identifier = 0x1300000000ull + std::uint64_t(i);
            QString error;
            ASSERT_TRUE(dlg.Journal()->Add(record, &error)) << error.toStdString();
        }
    };
    // Scrolled down with a row selected: both stay on their records.
    scroll->setValue(scroll->maximum());
    ASSERT_GT(scroll->value(), 0);
    const int selectedRow = 40;
    dlg.m_table->selectRow(selectedRow);
    const std::int64_t selectedId = dlg.Model().RecordAt(selectedRow)->id;
    const std::int64_t topId = dlg.Model().RecordAt(scroll->value())->id;
    addCards(2);
    EXPECT_EQ(dlg.TakeNewRecords(), 2);
    EXPECT_EQ(ShownRows(dlg), 44);
    EXPECT_EQ(dlg.Model().RecordAt(scroll->value())->id, topId);
    const QModelIndexList selected = dlg.m_table->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(dlg.Model().RecordAt(selected[0].row())->id, selectedId);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 35    Failed: 0    Refused: 3    To throw away: 3    Overwritten: 0    Records: 44");

    // At the top the view shows what came; the window's own timer takes it in.
    scroll->setValue(0);
    addCards(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownRows(dlg) == 45; }, 2000));
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(dlg.Model().RecordAt(0)->station, QStringLiteral("line-9"));
}

TEST_F(JournalWindowTest, TheWindowsExportIsRfidctlsForTheSameFilter) {
    CJournalDlg dlg(Path(), *m_language);
    dlg.m_editStation->setText(QStringLiteral("line-2"));
    dlg.m_comboResult->setCurrentIndex(1 + int(JournalResult::Ok));
    ASSERT_EQ(Filtered(dlg), 12 + 2);
    const struct {
        ExportFormat format;
        const char* option;
        const char* file;
    } forms[] = {{ExportFormat::Csv, "--csv", "out.csv"}, {ExportFormat::Json, "--json", "out.json"}};
    for (const auto& form : forms) {
        QString message;
        const QString path = m_dir.filePath(QLatin1String(form.file));
        ASSERT_TRUE(dlg.ExportTo(path, &message, form.format)) << message.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        std::ostringstream out, err;
        ASSERT_EQ(RunRfidctl({"journal", form.option, "--station", "line-2", "--result", "ok", "--journal",
                              Path().toStdString()},
                             out, err),
                  0)
            << err.str();
        EXPECT_EQ(file.readAll().toStdString(), out.str()) << form.option;
    }
}

TEST_F(JournalWindowTest, ColumnsShowTheirTextsWholeInEachLanguageAndTheTableUsesTheWidth) {
    ASSERT_TRUE(ProvideShippedLanguages(m_dir.path()));
    QStringList languages;
    m_language->GetLanguageList(languages);
    ASSERT_EQ(languages.size(), 3 + ShippedLanguageFiles().size());
    CJournalDlg dlg(Path(), *m_language);
    dlg.show();
    for (const QString& language : languages) {
        m_language->SetLanguage(language);
        dlg.ApplyLanguage();
        const QHeaderView* header = dlg.m_table->horizontalHeader();
        EXPECT_GE(header->length(), dlg.m_table->viewport()->width()) << language.toStdString();
        const QFontMetrics metrics(dlg.m_table->font());
        for (int column = 0; column < CJournalModel::COLUMN_COUNT; ++column) {
            const QString title = dlg.Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            EXPECT_GE(header->sectionSize(column), QFontMetrics(header->font()).horizontalAdvance(title))
                << language.toStdString() << " " << title.toStdString();
            for (int row = 0; row < 5; ++row) {
                const QString text = dlg.Model().index(row, column).data().toString();
                EXPECT_GE(header->sectionSize(column), metrics.horizontalAdvance(text))
                    << language.toStdString() << " " << text.toStdString();
            }
        }
    }
}

TEST_F(JournalWindowTest, CalendarsOpenAtTodayAndTheExportStartsInTheDocumentsFolder) {
    CJournalDlg dlg(Path(), *m_language);
    dlg.show();
    // The month a date field's calendar shows when a click on its arrow opens it.
    const auto openedAt = [](QDateEdit* edit) {
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
        QCalendarWidget* calendar = edit->calendarWidget();
        EXPECT_TRUE(calendar->isVisible());
        const QDate shown(calendar->yearShown(), calendar->monthShown(), 1);
        calendar->window()->hide();
        return shown;
    };
    const QDate today = QDate::currentDate();
    for (QDateEdit* edit : {dlg.m_dateFrom, dlg.m_dateTo}) {
        ASSERT_EQ(edit->date(), edit->minimumDate()); // "(any)"
        EXPECT_EQ(openedAt(edit), QDate(today.year(), today.month(), 1));
    }
    // A chosen day keeps its own month.
    dlg.m_dateTo->setDate(QDate(2026, 5, 11));
    EXPECT_EQ(openedAt(dlg.m_dateTo), QDate(2026, 5, 1));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(dlg.ExportFolder(), documents.isEmpty() ? QDir::homePath() : documents);
}

TEST_F(JournalWindowTest, ABroadFilterShowsItsRowsFirstAndItsCountAndTotalsWhenTheCounterHasThem) {
    CJournalDlg dlg(Path(), *m_language);
    WaitForFigures(dlg);
    dlg.Model().SetCountAtOnceLimit(10);
    dlg.m_editStation->setText(QStringLiteral("line-1"));
    dlg.Refresh();
    // Stale before it is answered: only the newest request is.
    dlg.m_editStation->setText(QStringLiteral("line-2"));
    dlg.Refresh();
    EXPECT_TRUE(dlg.Model().CountIsEstimate());
    EXPECT_TRUE(dlg.FiguresPending());
    EXPECT_EQ(dlg.m_totals->text(), "Counting...");
    EXPECT_EQ(dlg.Model().RecordAt(0)->operation, JournalOperation::Verify); // the newest row is there at once
    WaitForFigures(dlg);
    EXPECT_FALSE(dlg.Model().CountIsEstimate());
    EXPECT_EQ(ShownRows(dlg), 12 + 2 * 3);
    EXPECT_EQ(dlg.m_totals->text(), "Good cards: 12    Failed: 0    Refused: 2    To throw away: 2    Overwritten: 0    Records: 18");
    EXPECT_EQ(dlg.Model().RecordAt(ShownRows(dlg) - 1)->station, QStringLiteral("line-2"));
    EXPECT_EQ(dlg.Model().RecordAt(ShownRows(dlg) - 1)->result, JournalResult::Ok);
}

TEST_F(JournalWindowTest, TheTableMovesSelectsAndCopiesAcrossPageEdgesOfALongJournal) {
    {
        JournalStatus status;
        auto journal = CJournal::Open(Path(), &status);
        ASSERT_TRUE(journal);
        ASSERT_TRUE(journal->Database().transaction());
        for (int i = 0; i < 3 * CJournalModel::PAGE_SIZE; ++i) {
            JournalRecord record;
            record.time = QDateTime(QDate(2026, 6, 1), QTime(8, 0), QTimeZone::utc()).addSecs(i);
            record.station = QStringLiteral("line-7");
            record.identifier = 0x1400000000ull + std::uint64_t(i);
            QString error;
            ASSERT_TRUE(journal->Add(record, &error)) << error.toStdString();
        }
        ASSERT_TRUE(journal->Database().commit());
    }
    CJournalDlg dlg(Path(), *m_language);
    dlg.resize(900, 300);
    dlg.show();
    WaitForFigures(dlg);
    CJournalTable& table = *dlg.m_table;
    const int rows = ShownRows(dlg);
    ASSERT_EQ(rows, 42 + 3 * CJournalModel::PAGE_SIZE);
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&table, key, modifiers); };

    // The scroll bar spans every row; Ctrl+End shows the oldest record at the bottom.
    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(table.currentIndex().row(), rows - 1);
    EXPECT_EQ(table.verticalScrollBar()->value(), rows - table.RowsInView());
    EXPECT_EQ(table.verticalScrollBar()->maximum(), rows - table.RowsInView());
    EXPECT_EQ(dlg.Model().RecordAt(rows - 1)->time, QDateTime(QDate(2026, 5, 10), QTime(9, 0), QTimeZone::utc()));

    // Up from a row just below a page's edge, with Shift, over the edge: every row between is selected.
    const int edge = rows - CJournalModel::PAGE_SIZE; // the rows above it come from another page
    table.selectRow(edge + 1);
    press(Qt::Key_Up, Qt::ShiftModifier);
    press(Qt::Key_Up, Qt::ShiftModifier);
    press(Qt::Key_PageUp, Qt::ShiftModifier);
    const int top = edge - 1 - table.RowsInView();
    EXPECT_EQ(table.currentIndex().row(), top);
    EXPECT_EQ(table.TopRow(), top);
    QModelIndexList selected = table.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), edge + 1 - top + 1);
    const QStringList lines = dlg.SelectedRowsText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), selected.size());
    EXPECT_TRUE(lines.front().startsWith(dlg.Model().index(top, 0).data().toString()));
    EXPECT_TRUE(lines.back().startsWith(dlg.Model().index(edge + 1, 0).data().toString()));

    // Scrolled far away and back, the selection stays on its rows; a click selects the row under it.
    table.verticalScrollBar()->setValue(0);
    EXPECT_EQ(table.indexAt(QPoint(5, 1)).row(), 0);
    table.verticalScrollBar()->setValue(top);
    EXPECT_TRUE(table.selectionModel()->isRowSelected(edge, QModelIndex()));
    const int clicked = top + 2;
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, QPoint(5, 2 * table.RowHeight() + table.RowHeight() / 2));
    selected = table.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), clicked);

    // Page Down at the bottom stays on the last row; Ctrl+Home goes back to the newest.
    press(Qt::Key_End, Qt::ControlModifier);
    press(Qt::Key_PageDown);
    EXPECT_EQ(table.currentIndex().row(), rows - 1);
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(table.currentIndex().row(), 0);
    EXPECT_EQ(table.TopRow(), 0);
    EXPECT_EQ(dlg.Model().RecordAt(0)->station, QStringLiteral("line-7"));
}
