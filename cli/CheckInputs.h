// The files one fennick-verify run checks, in order, one at a time: an
// argument that names a file (or nothing) stands for itself; a folder
// argument for the files its walk gives (FolderWalk).
#pragma once

#include "cli/FolderWalk.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The Windows path of a path the user gave: made absolute against the
// current folder (platform::absoluteWindowsPath).
std::u16string windowsPathOfArgument(const std::string& hostPath);

class CheckInputs {
public:
  using Input = FolderWalk::Step;

  // The inputs of the arguments in their order; folders are walked with
  // walkOptions, taking the files accept says yes to.
  CheckInputs(std::vector<std::string> arguments, FolderWalk::Options walkOptions,
              std::function<bool(const std::u16string&)> accept);
  ~CheckInputs();

  // The next input; false when there are no more.
  bool next(Input& input);

private:
  std::vector<std::string> arguments_;
  FolderWalk::Options walkOptions_;
  std::function<bool(const std::u16string&)> accept_;
  std::size_t nextArgument_ = 0;
  std::unique_ptr<FolderWalk> walk_; // of the folder argument being walked
};
