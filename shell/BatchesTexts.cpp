#include "shell/BatchesTexts.h"

namespace BatchesText {

namespace {
constexpr const char* S = "SPECIAL_STRING";
}

const CBuiltInText Menu = {S, "IDS_BATCHES_MENU", u"Batches...", u"批次...", u"批次..."};
const CBuiltInText Title = {S, "IDS_BATCHES_TITLE", u"Batches", u"批次", u"批次"};
const CBuiltInText ColBatch = {S, "IDS_BATCHES_COL_BATCH", u"Batch", u"批次", u"批次"};
const CBuiltInText ColProgress = {S, "IDS_BATCHES_COL_PROGRESS", u"Good of total", u"良品/总数", u"良品/總數"};
const CBuiltInText ColClaimed = {S, "IDS_BATCHES_COL_CLAIMED", u"Claimed", u"已领取", u"已領取"};
const CBuiltInText ColThrowaway = {S, "IDS_BATCHES_COL_THROWAWAY", u"To throw away", u"待丢弃", u"待丟棄"};
const CBuiltInText ColLeft = {S, "IDS_BATCHES_COL_LEFT", u"Left", u"剩余", u"剩餘"};
const CBuiltInText ColRate = {S, "IDS_BATCHES_COL_RATE", u"Cards/min", u"卡/分钟", u"卡/分鐘"};
const CBuiltInText ColFinish = {S, "IDS_BATCHES_COL_FINISH", u"Time to finish", u"预计剩余时间", u"預計剩餘時間"};
const CBuiltInText ColState = {S, "IDS_BATCHES_COL_STATE", u"State", u"状态", u"狀態"};
const CBuiltInText ColStation = {S, "IDS_BATCHES_COL_STATION", u"Station", u"工位", u"工位"};
const CBuiltInText ColHost = {S, "IDS_BATCHES_COL_HOST", u"Host", u"主机", u"主機"};
const CBuiltInText ColSeen = {S, "IDS_BATCHES_COL_SEEN", u"Last seen", u"最后在线", u"最後在線"};
const CBuiltInText ColCards = {S, "IDS_BATCHES_COL_CARDS", u"Cards", u"卡数", u"卡數"};
const CBuiltInText ColFailures = {S, "IDS_BATCHES_COL_FAILURES", u"Failures", u"失败", u"失敗"};
const CBuiltInText StateNotstarted = {S, "IDS_BATCHES_STATE_NOTSTARTED", u"Not started", u"未开始", u"未開始"};
const CBuiltInText StateRunning = {S, "IDS_BATCHES_STATE_RUNNING", u"Running", u"进行中", u"進行中"};
const CBuiltInText StatePaused = {S, "IDS_BATCHES_STATE_PAUSED", u"Paused", u"已暂停", u"已暫停"};
const CBuiltInText StateFinished = {S, "IDS_BATCHES_STATE_FINISHED", u"Finished", u"已完成", u"已完成"};
const CBuiltInText ActWorking = {S, "IDS_BATCHES_ACT_WORKING", u"Working", u"工作中", u"工作中"};
const CBuiltInText ActIdle = {S, "IDS_BATCHES_ACT_IDLE", u"Idle", u"空闲", u"空閒"};
const CBuiltInText ActAway = {S, "IDS_BATCHES_ACT_AWAY", u"Away", u"离线", u"離線"};
const CBuiltInText Chart = {S, "IDS_BATCHES_CHART", u"Cards per minute per station", u"每工位每分钟卡数", u"每工位每分鐘卡數"};
const CBuiltInText Newrange = {S, "IDS_BATCHES_NEWRANGE", u"New Range...", u"新建号段...", u"新建號段..."};
const CBuiltInText Import = {S, "IDS_BATCHES_IMPORT", u"Import List...", u"导入列表...", u"匯入列表..."};
const CBuiltInText Release = {S, "IDS_BATCHES_RELEASE", u"Release Claims...", u"释放领取...", u"釋放領取..."};
const CBuiltInText Report = {S, "IDS_BATCHES_REPORT", u"Delivery Report...", u"交付报告...", u"交付報告..."};
const CBuiltInText Close = {S, "IDS_BATCHES_CLOSE", u"Close", u"关闭", u"關閉"};
const CBuiltInText Name = {S, "IDS_BATCHES_NAME", u"Name:", u"名称:", u"名稱:"};
const CBuiltInText Vendor = {S, "IDS_BATCHES_VENDOR", u"Vendor ID:", u"厂商代码:", u"廠商代碼:"};
const CBuiltInText First = {S, "IDS_BATCHES_FIRST", u"First card number:", u"起始卡号:", u"起始卡號:"};
const CBuiltInText Last = {S, "IDS_BATCHES_LAST", u"Last card number:", u"结束卡号:", u"結束卡號:"};
const CBuiltInText Order = {S, "IDS_BATCHES_ORDER", u"Order:", u"顺序:", u"順序:"};
const CBuiltInText Inorder = {S, "IDS_BATCHES_INORDER", u"In order", u"按顺序", u"按順序"};
const CBuiltInText Random = {S, "IDS_BATCHES_RANDOM", u"At random", u"随机", u"隨機"};
const CBuiltInText Ok = {S, "IDS_BATCHES_OK", u"OK", u"确定", u"確定"};
const CBuiltInText Cancel = {S, "IDS_BATCHES_CANCEL", u"Cancel", u"取消", u"取消"};
const CBuiltInText Numberrule = {S, "IDS_BATCHES_NUMBERRULE", u"Card numbers are 0 to 4294967295, the first not above the last.", u"卡号为 0 到 4294967295, 起始卡号不能大于结束卡号。", u"卡號為 0 到 4294967295, 起始卡號不能大於結束卡號。"};
const CBuiltInText Cannotread = {S, "IDS_BATCHES_CANNOTREAD", u"The batches cannot be read: %1", u"无法读取批次: %1", u"無法讀取批次: %1"};
const CBuiltInText Made = {S, "IDS_BATCHES_MADE", u"Batch %1 made: %2 numbers.", u"已创建批次 %1: %2 个号码。", u"已建立批次 %1: %2 個號碼。"};
const CBuiltInText Notmade = {S, "IDS_BATCHES_NOTMADE", u"The batch was not made: %1", u"批次未创建: %1", u"批次未建立: %1"};
const CBuiltInText Imported = {S, "IDS_BATCHES_IMPORTED", u"%1 identifiers imported into batch %2.", u"已导入 %1 个卡号到批次 %2。", u"已匯入 %1 個卡號到批次 %2。"};
const CBuiltInText Notimported = {S, "IDS_BATCHES_NOTIMPORTED", u"Nothing imported: %1 bad line(s) in %2.", u"未导入任何内容: %2 中有 %1 行错误。", u"未匯入任何內容: %2 中有 %1 行錯誤。"};
const CBuiltInText Badline = {S, "IDS_BATCHES_BADLINE", u"Line %1: %2", u"第 %1 行: %2", u"第 %1 行: %2"};
const CBuiltInText Newname = {S, "IDS_BATCHES_NEWNAME", u"Name of the new batch:", u"新批次名称:", u"新批次名稱:"};
const CBuiltInText Releaseask = {S, "IDS_BATCHES_RELEASEASK", u"Release the %1 number(s) that station %2 holds in batch %3? Other stations will write them; this cannot be undone.", u"释放工位 %2 在批次 %3 中领取的 %1 个号码? 其他工位将写入这些号码; 此操作无法撤销。", u"釋放工位 %2 在批次 %3 中領取的 %1 個號碼? 其他工位將寫入這些號碼; 此操作無法復原。"};
const CBuiltInText Released = {S, "IDS_BATCHES_RELEASED", u"%1 claim(s) of station %2 released.", u"已释放工位 %2 的 %1 个领取。", u"已釋放工位 %2 的 %1 個領取。"};
const CBuiltInText Notreleased = {S, "IDS_BATCHES_NOTRELEASED", u"The claims were not released: %1", u"领取未释放: %1", u"領取未釋放: %1"};
const CBuiltInText Readonly = {S, "IDS_BATCHES_READONLY", u"This database login may only read; making, importing and releasing need a role that may write (%1).", u"此数据库登录只能读取; 创建、导入和释放需要可写入的角色 (%1)。", u"此資料庫登入只能讀取; 建立、匯入和釋放需要可寫入的角色 (%1)。"};
const CBuiltInText Reportmade = {S, "IDS_BATCHES_REPORTMADE", u"Delivery report written to %1.", u"交付报告已写入 %1。", u"交付報告已寫入 %1。"};
const CBuiltInText Reportfailed = {S, "IDS_BATCHES_REPORTFAILED", u"The delivery report was not written: %1", u"交付报告未写入: %1", u"交付報告未寫入: %1"};
const CBuiltInText Pdffiles = {S, "IDS_BATCHES_PDFFILES", u"PDF documents (*.pdf)", u"PDF 文档 (*.pdf)", u"PDF 文件 (*.pdf)"};
const CBuiltInText Listfiles = {S, "IDS_BATCHES_LISTFILES", u"Lists (*.txt *.csv);;All files (*)", u"列表 (*.txt *.csv);;所有文件 (*)", u"列表 (*.txt *.csv);;所有檔案 (*)"};

} // namespace BatchesText
