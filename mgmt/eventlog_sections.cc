#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanSel(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanIel(CMarkup&) { return ACTION_STATE_NOTHING; }
