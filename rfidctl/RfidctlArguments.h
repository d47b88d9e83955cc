#pragma once

// A command's options as given ("--verify", "--form=hex", one entry per value) and its plain arguments.

#include <algorithm>
#include <string>
#include <vector>

struct Arguments {
    std::vector<std::string> options;
    std::vector<std::string> values;
};

// The name of an option, without the value it carries.
inline std::string OptionName(const std::string& option) {
    return option.substr(0, option.find('='));
}

inline bool Has(const Arguments& arguments, const std::string& option) {
    for (const std::string& given : arguments.options) {
        if (given == option)
            return true;
    }
    return false;
}

// The value of an option given once ("--since=2026-12-08" gives "2026-12-08"), or empty text.
inline std::string ValueOf(const Arguments& arguments, const std::string& option) {
    for (const std::string& given : arguments.options) {
        if (OptionName(given) == option)
            return given.substr(std::min(given.size(), option.size() + 1));
    }
    return std::string();
}
