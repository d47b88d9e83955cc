#include "cards/CardFrame.h"

namespace {

constexpr int HEADER_BITS = 9;

// Appends bits to a frame, most significant bit of byte 0 first.
class FrameWriter {
public:
    void Put(int bit) {
        if (bit)
            m_frame[m_nBit / 8] |= static_cast<std::uint8_t>(0x80 >> (m_nBit % 8));
        ++m_nBit;
    }
    const CardFrame& Frame() const { return m_frame; }

private:
    CardFrame m_frame{};
    int m_nBit = 0;
};

} // namespace

CardNibbles SplitNibbles(std::uint64_t value) {
    CardNibbles nibbles{};
    for (int k = 0; k < CARD_NIBBLES; ++k)
        nibbles[k] = static_cast<std::uint8_t>((value >> (4 * k)) & 0x0F);
    return nibbles;
}

CardFrame EncodeCardFrame(const CardNibbles& nibbles) {
    FrameWriter writer;
    for (int i = 0; i < HEADER_BITS; ++i)
        writer.Put(1);

    int columnParity[4] = {0, 0, 0, 0};
    for (int k = CARD_NIBBLES - 1; k >= 0; --k) {
        int rowParity = 0;
        for (int bit = 3; bit >= 0; --bit) {
            const int value = (nibbles[k] >> bit) & 1;
            writer.Put(value);
            rowParity ^= value;
            columnParity[bit] ^= value;
        }
        writer.Put(rowParity);
    }
    for (int bit = 3; bit >= 0; --bit)
        writer.Put(columnParity[bit]);
    writer.Put(0);
    return writer.Frame();
}

std::uint64_t CardIdFromBytes(const std::uint8_t* bytes, int firstByte) {
    std::uint64_t value = 0;
    for (int i = firstByte; i < CARD_ID_BYTES; ++i)
        value += std::uint64_t{bytes[i]} << (8 * (CARD_ID_BYTES - 1 - i));
    return value;
}
