#pragma once

#include <string>

// A command-line argument as it may appear in a message: in double quotes, with control characters,
// bytes that are no UTF-8, quotes and backslashes escaped (\n, \t, \r, \e, \", \\, \xHH), so that the
// message stays one line and nothing reaches the terminal as a control sequence; arguments longer than
// ARGUMENT_TEXT_MAX_CHARACTERS characters are cut there and say how many bytes they have.
constexpr int ARGUMENT_TEXT_MAX_CHARACTERS = 64;
std::string ArgumentText(const std::string& argument);

// An argument such as a path as it may appear in a message: as it is when it holds only printable text
// (no quotes or backslashes), else escaped in double quotes as ArgumentText does, but never cut.
std::string PlainArgumentText(const std::string& argument);
