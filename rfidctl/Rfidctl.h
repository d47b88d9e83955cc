#pragma once

// rfidctl, the command-line companion of RFID: reads, writes and identifies the reader through the same
// reader layer as the program, and prints card frames.

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Exit codes.
constexpr int RFIDCTL_OK = 0;
constexpr int RFIDCTL_USAGE = 2;           // unknown command or option, or an identifier that is not valid
constexpr int RFIDCTL_NO_READER = 3;       // no reader on the USB buses, or it did not open
constexpr int RFIDCTL_TRANSFER_FAILED = 4; // the reader did not answer or refused the card
constexpr int RFIDCTL_VERIFY_FAILED = 5;   // the card read back holds another identifier
constexpr int RFIDCTL_NO_PERMISSION = 6;   // a reader is plugged in, but this user may not use it
// 7 (RFIDCTL_JOURNAL_FAILED): the journal cannot record the card or be read
constexpr int RFIDCTL_BATCH_EXHAUSTED = 8; // every number of the batch is claimed or done
constexpr int RFIDCTL_STATION_IN_USE = 9;  // another running station has the station name
constexpr int RFIDCTL_ALREADY_WRITTEN = 10; // the card on the reader holds a number on record as a good card
constexpr int RFIDCTL_READER_IN_USE = 11;   // the reader is used by another program (the window, another rfidctl)

// A card identifier typed on the command line: decimal digits only (leading zeros allowed) below 2^40, or
// "0x" and exactly 10 hex digits as printed on cards.
// Unlike the reader layer's lenient conversion, anything else is refused so that a typo never programs a
// card.
std::optional<std::uint64_t> ParseCardIdArgument(const std::string& text);

// The 8 frame bytes as upper-case hex pairs separated by spaces ("FF 8C A6 4A 98 F8 CA 96").
std::string FrameHex(std::uint64_t cardId);

// The device node of the first reader on the buses of the last scan (/dev/bus/usb/BBB/DDD) that this
// user may not read and write, or empty text when every reader is usable. `accessible` decides for a
// node; by default it asks the system (access with read and write).
using DeviceNodeProbe = std::function<bool(const std::string& node)>;
std::string ReaderNodeWithoutAccess(const DeviceNodeProbe& accessible);
bool DeviceNodeAccessible(const std::string& node);

// Replaces the probe that the commands use (tests run as root, for whom every node is accessible);
// returns the previous one.
DeviceNodeProbe SetDeviceNodeProbe(DeviceNodeProbe probe);

// Runs one command line (without the program name); results go to out, errors as one line to err.
int RunRfidctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
