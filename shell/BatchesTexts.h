#pragma once

// The texts of the Batches window, its menu item and its messages in the three built-in languages. A
// language file may carry any of them under its key in [SPECIAL_STRING].

#include "language/MultiLanguage.h"

namespace BatchesText {
extern const CBuiltInText Menu;
extern const CBuiltInText Title;
extern const CBuiltInText ColBatch;
extern const CBuiltInText ColProgress;
extern const CBuiltInText ColClaimed;
extern const CBuiltInText ColThrowaway;
extern const CBuiltInText ColLeft;
extern const CBuiltInText ColRate;
extern const CBuiltInText ColFinish;
extern const CBuiltInText ColState;
extern const CBuiltInText ColStation;
extern const CBuiltInText ColHost;
extern const CBuiltInText ColSeen;
extern const CBuiltInText ColCards;
extern const CBuiltInText ColFailures;
extern const CBuiltInText StateNotstarted;
extern const CBuiltInText StateRunning;
extern const CBuiltInText StatePaused;
extern const CBuiltInText StateFinished;
extern const CBuiltInText ActWorking;
extern const CBuiltInText ActIdle;
extern const CBuiltInText ActAway;
extern const CBuiltInText Chart;
extern const CBuiltInText Newrange;
extern const CBuiltInText Import;
extern const CBuiltInText Release;
extern const CBuiltInText Report;
extern const CBuiltInText Close;
extern const CBuiltInText Name;
extern const CBuiltInText Vendor;
extern const CBuiltInText First;
extern const CBuiltInText Last;
extern const CBuiltInText Order;
extern const CBuiltInText Inorder;
extern const CBuiltInText Random;
extern const CBuiltInText Ok;
extern const CBuiltInText Cancel;
extern const CBuiltInText Numberrule;
extern const CBuiltInText Cannotread;
extern const CBuiltInText Made;
extern const CBuiltInText Notmade;
extern const CBuiltInText Imported;
extern const CBuiltInText Notimported;
extern const CBuiltInText Badline;
extern const CBuiltInText Newname;
extern const CBuiltInText Releaseask;
extern const CBuiltInText Released;
extern const CBuiltInText Notreleased;
extern const CBuiltInText Readonly;
extern const CBuiltInText Reportmade;
extern const CBuiltInText Reportfailed;
extern const CBuiltInText Pdffiles;
extern const CBuiltInText Listfiles;
} // namespace BatchesText
