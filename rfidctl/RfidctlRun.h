#pragma once

// `rfidctl run`: a hands-free run in a terminal, the window's hands-free run without a window. It polls
// the reader, writes each card laid on it once through the card routine and its guards (a finished card
// laid again is left as it is), waits for the card to be taken away, prints one line per card and, on a
// terminal, a live status line. It stops after the card in hand on Ctrl-C or SIGTERM.
//
//   rfidctl run --batch NAME [--verify] [--wait SECONDS] [--bell]
//   rfidctl run --vendor V --first N [--mode increase|random|same] [--verify] [--bell]

#include "rfidctl/RfidctlArguments.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

// Without a station name on the command line or in setting.ini, a station on a computer with several
// readers is named after the host and the reader it has open (call after opening it).
void NameStationAfterReader();

int HandsFreeRunCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);

// The live status line: good and failed cards, the numbers left (when known), cards per minute and the
// time to finish at that pace. elapsedMs: since the run began.
std::string RunStatusText(int good, int failed, std::optional<std::int64_t> left, std::int64_t elapsedMs);
