// The folders on a walk's path and the bound on its depth.
#include "finders/WalkCycleGuard.h"

#include <algorithm>

bool WalkCycleGuard::entersFolder(const platform::FindData& entry,
                                  const std::vector<platform::FileIdentity>& path, int depth) {
  if (depth >= kMaxDepth)
    return false;
  if (!entry.isLink || !entry.identity.known())
    return true;
  return std::find(path.begin(), path.end(), entry.identity) == path.end();
}

WalkCycleGuard::WalkCycleGuard(const std::u16string& root) {
  platform::FileIdentity identity;
  if (platform::getFileIdentity(root, identity))
    path_.push_back(identity);
}

bool WalkCycleGuard::enter(const platform::FindData& entry) {
  if (!entersFolder(entry, path_, depth_ + 1))
    return false;
  path_.push_back(entry.identity);
  ++depth_;
  return true;
}

void WalkCycleGuard::leave() {
  if (depth_ == 0)
    return;
  path_.pop_back();
  --depth_;
}
