// Windows Installer packages read with libmsi in a program of their own,
// fennick-package-reader (package-reader/). The database library is not
// made for hostile input (damaged packages crash it), so the scanner never
// loads it: it hands the package to the reader on its standard input,
// collects the listing from a pipe within a time bound, and counts a reader
// that fails, crashes or overruns as a package that cannot be read.
#include "platform/InstallerPackage.h"

#include "platform/WindowsNamespace.h"
#include "platform/posix/prefix/PackageRows.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

constexpr char kReaderName[] = "fennick-package-reader";
// Where the reader lies, relative to the folder of the running program: the
// same folder, its parent (the build tree's tests and tools folders) and
// the installed layout (bin/ beside libexec/fennick/).
constexpr const char* kReaderFolders[] = {"", "../", "../libexec/fennick/"};
// The longest a package may take; the largest real packages take a second.
constexpr std::chrono::seconds kReadTime{30};
// A listing larger than this is refused (the reader stops there itself).
constexpr std::size_t kMaxListing = (64u << 20) + 1;

// A descriptor closed when it leaves scope.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  explicit Descriptor(int fd) : fd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  void reset() {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
};

// The file actions of one start, destroyed when they leave scope.
struct SpawnActions {
  posix_spawn_file_actions_t actions;
  bool ready = posix_spawn_file_actions_init(&actions) == 0;
  ~SpawnActions() {
    if (ready)
      posix_spawn_file_actions_destroy(&actions);
  }
};

std::string folderOfThisProgram() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0)
    return {};
  std::string path(buffer, std::size_t(length));
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The reader's host path, looked up once; empty when there is none.
const std::string& readerProgram() {
  static const std::string program = [] {
    std::string folder = folderOfThisProgram();
    if (folder.empty())
      return std::string();
    for (const char* relative : kReaderFolders) {
      std::string candidate = folder + relative + kReaderName;
      struct stat info;
      if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    return std::string();
  }();
  return program;
}

// Opens the package for reading when it is a regular file; the open never
// waits (a named pipe would wait for a writer).
int openPackage(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  if (!host)
    return -1;
  int fd = ::open(host->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Starts the reader with the package as its standard input and the write
// end of a pipe as its standard output; -1 when it cannot be started.
pid_t startReader(const std::string& program, int package, int output) {
  SpawnActions spawn;
  if (!spawn.ready || posix_spawn_file_actions_adddup2(&spawn.actions, package, STDIN_FILENO) != 0 ||
      posix_spawn_file_actions_adddup2(&spawn.actions, output, STDOUT_FILENO) != 0 ||
      posix_spawn_file_actions_addopen(&spawn.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) !=
          0 ||
      posix_spawn_file_actions_addclosefrom_np(&spawn.actions, STDERR_FILENO + 1) != 0)
    return -1;
  std::string argument0 = program;
  char* argv[] = {argument0.data(), nullptr};
  pid_t child = -1;
  if (posix_spawn(&child, program.c_str(), &spawn.actions, nullptr, argv, environ) != 0)
    return -1;
  return child;
}

// Reads the pipe until the reader closes it, the time is up or the listing
// grows too large; false in the last two cases.
bool collect(int input, std::string& listing) {
  auto deadline = std::chrono::steady_clock::now() + kReadTime;
  char buffer[65536];
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    struct pollfd ready = {input, POLLIN, 0};
    int polled = ::poll(&ready, 1, int(left.count()));
    if (polled < 0 && errno == EINTR)
      continue;
    if (polled <= 0)
      return false;
    ssize_t count = ::read(input, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return false;
    if (count == 0)
      return true;
    listing.append(buffer, std::size_t(count));
    if (listing.size() > kMaxListing)
      return false;
  }
}

// Waits for the reader to end; true when it ended with status 0.
bool finished(pid_t child) {
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(child, &status, 0);
  } while (result < 0 && errno == EINTR);
  return result == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool readInstallerPackage(const std::u16string& path, InstallerPackage& package) {
  const std::string& program = readerProgram();
  if (program.empty())
    return false;
  Descriptor file(openPackage(path));
  if (file.fd < 0)
    return false;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0)
    return false;
  Descriptor input(ends[0]);
  Descriptor output(ends[1]);
  pid_t child = startReader(program, file.fd, output.fd);
  output.reset(); // the reader holds the only write end now
  if (child < 0)
    return false;
  std::string listing;
  bool complete = collect(input.fd, listing);
  if (!complete)
    ::kill(child, SIGKILL);
  input.reset();
  bool succeeded = finished(child);
  return complete && succeeded && package_rows::decode(listing, package);
}

} // namespace platform
