#pragma once
#include <map>
#include <string>
#include <vector>

struct ProgramResult {
  int exitStatus = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a program to completion with the given arguments. The environment is
// the test's own with `env` applied on top (an empty value unsets the
// variable); standard input is /dev/null.
ProgramResult RunProgram(const std::string& binary, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});
