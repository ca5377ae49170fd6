// The folder walk of fennick-verify, one step at a time: a stack of the
// folders being walked, each listing its files before its subfolders.
#include "cli/FolderWalk.h"

#include "util/FileHelpers.h"
#include "util/Text.h"

namespace {

std::u16string childPath(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
    return folder + name;
  return folder + u"\\" + name;
}

std::string childHostPath(const std::string& folder, const std::u16string& name) {
  std::string utf8;
  wideToUtf8(name, utf8);
  return utf8PathOf(fsPath(folder) / fsPath(utf8));
}

} // namespace

// One folder of the walk: its listing, read entry by entry, then its
// subfolders, entered one after another.
struct FolderWalk::Frame {

  std::u16string windowsPath;
  std::string hostPath;
  bool entered = false; // put on the cycle guard's path (every folder but the root)
  bool listing = true;  // still reading the folder's entries
  bool started = false; // the listing has begun
  platform::FileEnumeration enumeration;
  std::vector<platform::FindData> subfolders; // found while listing, entered after it
  std::size_t nextSubfolder = 0;
};

FolderWalk::FolderWalk(const std::u16string& windowsRoot, const std::string& hostRoot,
                       Options options, std::function<bool(const std::u16string&)> accept)
    : options_(options), accept_(std::move(accept)), guard_(windowsRoot) {
  if (!platform::getFinalPath(windowsRoot, finalRoot_))
    finalRoot_ = windowsRoot;
  push(windowsRoot, hostRoot, false);
}

FolderWalk::~FolderWalk() = default;

void FolderWalk::push(const std::u16string& windowsPath, const std::string& hostPath,
                      bool entered) {
  auto frame = std::make_unique<Frame>();
  frame->windowsPath = windowsPath;
  frame->hostPath = hostPath;
  frame->entered = entered;
  stack_.push_back(std::move(frame));
}

bool FolderWalk::leadsInside(const std::u16string& windowsPath) const {
  std::u16string target;
  if (!platform::getFinalPath(windowsPath, target))
    return false; // a link that leads nowhere leads nowhere inside
  if (target.size() < finalRoot_.size() || target.compare(0, finalRoot_.size(), finalRoot_) != 0)
    return false;
  return target.size() == finalRoot_.size() || finalRoot_.back() == u'\\' ||
         target[finalRoot_.size()] == u'\\';
}

bool FolderWalk::readEntry(Frame& frame, Step& step) {
  platform::FindData entry;
  bool more;
  if (!frame.started) {
    frame.started = true;
    more = frame.enumeration.findFirst(childPath(frame.windowsPath, u"*"), entry);
    const std::uint32_t error = frame.enumeration.lastError();
    if (!more && error != platform::kErrorNoMoreFiles && error != platform::kErrorFileNotFound) {
      frame.listing = false;
      step.kind = Step::Kind::UnreadableFolder;
      step.windowsPath = frame.windowsPath;
      step.hostPath = frame.hostPath;
      return true;
    }
  } else {
    more = frame.enumeration.findNext(entry);
  }
  if (!more) {
    frame.listing = false;
    frame.enumeration.close(); // the listing's memory goes before the subfolders are walked
    return false;
  }
  if (entry.name.empty() || entry.name == u"." || entry.name == u"..")
    return false;
  const std::u16string path = childPath(frame.windowsPath, entry.name);
  if (entry.isLink && !options_.followLinks && !leadsInside(path))
    return false;
  if (entry.isDirectory) {
    if (options_.recurse)
      frame.subfolders.push_back(std::move(entry));
    return false;
  }
  if (entry.isSpecial || !accept_(path))
    return false;
  step.kind = Step::Kind::File;
  step.windowsPath = path;
  step.hostPath = childHostPath(frame.hostPath, entry.name);
  return true;
}

bool FolderWalk::next(Step& step) {
  while (!stack_.empty()) {
    Frame& frame = *stack_.back();
    if (frame.listing) {
      if (readEntry(frame, step))
        return true;
      continue;
    }
    if (frame.nextSubfolder < frame.subfolders.size()) {
      const platform::FindData& subfolder = frame.subfolders[frame.nextSubfolder++];
      if (guard_.enter(subfolder))
        push(childPath(frame.windowsPath, subfolder.name),
             childHostPath(frame.hostPath, subfolder.name), true);
      continue;
    }
    if (frame.entered)
      guard_.leave();
    stack_.pop_back();
  }
  return false;
}
