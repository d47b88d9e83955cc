#pragma once

#include <array>
#include <cstdint>

// A card identifier is 40 bits: the vendor ID in bits 39..32, the card number in bits 31..0.
constexpr int CARD_ID_BITS = 40;
// The largest identifier (2^40 - 1, also the mask of its bits), card number and vendor ID: the limits
// of every field and command line that takes them.
constexpr std::uint64_t MAX_IDENTIFIER = (std::uint64_t{1} << CARD_ID_BITS) - 1;
constexpr std::uint64_t MAX_CARD_NUMBER = 0xFFFFFFFFu;
constexpr std::uint64_t MAX_VENDOR_ID = MAX_IDENTIFIER >> 32;
constexpr int CARD_ID_BYTES = 5;
constexpr int CARD_NIBBLES = 10;
constexpr int CARD_FRAME_BYTES = 8;

using CardNibbles = std::array<std::uint8_t, CARD_NIBBLES>;
using CardFrame = std::array<std::uint8_t, CARD_FRAME_BYTES>;

// Splits the low 40 bits of a value into ten nibbles, least significant first: index k holds bits
// 4k+3..4k, so index 9 is the high half of the vendor ID. Higher bits are dropped, and a negative value
// contributes its two's-complement low bits.
CardNibbles SplitNibbles(std::uint64_t value);

// Builds the 64-bit frame a card is programmed with: nine 1 bits, then one row per nibble from nibble 9
// down to nibble 0 (its four bits, most significant first, and an even row parity bit), then four even
// column parity bits for data bits 3..0, then a 0 stop bit. Packed most significant bit first.
CardFrame EncodeCardFrame(const CardNibbles& nibbles);

// The identifier from the bytes the reader sends (byte 0, the vendor ID, first), starting at firstByte:
// 0 for the whole identifier, 1 to leave the vendor ID out.
std::uint64_t CardIdFromBytes(const std::uint8_t* bytes, int firstByte);
