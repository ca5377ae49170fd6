// The walk of a folder that fennick-verify was given: the files to check in
// a stable order, one at a time, so that checking can start while the walk
// goes on. Each folder's files come first, in the platform's listing order,
// then its subfolders, each walked whole in the same way. The walk keeps
// the scan's guard against link cycles, never enters or lists a link that
// leads out of the walked folder unless told to, and skips special files
// (named pipes, sockets, devices) without opening them.
#pragma once

#include "finders/WalkCycleGuard.h"
#include "platform/Files.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class FolderWalk {
public:
  struct Options {
    bool recurse = false;     // walk subfolders too
    bool followLinks = false; // also follow links that lead out of the walked folder
  };

  // One step of the walk.
  struct Step {
    enum class Kind {
      File,             // a file to check
      UnreadableFolder, // a folder that could not be listed (its files are missing)
    };
    Kind kind = Kind::File;
    std::u16string windowsPath; // of the file or folder
    std::string hostPath;       // the same, as the user's path with the names below it
  };

  // A walk of the folder windowsRoot, which the user named hostRoot; accept
  // tells, by a file's Windows path, whether it is to be checked.
  FolderWalk(const std::u16string& windowsRoot, const std::string& hostRoot, Options options,
             std::function<bool(const std::u16string&)> accept);
  ~FolderWalk();
  FolderWalk(const FolderWalk&) = delete;
  FolderWalk& operator=(const FolderWalk&) = delete;

  // The next step; false when the walk is over.
  bool next(Step& step);

private:
  struct Frame;

  // True when the entry at windowsPath (a link) leads to the walked folder
  // or below it.
  bool leadsInside(const std::u16string& windowsPath) const;
  // Reads the next entry of frame's listing: true, with step filled, for a
  // file to check or a folder that cannot be listed; false for an entry
  // passed over (a subfolder is noted for later) and at the listing's end.
  bool readEntry(Frame& frame, Step& step);
  // Starts walking a folder: its frame goes on the stack.
  void push(const std::u16string& windowsPath, const std::string& hostPath, bool entered);

  Options options_;
  std::function<bool(const std::u16string&)> accept_;
  std::u16string finalRoot_; // where the walked folder finally is, links followed
  WalkCycleGuard guard_;
  std::vector<std::unique_ptr<Frame>> stack_; // the folders being walked, outermost first
};
