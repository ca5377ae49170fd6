// Printing reports in their forms, counting every verdict.
#include "cli/ReportStream.h"

#include "platform/Console.h"

ReportStream::ReportStream(std::FILE* out, Format format, std::set<VerdictClass> only)
    : out_(out), format_(format), only_(std::move(only)) {}

void ReportStream::begin() {
  if (format_ == Format::Json)
    std::fputs("[", out_);
  else if (format_ == Format::Csv)
    std::fputs(csvHeader().c_str(), out_);
}

void ReportStream::add(const FileReport& report) {
  const VerdictClass verdict = verdictClassOf(report);
  switch (verdict) {
  case VerdictClass::Verified: ++counts_.verified; break;
  case VerdictClass::Affected: ++counts_.affected; break;
  case VerdictClass::Unsigned: ++counts_.unsignedFiles; break;
  case VerdictClass::Failed: ++counts_.failed; break;
  }
  if (!only_.empty() && !only_.count(verdict))
    return;
  switch (format_) {
  case Format::Json:
    std::fprintf(out_, "%s\n%s", printedAny_ ? "," : "", jsonObject(report).c_str());
    break;
  case Format::Csv:
    std::fputs(csvLine(report).c_str(), out_);
    break;
  case Format::Text:
    platform::writeText(out_, textLine(report) + "\n");
    break;
  }
  printedAny_ = true;
}

void ReportStream::end() {
  if (format_ == Format::Json)
    std::fputs("\n]\n", out_);
}
