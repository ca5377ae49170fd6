// fennick-verify: checks the signatures of files the way a scan does, named
// one by one or by the folders that hold them.
//
//   fennick-verify [OPTIONS] [--config FILE] [--] PATH...
//   fennick-verify [OPTIONS] [--type pe|jar] [--hash HEX] [--company TEXT]
//                  [--start DATE] [--end DATE] [--] PATH...
//   fennick-verify --help | --version
//   OPTIONS: [--json | --csv] [--only CLASS]... [-r] [--follow-links] [--jobs N] [--prefix DIR]
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
// A folder stands for the files directly in it that a validator takes by
// their extension (every file with --type); with --recurse (-r) for those of
// its subfolders too (CheckInputs, FolderWalk). Results are printed in the
// order of the arguments and of the walk, each as soon as it and every one
// before it are known, whatever --jobs is; --only limits what is printed,
// not what is checked. A summary of the verdicts ends the run on stderr, and
// on a terminal a progress line shows how far it has come.
//
// Paths are host paths, made absolute against the current folder; on Linux
// they reach the validator as Windows paths through the namespace of the
// prefix, on Windows as the system makes them absolute (so "\\server\share\..."
// and "\\?\..." stay as they are). --prefix applies only where the machine
// is a prefix, and only there does --help offer it. DATE is "YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM:SS.mmm" (UTC). Text goes out in the terminal's character
// set (on a Windows console as the console's own text), JSON and CSV always
// in UTF-8. Exit status: 0 when no file is
// affected, 1 when one is, 2 for a usage error, a --prefix that is no
// Wine-style prefix or an unreadable configuration.
#include "cli/CheckInputs.h"
#include "cli/FileReport.h"
#include "cli/PrefixFolder.h"
#include "cli/ProgressLine.h"
#include "cli/ReportStream.h"
#include "config/ConfigDate.h"
#include "config/ScanConfig.h"
#include "FennickVersion.h"
#include "l10n/CommandLineTexts.h"
#include "platform/Console.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "platform/WindowsNamespace.h"
#include "util/FileHelpers.h"
#include "util/OrderedWork.h"
#include "util/Text.h"
#include "util/WorkerPool.h"
#include "validation/FileFilter.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

enum class FileType { Pe, Archive };

struct Options {
  ReportStream::Format format = ReportStream::Format::Text;
  std::set<VerdictClass> only;       // --only; empty for every class
  bool recurse = false;              // --recurse, -r
  bool followLinks = false;          // --follow-links
  std::optional<FileType> type;      // forced by --type
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

// Pieces taken from the walk but not yet printed, at most: enough to keep
// every thread busy behind a slow file, few enough to keep memory small.
constexpr std::size_t kPiecesInFlight = 1024;
constexpr std::chrono::milliseconds kProgressInterval{100};

void printUsage(std::FILE* to) {
  std::fputs(
      "usage: fennick-verify [OPTIONS] [--config FILE] [--] PATH...\n"
      "       fennick-verify [OPTIONS] [--type pe|jar] [--hash HEX] [--company TEXT]\n"
      "                      [--start DATE] [--end DATE] [--] PATH...\n"
      "       fennick-verify --help | --version\n"
      "PATH is a file, or a folder standing for the files in it that a validator takes.\n"
      "  --json              print the results as one JSON array\n"
      "  --csv               print the results as CSV with a header record\n"
      "  --only CLASS        print only results of CLASS: affected, verified, unsigned or\n"
      "                      failed (repeatable; every file is still checked)\n"
      "  -r, --recurse       check the files of subfolders too\n"
      "  --follow-links      also follow links that lead out of a folder given\n"
      "  --jobs N            check N files at a time (default: one per processor)\n",
      to);
  if (platform::machineIsPrefix())
    std::fputs("  --prefix DIR        see the paths through this Wine-style prefix\n"
               "                      (default $WINEPREFIX or ~/.wine)\n",
               to);
  std::fputs(
      "  --config FILE       the validators and criteria of a ScanConfig document\n"
      "  --type pe|jar       check every file (in folders: every file) with this validator\n"
      "  --hash HEX          the signer's SHA-1 thumbprint must contain HEX\n"
      "  --company TEXT      a name in the signer's chain must contain TEXT\n"
      "  --start DATE        signed on or after DATE\n"
      "  --end DATE          signed on or before DATE\n"
      "  --help, -h          print this help\n"
      "  --version           print the version\n"
      "DATE: YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS.mmm\" (UTC)\n",
      to);
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

// The options that take no value: true when argument is one of them (and
// notes it).
bool parseFlag(const std::string& argument, Options& options) {
  if (argument == "--json")
    options.format = ReportStream::Format::Json;
  else if (argument == "--csv")
    options.format = ReportStream::Format::Csv;
  else if (argument == "--recurse" || argument == "-r")
    options.recurse = true;
  else if (argument == "--follow-links")
    options.followLinks = true;
  else
    return false;
  return true;
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

// The options that take a value.
bool isValuedOption(const std::string& argument) {
  for (const char* option : {"--config", "--type", "--hash", "--company", "--start", "--end",
                             "--prefix", "--jobs", "--only"}) {
    if (argument == option)
      return true;
  }
  return false;
}

// Reads the command line; false after printing why it is no valid one.
bool parseOptions(int argc, char** argv, Options& options) {
  bool endOfOptions = false;
  bool json = false, csv = false;
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
    if (parseFlag(argument, options)) {
      json = json || argument == "--json";
      csv = csv || argument == "--csv";
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
    } else if (argument == "--only") {
      std::optional<VerdictClass> verdict = verdictClassNamed(value);
      if (!verdict) {
        std::fprintf(stderr,
                     "fennick-verify: --only is affected, verified, unsigned or failed, not %s\n",
                     value.c_str());
        return false;
      }
      options.only.insert(*verdict);
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
    }
  }
  if (options.paths.empty() && !options.help && !options.version) {
    std::fprintf(stderr, "fennick-verify: no file given\n");
    return false;
  }
  if (json && csv) {
    std::fprintf(stderr, "fennick-verify: choose one of --json and --csv\n");
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

bool isArchiveName(const std::u16string& path) {
  return endsWithNoCase(path, u".zip") || endsWithNoCase(path, u".jar");
}

FileType typeOf(const std::u16string& windowsPath, const Options& options) {
  if (options.type)
    return *options.type;
  return isArchiveName(windowsPath) ? FileType::Archive : FileType::Pe;
}

FileReport checkPe(const CheckInputs::Input& input, const PEValidator& validator) {
  FileReport report;
  report.path = input.hostPath;
  report.validator = "PE";
  PECheckDetails details;
  report.result = validator.check(input.windowsPath, details);
  if (details.trustChecked)
    report.trustStatus = details.trustStatus;
  report.signer = details.signer;
  return report;
}

// Signed archives: no trust check runs, so there is no trust status; the
// signer is the certificate that verified the signature block, if any.
FileReport checkArchive(const CheckInputs::Input& input, JarValidator& validator) {
  FileReport report;
  report.path = input.hostPath;
  report.validator = "JAR";
  SignerInfo signer;
  report.result = validator.check(input.windowsPath, signer);
  report.signer = signer;
  return report;
}

// The check of one file by the validator the configuration gives its name.
FileReport checkConfigured(const CheckInputs::Input& input,
                           const ScanConfigValidators& validators) {
  ValidatorBase* validator = validators.factory->getValidator(input.windowsPath);
  if (auto* pe = dynamic_cast<PEValidator*>(validator))
    return checkPe(input, *pe);
  if (auto* jar = dynamic_cast<JarValidator*>(validator))
    return checkArchive(input, *jar);
  FileReport report;
  report.path = input.hostPath;
  report.note = "no validator takes this file type";
  return report;
}

// The report of a check that could not be completed (it threw).
FileReport failedCheck(const std::string& path) {
  FileReport report;
  report.path = path;
  report.result = ValidationResult::OtherTrustFailure;
  report.note = "the check could not be completed";
  return report;
}

std::string utf8(const std::u16string& text) {
  std::string result;
  wideToUtf8(text, result);
  return result;
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
  // The configuration checks the files (without criteria options) or only
  // chooses the files of folders by their extension (with them, unless
  // --type takes every file).
  ScanConfigValidators configured;
  if ((!options.criteria || !options.type) && !loadConfigValidators(options.config, configured))
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

  auto takenInFolders = [&](const std::u16string& windowsPath) {
    if (options.criteria && options.type)
      return true;
    return configured.filter->accept(windowsPath) ||
           (options.criteria && isArchiveName(windowsPath));
  };
  auto checkOne = [&](const CheckInputs::Input& input) {
    if (!options.criteria)
      return checkConfigured(input, configured);
    return typeOf(input.windowsPath, options) == FileType::Archive
               ? checkArchive(input, jarValidator)
               : checkPe(input, peValidator);
  };

  CheckInputs inputs(options.paths, {options.recurse, options.followLinks}, takenInFolders);
  if (options.format == ReportStream::Format::Csv)
    platform::setBinaryOutput(stdout);
  ReportStream stream(stdout, options.format, options.only);
  const CommandLineTexts texts;
  ProgressLine progress(stderr);
  const bool outputOnTerminal = platform::isTerminal(stdout);
  std::atomic<std::uint64_t> found{0}, done{0};

  const unsigned workers = options.jobs ? options.jobs : defaultWorkerCount();
  const std::size_t slots = std::max<std::size_t>(kPiecesInFlight, workers);
  std::vector<CheckInputs::Input> pieces(slots);
  std::vector<FileReport> reports(slots);
  OrderedWork work;
  work.take = [&](std::size_t slot) {
    if (!inputs.next(pieces[slot]))
      return false;
    if (pieces[slot].kind == CheckInputs::Input::Kind::File)
      found.fetch_add(1, std::memory_order_relaxed);
    return true;
  };
  work.work = [&](std::size_t slot) {
    if (pieces[slot].kind != CheckInputs::Input::Kind::File)
      return;
    // A check that throws leaves this report: a trust failure of this file alone.
    reports[slot] = failedCheck(pieces[slot].hostPath);
    reports[slot] = checkOne(pieces[slot]);
    done.fetch_add(1, std::memory_order_relaxed);
  };
  work.handOn = [&](std::size_t slot) {
    const CheckInputs::Input& piece = pieces[slot];
    if (piece.kind == CheckInputs::Input::Kind::UnreadableFolder) {
      progress.erase();
      std::fflush(stdout);
      platform::writeText(stderr, "fennick-verify: cannot read the folder " + piece.hostPath + "\n");
      return;
    }
    if (outputOnTerminal)
      progress.erase();
    stream.add(reports[slot]);
    reports[slot] = FileReport{};
  };
  work.handedOn = [&] { std::fflush(stdout); };
  work.tick = [&] {
    progress.show(utf8(texts.progress(done.load(std::memory_order_relaxed),
                                      found.load(std::memory_order_relaxed))));
  };

  stream.begin();
  runInOrder(work, workers, slots, kProgressInterval);
  stream.end();
  std::fflush(stdout);
  progress.erase();
  platform::writeText(stderr, utf8(texts.summary(stream.counts())) + "\n");
  return stream.counts().affected > 0 ? 1 : 0;
}
