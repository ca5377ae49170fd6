// The reports of a fennick-verify run as they are printed, one at a time in
// input order: the chosen form (text lines, one JSON array, CSV with a
// header record), framed so that the output is whole at every point where
// the run may end, the --only choice of what is printed, and the counts of
// every verdict, printed or not, for the summary and the exit status.
#pragma once

#include "cli/FileReport.h"
#include "l10n/CommandLineTexts.h"

#include <cstdio>
#include <set>

class ReportStream {
public:
  enum class Format { Text, Json, Csv };

  // Prints to out; only reports of a class in `only` are printed (every
  // report when it is empty). Text lines go out as text for the user
  // (platform::writeText); JSON and CSV are always UTF-8.
  ReportStream(std::FILE* out, Format format, std::set<VerdictClass> only);

  // The opening: "[" for JSON, the header record for CSV, nothing for text.
  void begin();
  // Counts the report and prints it when --only lets it through.
  void add(const FileReport& report);
  // The closing: "]" for JSON.
  void end();

  const VerdictCounts& counts() const { return counts_; }

private:
  std::FILE* out_;
  Format format_;
  std::set<VerdictClass> only_;
  VerdictCounts counts_;
  bool printedAny_ = false;
};
