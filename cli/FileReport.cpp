// The printed forms of a file report.
#include "cli/FileReport.h"

#include "util/Calendar.h"
#include "util/Csv.h"
#include "util/Json.h"
#include "util/Text.h"
#include "validation/ValidationResult.h"

#include <cstdio>

namespace {

std::string narrow(const std::u16string& text) {
  std::string result;
  wideToUtf8(text, result);
  return result;
}

// "YYYY-MM-DDTHH:MM:SS.mmmZ"
std::string isoTime(FileTime time) {
  const CalendarTime calendar = fileTimeToCalendar(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", calendar.year,
                calendar.month, calendar.day, calendar.hour, calendar.minute, calendar.second,
                calendar.millisecond);
  return text;
}

std::string hexStatus(std::uint32_t status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", status);
  return text;
}

std::string signingTimeOf(const SignerInfo& signer) {
  return signer.signingTime.isSet() ? isoTime(signer.signingTime) : std::string();
}

} // namespace

VerdictClass verdictClassOf(const FileReport& report) {
  if (report.result == ValidationResult::Verified)
    return VerdictClass::Verified;
  if (report.result == ValidationResult::Affected)
    return VerdictClass::Affected;
  if (report.result == ValidationResult::NoSignature)
    return VerdictClass::Unsigned;
  return VerdictClass::Failed;
}

std::optional<VerdictClass> verdictClassNamed(const std::string& word) {
  if (word == "verified")
    return VerdictClass::Verified;
  if (word == "affected")
    return VerdictClass::Affected;
  if (word == "unsigned")
    return VerdictClass::Unsigned;
  if (word == "failed")
    return VerdictClass::Failed;
  return std::nullopt;
}

std::string jsonObject(const FileReport& report) {
  std::string json = "{\"path\": " + jsonString(report.path);
  json += ", \"validator\": ";
  json += report.validator ? jsonString(report.validator) : "null";
  json += ", \"result\": " + (report.result ? std::to_string(*report.result) : "null");
  const char* name = report.result ? ValidationResult::name(*report.result) : nullptr;
  json += ", \"resultName\": ";
  json += name ? jsonString(name) : "null";
  json += ", \"trustStatus\": ";
  json += report.trustStatus ? jsonString(hexStatus(*report.trustStatus)) : "null";
  json += ", \"signer\": ";
  if (report.signer) {
    json += "{\"subjectNames\": " + jsonString(narrow(report.signer->subjectNames));
    json += ", \"thumbprint\": " + jsonString(narrow(report.signer->thumbprint));
    json += ", \"signingTime\": ";
    const std::string time = signingTimeOf(*report.signer);
    json += time.empty() ? "null" : jsonString(time);
    json += "}";
  } else {
    json += "null";
  }
  if (!report.note.empty())
    json += ", \"note\": " + jsonString(report.note);
  return json + "}";
}

std::string textLine(const FileReport& report) {
  auto field = [](const std::string& value) { return value.empty() ? std::string("-") : value; };
  std::string line = report.path + "\t";
  if (!report.result)
    return line + report.note;
  const char* name = ValidationResult::name(*report.result);
  line += name ? name : std::to_string(*report.result);
  if (report.trustStatus && *report.trustStatus != 0)
    line += " (" + hexStatus(*report.trustStatus) + ")";
  const SignerInfo signer = report.signer.value_or(SignerInfo{});
  // Appended piece by piece: GCC 12 at -O3 mistakes "\t" + field for an
  // overlapping copy (-Wrestrict).
  line += '\t';
  line += field(narrow(signer.subjectNames));
  line += '\t';
  line += field(narrow(signer.thumbprint));
  line += '\t';
  line += field(signingTimeOf(signer));
  return line;
}

std::string csvHeader() {
  return csvRecord({"path", "validator", "result", "resultName", "trustStatus", "subjectNames",
                    "thumbprint", "signingTime", "note"});
}

std::string csvLine(const FileReport& report) {
  const char* name = report.result ? ValidationResult::name(*report.result) : nullptr;
  const SignerInfo signer = report.signer.value_or(SignerInfo{});
  return csvRecord({report.path, report.validator ? report.validator : "",
                    report.result ? std::to_string(*report.result) : "", name ? name : "",
                    report.trustStatus ? hexStatus(*report.trustStatus) : "",
                    narrow(signer.subjectNames), narrow(signer.thumbprint),
                    signingTimeOf(signer), report.note});
}
