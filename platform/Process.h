// Starting a program and waiting for it: the stand-ins for CreateProcessW,
// WaitForSingleObject and the command-line splitting of CommandLineToArgvW.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Splits a command line with the Windows rules: arguments are separated by
// spaces and tabs; double quotes group; 2n backslashes before a quote give n
// backslashes and the quote groups, 2n+1 give n backslashes and a literal
// quote; other backslashes are literal; "" inside a group is a literal quote.
std::vector<std::u16string> commandLineToArgv(const std::u16string& commandLine);

// A started program. Like a process handle, the object can be dropped
// without waiting; its destructor then waits so that no exited child lingers.
class ChildProcess {
public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program at the Windows path applicationName with the caller's
  // environment and current folder. The program receives the arguments of
  // commandLine (split as above) after its own path, so the helper programs
  // of this system read exactly what a Windows program would get from its
  // command line. False when the program cannot be started (no such file,
  // not executable, an unmapped drive).
  bool start(const std::u16string& applicationName, const std::u16string& commandLine);

  // Waits without a time limit for the program to end. False when nothing
  // was started or the wait failed; exitCode gets the program's exit status
  // (the low 8 bits a POSIX program returns), or -1 when it was killed.
  bool wait(int* exitCode = nullptr);

private:
  int processId = -1;
};

// Keeps the system from stopping the program with a dialog that waits for
// a user (the "No disk" box of a drive without its medium): such errors come
// back to the call as failures instead (SetErrorMode with
// SEM_FAILCRITICALERRORS, for every thread of the process). Called first
// thing by every program of the system; nothing to do where no such dialog
// exists.
void failCriticalErrorsSilently();

// Lets the file at path be run as a program (the owner, group and others may
// execute it). False when the file is missing.
bool markExecutable(const std::u16string& path);

// The arguments a program of this system was started with, as the Windows
// command line would give them: argv[1] to argv[argc - 1] as UTF-16 text.
std::vector<std::u16string> commandLineArguments(int argc, char** argv);

// The same as 8-bit text for the command-line tools: argv[1] to
// argv[argc - 1] byte for byte where file names are bytes (Linux); the
// wide command line as UTF-8 where argv would be in the ANSI code page and
// lose what it lacks (Windows).
std::vector<std::string> narrowArguments(int argc, char** argv);

} // namespace platform
