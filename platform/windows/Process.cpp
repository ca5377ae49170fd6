// Starting a program and waiting for it: CreateProcessW and
// WaitForSingleObject without a time limit, and the command line of this
// process from GetCommandLineW split by CommandLineToArgvW.
#include "platform/Process.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <map>
#include <mutex>

namespace platform {
namespace {

// The process handles of started children by process id. The handle stays
// open until the child has been waited for, so its id cannot be reused
// by another process meanwhile.
std::mutex childrenMutex;
std::map<int, HANDLE>& children() {
  static std::map<int, HANDLE> handles;
  return handles;
}

HANDLE takeChild(int processId) {
  std::lock_guard<std::mutex> lock(childrenMutex);
  auto found = children().find(processId);
  if (found == children().end())
    return nullptr;
  HANDLE handle = found->second;
  children().erase(found);
  return handle;
}

std::vector<std::u16string> split(const std::wstring& line, bool dropFirst) {
  std::vector<std::u16string> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(line.c_str(), &count);
  if (!list)
    return arguments;
  for (int i = dropFirst ? 1 : 0; i < count; ++i)
    arguments.push_back(win::fromWide(list[i]));
  LocalFree(list);
  return arguments;
}

} // namespace

std::vector<std::u16string> commandLineToArgv(const std::u16string& commandLine) {
  // The system parses the first argument as a program path (no backslash
  // rules); a stand-in program name keeps every given argument to the
  // argument rules.
  return split(L"x " + std::wstring(win::wide(commandLine)), true);
}

ChildProcess::~ChildProcess() {
  if (processId >= 0)
    wait();
}

bool ChildProcess::start(const std::u16string& applicationName, const std::u16string& commandLine) {
  if (processId >= 0)
    wait();
  // The program receives its own path first, as every Windows program does.
  std::wstring line = L"\"" + std::wstring(win::wide(applicationName)) + L"\"";
  if (!commandLine.empty())
    line += L" " + std::wstring(win::wide(commandLine));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(win::wide(applicationName), line.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started))
    return false;
  CloseHandle(started.hThread);
  processId = int(started.dwProcessId);
  std::lock_guard<std::mutex> lock(childrenMutex);
  children()[processId] = started.hProcess;
  return true;
}

bool ChildProcess::wait(int* exitCode) {
  if (processId < 0)
    return false;
  HANDLE process = takeChild(processId);
  processId = -1;
  if (!process)
    return false;
  bool waited = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0;
  DWORD code = 0;
  if (waited && exitCode)
    *exitCode = GetExitCodeProcess(process, &code) ? int(code) : -1;
  CloseHandle(process);
  return waited;
}

void failCriticalErrorsSilently() { SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS); }

// Any file may be started on Windows; there is no permission to set.
bool markExecutable(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(win::wide(path)) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> narrowArguments(int, char**) {
  std::vector<std::string> arguments;
  for (const std::u16string& argument : split(GetCommandLineW(), true)) {
    std::string text;
    win::wideToNarrow(argument, CP_UTF8, text);
    arguments.push_back(text);
  }
  return arguments;
}

std::vector<std::u16string> commandLineArguments(int, char**) {
  // The C runtime's argv is in the ANSI code page; the wide command line
  // loses nothing.
  return split(GetCommandLineW(), true);
}

} // namespace platform
