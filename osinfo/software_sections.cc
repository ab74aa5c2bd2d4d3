#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanHalvexAgents(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanServerControl(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanRemoteConnector(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanSnmp(CMarkup&) { return ACTION_STATE_NOTHING; }
