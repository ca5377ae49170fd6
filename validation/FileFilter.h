// The file filter: tells the finders which files to list, by extension.
#pragma once

#include <set>
#include <string>

class FileFilter {
public:
  // True when the file named by path is to be listed.
  virtual bool accept(const std::u16string& path) = 0;
  virtual ~FileFilter() = default;
};

// Accepts a name that ends, in any ASCII letter case, with one of its
// extensions. The set is ordered and unique by plain code-unit comparison, so
// ".dll" and ".DLL" are two members; an empty set accepts nothing.
class CustomFileFilter : public FileFilter {
public:
  bool accept(const std::u16string& path) override;
  void addExtension(const std::u16string& extension);

private:
  std::set<std::u16string> extensions; // each begins with "."
};
