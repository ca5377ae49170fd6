// orvia-fennick-test: the desktop window with its end-to-end test driver,
// for tests only (never installed). Same usage as orvia-fennick; the driver
// comes from the environment (see PageTestDriver.h), and without it the
// program is the plain window.
#include "app/OrviaKeltoApp.h"
#include "platform/WindowsNamespace.h"
#include "tests/window/PageTestDriver.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--prefix" && i + 1 < argc && argv[i + 1][0] != '\0') {
      platform::setPrefix(argv[++i]);
      continue;
    }
    std::fprintf(stderr, "usage: orvia-fennick-test [--prefix DIR]\n");
    return 2;
  }
  std::unique_ptr<PageTestDriver> driver = PageTestDriver::fromEnvironment();
  COrviaKeltoApp application(driver.get());
  application.initInstance();
  return application.exitInstance();
}
