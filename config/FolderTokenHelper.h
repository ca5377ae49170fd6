// The folder-token helper: a small program of ours, carried as resource
// 301/141, that reports the folders a 64-bit program sees. Session
// preparation writes it into the scratch folder as tg.bin and runs it there
// to add the 64-bit tokens ("[Common64]", ...).
#pragma once

#include "config/FolderTokens.h"

#include <string>

class ScanContext;

// Writes the embedded helper, created anew, to the scratch folder as tg.bin
// and lets it be run. helperPath receives scratchFolder + "\tg.bin". When
// the context has no scratch folder nothing is written anywhere and
// helperPath is emptied. False when nothing could be written.
bool writeFolderTokenHelper(const ScanContext& context, std::u16string& helperPath);

// On a 32-bit process of a 64-bit machine: runs the helper at helperPath with
// the quoted path of token.xml next to it as its command line, waits for it
// without a time limit, and adds to tokens every 64-bit token whose element
// token.xml holds (an empty folder too). Does nothing on a 32-bit machine,
// for a path that does not name tg.bin, or when the helper cannot be started
// or leaves no readable token.xml.
void runFolderTokenHelper(const std::u16string& helperPath, FolderTokenMap& tokens);
