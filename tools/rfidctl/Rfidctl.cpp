#include "tools/rfidctl/Rfidctl.h"
#include "tools/rfidctl/ArgumentText.h"

#include "reader/CardFrame.h"
#include "reader/CardIdentifier.h"
#include "reader/NumberForms.h"
#include "reader/RFIDDevice.h"
#include "reader/USBDevice.h"
#include "platform/UsbApi.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#ifndef RFIDCTL_VERSION
#define RFIDCTL_VERSION "unknown"
#endif

namespace {

constexpr int MAX_ID_DIGITS = 13;
constexpr int HEX_ID_DIGITS = 10;
const char kIdRule[] = "decimal below 2^40, or 0x and 10 hex digits";
const std::string kFormOption = "--form";

const char kUsage[] =
    "Usage: rfidctl COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  info                 the reader's name and version\n"
    "  read [--card-only] [--form FORM]...\n"
    "                       the identifier of the card on the reader (13 digits), with its\n"
    "                       vendor and card forms; --card-only leaves the vendor ID out;\n"
    "                       --form adds the identifier as printed on cards, FORM being hex,\n"
    "                       dez10, dez8, w26, 5.5 or all\n"
    "  write ID [--verify]  programs the card on the reader with ID; --verify reads it back\n"
    "  frame ID...          prints the 8 bytes of the card frame for each ID\n"
    "  forms ID             prints every printed form of ID (no reader needed)\n"
    "  ID is decimal (below 1099511627776) or 0x and 10 hex digits (0x123456789A)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 2 bad command line or ID, 3 no reader, 4 transfer failed,\n"
    "5 verification failed, 6 no permission to use the reader.\n";

// The words of a command line after the command, split into options and plain arguments.
struct Arguments {
    std::vector<std::string> options;
    std::vector<std::string> values;
};

// An option that takes a value ("--form hex") is kept as one word with its value ("--form=hex").
Arguments Split(const std::vector<std::string>& args) {
    Arguments split;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == kFormOption && i + 1 < args.size())
            split.options.push_back(kFormOption + "=" + args[++i]);
        else
            (args[i].rfind("--", 0) == 0 ? split.options : split.values).push_back(args[i]);
    }
    return split;
}

// The name of an option, without the value it carries.
std::string OptionName(const std::string& option) {
    return option.substr(0, option.find('='));
}

// True when every option is one of the allowed ones; otherwise reports the first other one.
bool OnlyOptions(const Arguments& arguments, const std::vector<std::string>& allowed, std::ostream& err) {
    for (const std::string& option : arguments.options) {
        bool known = false;
        for (const std::string& name : allowed)
            known = known || option == name || (name == kFormOption && OptionName(option) == kFormOption);
        if (!known) {
            err << "rfidctl: unknown option " << ArgumentText(option) << " (see rfidctl --help)\n";
            return false;
        }
    }
    return true;
}

bool Has(const Arguments& arguments, const std::string& option) {
    for (const std::string& given : arguments.options) {
        if (given == option)
            return true;
    }
    return false;
}

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
    if (ReportMissingPermission(err))
        return RFIDCTL_NO_PERMISSION;
    err << "rfidctl: no reader found (USB 0314:1001)\n";
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
    const QString fullText = device.ReadCardNumber(true);
    if (fullText.isEmpty())
        return TransferFailed(err, "reading the card failed (no card, or the reader did not answer)");
    const auto cardId = static_cast<std::uint64_t>(DecimalToInt64(fullText));
    const QString text = includeVendor ? fullText : CardIdText(cardId & 0xFFFFFFFFu);
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

int Write(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() != 1)
        return Usage(err, "write takes exactly one ID");
    const std::optional<std::uint64_t> cardId = ParseCardIdArgument(arguments.values[0]);
    if (!cardId)
        return Usage(err, "not a card identifier: " + ArgumentText(arguments.values[0]) + " (" + kIdRule + ")");
    CRFIDDevice device;
    if (!device.OpenReader())
        return NoReader(err);
    const QString text = CardIdText(*cardId);
    if (!device.WriteCardNumber(text))
        return TransferFailed(err, "writing the card failed (no writable card, or the reader did not answer)");
    out << "written " << text.toStdString() << "\n";
    if (!Has(arguments, "--verify"))
        return RFIDCTL_OK;
    usleep(CARD_SETTLE_MS * 1000);
    const QString readBack = device.ReadCardNumber(true);
    if (readBack != text) {
        err << "rfidctl: verification failed: the card holds "
            << (readBack.isEmpty() ? std::string("nothing readable") : readBack.toStdString()) << "\n";
        return RFIDCTL_VERIFY_FAILED;
    }
    out << "verified " << readBack.toStdString() << "\n";
    return RFIDCTL_OK;
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

} // namespace

bool DeviceNodeAccessible(const std::string& node) {
    return access(node.c_str(), R_OK | W_OK) == 0;
}

std::string ReaderNodeWithoutAccess(const DeviceNodeProbe& accessible) {
    for (usb_bus* bus = CurrentUsbApi().getBusses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (device->descriptor.idVendor != READER_VENDOR_ID || device->descriptor.idProduct != READER_PRODUCT_ID)
                continue;
            const std::string node = std::string("/dev/bus/usb/") + bus->dirname + "/" + device->filename;
            if (!accessible(node))
                return node;
        }
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
std::optional<std::uint64_t> ParseHexCardId(const std::string& text) {
    if (text.size() != 2 + HEX_ID_DIGITS || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

} // namespace

std::optional<std::uint64_t> ParseCardIdArgument(const std::string& text) {
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
        return ParseHexCardId(text);
    if (text.empty() || text.size() > MAX_ID_DIGITS)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > CARD_ID_MASK)
        return std::nullopt;
    return value;
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

int RunRfidctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        out << kUsage;
        return RFIDCTL_OK;
    }
    if (command == "--version") {
        out << "rfidctl " << RFIDCTL_VERSION << "\n";
        return RFIDCTL_OK;
    }
    const Arguments arguments = Split(args);
    if (command == "info")
        return OnlyOptions(arguments, {}, err) ? Info(arguments, out, err) : RFIDCTL_USAGE;
    if (command == "read")
        return OnlyOptions(arguments, {"--card-only", kFormOption}, err) ? Read(arguments, out, err)
                                                                         : RFIDCTL_USAGE;
    if (command == "write")
        return OnlyOptions(arguments, {"--verify"}, err) ? Write(arguments, out, err) : RFIDCTL_USAGE;
    if (command == "frame")
        return OnlyOptions(arguments, {}, err) ? Frame(arguments, out, err) : RFIDCTL_USAGE;
    if (command == "forms")
        return OnlyOptions(arguments, {}, err) ? Forms(arguments, out, err) : RFIDCTL_USAGE;
    return Usage(err, "unknown command " + ArgumentText(command));
}
