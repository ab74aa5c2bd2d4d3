#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanOsVersion(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanOsBoot(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanOsEventlog(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanNetSettings(CMarkup&) { return ACTION_STATE_NOTHING; }
