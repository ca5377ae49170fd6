// The guard of a depth-first folder walk against endless descent: the
// folders on the current walk path, by identity, so that a link leading back
// up the tree is not entered, and a bound on the depth for link chains that
// identities do not catch. Shared by the scan's folder walk and the walk of
// fennick-verify.
#pragma once

#include "platform/Files.h"

#include <string>
#include <vector>

class WalkCycleGuard {
public:
  // Walks deeper than this are cut off: the host has no path-length limit
  // that would end a walk down a link chain.
  static constexpr int kMaxDepth = 128;

  // Whether a walk enters the folder that entry leads to, at depth (1 for
  // a subfolder of the folder walked): never at kMaxDepth or deeper, and
  // never through a link to a folder on the walk's path (the identities in
  // path). A folder that is no link cannot lead back up its own tree, and an
  // unknown identity shows no cycle: some file systems and network
  // redirectors give every folder the index 0, or one index to many, so
  // such folders are entered, with only the depth bound to end the walk.
  static bool entersFolder(const platform::FindData& entry,
                           const std::vector<platform::FileIdentity>& path, int depth);

  // A walk starting at the folder root (depth 0), whose identity is on the
  // path when the platform can tell it.
  explicit WalkCycleGuard(const std::u16string& root);

  // True, with the folder put on the path one level deeper, when the walk
  // enters the folder that entry (of the folder entered last) leads to, by
  // entersFolder. False leaves the path as it was.
  bool enter(const platform::FindData& entry);

  // Takes the folder entered last off the path.
  void leave();

  // Folders entered below the root and not yet left.
  int depth() const { return depth_; }

private:
  // The root (when its identity could be read), then every folder entered.
  // Unknown identities among them match no known one, so they stop nothing.
  std::vector<platform::FileIdentity> path_;
  int depth_ = 0;
};
