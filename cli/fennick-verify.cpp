// fennick-verify: checks the signatures of single files the way a scan does.
//
//   fennick-verify [--json] [--jobs N] [--config FILE] [--prefix DIR] [--] PATH...
//   fennick-verify [--json] [--jobs N] [--type pe|jar] [--hash HEX] [--company TEXT]
//                  [--start DATE] [--end DATE] [--prefix DIR] [--] PATH...
//   fennick-verify --help | --version
//
// With --config, the validators, their criteria and the choice of validator
// by file extension come from a ScanConfig file (UTF-8), exactly as a scan
// reads them; a file whose extension no validator takes is reported with
// no validator. Without --config and without any criteria option the
// embedded ScanConfig is used the same way. Criteria options instead give
// one PE and one archive validator those criteria; without --type a path
// ending in .zip or .jar goes to the archive validator, anything else to the
// PE one. --config cannot be combined with criteria options.
//
// --jobs N checks N files at a time (default: one per processor); the
// output keeps the order of the arguments whatever N is.
//
// Paths are host paths, made absolute against the current folder; on Linux
// they reach the validator as Windows paths through the namespace of the
// prefix, on Windows as the system makes them absolute (so "\\server\share\..."
// and "\\?\..." stay as they are). --prefix applies only where the machine
// is a prefix, and only there does --help offer it. DATE is "YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM:SS.mmm" (UTC). Text goes out in the terminal's character
// set, JSON always in UTF-8. Exit status: 0 when no file is affected, 1 when
// one is, 2 for a usage error, a --prefix that is no Wine-style prefix or an
// unreadable configuration.
#include "cli/PrefixFolder.h"
#include "config/ConfigDate.h"
#include "config/ScanConfig.h"
#include "FennickVersion.h"
#include "platform/Console.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "platform/WindowsNamespace.h"
#include "util/Calendar.h"
#include "util/FileHelpers.h"
#include "util/Json.h"
#include "util/Text.h"
#include "util/WorkerPool.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
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
  bool criteria = false;             // a criteria option or --type was given
  std::optional<std::string> config; // --config FILE
  std::optional<std::string> prefix; // --prefix DIR
  unsigned jobs = 0;                 // --jobs N; 0 for one per processor
  bool help = false;                 // --help or -h: the usage, nothing else
  bool version = false;              // --version: the version, nothing else
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

void printUsage(std::FILE* to) {
  // --prefix chooses the machine only where the machine is a prefix.
  const char* prefix = platform::machineIsPrefix() ? " [--prefix DIR]" : "";
  std::fprintf(to,
               "usage: fennick-verify [--json] [--jobs N] [--config FILE]%s [--] PATH...\n"
               "       fennick-verify [--json] [--jobs N] [--type pe|jar] [--hash HEX] [--company TEXT]\n"
               "                      [--start DATE] [--end DATE]%s [--] PATH...\n"
               "       fennick-verify --help | --version\n"
               "DATE: YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS.mmm\" (UTC)\n",
               prefix, prefix);
}

// The options that answer without checking anything: true when argument
// is one of them (and notes which).
bool parseInformationOption(const std::string& argument, Options& options) {
  if (argument == "--help" || argument == "-h") {
    options.help = true;
    return true;
  }
  if (argument == "--version") {
    options.version = true;
    return true;
  }
  return false;
}

// A prefix given with --prefix must be a Wine-style prefix; says why not,
// and how to choose another, when it is none.
bool checkPrefix(const std::string& folder) {
  if (!platform::machineIsPrefix()) {
    std::fputs("fennick-verify: --prefix does not apply here: paths are this machine's own\n",
               stderr);
    return false;
  }
  return checkPrefixFolder("fennick-verify", folder, "choose another with");
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

// The options that take a value.
bool isValuedOption(const std::string& argument) {
  for (const char* option : {"--config", "--type", "--hash", "--company", "--start", "--end",
                             "--prefix", "--jobs"}) {
    if (argument == option)
      return true;
  }
  return false;
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
    if (parseInformationOption(argument, options))
      continue;
    if (argument == "--json") {
      options.json = true;
      continue;
    }
    if (!isValuedOption(argument)) {
      std::fprintf(stderr, "fennick-verify: unknown option %s\n", argument.c_str());
      return false;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "fennick-verify: %s needs a value\n", argument.c_str());
      return false;
    }
    const std::string value = argv[++i];
    if (argument == "--type" || argument == "--hash" || argument == "--company" ||
        argument == "--start" || argument == "--end")
      options.criteria = true;
    if (argument == "--config") {
      options.config = value;
    } else if (argument == "--type") {
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
      options.prefix = value;
    } else if (argument == "--jobs") {
      if (!parseWorkerCount(value, options.jobs)) {
        std::fprintf(stderr, "fennick-verify: --jobs takes a number from 1 to 1024, not %s\n",
                     value.c_str());
        return false;
      }
    } else {
      std::fprintf(stderr, "fennick-verify: unknown option %s\n", argument.c_str());
      return false;
    }
  }
  if (options.paths.empty() && !options.help && !options.version) {
    std::fprintf(stderr, "fennick-verify: no file given\n");
    return false;
  }
  if (options.config && options.criteria) {
    std::fprintf(stderr, "fennick-verify: --config takes the criteria from the file; "
                         "give no criteria options with it\n");
    return false;
  }
  return true;
}

// The validators of the ScanConfig file at hostPath, or of the embedded one
// when there is no path; false after printing why there are none.
bool loadConfigValidators(const std::optional<std::string>& hostPath,
                          ScanConfigValidators& validators) {
  std::string bytes;
  if (hostPath) {
    std::ifstream file(fsPath(*hostPath), std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "fennick-verify: cannot read %s\n", hostPath->c_str());
      return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } else {
    std::span<const std::uint8_t> embedded =
        platform::findResource(platform::kResourceScanConfig, 171);
    bytes.assign(embedded.begin(), embedded.end());
  }
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
    bytes.erase(0, 3); // a byte-order mark is no text of the document
  std::u16string text;
  const char* source = hostPath ? hostPath->c_str() : "the embedded ScanConfig";
  if (!utf8ToWide(bytes, text) || !readScanConfigValidators(text, validators)) {
    std::fprintf(stderr, "fennick-verify: %s: no ScanConfig with a validator\n", source);
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
  return platform::absoluteWindowsPath(hostPath);
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

// Signed archives: no trust check runs, so there is no trust status; the
// signer is the certificate that verified the signature block, if any.
FileReport checkArchive(const std::string& path, JarValidator& validator) {
  FileReport report;
  report.path = path;
  report.validator = "JAR";
  SignerInfo signer;
  report.result = validator.check(windowsPathOf(path), signer);
  report.signer = signer;
  return report;
}

// The check of one file by the validator the configuration gives its name.
FileReport checkConfigured(const std::string& path, const ScanConfigValidators& validators) {
  ValidatorBase* validator = validators.factory->getValidator(windowsPathOf(path));
  if (auto* pe = dynamic_cast<PEValidator*>(validator))
    return checkPe(path, *pe);
  if (auto* jar = dynamic_cast<JarValidator*>(validator))
    return checkArchive(path, *jar);
  FileReport report;
  report.path = path;
  report.note = "no validator takes this file type";
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
  // Appended piece by piece: GCC 12 at -O3 mistakes "\t" + field for an
  // overlapping copy (-Wrestrict).
  line += '\t';
  line += field(narrow(signer.subjectNames));
  line += '\t';
  line += field(narrow(signer.thumbprint));
  line += '\t';
  line += field(signer.signingTime.isSet() ? isoTime(signer.signingTime) : "");
  return line;
}

// The report of a check that could not be completed.
FileReport failedCheck(const std::string& path) {
  FileReport report;
  report.path = path;
  report.result = ValidationResult::OtherTrustFailure;
  report.note = "the check could not be completed";
  return report;
}

// Checks every path on options.jobs threads and prints the reports in the
// order of the paths, each as soon as it and every one before it are done.
// True when a file is affected.
bool checkAndPrint(const Options& options,
                   const std::function<FileReport(const std::string&)>& checkOne) {
  const std::size_t count = options.paths.size();
  std::vector<std::optional<FileReport>> reports(count);
  std::vector<bool> done(count, false);
  std::size_t printed = 0;
  bool anyAffected = false;
  if (options.json)
    std::printf("[");
  runOnWorkers(
      count, options.jobs ? options.jobs : defaultWorkerCount(),
      [&](std::size_t i) { reports[i] = checkOne(options.paths[i]); },
      [&](std::size_t i) {
        done[i] = true;
        for (; printed < count && done[printed]; ++printed) {
          if (!reports[printed]) // the check threw: a trust failure of this file alone
            reports[printed] = failedCheck(options.paths[printed]);
          const FileReport& report = *reports[printed];
          anyAffected = anyAffected || report.result == ValidationResult::Affected;
          if (options.json)
            std::printf("%s\n%s", printed == 0 ? "" : ",", jsonObject(report).c_str());
          else
            platform::writeText(stdout, textLine(report) + "\n");
          reports[printed].reset();
        }
      });
  if (options.json)
    std::printf("\n]\n");
  return anyAffected;
}

} // namespace

int main(int argc, char** argv) {
  platform::failCriticalErrorsSilently();
  std::vector<std::string> arguments = platform::narrowArguments(argc, argv);
  std::vector<char*> argumentPointers{argv[0]};
  for (std::string& argument : arguments)
    argumentPointers.push_back(argument.data());
  Options options;
  if (!parseOptions(int(argumentPointers.size()), argumentPointers.data(), options)) {
    printUsage(stderr);
    return 2;
  }
  if (options.help) {
    printUsage(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("fennick-verify %s\n", FENNICK_VERSION);
    return 0;
  }
  if (options.prefix) {
    if (!checkPrefix(*options.prefix))
      return 2;
    platform::setPrefix(*options.prefix);
  }
  ScanConfigValidators configured;
  if (!options.criteria && !loadConfigValidators(options.config, configured))
    return 2;
  PEValidator peValidator;
  JarValidator jarValidator;
  for (ValidatorBase* validator : {static_cast<ValidatorBase*>(&peValidator),
                                   static_cast<ValidatorBase*>(&jarValidator)}) {
    validator->certificateHash = options.hash;
    validator->companyName = options.company;
    validator->startDate = options.start;
    validator->endDate = options.end;
  }

  auto checkOne = [&](const std::string& path) {
    if (!options.criteria)
      return checkConfigured(path, configured);
    return typeOf(path, options) == FileType::Archive ? checkArchive(path, jarValidator)
                                                      : checkPe(path, peValidator);
  };
  const bool anyAffected = checkAndPrint(options, checkOne);
  return anyAffected ? 1 : 0;
}
