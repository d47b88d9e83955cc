#include "rfidctl/Rfidctl.h"
#include "rfidctl/ArgumentText.h"
#include "rfidctl/RfidctlArguments.h"

#include "cards/CardFrame.h"
#include "cards/CardIdentifier.h"
#include "cards/NumberForms.h"
#include "journal/JournalReasons.h"
#include "platform/System.h"
#include "reader/RFIDDevice.h"
#include "reader/USBDevice.h"
#include "rfidctl/RfidctlBatch.h"
#include "rfidctl/RfidctlBatchStatus.h"
#include "rfidctl/RfidctlJournal.h"
#include "rfidctl/RfidctlRun.h"
#include "station/CardRoutine.h"
#include "station/TypedNumbers.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>

#ifndef RFIDCTL_VERSION
#define RFIDCTL_VERSION "unknown"
#endif

namespace {

const char kIdRule[] = "decimal below 2^40, or 0x and 10 hex digits";
const std::string kFormOption = "--form";

const char kUsage[] =
    "Usage: rfidctl COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  readers              every reader plugged in: its id, serial number, name and version\n"
    "  info                 the reader's name and version\n"
    "  read [--card-only] [--form FORM]...\n"
    "                       the identifier of the card on the reader (13 digits), with its\n"
    "                       vendor and card forms; --card-only leaves the vendor ID out;\n"
    "                       --form adds the identifier as printed on cards, FORM being hex,\n"
    "                       dez10, dez8, w26, 5.5 or all\n"
    "  write ID [--verify] [--force]\n"
    "                       programs the card on the reader with ID; --verify reads it back;\n"
    "                       --force writes over a card that holds a number on record as good\n"
    "  frame ID...          prints the 8 bytes of the card frame for each ID\n"
    "  forms ID             prints every printed form of ID (no reader needed)\n"
    "  journal [--since TIME] [--until TIME] [--result RESULT] [--csv | --json]\n"
    "                       prints the records of the production journal, newest first\n"
    "  db init URL [--role NAME]\n"
    "                       creates the journal's tables on a PostgreSQL server and the stations' role\n"
    "  batch create NAME --vendor V --first N --last M [--random]\n"
    "  batch import NAME FILE\n"
    "  batch list\n"
    "  batch next NAME [--verify] [--wait SECONDS] [--force]\n"
    "  batch report NAME [--csv | --pdf FILE [--form FORM]...]\n"
    "  batch release NAME --station S\n"
    "  batch status [NAME] [--watch] [--json]\n"
    "                       batches of numbers shared by the stations (rfidctl batch --help)\n"
    "  run --batch NAME [--verify] [--bell]\n"
    "  run --vendor V --first N [--mode increase|random|same] [--verify] [--bell]\n"
    "                       hands-free: writes each card laid on the reader once, until the batch\n"
    "                       is done or Ctrl-C (which stops after the card in hand)\n"
    "  ID is decimal (below 1099511627776) or 0x and 10 hex digits (0x123456789A)\n"
    "\n"
    "Options of every command:\n"
    "  --journal PATH|URL   the journal file or postgresql://user@host:port/dbname to use instead\n"
    "                       of the program's journal\n"
    "  --station NAME       the station named in the records of this command\n"
    "  --reader ID          the reader to use, by the id or serial number `rfidctl readers` shows\n"
    "                       (without it, the first reader no other program uses)\n"
    "  --help               this text, or the help of a command (rfidctl write --help)\n"
    "  --version\n"
    "\n"
    "Reads and writes are recorded in the production journal, as the program's are.\n"
    "Exit status: 0 done, 2 bad command line or ID, 3 no reader, 4 transfer failed,\n"
    "5 verification failed, 6 no permission to use the reader, 7 the journal cannot record\n"
    "or be read, 8 every number of the batch is taken, 9 the station name is in use,\n"
    "10 the card on the reader already holds a number on record as a good card,\n"
    "11 the reader is in use by another program.\n";

int Usage(std::ostream& err, const std::string& message) {
    err << "rfidctl: " << message << " (see rfidctl --help)\n";
    return RFIDCTL_USAGE;
}

DeviceNodeProbe& CurrentProbe() {
    static DeviceNodeProbe probe = DeviceNodeAccessible;
    return probe;
}

// A reader that cannot be opened, or opens read-only and then refuses every transfer, is most often
// one whose device node this user may not write: say so, with the fix, instead of "not found".
bool ReportMissingPermission(std::ostream& err) {
    const std::string node = ReaderNodeWithoutAccess(CurrentProbe());
    if (node.empty())
        return false;
    err << "rfidctl: no permission to use the reader at " << node
        << "; install the udev rule 70-rfid-reader.rules (see the README, Troubleshooting) and plug the "
           "reader in again\n";
    return true;
}

int NoReader(std::ostream& err) {
    if (CUSBDevice::LastProblem() == ReaderProblem::InUse) {
        err << "rfidctl: " << CUSBDevice::LastProblemText() << "\n";
        return RFIDCTL_READER_IN_USE;
    }
    if (ReportMissingPermission(err))
        return RFIDCTL_NO_PERMISSION;
    err << "rfidctl: " << CUSBDevice::LastProblemText() << " (USB " << READER_USB_ID << ")\n";
    return RFIDCTL_NO_READER;
}

int TransferFailed(std::ostream& err, const std::string& message) {
    if (ReportMissingPermission(err))
        return RFIDCTL_NO_PERMISSION;
    err << "rfidctl: " << message << "\n";
    return RFIDCTL_TRANSFER_FAILED;
}

// Each byte as the character of that code (as the main window shows the reader's name), in UTF-8.
std::string Characters(const unsigned char* bytes, int count, const char* separator) {
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1String(separator);
        text += QChar(bytes[i]);
    }
    return text.toStdString();
}

// The journal of one reader command: its records name rfidctl, this reader and its version.
class CommandJournal {
public:
    // device: null for a command refused before any reader is opened (its records name no reader).
    CommandJournal(CRFIDDevice* device, std::ostream& err)
        : m_pDevice(device), m_recorder(MakeRfidctlRecorder(CurrentJournalOptions(), err)),
          m_cards(m_recorder.get(), JournalSource::Rfidctl) {
        // Asked once, before the first record, so the card operation itself is the first transfer.
        m_cards.SetBeforeFirstRecord([this] { IdentifyReader(); });
    }

    bool ReadyToWrite() { return m_recorder->ReadyToWrite(); }
    CCardJournal& Cards() { return m_cards; }
    bool Record(JournalOperation operation, JournalResult result, std::optional<std::uint64_t> cardId,
                const QString& reason = QString()) {
        return m_cards.Record(operation, result, cardId, reason);
    }

private:
    void IdentifyReader() {
        if (!m_pDevice)
            return;
        unsigned char name[READER_TEXT_BYTES];
        unsigned char version[READER_TEXT_BYTES];
        const int nameBytes = m_pDevice->ReadReaderName(name);
        const int versionBytes = m_pDevice->ReadReaderVersion(version);
        m_recorder->SetReader(QString::fromStdString(Characters(name, nameBytes, "")),
                              QString::fromStdString(Characters(version, versionBytes, ".")));
    }

    CRFIDDevice* m_pDevice;
    std::unique_ptr<CJournalRecorder> m_recorder;
    CCardJournal m_cards;
};

// Each reader plugged in, one a line: its id, serial number (- for none), name and version, or the
// program that uses it.
int Readers(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return Usage(err, "readers takes no arguments");
    CRFIDDevice device;
    device.RescanBuses();
    const std::vector<ReaderPlace> places = ListReaderPlaces();
    if (places.empty()) {
        device.FindReader(); // says why there is none
        return NoReader(err);
    }
    const std::string chosen = CUSBDevice::ChosenReader();
    for (const ReaderPlace& place : places) {
        out << place.id << "  " << (place.serial.empty() ? "-" : place.serial) << "  ";
        CUSBDevice::ChooseReader(place.id);
        CUSBDevice::StoreReaderHandle(device.FindReader());
        unsigned char name[READER_TEXT_BYTES];
        unsigned char version[READER_TEXT_BYTES];
        const int nameBytes = CUSBDevice::ReaderHandle() ? device.ReadReaderName(name) : 0;
        const int versionBytes = nameBytes > 0 ? device.ReadReaderVersion(version) : 0;
        if (CUSBDevice::LastProblem() == ReaderProblem::InUse)
            out << "(" << CUSBDevice::LastProblemText() << ")";
        else if (nameBytes == 0 || versionBytes == 0)
            out << "(the reader did not answer)";
        else
            out << Characters(name, nameBytes, "") << "  Version: " << Characters(version, versionBytes, ".");
        out << "  " << place.node << "\n";
        CUSBDevice::StoreReaderHandle(nullptr); // free for the next program at once
    }
    CUSBDevice::ChooseReader(chosen);
    return RFIDCTL_OK;
}

int Info(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return Usage(err, "info takes no arguments");
    CRFIDDevice device;
    if (!device.OpenReader())
        return NoReader(err);
    unsigned char name[READER_TEXT_BYTES];
    unsigned char version[READER_TEXT_BYTES];
    const int nameBytes = device.ReadReaderName(name);
    const int versionBytes = device.ReadReaderVersion(version);
    if (nameBytes == 0 || versionBytes == 0)
        return TransferFailed(err, std::string("the reader did not give its ") +
                                       (nameBytes == 0 ? "name" : "version"));
    out << Characters(name, nameBytes, "") << " Version: " << Characters(version, versionBytes, ".") << "\n";
    return RFIDCTL_OK;
}

// The forms asked for with --form (each a form name or "all", also as a comma list); nothing when a
// word names no form.
std::optional<NumberFormSet> RequestedForms(const Arguments& arguments, std::ostream& err) {
    NumberFormSet forms = 0;
    for (const std::string& option : arguments.options) {
        if (OptionName(option) != kFormOption)
            continue;
        std::string words = option.substr(std::min(option.size(), kFormOption.size() + 1)) + ",";
        for (std::size_t comma; (comma = words.find(',')) != std::string::npos; words.erase(0, comma + 1)) {
            const std::string word = words.substr(0, comma);
            const std::optional<NumberFormSet> form = NumberFormsFromOption(QString::fromStdString(word));
            if (!form) {
                Usage(err, "not a number form: " + ArgumentText(word) + " (hex, dez10, dez8, w26, 5.5 or all)");
                return std::nullopt;
            }
            forms |= *form;
        }
    }
    return forms;
}

// One line per chosen form: its name and the identifier in it.
void PrintForms(std::ostream& out, NumberFormSet forms, std::uint64_t cardId) {
    for (NumberForm form : ALL_NUMBER_FORMS) {
        if (forms & form)
            out << NumberFormsLine(form, cardId).toStdString() << "\n";
    }
}

int Read(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return Usage(err, "read takes no arguments");
    const std::optional<NumberFormSet> forms = RequestedForms(arguments, err);
    if (!forms)
        return RFIDCTL_USAGE;
    const bool includeVendor = !Has(arguments, "--card-only");
    CRFIDDevice device;
    if (!device.OpenReader())
        return NoReader(err);
    // The whole identifier is read, so the printed forms have their vendor bits with --card-only too.
    const std::optional<std::uint64_t> read = device.ReadCardId(true);
    CommandJournal journal(&device, err);
    if (!read) {
        journal.Record(JournalOperation::Read, JournalResult::Error, std::nullopt);
        return TransferFailed(err, "reading the card failed (no card, or the reader did not answer)");
    }
    const std::uint64_t cardId = *read;
    // A read whose record fails is still a read: the journal's problem is said, the card is printed.
    journal.Record(JournalOperation::Read, JournalResult::Ok, cardId);
    const QString text = CardIdText(includeVendor ? cardId : cardId & MAX_CARD_NUMBER);
    out << text.toStdString() << "\n";
    if (includeVendor)
        out << VendorIdText(text).toStdString() << "\n" << CardNoText(text).toStdString() << "\n";
    PrintForms(out, *forms, cardId);
    return RFIDCTL_OK;
}

int Forms(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() != 1)
        return Usage(err, "forms takes exactly one ID");
    const std::optional<std::uint64_t> cardId = ParseCardIdArgument(arguments.values[0]);
    if (!cardId)
        return Usage(err, "not a card identifier: " + ArgumentText(arguments.values[0]) + " (" + kIdRule + ")");
    out << CardIdText(*cardId).toStdString() << "\n";
    PrintForms(out, NUMBER_FORMS_ALL, *cardId);
    return RFIDCTL_OK;
}

// Why an identifier typed on the command line was refused, in the journal's words.
QString RefusedIdReason(const std::string& text) {
    return NotANumberReason(ParseIdentifier(QString::fromStdString(text), ID_DECIMAL | ID_HEX).error);
}

int RefuseFinishedCard(std::uint64_t held, const JournalRecord& goodCard, std::ostream& err) {
    err << "rfidctl: " << FinishedCardReason(held, goodCard).toStdString()
        << "; nothing was written (--force writes over it)\n";
    return RFIDCTL_ALREADY_WRITTEN;
}

int Write(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() != 1)
        return Usage(err, "write takes exactly one ID");
    const std::optional<std::uint64_t> cardId = ParseCardIdArgument(arguments.values[0]);
    if (!cardId) {
        // Refused before the reader is touched, and recorded as the window records a refused field.
        CommandJournal(nullptr, err)
            .Record(JournalOperation::Write, JournalResult::Refused, std::nullopt, RefusedIdReason(arguments.values[0]));
        return Usage(err, "not a card identifier: " + ArgumentText(arguments.values[0]) + " (" + kIdRule + ")");
    }
    CRFIDDevice device;
    if (!device.OpenReader())
        return NoReader(err);
    CommandJournal journal(&device, err);
    // No card is written that the journal could not record.
    if (!journal.ReadyToWrite())
        return RFIDCTL_JOURNAL_FAILED;
    // Through the card routine, as every card: a finished card is left as it is unless forced.
    CAskedNumber asked(journal.Cards(), *cardId);
    CardRequest request;
    request.verify = Has(arguments, "--verify");
    request.overwriteFinished = Has(arguments, "--force");
    CCardRoutine routine(device);
    const CardOutcome card = routine.WriteCard(asked, request);
    const std::string text = CardIdText(*cardId).toStdString();
    switch (card.result) {
    case CardResult::AlreadyWritten:
        return RefuseFinishedCard(*card.held, *card.goodCard, err);
    case CardResult::Refused:
        return RFIDCTL_JOURNAL_FAILED; // the journal could not record, or not be asked
    case CardResult::WriteError:
        return TransferFailed(err, "writing the card failed (no writable card, or the reader did not answer)");
    default:
        break;
    }
    out << "written " << text << "\n";
    if (card.result == CardResult::VerifyFailed) {
        err << "rfidctl: verification failed: the card holds "
            << (card.readBack ? CardIdText(*card.readBack) : QStringLiteral("nothing readable")).toStdString() << "\n";
        return RFIDCTL_VERIFY_FAILED;
    }
    if (request.verify)
        out << "verified " << text << "\n";
    return card.recorded ? RFIDCTL_OK : RFIDCTL_JOURNAL_FAILED;
}

int Frame(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.empty())
        return Usage(err, "frame needs at least one ID");
    std::vector<std::uint64_t> cardIds;
    for (const std::string& value : arguments.values) {
        const std::optional<std::uint64_t> cardId = ParseCardIdArgument(value);
        if (!cardId)
            return Usage(err, "not a card identifier: " + ArgumentText(value) + " (" + kIdRule + ")");
        cardIds.push_back(*cardId);
    }
    for (std::size_t i = 0; i < cardIds.size(); ++i) {
        if (cardIds.size() > 1)
            out << arguments.values[i] << " ";
        out << FrameHex(cardIds[i]) << "\n";
    }
    return RFIDCTL_OK;
}

int Journal(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return Usage(err, "journal takes no arguments");
    if (Has(arguments, "--csv") && Has(arguments, "--json"))
        return Usage(err, "--csv and --json exclude each other");
    JournalQuery query;
    query.output = Has(arguments, "--csv") ? JournalOutput::Csv : Has(arguments, "--json") ? JournalOutput::Json
                                                                                            : JournalOutput::Text;
    JournalQueryTexts texts{ValueOf(arguments, "--since"),      ValueOf(arguments, "--until"),
                            ValueOf(arguments, "--result"),     ValueOf(arguments, "--identifier"),
                            ValueOf(arguments, "--batch"),      ValueOf(arguments, "--limit"),
                            CurrentJournalOptions().station};
    if (const auto problem = ParseJournalQuery(texts, &query))
        return Usage(err, *problem);
    return PrintJournal(CurrentJournalOptions(), query, out, err);
}

// What the records of a batch card say besides the card: rfidctl, this station, its user and reader.
JournalRecord BatchRecordBase(CRFIDDevice& device, const JournalSettings& settings) {
    unsigned char name[READER_TEXT_BYTES];
    unsigned char version[READER_TEXT_BYTES];
    const int nameBytes = device.ReadReaderName(name);
    const int versionBytes = device.ReadReaderVersion(version);
    JournalRecord base;
    base.source = JournalSource::Rfidctl;
    base.station = settings.station;
    base.user = LoginUserName();
    base.readerName = QString::fromStdString(Characters(name, nameBytes, ""));
    base.readerVersion = QString::fromStdString(Characters(version, versionBytes, "."));
    return base;
}

int BatchCardExit(const BatchCardOutcome& outcome, bool resultKept, std::ostream& out, std::ostream& err) {
    const std::string text =
        outcome.claim ? CardIdText(outcome.claim->identifier).toStdString() : std::string();
    const std::string message = outcome.message.toStdString();
    switch (outcome.result) {
    case BatchCardResult::Verified:
        out << "written " << text << "\nverified " << text << "\n";
        return RFIDCTL_OK;
    case BatchCardResult::Written:
        out << "written " << text << "\n";
        return RFIDCTL_OK;
    case BatchCardResult::WriteFailed:
        return TransferFailed(err, message + " (no writable card, or the reader did not answer)");
    case BatchCardResult::VerifyFailed:
        out << "written " << text << "\n";
        err << "rfidctl: " << message << "\n";
        return RFIDCTL_VERIFY_FAILED;
    case BatchCardResult::NotRecorded:
        if (resultKept)
            err << "rfidctl: the card holds " << text << " but the journal stayed away, so it is not recorded "
                << "yet: keep the card; its result is kept and recorded by this station's next batch next\n";
        else
            err << "rfidctl: the card holds " << text << " but the journal stayed away, so it is not recorded: "
                << "throw the card away; the number stays claimed for this station's next card\n";
        return RFIDCTL_JOURNAL_FAILED;
    case BatchCardResult::Exhausted:
        err << "rfidctl: " << message << "\n";
        return RFIDCTL_BATCH_EXHAUSTED;
    case BatchCardResult::NoBatch:
        return Usage(err, message);
    case BatchCardResult::Refused:
        err << "rfidctl: " << message << "\n";
        return RFIDCTL_STATION_IN_USE;
    case BatchCardResult::Unavailable:
        err << "rfidctl: " << message << "; no card was written\n";
        return RFIDCTL_JOURNAL_FAILED;
    case BatchCardResult::AlreadyWritten:
        return RefuseFinishedCard(*outcome.held, *outcome.finishedCard, err);
    case BatchCardResult::Failed:
        break;
    }
    err << "rfidctl: " << message << "\n";
    return RFIDCTL_JOURNAL_FAILED;
}

// Claims the station's next number of the batch, writes it on the card on the reader, verifies it when
// asked and records the result with the claim: no number is written that the batch has not given to
// this station, and none is given to another station once it is on a good card.
int BatchNext(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    QString batch;
    if (const auto problem = BatchNameArgument(arguments, "batch next", &batch))
        return Usage(err, *problem);
    const std::optional<int> wait = WaitSecondsArgument(arguments);
    if (!wait)
        return Usage(err,
                     "--wait takes seconds, 0 to 86400, not " + ArgumentText(ValueOf(arguments, "--wait")));
    CRFIDDevice device;
    if (!device.OpenReader())
        return NoReader(err);
    NameStationAfterReader();
    CRfidctlBatchStation station(CurrentJournalOptions(), *wait, err);
    if (const int started = station.Start())
        return started;
    CBatchWriter writer(station.Station(), device);
    if (station.Settings().enabled) {
        writer.SetJournalHook(BatchJournalHook(station.Journal(), BatchRecordBase(device, station.Settings())));
        // The card on the reader is read first: a finished card is not written again unless forced.
        writer.SetFinishedCardLookup([&station](std::uint64_t identifier,
                                                QString* error) { return station.Journal().FindGoodCard(identifier, error); },
                                     Has(arguments, "--force"));
    }
    station.KeepPendingResults(writer);
    const BatchCardOutcome outcome = station.WriteNext(writer, batch, Has(arguments, "--verify"));
    return BatchCardExit(outcome, writer.PendingIsKept(), out, err);
}

} // namespace

bool DeviceNodeAccessible(const std::string& node) {
    return MayReadAndWrite(QString::fromStdString(node));
}

std::string ReaderNodeWithoutAccess(const DeviceNodeProbe& accessible) {
    for (const std::string& node : ReaderDeviceNodes()) {
        if (!accessible(node))
            return node;
    }
    return std::string();
}

DeviceNodeProbe SetDeviceNodeProbe(DeviceNodeProbe probe) {
    DeviceNodeProbe previous = std::move(CurrentProbe());
    CurrentProbe() = std::move(probe);
    return previous;
}

namespace {

// "0x" and exactly 10 hex digits (either case): the HEX form printed on cards.
} // namespace

std::optional<std::uint64_t> ParseCardIdArgument(const std::string& text) {
    return ParseIdentifier(QString::fromStdString(text), ID_DECIMAL | ID_HEX).value;
}

std::string FrameHex(std::uint64_t cardId) {
    const CardFrame frame = EncodeCardFrame(SplitNibbles(cardId));
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < frame.size(); ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", frame[i]);
        text += pair;
    }
    return text;
}

namespace {

// One command: its name, the options it takes (name, value name or empty for a switch, description),
// its help and what runs it.
struct CommandOption {
    const char* name;
    const char* valueName;
    const char* description;
};

struct Command {
    const char* name;
    const char* synopsis;
    const char* summary;
    std::vector<CommandOption> options;
    int (*run)(const Arguments&, std::ostream&, std::ostream&);
};

const std::vector<CommandOption> kCommonOptions = {
    {"journal", "PATH|URL", "the journal file or server to use instead of the program's journal"},
    {"station", "NAME", "the station named in the records of this command"},
    {"reader", "ID", "the reader to use, by the id or serial number `rfidctl readers` shows"},
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"readers", "readers",
         "Lists every reader plugged in, one a line: its id (its place on the USB bus, the same while\n"
         "it stays in that port), its serial number (- when it has none), its name and version, or the\n"
         "program that uses it, and its device node. --reader takes the id or the serial number.",
         {},
         Readers},
        {"info", "info", "Prints the reader's name and version.", {}, Info},
        {"read",
         "read [--card-only] [--form FORM]...",
         "Prints the identifier of the card on the reader (13 digits) with its vendor and card forms, and\n"
         "records the read in the journal.",
         {{"card-only", "", "the card number alone, without the vendor ID"},
          {"form", "FORM", "adds the identifier as printed on cards: hex, dez10, dez8, w26, 5.5 or all"}},
         Read},
        {"write",
         "write ID [--verify] [--force]",
         "Programs the card on the reader with ID (decimal below 1099511627776, or 0x and 10 hex digits)\n"
         "and records it in the journal; no card is written while the journal cannot record it. A card that\n"
         "holds a number on record as a good card is left as it is (exit status 10) unless --force is given;\n"
         "then the journal records that it holds that number no longer, and a batch gets the number back.",
         {{"verify", "", "reads the card back once it has settled"},
          {"force", "", "writes over a card that holds a number on record as a good card"}},
         Write},
        {"frame", "frame ID...", "Prints the 8 bytes of the card frame for each ID.", {}, Frame},
        {"forms", "forms ID", "Prints every printed form of ID (no reader needed).", {}, Forms},
        {"journal",
         "journal [--since TIME] [--until TIME] [--result RESULT] [--identifier ID] [--station NAME]\n"
         "        [--batch NAME] [--limit N] [--csv | --json]",
         "Prints the records of the production journal, newest first. TIME is a UTC date or date and time\n"
         "(2026-12-08, 2026-12-08T06:30:00); a date alone in --until takes in that whole day. ID is any form\n"
         "of an identifier (13 digits, vendor:card, 0x and 10 hex digits, W26 086,30874, 5.5) or a card\n"
         "number alone, which finds that card number under any vendor. --station takes the records of that\n"
         "station. Any number of records is printed in the same small memory.",
         {{"since", "TIME", "records from this time on"},
          {"until", "TIME", "records before this time"},
          {"result", "RESULT", "ok, error, refused, verify-ok or verify-failed"},
          {"identifier", "ID", "the records of this card"},
          {"batch", "NAME", "the records of this batch's numbers"},
          {"limit", "N", "at most N records"},
          {"csv", "", "as CSV with a header row"},
          {"json", "", "as a JSON array"}},
         Journal},
        {"db init",
         "db init URL [--role NAME]",
         "Creates the tables of the journal and its batches in the database at URL\n"
         "(postgresql://user@host:port/dbname, as a user who may create tables and roles) and, on\n"
         "PostgreSQL, the role the stations log in as: it may claim numbers and add records, but not\n"
         "change or delete them. Passwords come from ~/.pgpass or PGPASSWORD, never from the URL.\n"
         "Running it again changes nothing.",
         {{"role", "NAME", "the stations' role (default rfid_station)"}},
         InitDatabaseCommand},
        {"batch create",
         "batch create NAME --vendor V --first N --last M [--random]",
         "Creates a batch of the card numbers N to M under vendor ID V, claimed in order or, with\n"
         "--random, in a random order without repeats.",
         {{"vendor", "V", "the vendor ID, 0 to 255"},
          {"first", "N", "the first card number, 0 to 4294967295"},
          {"last", "M", "the last card number"},
          {"random", "", "claims the numbers at random, each once"}},
         CreateBatchCommand},
        {"batch import",
         "batch import NAME FILE",
         "Creates a batch of the identifiers in FILE, one a line (13 digits, or vendor:card), claimed in\n"
         "the file's order. A file with any bad line is not imported; its bad lines are listed.",
         {},
         ImportBatchCommand},
        {"batch list",
         "batch list",
         "Lists the batches with how many numbers are done, claimed, to throw away\nand left.",
         {},
         ListBatchesCommand},
        {"batch next",
         "batch next NAME [--verify] [--wait SECONDS] [--force]",
         "Claims this station's next number of the batch, writes it on the card on the reader and records\n"
         "it. A number whose card failed stays claimed for the station's next card. While the journal's\n"
         "server cannot be reached no card is written. Exit status as for write; 8 when every number of\n"
         "the batch is taken, 9 when another running station has this station's name, 10 when the card\n"
         "on the reader holds a number on record as a good card (--force writes over it, as write does).",
         {{"verify", "", "reads the card back once it has settled"},
          {"wait", "SECONDS", "how long to wait for a server that went away (default 30)"},
          {"force", "", "writes over a card that holds a number on record as a good card"}},
         BatchNext},
        {"batch report",
         "batch report NAME [--csv | --pdf FILE [--form FORM]...]",
         "Prints every claimed and done number of the batch in the batch's order with its state, station\n"
         "and time, then the cards to throw away. With --pdf, writes the delivery report for the customer\n"
         "instead: the order, its counts, its stations and every number on a good card with its printed forms.",
         {{"csv", "", "as CSV with a header row"},
          {"pdf", "FILE", "writes the delivery report: the order, its counts and every number on a good card"},
          {"form", "FORM", "a printed form the delivery report lists too: hex, dez10, dez8, w26, 5.5 or all (default all)"}},
         ReportBatchCommand},
        {"batch release",
         "batch release NAME --station S",
         "Releases the numbers station S holds in the batch, so that other stations take them; for a\n"
         "station that never comes back. Refused while S is running.",
         {},
         ReleaseBatchCommand},
        {"batch status",
         "batch status [NAME] [--watch] [--json]",
         "Prints the figures of every batch, or of batch NAME with its stations: good cards of the total,\n"
         "claimed, to throw away, left, cards per minute over the last 10 minutes, the time to finish and\n"
         "the state. --watch prints them again every 2 s: on a terminal a progress line per batch is\n"
         "redrawn, otherwise a line is printed for each change.",
         {{"watch", "", "prints the figures again every 2 s until interrupted"},
          {"json", "", "as JSON, with the stations of each batch"}},
         BatchStatusCommand},
        {"run",
         "run --batch NAME [--verify] [--wait SECONDS] [--bell] | --vendor V --first N [--mode MODE] [--verify] [--bell]",
         "Hands-free: waits for cards and writes each card laid on the reader once, through the same\n"
         "checks as the window's hands-free run (a finished card laid again is left as it is), then\n"
         "waits for it to be taken away. One line per card; on a terminal a status line below.\n"
         "It ends with 0 when the batch is done; after the card in hand on Ctrl-C (130) or SIGTERM (143);\n"
         "after three failed cards in a row (4 or 5), when the reader goes away (3) or the journal\n"
         "stays away (7).",
         {{"batch", "NAME", "writes the numbers of this batch"},
          {"vendor", "V", "without a batch: the vendor ID, 0 to 255"},
          {"first", "N", "without a batch: the first card number"},
          {"mode", "MODE", "the next number: increase (default), random or same"},
          {"verify", "", "reads each card back once it has settled"},
          {"wait", "SECONDS", "how long to wait for a server that went away (default 30)"},
          {"bell", "", "rings once for a good card and three times for a failed one"}},
         HandsFreeRunCommand},
    };
    return commands;
}

// "batch" and "db": the first word of commands of two words.
bool IsCommandGroup(const std::string& word) {
    for (const Command& command : Commands()) {
        if (std::string(command.name).rfind(word + " ", 0) == 0)
            return true;
    }
    return false;
}

std::string GroupHelp(const std::string& group) {
    std::string help = "Usage: rfidctl " + group + " COMMAND [OPTIONS]\n\nCommands:\n";
    for (const Command& command : Commands()) {
        if (std::string(command.name).rfind(group + " ", 0) == 0)
            help += std::string("  ") + command.synopsis + "\n";
    }
    return help + "\nrfidctl " + group + " COMMAND --help gives the help of one command.\n";
}

std::string CommandHelp(const Command& command) {
    std::string help = std::string("Usage: rfidctl ") + command.synopsis + "\n\n" + command.summary + "\n\nOptions:\n";
    std::vector<CommandOption> options = command.options;
    options.insert(options.end(), kCommonOptions.begin(), kCommonOptions.end());
    for (const CommandOption& option : options) {
        std::string left = std::string("  --") + option.name + (*option.valueName ? std::string(" ") + option.valueName : "");
        left.resize(std::max<std::size_t>(left.size() + 2, 23), ' ');
        help += left + option.description + "\n";
    }
    return help;
}

void AddOptions(QCommandLineParser& parser, const std::vector<CommandOption>& options) {
    for (const CommandOption& option : options)
        parser.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.description),
                                            QString::fromLatin1(option.valueName)));
}

// The message for a command line the parser refused: the option it did not know, with its dashes, or
// the one that lacks its value.
int ParseFailure(const QCommandLineParser& parser, std::ostream& err) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const std::string name = unknown.first().toStdString();
        return Usage(err, "unknown option " + ArgumentText((name.size() == 1 ? "-" : "--") + name));
    }
    // The parser's other refusal: "Missing value after '--form'."
    const QString text = parser.errorText();
    const qsizetype quote = text.indexOf(u'\'');
    if (text.startsWith(QLatin1String("Missing value")) && quote > 0)
        return Usage(err, "missing value after " + ArgumentText(text.mid(quote + 1).chopped(2).toStdString()));
    return Usage(err, ArgumentText(text.toStdString()));
}

QStringList ParserWords(const std::vector<std::string>& args, std::size_t first) {
    QStringList words{QStringLiteral("rfidctl")};
    for (std::size_t i = first; i < args.size(); ++i)
        words << QString::fromStdString(args[i]);
    return words;
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

void TakeCommonOptions(const QCommandLineParser& parser) {
    RfidctlJournalOptions& options = CurrentJournalOptions();
    if (parser.isSet(QStringLiteral("journal")))
        options.journalPath = parser.value(QStringLiteral("journal")).toStdString();
    if (parser.isSet(QStringLiteral("station")))
        options.station = parser.value(QStringLiteral("station")).toStdString();
    if (parser.isSet(QStringLiteral("reader")))
        CUSBDevice::ChooseReader(parser.value(QStringLiteral("reader")).toStdString());
}

// The options the command line gave, in the form the commands read them.
Arguments CommandArguments(const QCommandLineParser& parser, const Command& command) {
    Arguments arguments;
    for (const CommandOption& option : command.options) {
        const QString name = QString::fromLatin1(option.name);
        if (!*option.valueName && parser.isSet(name))
            arguments.options.push_back(std::string("--") + option.name);
        if (*option.valueName) {
            for (const QString& value : parser.values(name))
                arguments.options.push_back(std::string("--") + option.name + "=" + value.toStdString());
        }
    }
    for (const QString& value : parser.positionalArguments())
        arguments.values.push_back(value.toStdString());
    return arguments;
}

int RunCommand(const Command& command, const std::vector<std::string>& args, std::size_t first,
               std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    AddOptions(parser, command.options);
    AddOptions(parser, kCommonOptions);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QString()));
    if (!parser.parse(ParserWords(args, first)))
        return ParseFailure(parser, err);
    if (parser.isSet(QStringLiteral("help"))) {
        out << CommandHelp(command);
        return RFIDCTL_OK;
    }
    TakeCommonOptions(parser);
    if (const std::optional<std::string>& station = CurrentJournalOptions().station; station && HasControlCharacter(*station))
        return Usage(err, "a station name may not hold control characters: " + ArgumentText(*station));
    return command.run(CommandArguments(parser, command), out, err);
}

} // namespace

int RunRfidctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CurrentJournalOptions() = RfidctlJournalOptions();
    CUSBDevice::ChooseReader(std::string());
    // The options before the command: everything from the command on is the command's.
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    AddOptions(global, kCommonOptions);
    global.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QString()));
    global.addOption(QCommandLineOption(QStringLiteral("version"), QString()));
    if (!global.parse(ParserWords(args, 0)))
        return ParseFailure(global, err);
    const QStringList rest = global.positionalArguments();
    if (rest.isEmpty() && global.isSet(QStringLiteral("help"))) {
        out << kUsage;
        return RFIDCTL_OK;
    }
    if (rest.isEmpty() && global.isSet(QStringLiteral("version"))) {
        out << "rfidctl " << RFIDCTL_VERSION << "\n";
        return RFIDCTL_OK;
    }
    if (rest.isEmpty())
        return Usage(err, "no command given");
    TakeCommonOptions(global);
    const std::string name = rest.first().toStdString();
    const std::size_t first = args.size() - std::size_t(rest.size()) + 1;
    for (const Command& command : Commands()) {
        if (name == command.name)
            return RunCommand(command, args, first, out, err);
    }
    if (IsCommandGroup(name)) {
        const std::string word = rest.size() > 1 ? rest[1].toStdString() : std::string();
        for (const Command& command : Commands()) {
            if (name + " " + word == command.name)
                return RunCommand(command, args, first + 1, out, err);
        }
        if (word == "--help" || word == "-h") {
            out << GroupHelp(name);
            return RFIDCTL_OK;
        }
        return Usage(err, word.empty() ? name + " needs a command"
                                       : "unknown command " + ArgumentText(name + " " + word));
    }
    return Usage(err, "unknown command " + ArgumentText(name));
}
