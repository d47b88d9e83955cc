#pragma once

// Per-card times of a benchmark and their order statistics. Means hide the slow tail and are pulled
// about by a single stall of a shared machine, so the programs report medians and percentiles.

#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <vector>

struct TimeSpread {
    double medianMs = 0.0;
    double p90Ms = 0.0;
    double p99Ms = 0.0;
};

// The median, 90th and 99th percentile (nearest rank) of the times after the first `cold` ones.
inline TimeSpread SpreadOf(std::vector<qint64> ns, std::size_t cold) {
    ns.erase(ns.begin(), ns.begin() + qsizetype(std::min(cold, ns.size())));
    if (ns.empty())
        return {};
    std::sort(ns.begin(), ns.end());
    const auto at = [&ns](double share) {
        const std::size_t rank = std::min(ns.size() - 1, std::size_t(share * double(ns.size())));
        return double(ns[rank]) / 1e6;
    };
    return {at(0.5), at(0.9), at(0.99)};
}
