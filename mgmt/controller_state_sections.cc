#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanBootStatus(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanSystemFeatures(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanManagementControllers(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanStorageExtensions(CMarkup&) { return ACTION_STATE_NOTHING; }
