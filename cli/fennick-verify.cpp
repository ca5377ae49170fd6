// fennick-verify: checks the signatures of single files the way a scan does,
// with one validator whose criteria come from the command line.
//
//   fennick-verify [--json] [--type pe|jar] [--hash HEX] [--company TEXT]
//                  [--start DATE] [--end DATE] [--prefix DIR] [--] PATH...
//
// Paths are host paths; they reach the validator as Windows paths through
// the namespace of the prefix. DATE is "YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM:SS.mmm" (UTC). Without --type a path ending in .zip or
// .jar is a signed archive, anything else a PE file. Exit status: 0 when no
// file is affected, 1 when one is, 2 for a usage error.
#include "config/ConfigDate.h"
#include "platform/WindowsNamespace.h"
#include "util/Calendar.h"
#include "util/Text.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class FileType { Pe, Archive };

struct Options {
  bool json = false;
  std::optional<FileType> type;  // forced by --type
  std::u16string hash;
  std::u16string company;
  FileTime start;
  FileTime end;
  std::vector<std::string> paths;
};

// What the tool reports about one argument.
struct FileReport {
  std::string path;                      // as given
  const char* validator = nullptr;       // "PE", "JAR", or none
  std::optional<int> result;             // the validation result, when one ran
  std::optional<std::uint32_t> trustStatus; // the platform's status, when a trust check ran
  std::optional<SignerInfo> signer;      // the signer facts, when a validator ran
  std::string note;                      // why there is no result
};

void printUsage() {
  std::fprintf(stderr,
               "usage: fennick-verify [--json] [--type pe|jar] [--hash HEX] [--company TEXT]\n"
               "                      [--start DATE] [--end DATE] [--prefix DIR] [--] PATH...\n"
               "DATE: YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS.mmm\" (UTC)\n");
}

std::u16string wide(const std::string& text) {
  std::u16string result;
  utf8ToWide(text, result);
  return result;
}

std::string narrow(const std::u16string& text) {
  std::string result;
  wideToUtf8(text, result);
  return result;
}

// Reads the command line; false after printing why it is no valid one.
bool parseOptions(int argc, char** argv, Options& options) {
  bool endOfOptions = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (endOfOptions || argument.empty() || argument[0] != '-' || argument == "-") {
      options.paths.push_back(argument);
      continue;
    }
    if (argument == "--") {
      endOfOptions = true;
      continue;
    }
    if (argument == "--json") {
      options.json = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "fennick-verify: %s needs a value\n", argument.c_str());
      return false;
    }
    const std::string value = argv[++i];
    if (argument == "--type") {
      if (value == "pe")
        options.type = FileType::Pe;
      else if (value == "jar")
        options.type = FileType::Archive;
      else {
        std::fprintf(stderr, "fennick-verify: --type is pe or jar, not %s\n", value.c_str());
        return false;
      }
    } else if (argument == "--hash") {
      options.hash = wide(value);
    } else if (argument == "--company") {
      options.company = wide(value);
    } else if (argument == "--start" || argument == "--end") {
      FileTime& date = argument == "--start" ? options.start : options.end;
      if (!parseConfigDate(wide(value), date)) {
        std::fprintf(stderr, "fennick-verify: %s: not a date: %s\n", argument.c_str(),
                     value.c_str());
        return false;
      }
    } else if (argument == "--prefix") {
      platform::setPrefix(value);
    } else {
      std::fprintf(stderr, "fennick-verify: unknown option %s\n", argument.c_str());
      return false;
    }
  }
  if (options.paths.empty()) {
    std::fprintf(stderr, "fennick-verify: no file given\n");
    return false;
  }
  return true;
}

FileType typeOf(const std::string& path, const Options& options) {
  if (options.type)
    return *options.type;
  const std::u16string name = wide(path);
  return endsWithNoCase(name, u".zip") || endsWithNoCase(name, u".jar") ? FileType::Archive
                                                                         : FileType::Pe;
}

std::u16string windowsPathOf(const std::string& hostPath) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(hostPath, error);
  return platform::toWindowsPath(error ? hostPath : absolute.lexically_normal().string());
}

FileReport checkPe(const std::string& path, const PEValidator& validator) {
  FileReport report;
  report.path = path;
  report.validator = "PE";
  PECheckDetails details;
  report.result = validator.check(windowsPathOf(path), details);
  if (details.trustChecked)
    report.trustStatus = details.trustStatus;
  report.signer = details.signer;
  return report;
}

// Signed archives: no trust check runs, so there is no trust status.
FileReport checkArchive(const std::string& path, JarValidator& validator) {
  FileReport report;
  report.path = path;
  report.validator = "JAR";
  SignerInfo signer;
  report.result = validator.check(windowsPathOf(path), signer);
  report.signer = signer;
  return report;
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

// A JSON string literal of UTF-8 text (ill-formed sequences become U+FFFD).
std::string jsonString(const std::string& text) {
  std::u16string units;
  std::string clean;
  if (!text.empty() && utf8ToWide(text, units))
    wideToUtf8(units, clean);
  std::string literal = "\"";
  for (unsigned char c : clean) {
    if (c == '"' || c == '\\') {
      literal += '\\';
      literal += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      literal += escape;
    } else {
      literal += static_cast<char>(c);
    }
  }
  return literal + "\"";
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
    json += report.signer->signingTime.isSet() ? jsonString(isoTime(report.signer->signingTime))
                                               : "null";
    json += "}";
  } else {
    json += "null";
  }
  if (!report.note.empty())
    json += ", \"note\": " + jsonString(report.note);
  return json + "}";
}

// path, result name, signer names, thumbprint, time-stamp; tab-separated,
// "-" where there is nothing.
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
  line += "\t" + field(narrow(signer.subjectNames));
  line += "\t" + field(narrow(signer.thumbprint));
  line += "\t" + field(signer.signingTime.isSet() ? isoTime(signer.signingTime) : "");
  return line;
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    printUsage();
    return 2;
  }
  PEValidator peValidator;
  peValidator.certificateHash = options.hash;
  peValidator.companyName = options.company;
  peValidator.startDate = options.start;
  peValidator.endDate = options.end;
  JarValidator jarValidator;
  jarValidator.certificateHash = options.hash;
  jarValidator.companyName = options.company;
  jarValidator.startDate = options.start;
  jarValidator.endDate = options.end;

  bool anyAffected = false;
  if (options.json)
    std::printf("[");
  for (std::size_t i = 0; i < options.paths.size(); ++i) {
    const std::string& path = options.paths[i];
    FileReport report = typeOf(path, options) == FileType::Archive ? checkArchive(path, jarValidator)
                                                                   : checkPe(path, peValidator);
    anyAffected = anyAffected || report.result == ValidationResult::Affected;
    if (options.json)
      std::printf("%s\n%s", i == 0 ? "" : ",", jsonObject(report).c_str());
    else
      std::printf("%s\n", textLine(report).c_str());
  }
  if (options.json)
    std::printf("\n]\n");
  return anyAffected ? 1 : 0;
}
