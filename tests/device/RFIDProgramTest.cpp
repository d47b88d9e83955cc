// The real RFID program on an X server of its own (Xvfb) with the emulated reader plugged in:
// its window appears, is captured as a PNG into the build folder, and closing it through the
// window manager's close request stores the placement and both splitter positions. Killed in the
// middle of a Mass Production batch typed at its keyboard, it leaves a sound journal with every card.
#include "journal/Journal.h"
#include "shell/WindowPlacement.h"
#include "emulator/EmuTestbed.h"
#include "tests/support/TestPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <csignal>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

// An X server on a display number nobody uses.
class CXvfb {
public:
    CXvfb() {
        for (int n = 91; n < 140; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_display = QStringLiteral(":%1").arg(n);
            m_server.start("Xvfb", {m_display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
            if (m_server.waitForStarted(5000) &&
                QTest::qWaitFor([n] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)); },
                                5000))
                return;
            m_server.kill();
            m_server.waitForFinished();
        }
        m_display.clear();
    }
    ~CXvfb() {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished();
    }
    QString Display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

// Runs an X tool on the display and returns its standard output, trimmed.
QString RunOnDisplay(const QString& display, const QString& program, const QStringList& arguments,
                     int timeoutMs = 10000) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.remove("LD_PRELOAD");
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return QString();
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// What a window manager sends when the close box is pressed: WM_PROTOCOLS / WM_DELETE_WINDOW.
bool SendCloseRequest(const QString& display, xcb_window_t window) {
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = InternAtom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = InternAtom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    xcb_disconnect(connection);
    return true;
}

// A copy of the program in a folder of its own (it keeps setting.ini, its languages and its journal beside
// itself), started on the display with the emulated reader.
class CProgramCopy {
public:
    CProgramCopy(const CEmuTestbed& testbed, const QString& display) {
        m_program = m_appDir.filePath("RFID");
        m_bCopied = QFile::copy(QStringLiteral(RFID_PROGRAM_PATH), m_program);
        QProcessEnvironment env = testbed.ChildEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_CONFIG_HOME", ConfigHome());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    bool Start() {
        if (!m_appDir.isValid() || !m_bCopied)
            return false;
        m_process.start(m_program, {});
        return m_process.waitForStarted(5000);
    }
    ~CProgramCopy() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString ConfigHome() const { return m_appDir.filePath("config"); }
    QString FilePath(const QString& name) const { return m_appDir.filePath(name); }
    QProcess& Process() { return m_process; }

private:
    QTemporaryDir m_appDir;
    QString m_program;
    bool m_bCopied = false;
    QProcess m_process;
};

// How long the program may take to show its window: a sanitizer build on a busy machine takes seconds.
constexpr int kWindowAppearsMs = 60000;

// The main window, once it is shown.
xcb_window_t FindMainWindow(const QString& display) {
    const QString found = RunOnDisplay(display, "xdotool",
                                       {"search", "--sync", "--onlyvisible", "--name", "^RFID Read\\|Write$"},
                                       kWindowAppearsMs);
    return found.isEmpty() ? 0 : found.split('\n').first().toUInt();
}

} // namespace

TEST(RFIDProgram, StartsWithTheReaderAndStoresItsLayoutWhenClosedThroughTheCloseBox) {
    CXvfb xvfb;
    ASSERT_FALSE(xvfb.Display().isEmpty()) << "no X server could be started";
    CEmuTestbed testbed;
    auto reader = testbed.PlugReader();

    // The program keeps setting.ini and its language files beside itself: run a copy.
    QTemporaryDir appDir;
    ASSERT_TRUE(appDir.isValid());
    const QString program = appDir.filePath("RFID");
    ASSERT_TRUE(QFile::copy(QStringLiteral(RFID_PROGRAM_PATH), program));
    const QString configHome = appDir.filePath("config");

    QProcessEnvironment env = testbed.ChildEnvironment();
    env.insert("DISPLAY", xvfb.Display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", configHome);
    QProcess rfid;
    rfid.setProcessEnvironment(env);
    rfid.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    rfid.start(program, {});
    ASSERT_TRUE(rfid.waitForStarted(5000));

    const QString found = RunOnDisplay(xvfb.Display(), "xdotool",
                                       {"search", "--sync", "--onlyvisible", "--name", "^RFID Read\\|Write$"},
                                       kWindowAppearsMs);
    ASSERT_FALSE(found.isEmpty()) << "the main window did not appear";
    const xcb_window_t window = found.split('\n').first().toUInt();

    QTest::qWait(1500); // the start-up scan and the identification of the reader
    EXPECT_EQ(reader->Reader().CountTransfers(128), 1);
    const QString screenshot = TestBuildPath(QStringLiteral("tests/RFID-main-window.png"));
    QFile::remove(screenshot);
    RunOnDisplay(xvfb.Display(), "import", {"-window", "root", screenshot});
    EXPECT_TRUE(QFile::exists(screenshot));

    // Without a window manager, on a loaded machine, Qt's X connection sometimes takes a close request
    // only after several tries (a bare QDialog shows the same), so the request is repeated, as a user
    // would click the close box again.
    bool ended = false;
    for (int attempt = 0; attempt < 120 && !ended; ++attempt) {
        ASSERT_TRUE(SendCloseRequest(xvfb.Display(), window));
        ended = rfid.waitForFinished(500);
    }
    ASSERT_TRUE(ended) << "the program did not end on the close request";
    EXPECT_EQ(rfid.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(rfid.exitCode(), 0);

    QSettings profile(configHome + "/Local AppWizard-Generated Applications/RFID.conf", QSettings::IniFormat);
    const auto placement = ParseWindowPlacement(profile.value("Settings/WindowPos").toString());
    ASSERT_TRUE(placement) << profile.value("Settings/WindowPos").toString().toStdString();
    EXPECT_EQ(placement->showCmd, SW_SHOWNORMAL);
    EXPECT_GT(placement->NormalRect().width(), 0);
    EXPECT_EQ(profile.value("splt/init_v40000/VertSplitPos").toInt(), 300);
    EXPECT_EQ(profile.value("splt/init_h40001/HorizSplitPos").toInt(), 120);
    EXPECT_TRUE(QFile::exists(appDir.filePath("Language/1.English.ini")));
}

TEST(RFIDProgram, KilledMidBatchLeavesASoundJournalWithEveryCardItWrote) {
    CXvfb xvfb;
    ASSERT_FALSE(xvfb.Display().isEmpty()) << "no X server could be started";
    CEmuTestbed testbed;
    auto reader = testbed.PlugReader();
    reader->Reader().PutCard(0);
    CProgramCopy rfid(testbed, xvfb.Display());
    ASSERT_TRUE(rfid.Start());
    const xcb_window_t window = FindMainWindow(xvfb.Display());
    ASSERT_NE(window, 0u) << "the main window did not appear";
    ASSERT_TRUE(QTest::qWaitFor([&] { return reader->Reader().CountTransfers(128) > 0; }, 10000));
    QTest::qWait(300);

    // As an operator: File > Mass Production, a click into the card number field (where a fresh window
    // with the default layout shows it), card number 1, then Enter for card after card, Verify on as the
    // page starts.
    const QString id = QString::number(window);
    auto xdotool = [&](const QStringList& arguments) { RunOnDisplay(xvfb.Display(), "xdotool", arguments); };
    auto keys = [&](const QStringList& names) { xdotool(QStringList{"key", "--delay", "100"} + names); };
    xdotool({"windowfocus", "--sync", id});
    keys({"alt+f", "Down", "Return"});
    QTest::qWait(300);
    xdotool({"mousemove", "--window", id, "540", "234", "click", "1"});
    keys({"1"});
    constexpr int kCardsBeforeKill = 6;
    for (int press = 0; press < 40 && reader->Reader().ProgrammedCount() < kCardsBeforeKill; ++press) {
        const int before = reader->Reader().ProgrammedCount();
        keys({"Return"});
        const bool programmed = QTest::qWaitFor([&] { return reader->Reader().ProgrammedCount() > before; }, 700);
        // Once the card is read back, the next blank one goes on the reader (the written one is finished).
        if (programmed && before + 1 < kCardsBeforeKill) {
            QTest::qWait(800);
            reader->Reader().PutCard(0);
        }
    }
    ASSERT_GE(reader->Reader().ProgrammedCount(), kCardsBeforeKill) << "the batch did not run";
    // Inside the verify pause of the card just written: its write is on record, its verification is not yet.
    const int written = reader->Reader().ProgrammedCount();
    QTest::qWait(150);
    kill(pid_t(rfid.Process().processId()), SIGKILL);
    ASSERT_TRUE(rfid.Process().waitForFinished(5000));
    ASSERT_EQ(rfid.Process().exitStatus(), QProcess::CrashExit);
    ASSERT_EQ(reader->Reader().ProgrammedCount(), written) << "a card was written after the kill was sent";

    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(rfid.FilePath("journal.sqlite"), &status);
    ASSERT_TRUE(journal) << status.detail.toStdString();
    EXPECT_EQ(status.fault, JournalFault::None);
    QSqlQuery check(journal->Database());
    ASSERT_TRUE(check.exec("PRAGMA integrity_check") && check.next());
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));
    std::vector<JournalRecord> records;
    QString error;
    ASSERT_TRUE(journal->Select({}, 0, 1000, &records, &error)) << error.toStdString();
    std::reverse(records.begin(), records.end());
    // Cards 1 onwards, each written and verified, the last one written only.
    ASSERT_EQ(records.size(), size_t(2 * written - 1));
    for (int card = 0; card < written; ++card) {
        const std::uint64_t cardId = 1 + std::uint64_t(card);
        const JournalRecord& write = records[size_t(2 * card)];
        EXPECT_EQ(write.source, JournalSource::MassProduction);
        EXPECT_EQ(write.operation, JournalOperation::Write) << card;
        EXPECT_EQ(write.result, JournalResult::Ok) << card;
        EXPECT_EQ(write.identifier, cardId) << card;
        EXPECT_EQ(write.readerVersion, QStringLiteral("1.0.2"));
        if (card + 1 < written) {
            EXPECT_EQ(records[size_t(2 * card + 1)].result, JournalResult::VerifyOk) << card;
        }
    }
    EXPECT_EQ(reader->Reader().CardId(), std::uint64_t(written));
}
