// File operations on Windows paths, carried out on the host files that the
// namespace maps them to.
#include "platform/Files.h"

#include "platform/posix/prefix/HostPath.h"

#include "platform/WindowsNamespace.h"
#include "platform/posix/RegularFile.h"
#include "util/Text.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::uint32_t errorFromErrno(int code) {
  switch (code) {
  case ENOENT: return kErrorFileNotFound;
  case ENOTDIR: return kErrorPathNotFound;
  case EACCES:
  case EPERM:
  case EROFS: return kErrorAccessDenied;
  case EEXIST: return kErrorAlreadyExists;
  case ENOTEMPTY: return kErrorDirNotEmpty;
  default: return kErrorAccessDenied;
  }
}

bool isReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

// Closes a descriptor when it leaves scope.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0)
      ::close(fd);
  }
};

// Opens the host file of path for reading when it is a regular file;
// nothing else is ever opened (see RegularFile.h).
int openRegularFile(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  return host ? posix::openRegularFile(*host) : -1;
}

// Reads up to size bytes; the count read, or -1 on an error.
ssize_t readFully(int fd, std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t got = ::read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return -1;
    if (got == 0)
      break;
    done += std::size_t(got);
  }
  return ssize_t(done);
}

// Writes all bytes; false when a write fails.
bool writeFully(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    done += std::size_t(written);
  }
  return true;
}

} // namespace

bool readFileStart(const std::u16string& path, std::size_t count, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  Descriptor file{openRegularFile(path)};
  if (file.fd < 0)
    return false;
  bytes.resize(count);
  ssize_t got = readFully(file.fd, bytes.data(), count);
  if (got < 0) {
    bytes.clear();
    return false;
  }
  bytes.resize(std::size_t(got));
  return true;
}

bool copyFile(const std::u16string& from, const std::u16string& to, CopyTarget mode) {
  Descriptor source{openRegularFile(from)};
  std::optional<std::string> target = toHostPath(to);
  if (source.fd < 0 || !target)
    return false;
  const int creation = mode == CopyTarget::Replace ? O_TRUNC : O_EXCL;
  Descriptor copy{::open(target->c_str(), O_WRONLY | O_CREAT | creation | O_CLOEXEC, 0666)};
  if (copy.fd < 0)
    return false;
  std::vector<std::uint8_t> buffer(1 << 16);
  bool ok = true;
  while (ok) {
    ssize_t got = readFully(source.fd, buffer.data(), buffer.size());
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = writeFully(copy.fd, {buffer.data(), std::size_t(got)});
  }
  if (!ok)
    unlink(target->c_str());
  return ok;
}

bool pathFileExists(const std::u16string& path) {
  HostPathLook look;
  std::optional<std::string> host = toHostPath(path, look);
  struct stat info;
  return host && statHostPath(*host, look, info);
}

bool pathIsDirectory(const std::u16string& path) {
  HostPathLook look;
  std::optional<std::string> host = toHostPath(path, look);
  struct stat info;
  return host && statHostPath(*host, look, info) && S_ISDIR(info.st_mode);
}

bool getFileIdentity(const std::u16string& path, FileIdentity& identity) {
  HostPathLook look;
  std::optional<std::string> host = toHostPath(path, look);
  struct stat info;
  if (!host || !statHostPath(*host, look, info))
    return false;
  identity = {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
  return true;
}

bool getFinalPath(const std::u16string& path, std::u16string& finalPath) {
  std::optional<std::string> host = toHostPath(path);
  if (!host)
    return false;
  char resolved[PATH_MAX];
  if (!realpath(host->c_str(), resolved))
    return false;
  finalPath = toWindowsPath(resolved);
  return true;
}

FileState getFileState(const std::u16string& path) {
  HostPathLook look;
  std::optional<std::string> host = toHostPath(path, look);
  struct stat info;
  FileState state;
  if (!host || !statHostPath(*host, look, info))
    return state;
  constexpr std::int64_t kNanoseconds = 1000000000;
  state.exists = true;
  state.regular = S_ISREG(info.st_mode);
  state.identity = {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
  state.size = std::uint64_t(info.st_size);
  state.writeTime = std::int64_t(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec;
  state.changeTime = std::int64_t(info.st_ctim.tv_sec) * kNanoseconds + info.st_ctim.tv_nsec;
  return state;
}

bool FileEnumeration::findFirst(const std::u16string& pattern, FindData& data) {
  close();
  std::u16string folder;
  if (!patternFolder(pattern, folder))
    return false;
  folder.pop_back(); // the separator
  if (folder.empty())
    folder.assign(1, u'\\');
  std::optional<std::string> host = toHostPath(folder);
  if (!host) {
    error = kErrorPathNotFound;
    return false;
  }
  DIR* dir = opendir(host->c_str());
  if (!dir) {
    error = errno == ENOENT ? kErrorPathNotFound : errorFromErrno(errno);
    return false;
  }
  endError = kErrorNoMoreFiles;
  while (true) {
    errno = 0;
    dirent* entry = readdir(dir);
    if (!entry) {
      if (errno)
        endError = errorFromErrno(errno); // what was read so far still counts
      break;
    }
    FindData found;
    utf8ToWide(entry->d_name, found.name);
    // Looked at from the open folder, by name: no walk of the whole path for
    // each entry. What is no link is what it leads to; only a link is
    // looked at a second time, through it.
    struct stat linkInfo;
    const bool looked = fstatat(dirfd(dir), entry->d_name, &linkInfo, AT_SYMLINK_NOFOLLOW) == 0;
    if (looked)
      found.isLink = S_ISLNK(linkInfo.st_mode);
    struct stat info;
    if (looked && !found.isLink)
      info = linkInfo;
    if ((looked && !found.isLink) || fstatat(dirfd(dir), entry->d_name, &info, 0) == 0) {
      found.isDirectory = S_ISDIR(info.st_mode);
      found.isSpecial = !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode);
      found.identity = {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
    }
    entries.push_back(std::move(found));
  }
  closedir(dir);
  sortEntries();
  if (entries.empty()) {
    error = endError;
    return false;
  }
  return findNext(data);
}

WriteHandle::WriteHandle(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  if (!host)
    return;
  struct stat info;
  if (stat(host->c_str(), &info) == 0 && (S_ISDIR(info.st_mode) || isReadOnly(info)))
    return; // Windows refuses to overwrite a read-only file, whoever asks
  // A link in its place is never followed: what is written goes where the
  // path says.
  descriptor = open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
}

WriteHandle::~WriteHandle() {
  if (descriptor >= 0)
    ::close(descriptor);
}

bool WriteHandle::write(std::span<const std::uint8_t> bytes) {
  return descriptor >= 0 && writeFully(descriptor, bytes);
}

bool appendToFile(const std::u16string& path, std::span<const std::uint8_t> bytes) {
  std::optional<std::string> host = toHostPath(path);
  if (!host)
    return false;
  // Without waiting on a named pipe; never the controlling terminal.
  Descriptor file{::open(host->c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK |
                             O_CLOEXEC,
                         0600)};
  struct stat info;
  if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  return writeFully(file.fd, bytes);
}

bool deleteFile(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  struct stat info;
  if (!host || lstat(host->c_str(), &info) != 0 || S_ISDIR(info.st_mode))
    return false;
  if (!S_ISLNK(info.st_mode) && isReadOnly(info))
    return false;
  return unlink(host->c_str()) == 0;
}

bool removeDirectory(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  struct stat info;
  if (!host || lstat(host->c_str(), &info) != 0)
    return false;
  if (S_ISLNK(info.st_mode)) {
    struct stat target;
    // A link to a folder is removed like a junction; a link to a file is no folder.
    return stat(host->c_str(), &target) == 0 && S_ISDIR(target.st_mode) &&
           unlink(host->c_str()) == 0;
  }
  return S_ISDIR(info.st_mode) && rmdir(host->c_str()) == 0;
}

std::uint32_t shCreateDirectoryEx(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  if (!host)
    return kErrorPathNotFound;
  struct stat info;
  if (stat(host->c_str(), &info) == 0)
    return S_ISDIR(info.st_mode) ? kErrorAlreadyExists : kErrorDirectory;
  // Create each missing folder from the top down.
  for (size_t slash = 1; slash <= host->size(); ++slash) {
    if (slash != host->size() && (*host)[slash] != '/')
      continue;
    std::string part = host->substr(0, slash);
    if (stat(part.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode))
        return kErrorPathNotFound;
      continue;
    }
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      return errorFromErrno(errno);
  }
  return kErrorSuccess;
}

std::u16string getTempPath() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/')
    base.pop_back();
  // The user's own folder inside the shared one: made private to the user,
  // and refused when someone else made it first (a link, another owner,
  // permissions for others), since then that one decides where files land.
  const uid_t user = geteuid();
  std::string folder = (base == "/" ? "" : base) + "/fennick-" + std::to_string(user);
  const bool made = mkdir(folder.c_str(), 0700) == 0;
  if (!made && errno != EEXIST)
    return {};
  Descriptor opened{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
  struct stat info;
  if (opened.fd < 0 || fstat(opened.fd, &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != user)
    return {};
  if (made && fchmod(opened.fd, 0700) != 0) // whatever the umask left
    return {};
  if (!made && (info.st_mode & 07777) != 0700)
    return {};
  return toWindowsPath(folder + "/");
}

bool getModuleFileName(std::u16string& path) {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0)
    return false;
  path = toWindowsPath(std::string(buffer, size_t(length)));
  return true;
}

} // namespace platform
