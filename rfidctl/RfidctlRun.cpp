#include "rfidctl/RfidctlRun.h"

#include "batches/Batch.h"
#include "cards/CardIdentifier.h"
#include "cards/NumberSequence.h"
#include "journal/JournalReasons.h"
#include "journal/JournalRecorder.h"
#include "platform/System.h"
#include "reader/RFIDDevice.h"
#include "rfidctl/ArgumentText.h"
#include "rfidctl/Rfidctl.h"
#include "rfidctl/RfidctlBatch.h"
#include "station/HandsFreeRun.h"
#include "station/StationNaming.h"
#include "station/TypedNumbers.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) {
    g_stopSignal = signal;
}

// Ctrl-C and SIGTERM only ask the run to stop; it does so between cards, never with a card written and
// not recorded.
class CStopSignals {
public:
    CStopSignals() {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~CStopSignals() {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    static int Received() { return g_stopSignal; }

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

// What became of one card, for the run and for its line.
struct RunCard {
    enum class Kind { Good, Failed, LeftAsItWas, Stop } kind = Kind::Stop;
    std::vector<std::uint64_t> ids; // what the card may hold now
    bool readBack = false;
    std::string line;               // the card's line, on standard output
    int status = RFIDCTL_OK;        // Stop: the exit status; Failed: the status if the run stops for it
    std::string message;            // Stop: why, on standard error
};

std::string IdText(std::uint64_t id) {
    return CardIdText(id).toStdString();
}

void AddLaid(RunCard& card, std::optional<std::uint64_t> laid) {
    if (laid)
        card.ids.push_back(*laid);
}

// Where the run's numbers come from: a batch, or the fields' numbers.
class CRunSource {
public:
    virtual ~CRunSource() = default;
    virtual RunCard WriteCard(std::optional<std::uint64_t> laid) = 0;
    // The numbers left to write, when the source knows.
    virtual std::optional<std::int64_t> Left() { return std::nullopt; }
};

std::string ReaderText(CRFIDDevice& device, bool name) {
    unsigned char bytes[READER_TEXT_BYTES];
    const int count = name ? device.ReadReaderName(bytes) : device.ReadReaderVersion(bytes);
    QString text;
    for (int i = 0; i < count; ++i)
        text += (i > 0 && !name ? QStringLiteral(".") : QString()) + QChar(bytes[i]);
    return text.toStdString();
}

class CBatchRunSource : public CRunSource {
public:
    CBatchRunSource(CRFIDDevice& device, QString batch, bool verify, int waitSeconds, std::ostream& err)
        : m_device(device), m_strBatch(std::move(batch)), m_bVerify(verify),
          m_station(CurrentJournalOptions(), waitSeconds, err) {}

    int Start() {
        if (const int started = m_station.Start())
            return started;
        m_writer = std::make_unique<CBatchWriter>(m_station.Station(), m_device);
        if (m_station.Settings().enabled) {
            JournalRecord base;
            base.source = JournalSource::Rfidctl;
            base.station = m_station.Settings().station;
            base.user = LoginUserName();
            base.readerName = QString::fromStdString(ReaderText(m_device, true));
            base.readerVersion = QString::fromStdString(ReaderText(m_device, false));
            m_writer->SetJournalHook(BatchJournalHook(m_station.Journal(), base));
            m_writer->SetFinishedCardLookup([this](std::uint64_t identifier, QString* error) {
                return m_station.Journal().FindGoodCard(identifier, error);
            });
        }
        m_station.KeepPendingResults(*m_writer);
        return RFIDCTL_OK;
    }

    RunCard WriteCard(std::optional<std::uint64_t> laid) override {
        const BatchCardOutcome outcome = m_station.WriteNext(*m_writer, m_strBatch, m_bVerify);
        RunCard card;
        AddLaid(card, laid);
        const std::string text = outcome.claim ? IdText(outcome.claim->identifier) : std::string();
        if (outcome.claim)
            card.ids.push_back(outcome.claim->identifier);
        const std::string message = outcome.message.toStdString();
        switch (outcome.result) {
        case BatchCardResult::Verified:
        case BatchCardResult::Written:
            card.kind = RunCard::Kind::Good;
            card.readBack = outcome.result == BatchCardResult::Verified;
            card.line = (card.readBack ? "verified " : "written ") + text;
            return card;
        case BatchCardResult::WriteFailed:
            card.kind = RunCard::Kind::Failed;
            card.line = "write-failed " + text + " (no writable card, or the reader did not answer)";
            card.status = RFIDCTL_TRANSFER_FAILED;
            return card;
        case BatchCardResult::VerifyFailed:
            card.kind = RunCard::Kind::Failed;
            card.readBack = true;
            card.line = "verify-failed " + text + ": " + message + "; throw the card away";
            card.status = RFIDCTL_VERIFY_FAILED;
            return card;
        case BatchCardResult::AlreadyWritten:
            card.kind = RunCard::Kind::LeftAsItWas;
            card.line = "left-as-it-was " + (outcome.held ? IdText(*outcome.held) : std::string()) +
                        " (a finished card)";
            return card;
        case BatchCardResult::Exhausted:
            card.message = message;
            card.status = RFIDCTL_OK;
            return card;
        case BatchCardResult::NoBatch:
            card.message = message;
            card.status = RFIDCTL_USAGE;
            return card;
        case BatchCardResult::Refused:
            card.message = message;
            card.status = RFIDCTL_STATION_IN_USE;
            return card;
        case BatchCardResult::NotRecorded:
            card.message = "the card holds " + text + " but the journal stayed away, so it is not recorded yet: " +
                           (m_writer->PendingIsKept() ? "keep the card; its result is recorded by this station's next run"
                                                      : "throw the card away");
            card.status = RFIDCTL_JOURNAL_FAILED;
            return card;
        case BatchCardResult::Unavailable:
        case BatchCardResult::Failed:
            break;
        }
        card.message = message;
        card.status = RFIDCTL_JOURNAL_FAILED;
        return card;
    }

    std::optional<std::int64_t> Left() override {
        QString error;
        const std::optional<BatchInfo> info = FindBatch(m_station.Journal().Database(), m_strBatch, &error);
        if (!info)
            return std::nullopt;
        return info->counts.left + info->counts.claimed;
    }

private:
    CRFIDDevice& m_device;
    QString m_strBatch;
    bool m_bVerify;
    CRfidctlBatchStation m_station;
    std::unique_ptr<CBatchWriter> m_writer;
};

class CFieldRunSource : public CRunSource {
public:
    CFieldRunSource(CRFIDDevice& device, int vendor, std::uint32_t first, int mode, bool verify, std::ostream& err)
        : m_device(device), m_recorder(MakeRfidctlRecorder(CurrentJournalOptions(), err)),
          m_cards(m_recorder.get(), JournalSource::Rfidctl), m_bVerify(verify), m_routine(device) {
        m_random.Seed(QRandomGenerator::system()->generate());
        m_fields = std::make_unique<CFieldNumbers>(m_cards, QString::number(vendor), CardNumberText(first), mode, m_random);
        m_cards.SetBeforeFirstRecord([this] {
            m_recorder->SetReader(QString::fromStdString(ReaderText(m_device, true)),
                                  QString::fromStdString(ReaderText(m_device, false)));
        });
    }

    RunCard WriteCard(std::optional<std::uint64_t> laid) override {
        CardRequest request;
        request.verify = m_bVerify;
        request.laidCard = laid;
        const CardOutcome outcome = m_routine.WriteCard(*m_fields, request);
        RunCard card;
        AddLaid(card, laid);
        if (outcome.cardId)
            card.ids.push_back(*outcome.cardId);
        if (outcome.readBack)
            card.ids.push_back(*outcome.readBack);
        const std::string text = outcome.cardId ? IdText(*outcome.cardId) : std::string();
        switch (outcome.result) {
        case CardResult::Good:
            card.kind = RunCard::Kind::Good;
            card.readBack = m_bVerify;
            card.line = (m_bVerify ? "verified " : "written ") + text;
            break;
        case CardResult::WriteError:
            card.kind = RunCard::Kind::Failed;
            card.line = "write-failed " + text + " (no writable card, or the reader did not answer)";
            card.status = RFIDCTL_TRANSFER_FAILED;
            break;
        case CardResult::VerifyFailed:
            card.kind = RunCard::Kind::Failed;
            card.readBack = true;
            card.line = "verify-failed " + text + ": the card holds " +
                        (outcome.readBack ? IdText(*outcome.readBack) : std::string("nothing readable")) +
                        "; throw the card away";
            card.status = RFIDCTL_VERIFY_FAILED;
            break;
        case CardResult::AlreadyWritten:
            card.kind = RunCard::Kind::LeftAsItWas;
            card.line = "left-as-it-was " + (outcome.held ? IdText(*outcome.held) : std::string()) + " (a finished card)";
            break;
        default:
            card.message = outcome.refusal == CardRefusal::Duplicate
                               ? text + " is on a good card already; nothing was written"
                               : "the journal cannot record the card; nothing was written";
            card.status = outcome.refusal == CardRefusal::Duplicate ? RFIDCTL_ALREADY_WRITTEN : RFIDCTL_JOURNAL_FAILED;
            return card;
        }
        if (!outcome.recorded) {
            card.kind = RunCard::Kind::Stop;
            card.message = "the journal could not record the card " + text;
            card.status = RFIDCTL_JOURNAL_FAILED;
        }
        return card;
    }

private:
    CRFIDDevice& m_device;
    std::unique_ptr<CJournalRecorder> m_recorder;
    CCardJournal m_cards;
    bool m_bVerify;
    CRandomGenerator m_random;
    std::unique_ptr<CFieldNumbers> m_fields;
    CCardRoutine m_routine;
};

// The status line stays on the last line of a terminal; a card's line goes above it.
class CStatusLine {
public:
    explicit CStatusLine(std::ostream& err) : m_err(err), m_bTerminal(isatty(STDERR_FILENO) == 1) {}
    void Show(const std::string& text) {
        if (!m_bTerminal || text == m_strShown)
            return;
        m_err << "\r\033[K" << text << std::flush;
        m_strShown = text;
    }
    void Clear() {
        if (!m_bTerminal || m_strShown.empty())
            return;
        m_err << "\r\033[K" << std::flush;
        m_strShown.clear();
    }

private:
    std::ostream& m_err;
    bool m_bTerminal;
    std::string m_strShown;
};

int RunCards(CRFIDDevice& device, CRunSource& source, bool bell, std::ostream& out, std::ostream& err) {
    CStopSignals stopSignals;
    CStatusLine status(err);
    CHandsFreeRun run;
    run.Start();
    QElapsedTimer clock;
    clock.start();
    int good = 0, failed = 0, lastFailure = RFIDCTL_OK;
    std::optional<std::int64_t> left = source.Left();
    const auto stop = [&](int code, const std::string& message) {
        status.Clear();
        if (!message.empty())
            err << "rfidctl: " << message << "\n";
        err << "rfidctl: " << good << " good, " << failed << " failed\n";
        return code;
    };
    for (;;) {
        if (const int received = CStopSignals::Received())
            return stop(128 + received, "stopped; no card is in hand");
        if (left && *left == 0)
            return stop(RFIDCTL_OK, "the batch is done");
        const std::optional<std::uint64_t> laid = device.ReadCardId(true);
        if (CUSBDevice::ReaderGone())
            return stop(RFIDCTL_NO_READER, "the reader went away");
        if (run.OnPoll(laid)) {
            status.Clear();
            const RunCard card = source.WriteCard(laid);
            if (card.kind == RunCard::Kind::Stop)
                return stop(card.status, card.message);
            out << card.line << std::endl;
            if (card.kind == RunCard::Kind::LeftAsItWas) {
                run.OnCardLeftAsItWas();
            } else {
                const bool isGood = card.kind == RunCard::Kind::Good;
                good += isGood;
                failed += !isGood;
                lastFailure = isGood ? lastFailure : card.status;
                if (bell)
                    err << (isGood ? "\a" : "\a\a\a") << std::flush;
                run.OnCardDone(isGood, card.ids, card.readBack);
                left = source.Left();
            }
            if (run.GetStopReason() == CHandsFreeRun::StopReason::Failures)
                return stop(lastFailure, "three failed cards in a row: look at the reader and the cards");
        }
        status.Show(RunStatusText(good, failed, left, clock.elapsed()));
        QThread::msleep(CHandsFreeRun::POLL_INTERVAL_MS);
    }
}

std::optional<std::int64_t> NumberOption(const Arguments& arguments, const char* name, std::int64_t max) {
    const std::string text = ValueOf(arguments, name);
    bool ok = false;
    const qlonglong value = QString::fromStdString(text).toLongLong(&ok);
    if (!ok || value < 0 || value > max)
        return std::nullopt;
    return value;
}

bool Given(const Arguments& arguments, const std::string& option) {
    for (const std::string& given : arguments.options) {
        if (OptionName(given) == option)
            return true;
    }
    return false;
}

int UsageError(std::ostream& err, const std::string& message) {
    err << "rfidctl: " << message << " (see rfidctl run --help)\n";
    return RFIDCTL_USAGE;
}

int OpenFailure(std::ostream& err) {
    err << "rfidctl: " << CUSBDevice::LastProblemText() << "\n";
    return CUSBDevice::LastProblem() == ReaderProblem::InUse ? RFIDCTL_READER_IN_USE : RFIDCTL_NO_READER;
}

} // namespace

void NameStationAfterReader() {
    RfidctlJournalOptions& options = CurrentJournalOptions();
    if (options.station)
        return; // named on the command line
    const QString configured = RfidctlJournalSettings(options).station;
    const QString named = StationNameForReader(configured, HostName(), ListReaderPlaces().size(),
                                               QString::fromStdString(CUSBDevice::OpenReaderPlace().id));
    if (named != configured)
        options.station = named.toStdString();
}

std::string RunStatusText(int good, int failed, std::optional<std::int64_t> left, std::int64_t elapsedMs) {
    const double minutes = double(elapsedMs) / 60000.0;
    const double perMinute = minutes > 0 ? double(good) / minutes : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "%d good, %d failed", good, failed);
    std::string line = text;
    if (left) {
        std::snprintf(text, sizeof text, ", %lld left", static_cast<long long>(*left));
        line += text;
    }
    std::snprintf(text, sizeof text, ", %.1f cards/min", perMinute);
    line += text;
    if (left && good > 0 && perMinute > 0) {
        const long long seconds = static_cast<long long>(double(*left) / perMinute * 60.0 + 0.5);
        std::snprintf(text, sizeof text, ", done in %lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
        line += text;
    }
    return line;
}

int HandsFreeRunCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.values.empty())
        return UsageError(err, "run takes no arguments besides its options");
    const bool hasBatch = Given(arguments, "--batch");
    const bool hasFields = Given(arguments, "--vendor") || Given(arguments, "--first") || Given(arguments, "--mode");
    if (hasBatch == hasFields)
        return UsageError(err, "run takes either --batch NAME or --vendor V --first N");
    const bool verify = Has(arguments, "--verify");
    const bool bell = Has(arguments, "--bell");
    CRFIDDevice device;
    if (hasBatch) {
        QString batch = QString::fromStdString(ValueOf(arguments, "--batch"));
        QString problem;
        if (!IsValidBatchName(batch, &problem))
            return UsageError(err, problem.toStdString());
        const std::optional<int> wait = WaitSecondsArgument(arguments);
        if (!wait)
            return UsageError(err, "--wait takes seconds, 0 to 86400, not " + ArgumentText(ValueOf(arguments, "--wait")));
        if (!device.OpenReader())
            return OpenFailure(err);
        NameStationAfterReader();
        CBatchRunSource source(device, batch, verify, *wait, err);
        if (const int started = source.Start())
            return started;
        return RunCards(device, source, bell, out, err);
    }
    const std::optional<std::int64_t> vendor = NumberOption(arguments, "--vendor", 255);
    const std::optional<std::int64_t> first = NumberOption(arguments, "--first", 4294967295LL);
    if (!vendor || !first)
        return UsageError(err, "run needs --vendor 0 to 255 and --first 0 to 4294967295");
    const std::string modeText = Given(arguments, "--mode") ? ValueOf(arguments, "--mode") : std::string("increase");
    const int mode = modeText == "increase" ? MODE_INCREASE : modeText == "random" ? MODE_RANDOM
                                                          : modeText == "same" ? MODE_NOCHANGE : -1;
    if (mode < 0)
        return UsageError(err, "--mode is increase, random or same, not " + ArgumentText(modeText));
    if (!device.OpenReader())
        return OpenFailure(err);
    NameStationAfterReader();
    CFieldRunSource source(device, int(*vendor), std::uint32_t(*first), mode, verify, err);
    return RunCards(device, source, bell, out, err);
}
