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

// The three text forms of an identifier.
// Full form: 13 zero-padded digits ("0078187493530").
QString CardIdText(std::uint64_t cardId);
// Vendor form of a full-form text: "VENDOR ID:" and the vendor ID in 3 digits ("VENDOR ID:018").
QString VendorIdText(const QString& fullText);
// Card form of a full-form text: "CARD NO.:" and the card number in 10 digits ("CARD NO.:0878082202").
QString CardNoText(const QString& fullText);
