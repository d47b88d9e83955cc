#include "emulator/EmulatedReader.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int READ_CARD = 0;
constexpr int WRITE_CARD = 1;
constexpr int READER_NAME = 128;
constexpr int READER_VERSION = 129;
constexpr int DIRECTION_IN = 0x80;
constexpr int TYPE_MASK = 0x60;
constexpr int TYPE_VENDOR = 0x40;
constexpr int ID_BYTES = 5;
constexpr int FRAME_BYTES = 8;

int FrameBit(const std::uint8_t* frame, int index) {
    return (frame[index / 8] >> (7 - index % 8)) & 1;
}

} // namespace

CEmulatedReader::CEmulatedReader(bool answersRequests)
    : m_bAnswers(answersRequests), m_name{'R', 'F', 'I', 'D', ' ', 'R', 'e', 'a', 'd', 'e', 'r'}, m_version{
                                                                                                      '1',
                                                                                                      '0',
                                                                                                      '2'} {}

void CEmulatedReader::PutCard(std::uint64_t cardId, CardKind kind) {
    std::lock_guard lock(m_mutex);
    m_cardId = cardId & ((std::uint64_t{1} << 40) - 1);
    m_cardKind = kind;
}

void CEmulatedReader::RemoveCard() {
    std::lock_guard lock(m_mutex);
    m_cardId.reset();
}

std::optional<std::uint64_t> CEmulatedReader::CardId() const {
    std::lock_guard lock(m_mutex);
    return m_cardId;
}

int CEmulatedReader::ProgrammedCount() const {
    std::lock_guard lock(m_mutex);
    return m_nProgrammed;
}

void CEmulatedReader::SetName(const std::string& bytes) {
    std::lock_guard lock(m_mutex);
    m_name.assign(bytes.begin(), bytes.end());
}

void CEmulatedReader::SetVersion(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_mutex);
    m_version = bytes;
}

void CEmulatedReader::SetFault(int request, Fault fault, int times) {
    std::lock_guard lock(m_mutex);
    m_faults[request] = FaultRule{fault, times};
}

void CEmulatedReader::ClearFaults() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

void CEmulatedReader::SetFaultChooser(FaultChooser chooser) {
    std::lock_guard lock(m_mutex);
    m_faultChooser = std::move(chooser);
}

void CEmulatedReader::SetTimeoutDelayMs(int delayMs) {
    std::lock_guard lock(m_mutex);
    m_nTimeoutDelayMs = delayMs;
}

int CEmulatedReader::TimeoutDelayMs() const {
    std::lock_guard lock(m_mutex);
    return m_nTimeoutDelayMs;
}

void CEmulatedReader::SetSettleTimeMs(int settleMs) {
    std::lock_guard lock(m_mutex);
    m_settleTime = std::chrono::milliseconds(settleMs);
}

std::vector<CEmulatedReader::Transfer> CEmulatedReader::Transfers() const {
    std::lock_guard lock(m_mutex);
    return m_transfers;
}

int CEmulatedReader::CountTransfers(int request) const {
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const Transfer& transfer : m_transfers)
        count += transfer.request == request ? 1 : 0;
    return count;
}

void CEmulatedReader::ClearTransfers() {
    std::lock_guard lock(m_mutex);
    m_transfers.clear();
}

CEmulatedReader::Fault CEmulatedReader::TakeFault(int request) {
    auto found = m_faults.find(request);
    if (found == m_faults.end())
        return m_faultChooser ? m_faultChooser(request) : Fault::None;
    const Fault fault = found->second.fault;
    if (found->second.times > 0 && --found->second.times == 0)
        m_faults.erase(found);
    return fault;
}

int CEmulatedReader::HandleControl(int requestType, int request, int value, int index, std::uint8_t* data,
                                   int length, int* delayMs) {
    std::lock_guard lock(m_mutex);
    Transfer transfer{requestType, request, value, index, length, {}, 0};
    if (!(requestType & DIRECTION_IN) && data && length > 0)
        transfer.data.assign(data, data + length);

    const Fault fault = TakeFault(request);
    if (fault == Fault::Timeout && delayMs)
        *delayMs = m_nTimeoutDelayMs;
    transfer.result = Answer(requestType, request, data, length, fault);
    m_transfers.push_back(std::move(transfer));
    return m_transfers.back().result;
}

int CEmulatedReader::Answer(int requestType, int request, std::uint8_t* data, int length, Fault fault) {
    switch (fault) {
    case Fault::Stall:
        return -EPIPE;
    case Fault::Timeout:
        return -ETIMEDOUT;
    case Fault::NoReply:
        return 0;
    case Fault::None:
    case Fault::ShortReply:
        break;
    }
    if (!m_bAnswers || (requestType & TYPE_MASK) != TYPE_VENDOR || length < 0 || (length > 0 && !data))
        return -EPIPE;
    const bool in = requestType & DIRECTION_IN;

    if (request == READ_CARD && in) {
        if (!m_cardId || length < ID_BYTES)
            return -EPIPE;
        if (std::chrono::steady_clock::now() - m_programmedAt < m_settleTime)
            return -EPIPE;
        for (int i = 0; i < ID_BYTES; ++i)
            data[i] = static_cast<std::uint8_t>(*m_cardId >> (8 * (ID_BYTES - 1 - i)));
        return fault == Fault::ShortReply ? ID_BYTES - 1 : ID_BYTES;
    }
    if (request == WRITE_CARD && !in) {
        // A short reply means the reader took only part of the frame: nothing is programmed.
        if (fault == Fault::ShortReply)
            return length > 0 ? length - 1 : 0;
        if (length != FRAME_BYTES)
            return -EPIPE;
        const std::optional<std::uint64_t> cardId = DecodeCardFrame(data);
        if (!cardId || !m_cardId || m_cardKind != CARD_WRITABLE)
            return -EPIPE;
        m_cardId = cardId;
        ++m_nProgrammed;
        m_programmedAt = std::chrono::steady_clock::now();
        return FRAME_BYTES;
    }
    if (request == READER_NAME && in)
        return AnswerText(m_name, data, length, fault);
    if (request == READER_VERSION && in)
        return AnswerText(m_version, data, length, fault);
    return -EPIPE;
}

int CEmulatedReader::AnswerText(const std::vector<std::uint8_t>& text, std::uint8_t* data, int length,
                                Fault fault) {
    if (text.empty())
        return -EPIPE;
    int count = static_cast<int>(text.size()) < length ? static_cast<int>(text.size()) : length;
    if (fault == Fault::ShortReply && count > 0)
        --count;
    if (count > 0)
        std::memcpy(data, text.data(), static_cast<std::size_t>(count));
    return count;
}

std::optional<std::uint64_t> CEmulatedReader::DecodeCardFrame(const std::uint8_t* frame) {
    for (int i = 0; i < 9; ++i) {
        if (!FrameBit(frame, i))
            return std::nullopt;
    }
    std::uint64_t cardId = 0;
    int columns[4] = {0, 0, 0, 0};
    for (int row = 0; row < 10; ++row) {
        const int first = 9 + 5 * row;
        int ones = 0;
        for (int bit = 0; bit < 4; ++bit) {
            const int value = FrameBit(frame, first + bit);
            cardId = (cardId << 1) | static_cast<std::uint64_t>(value);
            columns[bit] += value;
            ones += value;
        }
        if ((ones + FrameBit(frame, first + 4)) % 2 != 0)
            return std::nullopt;
    }
    for (int bit = 0; bit < 4; ++bit) {
        if ((columns[bit] + FrameBit(frame, 59 + bit)) % 2 != 0)
            return std::nullopt;
    }
    if (FrameBit(frame, 63))
        return std::nullopt;
    return cardId;
}
