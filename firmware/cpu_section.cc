#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanCpu(CMarkup&) { return ACTION_STATE_NOTHING; }
