// The session's scratch folder: made fresh under the temporary folder and
// removed with everything in it.
#pragma once

#include <string>

// Creates "<temporary folder><new GUID>" and stores its path in folder;
// false, folder untouched, when the GUID or the folder cannot be made.
bool createScratchFolder(std::u16string& folder);

// Removes the folder tree at path: everything is enumerated first (nothing is
// deleted when any folder cannot be enumerated), then the files in the order
// found, then the folders deepest first; stops at the first failure. A
// symbolic link is removed itself, never followed. False when path is no
// directory or anything could not be removed.
bool removeFolderTree(const std::u16string& path);
