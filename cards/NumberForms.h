#pragma once

// The forms in which cards and access-control systems print a 40-bit identifier, besides its 13-digit
// text: operators compare the card in hand, or what a door controller logged, with one of them.

#include <QString>

#include <cstdint>
#include <optional>

// One bit per form, so a choice of forms is one small number.
enum NumberForm : unsigned {
    FORM_HEX = 1u << 0,   // 10 upper-case hex digits of the whole identifier
    FORM_DEZ10 = 1u << 1, // bits 31..0 (the card number) in 10 decimal digits
    FORM_DEZ8 = 1u << 2,  // bits 23..0 in 8 decimal digits
    FORM_W26 = 1u << 3,   // Wiegand 26 (3.5): bits 23..16 in 3 digits, a comma, bits 15..0 in 5 digits
    FORM_5_5 = 1u << 4,   // bits 31..16 and bits 15..0 in 5 digits each, a comma between
};
using NumberFormSet = unsigned;

// Every form, in the order they are listed, shown and stored.
inline constexpr NumberForm ALL_NUMBER_FORMS[] = {FORM_HEX, FORM_DEZ10, FORM_DEZ8, FORM_W26, FORM_5_5};
inline constexpr NumberFormSet NUMBER_FORMS_ALL = FORM_HEX | FORM_DEZ10 | FORM_DEZ8 | FORM_W26 | FORM_5_5;

// The form's name as printed before its value and stored in the settings: "HEX", "DEZ10", "DEZ8", "W26",
// "5.5".
QString NumberFormName(NumberForm form);

// The identifier (its low 40 bits) in the form.
QString NumberFormText(NumberForm form, std::uint64_t cardId);

// The longest form, in characters ("65535,65535").
inline constexpr int NUMBER_FORM_MAX_LENGTH = 11;
// The same text as NumberFormText, written as ASCII characters from out on, with nothing allocated: an
// export writes millions of them. Returns the end of what was written (at most NUMBER_FORM_MAX_LENGTH).
char* WriteNumberForm(NumberForm form, std::uint64_t cardId, char* out);

// The chosen forms of the identifier, each as its name, a blank and its value, two blanks between forms
// ("HEX 123456789A  W26 086,30874"); empty when no form is chosen.
QString NumberFormsLine(NumberFormSet forms, std::uint64_t cardId);

// A set of forms as stored: their names in list order, separated by commas ("HEX,W26"); empty for none.
QString NumberFormsToText(NumberFormSet forms);
// The stored text read back: names are matched without regard to case or surrounding blanks, and names
// that are not forms are ignored, so a hand-edited setting never fails.
NumberFormSet NumberFormsFromText(const QString& text);

// One form named on a command line, case-insensitively ("hex", "dez10", "dez8", "w26", "5.5"), or "all"
// for every form; nothing for any other word.
std::optional<NumberFormSet> NumberFormsFromOption(const QString& word);
