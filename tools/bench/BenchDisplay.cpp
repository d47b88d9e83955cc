#include "tools/bench/BenchDisplay.h"

#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr int FIRST_DISPLAY = 150; // above the numbers the device tests take for their own servers
constexpr int LAST_DISPLAY = 199;
constexpr int START_WAIT_MS = 5000;

QString SocketOf(int display) {
    return QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
}

bool DisplayTaken(int display) {
    return QFile::exists(SocketOf(display)) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display));
}

bool WaitForSocket(int display) {
    for (int waited = 0; waited < START_WAIT_MS; waited += 20) {
        if (QFile::exists(SocketOf(display)))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

CBenchDisplay::CBenchDisplay(Choice choice) {
    const bool haveXvfb = !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
    const bool haveDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (choice == Choice::Best)
        choice = haveXvfb ? Choice::Xvfb : haveDisplay ? Choice::Current : Choice::Offscreen;
    switch (choice) {
    case Choice::Xvfb:
        m_bUsable = haveXvfb && StartXvfb();
        break;
    case Choice::Current:
        m_bUsable = haveDisplay;
        if (m_bUsable) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            m_description = QStringLiteral("the X display %1 (xcb)").arg(qEnvironmentVariable("DISPLAY"));
        }
        break;
    default:
        m_bUsable = true;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_description = QStringLiteral("the offscreen platform (drawn into memory, no X server)");
        break;
    }
}

CBenchDisplay::~CBenchDisplay() {
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(3000))
        m_server.kill();
    m_server.waitForFinished();
}

bool CBenchDisplay::StartXvfb() {
    // The server must not run under the emulated bus's preload the benchmark itself may run under.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    m_server.setProcessEnvironment(environment);
    for (int display = FIRST_DISPLAY; display <= LAST_DISPLAY; ++display) {
        if (DisplayTaken(display))
            continue;
        const QString name = QStringLiteral(":%1").arg(display);
        m_server.start(QStringLiteral("Xvfb"),
                       {name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1920x1200x24"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (m_server.waitForStarted(START_WAIT_MS) && WaitForSocket(display)) {
            qputenv("DISPLAY", name.toLatin1());
            qputenv("QT_QPA_PLATFORM", "xcb");
            m_description = QStringLiteral("an X server of its own, Xvfb %1 (xcb)").arg(name);
            return true;
        }
        m_server.kill();
        m_server.waitForFinished();
    }
    return false;
}
