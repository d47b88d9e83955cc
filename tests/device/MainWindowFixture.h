#pragma once

// The main window running as the program runs it, with an emulated reader plugged in under
// umockdev, so the pages talk to it through the real libusb.

#include "language/MultiLanguage.h"
#include "shell/RFIDDlg.h"
#include "tools/emureader/EmuTestbed.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_appFolder.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_appFolder.path());
        // The pages' own behaviour is tested as it is without the production journal; the journal's
        // fixtures keep it (and write their own settings before the window reads them).
        if (!KeepsJournal())
            WriteSettings("[Journal]\nEnabled=0\n");
        m_plugged = m_testbed.PlugReader();
        m_dlg = std::make_unique<CRFIDDlg>();
    }
    void TearDown() override {
        m_dlg.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    virtual bool KeepsJournal() const { return false; }
    // Replaces setting.ini in the program's folder.
    void WriteSettings(const QByteArray& text) {
        QFile ini(m_appFolder.filePath(QStringLiteral("setting.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text);
    }

    // Runs `body` inside the main window's modal loop once `condition` holds, then ends it.
    void RunWhen(const std::function<bool()>& condition, const char* what,
                 const std::function<void()>& body) {
        QTimer::singleShot(0, m_dlg.get(), [&] {
            if (QTest::qWaitFor(condition, 5000))
                body();
            else
                ADD_FAILURE() << what;
            m_dlg->EndDialog(IDCANCEL);
        });
        m_dlg->DoModal();
    }
    void RunWhenReady(const std::function<void()>& body) {
        RunWhen([&] { return m_dlg->m_bDeviceReady != 0; }, "the reader never became ready", body);
    }
    // A reader that opens but never tells its name stays open and not ready: card commands
    // would reach it, but the pages must not send any.
    void RunWithUnidentifiedReader(const std::function<void()>& body) {
        Reader().SetName(std::string());
        RunWhen([&] { return m_dlg->m_bDeviceOpen && !m_dlg->m_bDeviceReady && Log() == "Disconnect!"; },
                "the reader was never opened",
                [&] {
                    Reader().ClearTransfers();
                    body();
                });
    }

    CEmulatedReader& Reader() { return m_plugged->Reader(); }
    QString Log() const { return m_dlg->GetLogText(); }

    // What an action adds to the log.
    QString LogAdded(const std::function<void()>& action) {
        const QString before = Log();
        action();
        const QString after = Log();
        EXPECT_TRUE(after.startsWith(before));
        return after.mid(before.size());
    }

    static QLineEdit* Edit(CDialog& page, int id) { return qobject_cast<QLineEdit*>(page.GetDlgItem(id)); }
    static void Click(CDialog& page, int id) { qobject_cast<QPushButton*>(page.GetDlgItem(id))->click(); }

    QTemporaryDir m_appFolder;
    CEmuTestbed m_testbed; // before any reader object: libusb picks its device folder at start
    std::shared_ptr<CEmuUsbDevice> m_plugged;
    std::unique_ptr<CRFIDDlg> m_dlg;
};

// The Mass Production page of the main window, filled in and written as an operator does.
class MassProductionOnReader : public MainWindowFixture {
protected:
    CMPDlg& Page() { return m_dlg->m_MPDlg; }
    QLineEdit* CardNo() { return Edit(Page(), CMPDlg::IDC_EDIT_CARDNO); }
    QLineEdit* VendorId() { return Edit(Page(), CMPDlg::IDC_EDIT_VENDORID); }
    void SetOption(int id, bool checked) {
        auto* button = qobject_cast<QAbstractButton*>(Page().GetDlgItem(id));
        if (button->isChecked() != checked)
            button->click();
    }
    // Shows the page with the given fields, number mode and Verify choice.
    void Prepare(const QString& vendorId, const QString& cardNo, int modeButton, bool verify) {
        m_dlg->ShowPage(1);
        VendorId()->setText(vendorId);
        CardNo()->setText(cardNo);
        SetOption(modeButton, true);
        SetOption(CMPDlg::IDC_CHECK_VERIFY, verify);
    }
    // Writes one card with Enter in the card number field, as an operator does.
    QString PressEnter() {
        return LogAdded([&] { QTest::keyClick(CardNo(), Qt::Key_Return); });
    }
};

// Hands-free runs of the Mass Production page: the test lays cards and takes them away. The journal is
// on, as it is by default: it tells finished cards laid again from blank ones.
class HandsFreeOnReader : public MassProductionOnReader {
protected:
    bool KeepsJournal() const override { return true; }
    QAbstractButton* Option(int id) { return qobject_cast<QAbstractButton*>(Page().GetDlgItem(id)); }
    QString WriteText() { return Option(CMPDlg::IDC_BUTTON_WRITE)->text(); }
    QString State() { return Page().m_labelRunState->text(); }
    CHandsFreeRun::Phase Phase() { return Page().m_Run.GetPhase(); }

    // Shows the page with vendor ID 1 and the card number, Increase and the Verify choice, checks
    // Hands-free and presses Write, which starts the run. pollMs > 0 polls faster than the page does.
    void StartRun(const QString& cardNo, bool verify, int pollMs = 0) {
        Prepare(QStringLiteral("1"), cardNo, CMPDlg::IDC_RADIO_INCREASE, verify);
        SetOption(CMPDlg::IDC_CHECK_HANDSFREE, true);
        if (pollMs > 0)
            Page().m_RunTimer.setInterval(pollMs);
        Option(CMPDlg::IDC_BUTTON_WRITE)->click();
        ASSERT_TRUE(Page().IsHandsFreeRunning());
        EXPECT_EQ(WriteText(), QStringLiteral("Stop"));
    }

    // Lays a card and waits until the page has done with it (its state line says good or failed).
    void LayCard(std::uint64_t cardId, CEmulatedReader::CardKind kind = CEmulatedReader::CARD_WRITABLE) {
        Reader().PutCard(cardId, kind);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Phase() != CHandsFreeRun::Phase::WaitingForCard; }, 5000));
        EXPECT_FALSE(State().startsWith(QStringLiteral("Writing")));
    }
    // Takes the card away and waits until the run waits for the next one.
    void TakeCardAway() {
        Reader().RemoveCard();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return Phase() != CHandsFreeRun::Phase::WaitingForRemoval; }, 5000));
    }

    int LogLinesWith(const QString& text) { return int(Log().count(text)); }
};

inline const QString kWritten = QStringLiteral("\nWRITE CARD SUCCESS\u221A");
inline const QString kWriteError = QStringLiteral("\nWRITE CARD ERROR\u00D7");
