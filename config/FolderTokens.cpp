// The 32-bit folder tokens and their substitution.
#include "config/FolderTokens.h"

#include "config/FolderTokenTables.h"
#include "platform/SpecialFolders.h"

void collectFolderTokens(FolderTokenMap& tokens) {
  for (const FolderTokenRow& row : kFolderTokens32) {
    std::u16string folder;
    if (platform::shGetSpecialFolderPath(row.csidl, folder))
      tokens[std::u16string(row.token)] = folder + std::u16string(row.suffix);
  }
}

bool substituteFolderToken(const std::u16string& text, const FolderTokenMap& tokens,
                           std::u16string& result) {
  for (const auto& [token, folder] : tokens) {
    if (text.compare(0, token.size(), token) == 0) {
      result = folder + text.substr(token.size());
      return true;
    }
  }
  return false;
}
