// Opening a host file for reading only when it is a regular file. Opening
// anything else has effects of its own: a named pipe's open releases a
// writer waiting on it, a device's open may rewind a tape, arm a watchdog
// or make a terminal the controlling one. So the file is looked at first
// and opened only when it is a regular file, and what was opened is checked
// to be the file looked at, in case the path changed in between.
#pragma once

#include <string>

namespace platform::posix {

// A descriptor open for reading (close-on-exec, never a controlling
// terminal) on the regular file at hostPath, links followed; -1 when there
// is none. errno then tells why: ENOENT or ENOTDIR when nothing is there,
// EINVAL when something other than a regular file is, or the error of the
// look or the open.
int openRegularFile(const std::string& hostPath);

} // namespace platform::posix
