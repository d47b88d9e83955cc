#pragma once

// The behaviour of a 125 kHz reader/writer as the system sees it over USB: a card store, the four
// vendor requests and per-request fault injection. It is shared by the umockdev testbed (EmuTestbed.h,
// for the real libusb) and by the in-process bus (FakeUsbBus.h, for unit tests and benchmarks).
//
//   CEmulatedReader reader;                 // name "RFID Reader", version bytes '1' '0' '2', no card
//   reader.PutCard(78187493530);            // a writable card holding that identifier
//   reader.PutCard(42, CEmulatedReader::CARD_READ_ONLY);
//   reader.SetFault(0, CEmulatedReader::Fault::ShortReply);   // every request 0 from now on
//   reader.SetFault(1, CEmulatedReader::Fault::Stall, 1);     // only the next request 1
//   reader.SetFaultChooser(chooser);        // asked for every transfer that no SetFault rule covers
//   reader.SetTimeoutDelayMs(50);           // how long Fault::Timeout waits before ETIMEDOUT
//   reader.SetSettleTimeMs(400);            // a card just programmed stalls reads for that long
//   reader.CardId();                        // what the card holds now (std::nullopt: no card)
//   reader.ProgrammedCount();               // how many frames reached a card
//   reader.Transfers();                     // every transfer received, in order, with its answer
//
// All members may be called from any thread; the umockdev handler runs on a thread of its own.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CEmulatedReader {
public:
    enum CardKind { CARD_WRITABLE, CARD_READ_ONLY };

    enum class Fault {
        None,       // answer normally
        NoReply,    // complete with 0 bytes
        ShortReply, // one byte fewer than the full answer (or than the host sent)
        Stall,      // -EPIPE
        Timeout,    // -ETIMEDOUT after the configured delay
    };

    // One transfer as the reader received it, and what it answered (a byte count or -errno).
    struct Transfer {
        int requestType = 0;
        int request = 0;
        int value = 0;
        int index = 0;
        int length = 0;
        std::vector<std::uint8_t> data; // the data stage the host sent (requests to the device)
        int result = 0;
    };

    // A device that is no reader (answersRequests false) logs every transfer and stalls it.
    explicit CEmulatedReader(bool answersRequests = true);

    // The card store.
    void PutCard(std::uint64_t cardId, CardKind kind = CARD_WRITABLE);
    void RemoveCard();
    std::optional<std::uint64_t> CardId() const;
    int ProgrammedCount() const;

    // Name and version bytes returned by requests 128 and 129 (empty: the request stalls).
    void SetName(const std::string& bytes);
    void SetVersion(const std::vector<std::uint8_t>& bytes);

    // A fault for one request number. times < 0: until cleared; otherwise for the next `times` requests.
    void SetFault(int request, Fault fault, int times = -1);
    void ClearFaults();
    // Decides the fault of each transfer that no SetFault rule covers (for faults at random); it is
    // called with the reader's lock held, one transfer at a time. An empty chooser means no fault.
    using FaultChooser = std::function<Fault(int request)>;
    void SetFaultChooser(FaultChooser chooser);
    void SetTimeoutDelayMs(int delayMs);
    int TimeoutDelayMs() const;
    // How long a card needs after programming before it can be read back; reads before then stall.
    void SetSettleTimeMs(int settleMs);

    std::vector<Transfer> Transfers() const;
    int CountTransfers(int request) const;
    void ClearTransfers();

    // Answers one control transfer. `data` holds `length` bytes: the host's data stage for a request to
    // the device, the buffer to fill for a request from the device. Returns the number of bytes
    // transferred or -errno. When the answer is a time-out, *delayMs says how long to wait first.
    int HandleControl(int requestType, int request, int value, int index, std::uint8_t* data, int length,
                      int* delayMs = nullptr);

    // The identifier a 64-bit card frame carries when its header, row and column parity and stop bit all
    // hold; std::nullopt otherwise. Written bit by bit, apart from the system's encoder, on purpose.
    static std::optional<std::uint64_t> DecodeCardFrame(const std::uint8_t* frame);

private:
    struct FaultRule {
        Fault fault = Fault::None;
        int times = -1;
    };

    Fault TakeFault(int request);
    int Answer(int requestType, int request, std::uint8_t* data, int length, Fault fault);
    int AnswerText(const std::vector<std::uint8_t>& text, std::uint8_t* data, int length, Fault fault);

    mutable std::mutex m_mutex;
    const bool m_bAnswers;
    std::optional<std::uint64_t> m_cardId;
    CardKind m_cardKind = CARD_WRITABLE;
    int m_nProgrammed = 0;
    std::vector<std::uint8_t> m_name;
    std::vector<std::uint8_t> m_version;
    std::map<int, FaultRule> m_faults;
    FaultChooser m_faultChooser;
    int m_nTimeoutDelayMs = 1000;
    std::chrono::milliseconds m_settleTime{0};
    std::chrono::steady_clock::time_point m_programmedAt;
    std::vector<Transfer> m_transfers;
};
