// Mass Production's batch controls in the main window: the choice and its label whole inside the page in
// the three built-in languages, at the first size and at 640 x 480; a long name elided with its tooltip
// whole; choosing a batch while the reader is away says why it cannot be done yet.

#include "batches/Batch.h"
#include "journal/Database.h"
#include "journal/JournalSettings.h"
#include "pages/MPDlg.h"
#include "shell/RFIDDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MassProductionBatchControls : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_dir.path());
    }
    void TearDown() override {
        m_window.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    CMPDlg& OpenPage() {
        m_window = std::make_unique<CRFIDDlg>();
        EXPECT_TRUE(m_window->CreateTopLevel());
        m_window->show();
        m_window->ShowPage(1);
        QCoreApplication::processEvents();
        return m_window->MassProductionPage();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CRFIDDlg> m_window;
};

} // namespace

TEST_F(MassProductionBatchControls, TheChoiceAndItsLabelStayWholeInsideThePageInEveryBuiltInLanguageAndSize) {
    CMPDlg& page = OpenPage();
    auto* label = qobject_cast<QLabel*>(page.GetDlgItem(CMPDlg::IDC_STATIC_BATCH));
    auto* choice = qobject_cast<QComboBox*>(page.GetDlgItem(CMPDlg::IDC_COMBO_BATCH));
    ASSERT_TRUE(label && choice);
    const int least = choice->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM"));
    for (const QSize size : {m_window->size(), QSize(640, 480)}) {
        m_window->resize(size);
        QCoreApplication::processEvents();
        for (const char* language : {"English", "简体中文", "繁體中文"}) {
            m_window->ApplyLanguage(QString::fromUtf8(language));
            QCoreApplication::processEvents();
            const QString where = QStringLiteral("%1 at %2x%3").arg(QString::fromUtf8(language)).arg(size.width()).arg(size.height());
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << qPrintable(where);
            EXPECT_GE(label->geometry().left(), 0) << qPrintable(where);
            EXPECT_LT(label->geometry().right(), choice->geometry().left()) << qPrintable(where);
            EXPECT_LE(choice->geometry().right(), page.rect().right()) << qPrintable(where);
            EXPECT_GE(choice->width(), least) << qPrintable(where);
            EXPECT_EQ(choice->accessibleName(), label->text());
            for (int id : {CMPDlg::IDC_RADIO_INCREASE, CMPDlg::IDC_RADIO_RANDOM, CMPDlg::IDC_RADIO_NOCHANGE,
                           CMPDlg::IDC_CHECK_VERIFY, CMPDlg::IDC_CHECK_HANDSFREE, CMPDlg::IDC_EDIT_VENDORID,
                           CMPDlg::IDC_EDIT_CARDNO, CMPDlg::IDC_BUTTON_WRITE}) {
                const QRect option = page.GetDlgItem(id)->geometry();
                EXPECT_FALSE(option.intersects(label->geometry()) || option.intersects(choice->geometry()))
                    << qPrintable(where) << " " << id;
            }
        }
    }
}

TEST_F(MassProductionBatchControls, ALongNameIsWholeInItsTooltipAndChoosingItWithoutTheReaderSaysWhy) {
    const QString name = QStringLiteral("Customer with a very long order name, delivery of December, second lot");
    {
        QString error;
        const std::optional<DatabaseLocation> location =
            ParseDatabaseLocation(ReadJournalSettings(m_dir.path()).connection, &error);
        ASSERT_TRUE(location) << error.toStdString();
        QSqlDatabase db = OpenDatabase(*location, QStringLiteral("set-up"), &error);
        ASSERT_TRUE(db.isOpen() && MigrateDatabase(db, &error)) << error.toStdString();
        ASSERT_TRUE(CreateRangeBatch(db, name, {7, 1, 10, BatchOrder::InOrder}, &error)) << error.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("set-up"));
    CMPDlg& page = OpenPage();
    ASSERT_TRUE(m_window->Recorder()->ReadyToWrite());
    page.RefreshBatchList();
    auto* choice = qobject_cast<QComboBox*>(page.GetDlgItem(CMPDlg::IDC_COMBO_BATCH));
    const int index = choice->findText(name);
    ASSERT_GT(index, 0);
    EXPECT_EQ(choice->itemData(index, Qt::ToolTipRole).toString(), name);
    EXPECT_LT(choice->width(), choice->fontMetrics().horizontalAdvance(name)); // shown elided

    ASSERT_FALSE(m_window->IsReaderReady());
    choice->setCurrentIndex(index);
    emit choice->activated(index);
    EXPECT_EQ(choice->currentIndex(), 0);
    EXPECT_TRUE(m_window->Log()->toPlainText().contains("A batch can be chosen once the reader is connected"))
        << m_window->Log()->toPlainText().toStdString();
}
