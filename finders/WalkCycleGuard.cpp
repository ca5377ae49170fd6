// The folders on a walk's path and the bound on its depth.
#include "finders/WalkCycleGuard.h"

#include <algorithm>

WalkCycleGuard::WalkCycleGuard(const std::u16string& root) {
  platform::FileIdentity identity;
  if (platform::getFileIdentity(root, identity))
    path_.push_back(identity);
}

bool WalkCycleGuard::enter(const platform::FileIdentity& folder) {
  if (depth_ + 1 >= kMaxDepth || std::find(path_.begin(), path_.end(), folder) != path_.end())
    return false;
  path_.push_back(folder);
  ++depth_;
  return true;
}

void WalkCycleGuard::leave() {
  if (depth_ == 0)
    return;
  path_.pop_back();
  --depth_;
}
