#include "pages/PageBatch.h"

#include "batches/BatchPending.h"
#include "journal/Journal.h"
#include "journal/JournalRecorder.h"

namespace BatchText {

namespace {
constexpr const char* S = "SPECIAL_STRING";
}

const CBuiltInText Label = {"IDD_138", "IDD_138_1018", u"Batch:", u"批次:", u"批次:"};
const CBuiltInText None = {"IDD_138", "IDD_138_1017", u"(none)", u"(无)", u"(無)"};
const CBuiltInText Counts = {S, "IDS_BATCH_COUNTS", u"Done %1 \u00B7 Left %2", u"已完成 %1 \u00B7 剩余 %2",
                             u"已完成 %1 \u00B7 剩餘 %2"};
const CBuiltInText Exhausted = {S, "IDS_BATCH_EXHAUSTED", u"every number of the batch is taken",
                                u"批次的卡号已全部用完", u"批次的卡號已全部用完"};
const CBuiltInText Away = {
    S, "IDS_BATCH_AWAY", u"the batch database cannot be reached: nothing was written, Write tries again",
    u"无法连接批次数据库: 未写入任何卡, 按写入重试", u"無法連線批次資料庫: 未寫入任何卡, 按寫入重試"};
const CBuiltInText InUse = {
    S, "IDS_BATCH_INUSE", u"the station name %1 is used by another running station: the batch is not used",
    u"工位名 %1 正被另一个运行中的工位使用: 不使用批次", u"工位名 %1 正被另一個運行中的工位使用: 不使用批次"};
const CBuiltInText NotRecorded = {
    S, "IDS_BATCH_NOTRECORDED", u"the card holds %1 but is not recorded yet: Write records it first",
    u"卡片已写入 %1 但尚未记录: 按写入先记录", u"卡片已寫入 %1 但尚未記錄: 按寫入先記錄"};
const CBuiltInText CannotRecord = {S, "IDS_BATCH_CANNOTRECORD",
                                   u"the card holds %1 but cannot be recorded: throw it away",
                                   u"卡片已写入 %1 但无法记录: 请报废", u"卡片已寫入 %1 但無法記錄: 請報廢"};
const CBuiltInText Failed = {S, "IDS_BATCH_FAILED", u"the batch cannot be used: %1", u"无法使用批次: %1",
                             u"無法使用批次: %1"};
const CBuiltInText StaysChosen = {
    S, "IDS_BATCH_STAYSCHOSEN", u"The batch stays chosen: a written card waits to be recorded.",
    u"批次保持选中: 已写入的卡片等待记录。", u"批次保持選中: 已寫入的卡片等待記錄。"};
const CBuiltInText StoppedExhausted = {S, "IDS_HANDSFREE_STOPPED_EXHAUSTED",
                                       u"Stopped: every number of the batch is taken",
                                       u"已停止：批次的卡号已全部用完", u"已停止：批次的卡號已全部用完"};
const CBuiltInText StoppedAway = {S, "IDS_HANDSFREE_STOPPED_AWAY",
                                  u"Stopped: the batch database cannot be reached",
                                  u"已停止：无法连接批次数据库", u"已停止：無法連線批次資料庫"};
const CBuiltInText StoppedBatch = {S, "IDS_HANDSFREE_STOPPED_BATCH",
                                   u"Stopped: the batch cannot be used, the log says why",
                                   u"已停止：无法使用批次，原因见日志", u"已停止：無法使用批次，原因見日誌"};

} // namespace BatchText

namespace {

BatchOutcome Problem(BatchStatus status, const QString& message) {
    return {status, message, std::nullopt};
}

BatchCardOutcome CardProblem(BatchCardResult result, const QString& message) {
    return {result, std::nullopt, QString(), message};
}

} // namespace

CPageBatch::CPageBatch(CJournalRecorder& recorder, CRFIDDevice& reader, const QString& dataFolder)
    : m_recorder(recorder), m_reader(reader), m_strDataFolder(dataFolder) {}

CPageBatch::~CPageBatch() {
    Stop();
}

QStringList CPageBatch::BatchNames(CJournalRecorder* recorder, QString* error) {
    QStringList names;
    CJournal* journal = recorder ? recorder->Journal() : nullptr;
    if (!journal)
        return names;
    QString problem;
    for (const BatchInfo& info : ListBatches(journal->Database(), &problem))
        names.push_back(info.name);
    if (error)
        *error = problem;
    return names;
}

const QString& CPageBatch::StationName() const {
    return m_recorder.Settings().station;
}

BatchOutcome CPageBatch::Choose(const QString& batch, QString* keptProblem) {
    Stop();
    m_pJournal = m_recorder.Journal();
    if (!m_pJournal)
        return Problem(BatchStatus::Unavailable, QStringLiteral("the journal cannot be opened"));
    m_station = std::make_unique<CBatchStation>(m_pJournal->Database(), StationName());
    // The journal reopens the shared connection, so its own statements come back with the station's.
    CJournal* journal = m_pJournal;
    m_station->SetReconnect([journal] { return journal->Reconnect(); });
    const BatchOutcome started = m_station->Start();
    if (started.status != BatchStatus::Ok) {
        m_station.reset();
        return started;
    }
    m_writer = std::make_unique<CBatchWriter>(*m_station, m_reader);
    const QString problem = m_writer->KeepPendingIn(
        PendingResultPath(m_strDataFolder, StationName(), m_recorder.Settings().connection));
    if (keptProblem)
        *keptProblem = problem;
    m_strBatch = batch;
    const BatchOutcome claimed = ClaimNext();
    if (claimed.status != BatchStatus::Ok && claimed.status != BatchStatus::Exhausted)
        Stop();
    return claimed;
}

bool CPageBatch::JournalIsStillOpen() const {
    // A damaged file makes the recorder start a new journal; the station's connection went with the old one.
    return m_pJournal && m_recorder.Journal() == m_pJournal;
}

bool CPageBatch::ReconnectIfAway() {
    if (m_bAway)
        m_bAway = !m_station->Reconnect();
    return !m_bAway;
}

BatchOutcome CPageBatch::ClaimNext() {
    if (!m_station)
        return Problem(BatchStatus::Refused, QStringLiteral("the station has not started"));
    // The number of a card that waits to be recorded is still claimed: it must not be shown as the next.
    if (!RecordPending() || !ReconnectIfAway()) {
        m_lastClaim = BatchStatus::Unavailable;
        return Problem(BatchStatus::Unavailable, QStringLiteral("the journal database cannot be reached"));
    }
    const BatchOutcome claimed = m_station->Claim(m_strBatch);
    m_lastClaim = claimed.status;
    NoteAway(claimed.status == BatchStatus::Unavailable);
    if (claimed.claim)
        m_claimed = claimed.claim->identifier;
    else if (claimed.status != BatchStatus::Unavailable)
        m_claimed.reset();
    return claimed;
}

BatchCardOutcome CPageBatch::WriteCard(CCardRoutine& routine, const CardRequest& request) {
    if (!m_writer)
        return CardProblem(BatchCardResult::Refused, QStringLiteral("the station has not started"));
    if (!JournalIsStillOpen())
        return CardProblem(BatchCardResult::Failed, QStringLiteral("the journal was started again"));
    // Records of other cards that wait for the journal go first; no card is written before they are in.
    if (!m_recorder.ReadyToWrite() || !ReconnectIfAway()) {
        NoteAway(true);
        return CardProblem(BatchCardResult::Unavailable,
                           QStringLiteral("the journal database cannot be reached"));
    }
    HookJournal();
    const BatchCardOutcome outcome = m_writer->WriteNext(routine, m_strBatch, request);
    NoteAway(outcome.result == BatchCardResult::Unavailable ||
             outcome.result == BatchCardResult::NotRecorded);
    switch (outcome.result) {
    case BatchCardResult::Verified:
    case BatchCardResult::Written:
        m_claimed.reset();
        ClaimNext();
        break;
    case BatchCardResult::WriteFailed:
    case BatchCardResult::VerifyFailed:
        m_claimed = outcome.claim->identifier;
        break;
    case BatchCardResult::Unavailable:
    case BatchCardResult::AlreadyWritten: // nothing claimed: the number held stays for the next card
        break;
    default: // written but waiting, exhausted, refused, failed: no number to show for the next card
        m_claimed.reset();
        break;
    }
    return outcome;
}

void CPageBatch::HookJournal() {
    // Made for each card, so its records name the reader on the reader now.
    JournalRecord base;
    base.source = JournalSource::MassProduction;
    if (!m_recorder.Settings().enabled)
        return;
    m_writer->SetJournalHook(BatchJournalHook(*m_pJournal, m_recorder.Stamped(base)));
    // A finished card laid again, or Write pressed twice, is not written over.
    m_writer->SetFinishedCardLookup(
        [journal = m_pJournal](std::uint64_t identifier, QString* error) { return journal->FindGoodCard(identifier, error); });
}

bool CPageBatch::RecordPending() {
    if (!HasPendingResult())
        return true;
    if (ReconnectIfAway() && JournalIsStillOpen()) {
        HookJournal();
        m_writer->RecordPending();
    }
    NoteAway(HasPendingResult());
    return !HasPendingResult();
}

std::optional<BatchCounts> CPageBatch::Counts() {
    if (!m_station || m_bAway)
        return std::nullopt;
    QString error;
    const std::optional<BatchInfo> info = FindBatch(m_station->Database(), m_strBatch, &error);
    return info ? std::optional<BatchCounts>(info->counts) : std::nullopt;
}

std::optional<BatchFigures> CPageBatch::Figures() {
    if (!m_station || m_bAway)
        return std::nullopt;
    QString error;
    return ReadBatchFigures(m_station->Database(), m_strBatch, QDateTime::currentDateTimeUtc(), &error);
}

BatchOutcome CPageBatch::Heartbeat() {
    if (!m_station)
        return Problem(BatchStatus::Refused, QStringLiteral("the station has not started"));
    if (m_bAway)
        return Problem(BatchStatus::Unavailable, QStringLiteral("the journal database cannot be reached"));
    const BatchOutcome beat = m_station->Heartbeat();
    NoteAway(beat.status == BatchStatus::Unavailable);
    return beat;
}

void CPageBatch::Stop() {
    if (m_station && m_station->IsStarted() && JournalIsStillOpen())
        m_station->Stop();
    m_writer.reset();
    m_station.reset();
    m_pJournal = nullptr;
    m_strBatch.clear();
    m_claimed.reset();
    m_bAway = false;
    m_lastClaim = BatchStatus::Ok;
}
