// The check both command-line tools make of a Wine-style prefix chosen on
// the command line or by the environment.
#pragma once

#include "platform/WindowsNamespace.h"
#include "util/FileHelpers.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

// True when folder is a Wine-style prefix; otherwise says why not on
// stderr, after the program's name, and ends with the advice on choosing
// another ("choose another with").
inline bool checkPrefixFolder(const char* program, const std::string& folder,
                              const char* advice) {
  std::error_code error;
  if (!std::filesystem::is_directory(fsPath(folder), error)) {
    std::fprintf(stderr, "%s: the prefix folder %s does not exist; %s --prefix DIR or WINEPREFIX\n",
                 program, folder.c_str(), advice);
    return false;
  }
  if (!platform::isPrefixFolder(folder)) {
    std::fprintf(stderr,
                 "%s: %s is not a Wine-style prefix (it holds neither drive_c nor system.reg); "
                 "%s --prefix DIR or WINEPREFIX\n",
                 program, folder.c_str(), advice);
    return false;
  }
  return true;
}
