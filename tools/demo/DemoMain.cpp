// rfid-demo: the real RFID program with an emulated reader, for trying it without hardware.
//
// It puts an emulated reader (with one writable card on it) on an emulated USB bus, starts RFID under
// that bus and reads commands from the terminal to swap the card, so a newcomer can read, write and
// produce a batch at once. It ends when the RFID window is closed.

#include "emulator/EmuTestbed.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// The two demo cards: a blank one, and one that already carries vendor 18, card 878082202.
constexpr std::uint64_t DEMO_CARD_1 = 0;
constexpr std::uint64_t DEMO_CARD_2 = 78187493530;

const char* const HELP_TEXT = "Commands:\n"
                              "  1        put card 1 on the reader (writable)\n"
                              "  2        put card 2 on the reader (writable)\n"
                              "  3        put a card that refuses programming on the reader\n"
                              "  0        take the card away\n"
                              "  show     print the identifier the card on the reader holds\n"
                              "  unplug   pull the reader out of the USB port\n"
                              "  plug     plug it in again\n"
                              "  help     this text\n"
                              "Close the RFID window to end the demo.\n";

// One card per slot, so that swapping back shows what was written to a card before.
struct DemoCards {
    std::optional<std::uint64_t> slot[3] = {DEMO_CARD_1, DEMO_CARD_2, 4294967297};
    int onReader = -1; // index into slot, or -1 for no card
};

QString FormatCard(std::optional<std::uint64_t> id) {
    if (!id)
        return QStringLiteral("no card");
    return QStringLiteral("%1 (vendor %2, card %3)")
        .arg(*id, 13, 10, QLatin1Char('0'))
        .arg(*id >> 32)
        .arg(*id & 0xFFFFFFFFu);
}

class Demo {
public:
    Demo(CEmuTestbed& testbed, QString program) : m_testbed(testbed), m_program(std::move(program)) {}

    bool Start() {
        m_device = m_testbed.PlugReader();
        PutCard(0);
        m_rfid.setProcessEnvironment(m_testbed.ChildEnvironment());
        m_rfid.setProcessChannelMode(QProcess::ForwardedChannels);
        QObject::connect(&m_rfid, &QProcess::finished, [] { QCoreApplication::quit(); });
        m_rfid.start(m_program, QStringList{});
        if (!m_rfid.waitForStarted(10000)) {
            std::fprintf(stderr, "rfid-demo: cannot start %s\n", qPrintable(m_program));
            return false;
        }
        return true;
    }

    void Command(const QString& line) {
        const QString command = line.trimmed().toLower();
        if (command == "1" || command == "2" || command == "3")
            PutCard(command.toInt() - 1);
        else if (command == "0")
            TakeCard();
        else if (command == "show")
            Say("On the reader: " + FormatCard(m_device->Reader().CardId()));
        else if (command == "unplug")
            Unplug();
        else if (command == "plug")
            Plug();
        else if (command == "help" || command == "?")
            std::fputs(HELP_TEXT, stdout);
        else if (!command.isEmpty())
            Say("Unknown command \"" + command + "\"; type help.");
        Prompt();
    }

    static void Prompt() {
        std::fputs("demo> ", stdout);
        std::fflush(stdout);
    }

private:
    static void Say(const QString& text) { std::printf("%s\n", qPrintable(text)); }

    // Keeps what the card on the reader holds now, before another card takes its place.
    void StoreCardOnReader() {
        if (m_cards.onReader >= 0)
            m_cards.slot[m_cards.onReader] = m_device->Reader().CardId();
    }

    void PutCard(int slot) {
        StoreCardOnReader();
        m_cards.onReader = slot;
        const auto kind = slot == 2 ? CEmulatedReader::CARD_READ_ONLY : CEmulatedReader::CARD_WRITABLE;
        m_device->Reader().PutCard(m_cards.slot[slot].value_or(0), kind);
        Say(QStringLiteral("Card %1 on the reader: %2%3")
                .arg(slot + 1)
                .arg(FormatCard(m_cards.slot[slot]))
                .arg(slot == 2 ? ", refuses programming" : ""));
    }

    void TakeCard() {
        StoreCardOnReader();
        m_cards.onReader = -1;
        m_device->Reader().RemoveCard();
        Say("No card on the reader.");
    }

    void Unplug() {
        if (!m_device->IsPlugged())
            return Say("The reader is not plugged in.");
        m_device->Unplug();
        Say("Reader unplugged.");
    }

    void Plug() {
        if (m_device->IsPlugged())
            return Say("The reader is plugged in already.");
        m_device->Replug();
        Say("Reader plugged in.");
    }

    CEmuTestbed& m_testbed;
    QString m_program;
    std::shared_ptr<CEmuUsbDevice> m_device;
    DemoCards m_cards;
    QProcess m_rfid;
};

QString RfidProgram(const char* argv0) {
    const QString own = QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
    return QDir(own).filePath(QStringLiteral(RFID_PROGRAM_RELATIVE_PATH));
}

} // namespace

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : RfidProgram(argv[0]);

    CEmuTestbed testbed;
    Demo demo(testbed, program);
    if (!demo.Start())
        return 1;

    const bool interactive = isatty(STDIN_FILENO);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QTextStream in(stdin);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        QString line;
        if (!in.readLineInto(&line)) {
            input.setEnabled(false); // end of input: the demo runs on until RFID closes
            return;
        }
        demo.Command(line);
    });
    if (interactive) {
        std::fputs(HELP_TEXT, stdout);
        Demo::Prompt();
    }
    return app.exec();
}
