// The terminal's character set as the POSIX locale gives it: the locale the
// environment names at the moment of asking (a host with POSIX locales
// only; Windows takes the console's code page).
#include "platform/Console.h"

#include "Requirements.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(Console, CharsetFollowsTheLocaleTheEnvironmentNames) {
  // A Latin-1 locale of our own, compiled into a scratch folder.
  const std::string folder = ::testing::TempDir() + "console-locales";
  const std::string compile = "mkdir -p '" + folder + "' && localedef -i fr_FR -f ISO-8859-1 '" +
                              folder + "/fr_FR.ISO-8859-1' 2>/dev/null";
  FENNICK_REQUIRE(std::system(compile.c_str()) == 0,
                  "a locale fr_FR.ISO-8859-1 that localedef compiles (the locales package)");
  const char* saved = std::getenv("LC_ALL");
  const std::string savedAll = saved ? saved : "";
  setenv("LOCPATH", folder.c_str(), 1);
  // The charset is asked for once per line written; each answer must be the
  // one of the locale the environment names at that moment.
  for (int round = 0; round < 2; ++round) {
    setenv("LC_ALL", "fr_FR.ISO-8859-1", 1);
    EXPECT_EQ(platform::consoleCharset(), "ISO-8859-1");
    EXPECT_EQ(platform::consoleText("\xC3\xA0"), "\xE0");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(platform::consoleCharset(), "UTF-8");
    EXPECT_EQ(platform::consoleText("\xC3\xA0"), "\xC3\xA0");
  }
  unsetenv("LOCPATH");
  if (saved)
    setenv("LC_ALL", savedAll.c_str(), 1);
  else
    unsetenv("LC_ALL");
}
