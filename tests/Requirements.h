// What a test needs of the machine beyond the build: a character-set
// converter, a fixture that a tool makes. Inside tools/test
// (FENNICK_FULL_RUN=1), which installs everything the tests need, a missing
// requirement fails the test; anywhere else the test is skipped, with the
// reason. The same rule as tests/requirements.sh for the scripts.
#pragma once

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

inline bool fennickFullRun() {
  const char* full = std::getenv("FENNICK_FULL_RUN");
  return full && std::strcmp(full, "1") == 0;
}

// In a test body or a fixture's SetUp: unless condition holds, fails or
// skips the test with reason.
#define FENNICK_REQUIRE(condition, reason)                                                 \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      if (fennickFullRun())                                                                \
        FAIL() << (reason) << " (tools/install-deps installs it)";                         \
      else                                                                                 \
        GTEST_SKIP() << (reason);                                                          \
    }                                                                                      \
  } while (0)
