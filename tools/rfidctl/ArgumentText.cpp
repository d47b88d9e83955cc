#include "tools/rfidctl/ArgumentText.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at pos, or 0 when the bytes there are none.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool wellFormed = code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    // C1 controls (U+0080 to U+009F) start escape sequences on some terminals as well.
    return wellFormed && code >= 0xA0 ? length : 0;
}

std::string EscapedByte(unsigned char c) {
    switch (c) {
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case 0x1B: return "\\e";
    case '"': return "\\\"";
    case '\\': return "\\\\";
    default: break;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    return hex;
}

} // namespace

namespace {

// The argument in double quotes with everything that is not printable text escaped, up to maxCharacters.
std::string Escaped(const std::string& argument, std::size_t maxCharacters) {
    std::string text = "\"";
    std::size_t pos = 0;
    for (std::size_t shown = 0; pos < argument.size() && shown < maxCharacters; ++shown) {
        const auto c = static_cast<unsigned char>(argument[pos]);
        const std::size_t sequence = c >= 0x80 ? Utf8SequenceAt(argument, pos) : 0;
        if (sequence > 0) {
            text.append(argument, pos, sequence);
            pos += sequence;
        } else {
            const bool plain = c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
            text += plain ? std::string(1, char(c)) : EscapedByte(c);
            ++pos;
        }
    }
    text += '"';
    if (pos < argument.size())
        text += "... (" + std::to_string(argument.size()) + " bytes)";
    return text;
}

} // namespace

std::string ArgumentText(const std::string& argument) {
    return Escaped(argument, ARGUMENT_TEXT_MAX_CHARACTERS);
}

std::string PlainArgumentText(const std::string& argument) {
    // Paths are shown whole: a cut one would name another file.
    const std::string quoted = Escaped(argument, argument.size());
    return quoted == '"' + argument + '"' ? argument : quoted;
}
