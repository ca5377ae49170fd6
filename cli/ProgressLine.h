// A progress line on standard error, rewritten in place while work goes on
// and erased before anything else is written to the terminal, so that it
// never mixes with results or messages. It is shown only when standard
// error is a terminal; redirected, it writes nothing.
#pragma once

#include <cstdio>
#include <string>

class ProgressLine {
public:
  // A line on to (stderr), shown when to is a terminal.
  explicit ProgressLine(std::FILE* to);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Replaces the line's text (UTF-8; written as text for the user,
  // platform::writeText).
  void show(const std::string& text);
  // Removes the line, leaving the cursor at the start of an empty line.
  void erase();

  bool enabled() const { return enabled_; }

private:
  std::FILE* to_;
  bool enabled_;
  std::size_t columns_ = 0; // of the text shown now; 0 when nothing is shown
};

// The terminal columns text takes: two for the wide characters of East Asian
// scripts, one for every other character. UTF-8 in.
std::size_t terminalColumns(const std::string& utf8);
