#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanHalvexRaid(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanRevscope(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanHalvexDrivewatch(CMarkup&) { return ACTION_STATE_NOTHING; }
