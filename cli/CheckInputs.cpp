// Arguments turned into the files a run checks.
#include "cli/CheckInputs.h"

#include "platform/Files.h"
#include "platform/WindowsNamespace.h"

std::u16string windowsPathOfArgument(const std::string& hostPath) {
  return platform::absoluteWindowsPath(hostPath);
}

CheckInputs::CheckInputs(std::vector<std::string> arguments, FolderWalk::Options walkOptions,
                         std::function<bool(const std::u16string&)> accept)
    : arguments_(std::move(arguments)), walkOptions_(walkOptions), accept_(std::move(accept)) {}

CheckInputs::~CheckInputs() = default;

bool CheckInputs::next(Input& input) {
  while (true) {
    if (walk_) {
      if (walk_->next(input))
        return true;
      walk_.reset();
    }
    if (nextArgument_ >= arguments_.size())
      return false;
    const std::string& argument = arguments_[nextArgument_++];
    const std::u16string windowsPath = windowsPathOfArgument(argument);
    if (platform::pathIsDirectory(windowsPath)) {
      walk_ = std::make_unique<FolderWalk>(windowsPath, argument, walkOptions_, accept_);
      continue;
    }
    input.kind = Input::Kind::File;
    input.windowsPath = windowsPath;
    input.hostPath = argument;
    return true;
  }
}
