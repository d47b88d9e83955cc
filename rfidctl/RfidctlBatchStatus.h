#pragma once

// `rfidctl batch status [NAME] [--watch] [--json]`: the figures of the batches, as the Batches window
// shows them, and with --watch a progress line per batch redrawn every 2 s.

#include "batches/BatchStatus.h"
#include "rfidctl/RfidctlArguments.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

constexpr int BATCH_WATCH_INTERVAL_MS = 2000;

int BatchStatusCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);

// One batch's figures on one line: good of total, claimed, to throw away, left, rate, time to finish and
// state.
std::string BatchStatusLine(const BatchFigures& figures);
// One station of a batch on one line.
std::string StationStatusLine(const StationFigures& station);
// The figures as JSON: an array of batches, each with its stations.
std::string BatchStatusJson(const std::vector<BatchFigures>& batches,
                            const std::vector<std::vector<StationFigures>>& stations);

// What --watch prints each round. On a terminal the previous round's lines are drawn over with a
// progress bar per batch; otherwise only the batches whose counts or state changed get a plain line,
// so that a log of the output holds one line per change.
class CBatchStatusWatch {
public:
    explicit CBatchStatusWatch(bool terminal) : m_bTerminal(terminal) {}
    std::string Round(const std::vector<BatchFigures>& batches, const QString& time);

private:
    bool m_bTerminal;
    int m_nLinesDrawn = 0;
    std::map<QString, std::string> m_lastCounts;
};
