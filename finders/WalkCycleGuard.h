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

  // A walk starting at the folder root (depth 0); its identity is on the path
  // when the platform can tell it.
  explicit WalkCycleGuard(const std::u16string& root);

  // True, with folder put on the path one level deeper, when the walk may
  // enter it: its identity is not on the path already and the walk is not
  // at its deepest. False leaves the path as it was.
  bool enter(const platform::FileIdentity& folder);

  // Takes the folder entered last off the path.
  void leave();

  // Folders entered below the root and not yet left.
  int depth() const { return depth_; }

private:
  std::vector<platform::FileIdentity> path_; // the root (when known), then every folder entered
  int depth_ = 0;
};
