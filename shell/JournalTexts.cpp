#include "shell/JournalTexts.h"

namespace JournalText {

namespace {
constexpr const char* S = "SPECIAL_STRING";
}

const CBuiltInText MenuItem = {S, "IDS_JOURNAL_MENU", u"Production Journal...", u"生产记录...", u"生產記錄..."};
const CBuiltInText Title = {S, "IDS_JOURNAL_TITLE", u"Production Journal", u"生产记录", u"生產記錄"};
const CBuiltInText Identifier = {S, "IDS_JOURNAL_IDENTIFIER", u"Identifier:", u"卡号:", u"卡號:"};
const CBuiltInText Result = {S, "IDS_JOURNAL_RESULT", u"Result:", u"结果:", u"結果:"};
const CBuiltInText From = {S, "IDS_JOURNAL_FROM", u"From:", u"从:", u"從:"};
const CBuiltInText To = {S, "IDS_JOURNAL_TO", u"To:", u"到:", u"到:"};
const CBuiltInText AnyDate = {S, "IDS_JOURNAL_ANYDATE", u"(any)", u"(不限)", u"(不限)"};
const CBuiltInText All = {S, "IDS_JOURNAL_ALL", u"All", u"全部", u"全部"};
const CBuiltInText Copy = {S, "IDS_JOURNAL_COPY", u"Copy", u"复制", u"複製"};
const CBuiltInText Export = {S, "IDS_JOURNAL_EXPORT", u"Export CSV...", u"导出 CSV...", u"匯出 CSV..."};
const CBuiltInText Close = {S, "IDS_JOURNAL_CLOSE", u"Close", u"关闭", u"關閉"};
const CBuiltInText Totals = {S, "IDS_JOURNAL_CARDTOTALS",
                             u"Good cards: %1    Failed: %2    Refused: %3    To throw away: %4    Overwritten: %5    Records: %6",
                             u"良卡: %1    失败: %2    拒写: %3    待报废: %4    已覆盖: %5    记录: %6",
                             u"良卡: %1    失敗: %2    拒寫: %3    待報廢: %4    已覆寫: %5    記錄: %6"};
const CBuiltInText Counting = {S, "IDS_JOURNAL_COUNTING", u"Counting...", u"正在统计...", u"正在統計..."};
const CBuiltInText Exported = {S, "IDS_JOURNAL_EXPORTED", u"%1 records exported to %2.", u"已导出 %1 条记录到 %2。",
                               u"已匯出 %1 筆記錄到 %2。"};
const CBuiltInText ExportFailed = {S, "IDS_JOURNAL_EXPORTFAILED", u"The export to %1 failed: %2",
                                   u"导出到 %1 失败: %2", u"匯出到 %1 失敗: %2"};
const CBuiltInText CsvFiles = {S, "IDS_JOURNAL_CSVFILES", u"CSV files (*.csv)", u"CSV 文件 (*.csv)",
                               u"CSV 檔案 (*.csv)"};
const CBuiltInText ResultNames[5] = {
    {S, "IDS_JOURNAL_RESULT_OK", u"OK", u"成功", u"成功"},
    {S, "IDS_JOURNAL_RESULT_ERROR", u"Error", u"错误", u"錯誤"},
    {S, "IDS_JOURNAL_RESULT_REFUSED", u"Refused", u"拒绝", u"拒絕"},
    {S, "IDS_JOURNAL_RESULT_VERIFYOK", u"Verify OK", u"校验成功", u"校驗成功"},
    {S, "IDS_JOURNAL_RESULT_VERIFYFAILED", u"Verify failed: throw away", u"校验失败: 报废", u"校驗失敗: 報廢"},
};
const CBuiltInText OperationNames[4] = {
    {S, "IDS_JOURNAL_OP_READ", u"Read", u"读取", u"讀取"},
    {S, "IDS_JOURNAL_OP_WRITE", u"Write", u"写入", u"寫入"},
    {S, "IDS_JOURNAL_OP_VERIFY", u"Verify", u"校验", u"校驗"},
    {S, "IDS_JOURNAL_OP_OVERWRITE", u"Overwritten", u"已覆盖", u"已覆寫"},
};
const CBuiltInText Columns[10] = {
    {S, "IDS_JOURNAL_COL_TIME", u"Time (UTC)", u"时间 (UTC)", u"時間 (UTC)"},
    {S, "IDS_JOURNAL_COL_STATION", u"Station", u"工位", u"工位"},
    {S, "IDS_JOURNAL_COL_USER", u"User", u"用户", u"使用者"},
    {S, "IDS_JOURNAL_COL_SOURCE", u"Source", u"来源", u"來源"},
    {S, "IDS_JOURNAL_COL_OPERATION", u"Operation", u"操作", u"操作"},
    {S, "IDS_JOURNAL_COL_IDENTIFIER", u"Identifier", u"卡号", u"卡號"},
    {S, "IDS_JOURNAL_COL_RESULT", u"Result", u"结果", u"結果"},
    {S, "IDS_JOURNAL_COL_REASON", u"Reason", u"原因", u"原因"},
    {S, "IDS_JOURNAL_COL_BATCH", u"Batch", u"批次", u"批次"},
    {S, "IDS_JOURNAL_COL_READER", u"Reader", u"读卡器", u"讀卡器"},
};
const CBuiltInText Station = {S, "IDS_JOURNAL_STATION", u"Station:", u"工位:", u"工位:"};
const CBuiltInText Source = {S, "IDS_JOURNAL_SOURCE", u"Source:", u"来源:", u"來源:"};
const CBuiltInText Batch = {S, "IDS_JOURNAL_BATCH", u"Batch:", u"批次:", u"批次:"};
const CBuiltInText Refresh = {S, "IDS_JOURNAL_REFRESH", u"Refresh", u"刷新", u"重新整理"};
const CBuiltInText ExportJson = {S, "IDS_JOURNAL_EXPORTJSON", u"Export JSON...", u"导出 JSON...", u"匯出 JSON..."};
const CBuiltInText JsonFiles = {S, "IDS_JOURNAL_JSONFILES", u"JSON files (*.json)", u"JSON 文件 (*.json)",
                                u"JSON 檔案 (*.json)"};
const CBuiltInText Exporting = {S, "IDS_JOURNAL_EXPORTING", u"Exporting %1 records...", u"正在导出 %1 条记录...",
                                u"正在匯出 %1 筆記錄..."};
const CBuiltInText Cancel = {S, "IDS_JOURNAL_CANCEL", u"Cancel", u"取消", u"取消"};
const CBuiltInText ExportCancelled = {S, "IDS_JOURNAL_EXPORTCANCELLED", u"The export to %1 was cancelled.",
                                      u"已取消导出到 %1。", u"已取消匯出到 %1。"};
const CBuiltInText ReasonNames[9] = {
    {S, "IDS_JOURNAL_REASON_OUTOFRANGE", u"out of range", u"超出范围", u"超出範圍"},
    {S, "IDS_JOURNAL_REASON_NOTANUMBER", u"not a number", u"不是数字", u"不是數字"},
    {S, "IDS_JOURNAL_REASON_NOTRECORDED", u"the journal could not record it", u"生产记录无法记录", u"生產記錄無法記錄"},
    {S, "IDS_JOURNAL_REASON_TRANSFERFAILED", u"transfer failed", u"传输失败", u"傳輸失敗"},
    {S, "IDS_JOURNAL_REASON_DUPLICATE", u"already on a good card: %1, %2", u"已在良卡上: %1, %2", u"已在良卡上: %1, %2"},
    {S, "IDS_JOURNAL_REASON_FINISHED", u"the card on the reader already holds %1, a good card: %2, %3",
     u"读卡器上的卡已含 %1, 为良卡: %2, %3", u"讀卡器上的卡已含 %1, 為良卡: %2, %3"},
    {S, "IDS_JOURNAL_REASON_OVERWRITTEN", u"overwritten with %1", u"已被 %1 覆盖", u"已被 %1 覆寫"},
    {S, "IDS_JOURNAL_REASON_CARDHOLDS", u"the card holds %1", u"卡内为 %1", u"卡內為 %1"},
    {S, "IDS_JOURNAL_REASON_CARDHOLDSNOTHING", u"the card holds nothing readable", u"卡内无可读内容", u"卡內無可讀內容"},
};
const CBuiltInText BackToBatch = {S, "IDS_JOURNAL_REASON_BACKTOBATCH", u"; back to batch %1", u"; 已退回批次 %1",
                                  u"; 已退回批次 %1"};
const CBuiltInText CannotOpen = {
    S, "IDS_JOURNAL_CANNOTOPEN",
    u"The production journal %1 cannot be opened: %2\nNo card is written until it can be recorded "
    u"([Journal] Enabled=0 in setting.ini turns the journal off).",
    u"无法打开生产记录 %1: %2\n在能够记录之前不会写入任何卡 (setting.ini 中的 [Journal] Enabled=0 可关闭生产记录)。",
    u"無法開啟生產記錄 %1: %2\n在能夠記錄之前不會寫入任何卡 (setting.ini 中的 [Journal] Enabled=0 可關閉生產記錄)。"};
const CBuiltInText CannotRecord = {
    S, "IDS_JOURNAL_CANNOTRECORD",
    u"The production journal %1 cannot record: %2\nNo further card is written until it can "
    u"([Journal] Enabled=0 in setting.ini turns the journal off).",
    u"生产记录 %1 无法记录: %2\n在能够记录之前不再写入任何卡 (setting.ini 中的 [Journal] Enabled=0 可关闭生产记录)。",
    u"生產記錄 %1 無法記錄: %2\n在能夠記錄之前不再寫入任何卡 (setting.ini 中的 [Journal] Enabled=0 可關閉生產記錄)。"};
const CBuiltInText KeptAside = {
    S, "IDS_JOURNAL_KEPTASIDE",
    u"The production journal %1 was damaged. It is kept as %2 for recovery, and a new journal was started: "
    u"numbers recorded in the damaged one are not checked for duplicates.",
    u"生产记录 %1 已损坏。它已保存为 %2 以便恢复, 并已开始新的生产记录: 损坏记录中的卡号不再检查重复。",
    u"生產記錄 %1 已損壞。它已保存為 %2 以便復原, 並已開始新的生產記錄: 損壞記錄中的卡號不再檢查重複。"};
const CBuiltInText TooNew = {
    S, "IDS_JOURNAL_TOONEW",
    u"The production journal %1 was written by a newer program and is left as it is.\nNo card is written "
    u"until it can be recorded.",
    u"生产记录 %1 由较新的程序写入, 保持不变。\n在能够记录之前不会写入任何卡。",
    u"生產記錄 %1 由較新的程式寫入, 保持不變。\n在能夠記錄之前不會寫入任何卡。"};
} // namespace JournalText

QString JournalProblemMessage(const CMultiLanguage& language, const JournalStatus& status) {
    switch (status.fault) {
    case JournalFault::CannotWrite:
        return language.GetText(JournalText::CannotRecord).arg(status.location, status.detail);
    case JournalFault::KeptAside:
        return language.GetText(JournalText::KeptAside).arg(status.location, status.keptAs);
    case JournalFault::TooNew:
        return language.GetText(JournalText::TooNew).arg(status.location);
    case JournalFault::None:
    case JournalFault::DriverMissing:
    case JournalFault::CannotOpen:
        break;
    }
    return language.GetText(JournalText::CannotOpen).arg(status.location, status.detail);
}
