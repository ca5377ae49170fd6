// orvia-fennick: the desktop window. Usage: orvia-fennick [--prefix DIR]
// DIR is the Wine-style prefix that is the machine to check (default
// $WINEPREFIX, else ~/.wine).
#include "app/OrviaKeltoApp.h"
#include "platform/WindowsNamespace.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr int kUsageError = 2;

int usage() {
  std::fprintf(stderr, "usage: orvia-fennick [--prefix DIR]\n");
  return kUsageError;
}

} // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--prefix" && i + 1 < argc && argv[i + 1][0] != '\0') {
      platform::setPrefix(argv[++i]);
      continue;
    }
    return usage();
  }
  COrviaKeltoApp application;
  application.initInstance();
  return application.exitInstance();
}
