// File > Reader of the main window: hidden with one reader, a choice with several, remembered by id.

#include "tests/device/MainWindowFixture.h"

#include "platform/PrivateProfile.h"
#include "platform/System.h"
#include "reader/USBDevice.h"

#include <QMenu>

#include <algorithm>

namespace {

class ReaderMenuOnReaders : public MainWindowFixture {
protected:
    void TearDown() override {
        MainWindowFixture::TearDown();
        CUSBDevice::ChooseReader(std::string()); // the remembered reader is this window's, not the next test's
    }
    QMenu* Menu() { return m_dlg->ReaderMenu().Menu(); }
    QStringList Items() {
        emit Menu()->aboutToShow();
        QStringList texts;
        for (QAction* item : Menu()->actions())
            texts << item->text() + (item->isChecked() ? "*" : "");
        return texts;
    }
    QString Id(const CEmuUsbDevice& device) const { return QString("1-%1").arg(device.DeviceNumber() - 1); }
};

} // namespace

TEST_F(ReaderMenuOnReaders, OneReaderHidesTheEntryAndSeveralLetTheOperatorChooseAndTheChoiceIsKept) {
    RunWhenReady([&] { EXPECT_FALSE(Menu()->menuAction()->isVisible()); });

    auto second = m_testbed.PlugReaderWithSerial("RD-0002");
    second->Reader().SetName("SECOND");
    RunWhen([&] { return Menu()->menuAction()->isVisible(); }, "the Reader entry never showed", [&] {
        const QString open = QString::fromStdString(CUSBDevice::OpenReaderPlace().id);
        EXPECT_EQ(open, Id(*m_plugged)); // the window keeps the reader it had
        const QStringList items = Items();
        EXPECT_TRUE(items.contains(Id(*m_plugged) + "*")) << items.join(", ").toStdString();
        EXPECT_TRUE(items.contains(Id(*second) + " (RD-0002)")) << items.join(", ").toStdString();
        // Choosing the second: the window uses it and says which reader it now has.
        for (QAction* item : Menu()->actions()) {
            if (item->text().startsWith(Id(*second)))
                item->trigger();
        }
        EXPECT_EQ(QString::fromStdString(CUSBDevice::OpenReaderPlace().id), Id(*second));
        EXPECT_TRUE(Log().contains("SECOND")) << Log().toStdString();
    });
    EXPECT_EQ(GetPrivateProfileString(READER_SECTION, READER_KEY, QString(), 64,
                                      m_appFolder.filePath(QStringLiteral("setting.ini"))),
              Id(*second));

    // A new window takes the remembered reader, also when the other is first on the bus.
    m_dlg.reset();
    CUSBDevice::ChooseReader(std::string());
    m_dlg = std::make_unique<CRFIDDlg>();
    RunWhenReady([&] { EXPECT_EQ(QString::fromStdString(CUSBDevice::OpenReaderPlace().id), Id(*second)); });
}

TEST_F(ReaderMenuOnReaders, AReaderAnotherProgramHoldsIsNotTakenAndTheWindowSaysWhy) {
    const auto second = m_testbed.PlugReaderWithSerial("RD-0003");
    RunWhen([&] { return Menu()->menuAction()->isVisible(); }, "the Reader entry never showed", [&] {
        const std::vector<ReaderPlace> places = ListReaderPlaces();
        const std::string windows = CUSBDevice::OpenReaderPlace().id;
        const auto held = std::find_if(places.begin(), places.end(), [&](const ReaderPlace& p) { return p.id != windows; });
        ASSERT_NE(held, places.end());
        CFileLock otherProgram(ReaderLockPath(*held)); // a lock of its own, as another process holds it
        QString error;
        ASSERT_TRUE(otherProgram.TryLock(&error)) << error.toStdString();
        m_dlg->ReaderMenu().Choose(held->id);
        EXPECT_TRUE(CUSBDevice::OpenReaderPlace().id.empty());
        EXPECT_TRUE(Log().contains(QString("The reader %1 is in use by another program.").arg(QString::fromStdString(held->id))))
            << Log().toStdString();
    });
}
