// Folder tokens: words in square brackets ("[Common]") that stand for
// well-known folders of the machine at the start of configured paths.
#pragma once

#include <map>
#include <string>

// Token (brackets included) to folder path, in plain code-unit order.
using FolderTokenMap = std::map<std::u16string, std::u16string>;

// Fills tokens with the sixteen 32-bit tokens, each from its special folder
// ("\Orvia" appended for [OrviaProgramFiles] and [OrviaCommon]). A folder
// the platform cannot give leaves its token out.
void collectFolderTokens(FolderTokenMap& tokens);

// When text begins with a token of the map (exact, case-sensitive), result is
// the token's folder followed by the rest of text, and the answer is true.
// Otherwise false and result is left alone. Only a token at the very start is
// replaced, and only one.
bool substituteFolderToken(const std::u16string& text, const FolderTokenMap& tokens,
                           std::u16string& result);
