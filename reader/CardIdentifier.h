#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

// The decimal conversion every card text goes through: leading blanks are skipped, one optional sign is
// accepted, digits are taken up to the first other character, text without digits gives 0, and a value
// outside the signed 64-bit range saturates at its nearest end.
std::int64_t DecimalToInt64(std::string_view text);
std::int64_t DecimalToInt64(const QString& text);
inline std::int64_t DecimalToInt64(const char* text) {
    return DecimalToInt64(std::string_view(text));
}

// Why a number field's text gives no number.
enum class NumberTextError { None, NotANumber, OutOfRange };

// A number taken from a field's text, or the reason there is none.
struct FieldNumber {
    std::uint64_t value = 0;
    NumberTextError error = NumberTextError::None;
    bool IsValid() const { return error == NumberTextError::None; }
};

// The strict reading of a field the operator typed or pasted into: decimal digits with blanks around
// them and nothing else (no sign, no second number, no exponent), at most `max`. Unlike DecimalToInt64,
// which reads "abc" as 0 and " 42xyz" as 42, such text gives NotANumber, so a card never receives a
// number the field does not show. Empty text is not a number either; callers decide what an empty
// field means.
FieldNumber ParseFieldNumber(const QString& text, std::uint64_t max);

// The three text forms of an identifier.
// Full form: 13 zero-padded digits ("0078187493530").
QString CardIdText(std::uint64_t cardId);
// Vendor form of a full-form text: "VENDOR ID:" and the vendor ID in 3 digits ("VENDOR ID:018").
QString VendorIdText(const QString& fullText);
// Card form of a full-form text: "CARD NO.:" and the card number in 10 digits ("CARD NO.:0878082202").
QString CardNoText(const QString& fullText);
