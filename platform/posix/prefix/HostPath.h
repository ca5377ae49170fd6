// The translation of a Windows path to a host path together with what the
// translation's own look at the file found, so that callers that would look
// again (stat) need not. Platform code only.
#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>

namespace platform {

struct HostPathLook {
  bool looked = false; // lstat found the path as it is returned
  struct stat info {}; // what it found (the file itself when no link)
};

// toHostPath (platform/WindowsNamespace.h), and in look what its look at
// the returned path found, when it found something there.
std::optional<std::string> toHostPath(const std::u16string& windowsPath, HostPathLook& look);

// What stat says of the path toHostPath gave with look: the look itself
// where the path is no link, else a fresh stat. False when nothing is there.
bool statHostPath(const std::string& hostPath, const HostPathLook& look, struct stat& info);

} // namespace platform
