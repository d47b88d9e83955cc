// The main window's reader presence against the emulated reader: the real libusb and the real
// udev monitor under umockdev.
#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"
#include "emulator/EmuTestbed.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString kIdentification = QStringLiteral("RFID Reader Version: 1.0.2");
const QString kDisconnect = QStringLiteral("Disconnect!");

class ReaderPresenceDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_dir.path());
        m_testbed = std::make_unique<CEmuTestbed>(); // before any reader object
    }
    void TearDown() override {
        m_dlg.reset();
        m_testbed.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    CRFIDDlg& OpenWindow() {
        m_dlg = std::make_unique<CRFIDDlg>();
        EXPECT_TRUE(m_dlg->CreateTopLevel());
        m_dlg->show();
        return *m_dlg;
    }

    bool WaitForLog(const QString& text, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return m_dlg->GetLogText() == text; }, timeoutMs);
    }

    // Reads the card through the Read/Write page and returns what that added to the log.
    QString ReadThroughThePage() {
        const QString before = m_dlg->GetLogText();
        qobject_cast<QPushButton*>(m_dlg->ReadWritePage().GetDlgItem(COPMainDlg::IDC_BUTTON_READ))->click();
        return m_dlg->GetLogText().mid(before.size());
    }
    // Unplugging and plugging in while the window handles nothing: both notices wait in the
    // monitor and are applied back to back, with no tick between them.
    template <typename Plug> void ReplugBetweenTicks(CEmuUsbDevice& reader, Plug plug) {
        reader.Unplug();
        plug();
        QThread::msleep(50);
    }

    std::vector<int> Flags() const {
        return {m_dlg->IsReaderPresent(), m_dlg->IsReaderOpen(), m_dlg->IsReaderReady()};
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CEmuTestbed> m_testbed;
    std::unique_ptr<CRFIDDlg> m_dlg;
};

} // namespace

TEST_F(ReaderPresenceDeviceTest, ReaderAttachedBeforeStartIsIdentifiedRightAway) {
    auto reader = m_testbed->PlugReader();
    CRFIDDlg& dlg = OpenWindow();
    // The start-up scan runs after 100 ms and identification on the next tick.
    EXPECT_TRUE(WaitForLog(kIdentification, 3000)) << dlg.GetLogText().toStdString();
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(reader->Reader().CountTransfers(128), 1);
    EXPECT_EQ(reader->Reader().CountTransfers(129), 1);
}

TEST_F(ReaderPresenceDeviceTest, UnplugWritesDisconnectOnceHoweverManyTicksPass) {
    auto reader = m_testbed->PlugReader();
    CRFIDDlg& dlg = OpenWindow();
    ASSERT_TRUE(WaitForLog(kIdentification));
    dlg.AppendLog(QString::fromUtf8("\r\nREAD CARD SUCCESS√"), false);

    QSignalSpy changes(dlg.Log()->document(), &QTextDocument::contentsChanged);
    reader->Unplug();
    ASSERT_TRUE(WaitForLog(kDisconnect));
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0}));
    const qsizetype afterDisconnect = changes.count();
    QTest::qWait(1000); // ten ticks of the state machine
    EXPECT_EQ(changes.count(), afterDisconnect);
    EXPECT_EQ(dlg.GetLogText(), kDisconnect);
}

TEST_F(ReaderPresenceDeviceTest, ReplugReopensAndIdentifiesTheReaderAgain) {
    auto reader = m_testbed->PlugReader();
    OpenWindow();
    ASSERT_TRUE(WaitForLog(kIdentification));
    reader->Unplug();
    ASSERT_TRUE(WaitForLog(kDisconnect));

    reader->Reader().SetName("Second");
    reader->Replug();
    EXPECT_TRUE(WaitForLog("Second Version: 1.0.2"));
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 1}));
}

TEST_F(ReaderPresenceDeviceTest, ReplugOrReenumerationBetweenTwoTicksReopensTheReader) {
    auto reader = m_testbed->PlugReader();
    reader->Reader().PutCard(78187493530);
    OpenWindow();
    ASSERT_TRUE(WaitForLog(kIdentification));
    const QString readOk = QStringLiteral("\nREAD CARD SUCCESS\u221A [VENDOR ID:018 CARD NO.:0878082202]");
    EXPECT_EQ(ReadThroughThePage(), readOk);

    reader->Reader().SetName("Same node");
    ReplugBetweenTicks(*reader, [&] { reader->Replug(); });
    EXPECT_TRUE(WaitForLog("Same node Version: 1.0.2")) << m_dlg->GetLogText().toStdString();
    EXPECT_EQ(ReadThroughThePage(), readOk);

    // A re-enumeration brings the reader back under another device number.
    std::shared_ptr<CEmuUsbDevice> renumbered;
    ReplugBetweenTicks(*reader, [&] {
        renumbered = m_testbed->PlugReader();
        renumbered->Reader().SetName("New node");
        renumbered->Reader().PutCard(78187493530);
    });
    EXPECT_TRUE(WaitForLog("New node Version: 1.0.2")) << m_dlg->GetLogText().toStdString();
    EXPECT_EQ(ReadThroughThePage(), readOk);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 1}));
}

TEST_F(ReaderPresenceDeviceTest, ReaderPluggedInAfterStartIsFoundThroughItsArrival) {
    CRFIDDlg& dlg = OpenWindow();
    ASSERT_TRUE(WaitForLog(kDisconnect));
    QTest::qWait(300); // the start-up scan has found nothing
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0}));
    auto reader = m_testbed->PlugReader();
    EXPECT_TRUE(WaitForLog(kIdentification)) << dlg.GetLogText().toStdString();
}

TEST_F(ReaderPresenceDeviceTest, OtherDevicesComingAndGoingChangeNothing) {
    CRFIDDlg& dlg = OpenWindow();
    ASSERT_TRUE(WaitForLog(kDisconnect));
    auto mouse = m_testbed->PlugDevice(0x046d, 0xc52b);
    auto wrongProduct = m_testbed->PlugReader(0x0314, 0x1002);
    QTest::qWait(400);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(wrongProduct->Reader().CountTransfers(128), 0);

    auto reader = m_testbed->PlugReader();
    ASSERT_TRUE(WaitForLog(kIdentification));
    dlg.AppendLog("\r\npage message", false);
    const QString log = dlg.GetLogText();
    mouse->Unplug();
    wrongProduct->Unplug();
    QTest::qWait(400);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(dlg.GetLogText(), log);
}

TEST_F(ReaderPresenceDeviceTest, ReaderThatNeverAnswersItsNameOrVersionStaysDisconnected) {
    auto reader = m_testbed->PlugReader();
    reader->Reader().SetFault(129, CEmulatedReader::Fault::Stall);
    CRFIDDlg& dlg = OpenWindow();
    QTest::qWait(800);
    EXPECT_EQ(dlg.GetLogText(), kDisconnect);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 1, 0}));
    // Identification is retried every tick, each time with both requests.
    EXPECT_GE(reader->Reader().CountTransfers(129), 3);
    EXPECT_EQ(reader->Reader().CountTransfers(128), reader->Reader().CountTransfers(129));

    reader->Reader().ClearFaults();
    reader->Reader().SetFault(128, CEmulatedReader::Fault::NoReply);
    QTest::qWait(400);
    EXPECT_EQ(dlg.GetLogText(), kDisconnect);

    reader->Reader().ClearFaults();
    EXPECT_TRUE(WaitForLog(kIdentification));
}
