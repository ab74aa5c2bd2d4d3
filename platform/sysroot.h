#pragma once
#include <string>

// Resolves an absolute path of the running system under HX_SYSROOT when that
// variable is set and not empty, so tests can point both programs at a
// fixture tree. Relative paths and paths with HX_SYSROOT unset come back as
// they are.
std::string HxSysPath(const std::string& path);
