// Programs started with posix_spawn and waited for with waitpid.
#include "platform/Process.h"

#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <cerrno>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

std::vector<std::u16string> commandLineToArgv(const std::u16string& commandLine) {
  std::vector<std::u16string> arguments;
  size_t pos = 0;
  const size_t size = commandLine.size();
  auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (true) {
    while (pos < size && isBlank(commandLine[pos]))
      ++pos;
    if (pos >= size)
      break;
    std::u16string argument;
    bool quoted = false;
    while (pos < size && (quoted || !isBlank(commandLine[pos]))) {
      char16_t c = commandLine[pos];
      if (c == u'\\') {
        size_t count = 0;
        while (pos < size && commandLine[pos] == u'\\') {
          ++count;
          ++pos;
        }
        if (pos < size && commandLine[pos] == u'"') {
          argument.append(count / 2, u'\\');
          if (count % 2) {
            argument.push_back(u'"');
            ++pos;
          }
        } else {
          argument.append(count, u'\\');
        }
      } else if (c == u'"') {
        if (quoted && pos + 1 < size && commandLine[pos + 1] == u'"') {
          argument.push_back(u'"');
          pos += 2;
        } else {
          quoted = !quoted;
          ++pos;
        }
      } else {
        argument.push_back(c);
        ++pos;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

ChildProcess::~ChildProcess() {
  if (processId > 0)
    wait();
}

bool ChildProcess::start(const std::u16string& applicationName,
                         const std::u16string& commandLine) {
  if (processId > 0)
    return false;
  std::optional<std::string> program = toHostPath(applicationName);
  if (!program)
    return false;
  std::vector<std::string> arguments{*program};
  for (const std::u16string& argument : commandLineToArgv(commandLine)) {
    std::string narrow;
    wideToUtf8(argument, narrow);
    arguments.push_back(narrow);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = -1;
  if (posix_spawn(&child, program->c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    return false;
  processId = child;
  return true;
}

bool ChildProcess::wait(int* exitCode) {
  if (processId <= 0)
    return false;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(processId, &status, 0);
  } while (result < 0 && errno == EINTR);
  processId = -1;
  if (result < 0)
    return false;
  if (exitCode)
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

// No system dialog ever waits for a user here.
void failCriticalErrorsSilently() {}

bool markExecutable(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  struct stat info;
  if (!host || stat(host->c_str(), &info) != 0)
    return false;
  return chmod(host->c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH) == 0;
}

std::vector<std::string> narrowArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.push_back(argv[i] ? argv[i] : "");
  return arguments;
}

std::vector<std::u16string> commandLineArguments(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) {
    std::u16string wide;
    utf8ToWide(argv[i] ? argv[i] : "", wide);
    arguments.push_back(wide);
  }
  return arguments;
}

} // namespace platform
