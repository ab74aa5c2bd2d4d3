#include "app/build_constants.h"

const char* const HxObjectVendor = "Halvex";
const char* const HxObjectVersion = "1.00-01";
const char* const HxObjectName = "hxmd";
const char* const HxObjectProductName = "Halvex Server Agents";
const char* const HxObjectDescription = "Halvex Management Daemon";
const char* const HxObjectDate = __DATE__;
const char* const HxObjectPath = "/usr/sbin";
const char* const HxObjectMilestone = "GA";
