#pragma once

// Read-only strings fixed at build time. Each executable links its own
// definitions; the object name also names the trace ring file.
extern const char* const HxObjectVendor;
extern const char* const HxObjectVersion;
extern const char* const HxObjectName;
extern const char* const HxObjectProductName;
extern const char* const HxObjectDescription;
extern const char* const HxObjectDate;
extern const char* const HxObjectPath;
extern const char* const HxObjectMilestone;
