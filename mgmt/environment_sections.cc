#include "app/diag_report.h"

// Filled in with its section; until then the action writes nothing.
_ActionState CDiagReport::ScanVoltages(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanFans(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanTemperatures(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanPowerSupplies(CMarkup&) { return ACTION_STATE_NOTHING; }
