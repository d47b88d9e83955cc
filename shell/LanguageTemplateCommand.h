#pragma once

// RFID --language-template FILE: writes a language file for translators (every key the program looks up,
// with its English text) instead of opening the window, so a user can add a language of their own.

#include <QStringList>

#include <optional>

// The exit status when the command line asks for the template (0 written, 1 not), else nothing: the
// program then opens its window as always. Messages go to standard error.
std::optional<int> WriteLanguageTemplateWhenAsked(const QStringList& arguments);
