#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/scoped_env.h"

// A report text holds `part` verbatim.
inline ::testing::AssertionResult Holds(const std::string& doc, const std::string& part) {
  if (doc.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << doc;
}
