#pragma once

#include <QString>

#include <cstdint>
#include <optional>
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

// The one parser of identifier texts, for every form the program accepts; each caller names the forms
// it takes. Nothing but the form itself is accepted (no blanks, signs or trailing text), so a typo never
// becomes another card's identifier.
enum IdentifierForm : unsigned {
    ID_DECIMAL = 1,     // decimal digits, at most 13, below 2^40 ("78187493530", "0078187493530")
    ID_THIRTEEN = 2,    // exactly 13 decimal digits below 2^40, as the program prints identifiers
    ID_HEX = 4,         // "0x" and 10 hex digits, as printed on cards ("0x123456789A")
    ID_VENDOR_CARD = 8, // vendor ID 0..255, a colon and card number 0..4294967295 ("18:878082202")
};

struct ParsedIdentifier {
    std::optional<std::uint64_t> value;
    QString problem; // why the text is none of the forms asked for, in the program's own words
    // OutOfRange: the text has a form's characters (digits, 0x and hex digits) but no identifier's value.
    NumberTextError error = NumberTextError::None;
};

ParsedIdentifier ParseIdentifier(QStringView text, unsigned forms);

// The three text forms of an identifier.
// Full form: 13 zero-padded digits ("0078187493530").
QString CardIdText(std::uint64_t cardId);
// Vendor form of a full-form text: "VENDOR ID:" and the vendor ID in 3 digits ("VENDOR ID:018").
QString VendorIdText(const QString& fullText);
// Card form of a full-form text: "CARD NO.:" and the card number in 10 digits ("CARD NO.:0878082202").
QString CardNoText(const QString& fullText);

// What a search for a card matches. A card number alone (at most 10 digits, as DEZ10 prints it, or the
// 5.5 form "01234,56789") is the number printed on the card and matches it under any vendor; W26
// ("086,30874") gives the low 24 bits only; every other form names one identifier.
struct IdentifierSearch {
    enum Kind { Identifier, CardNumber, Low24Bits };
    Kind kind = Identifier;
    std::uint64_t value = 0;
};

// The search a text asks for: 13 digits, vendor:card, 0x and 10 hex digits, decimal below 2^40, a card
// number alone, 5.5 or W26; blanks around it are ignored. nullopt for any other text.
std::optional<IdentifierSearch> ParseIdentifierSearch(QStringView text);
