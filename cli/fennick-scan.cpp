// fennick-scan: the headless face of the session controller. Prepares a
// session on the machine (a Wine-style prefix), scans, and prints which
// products are affected, in the user's language.
//
//   fennick-scan [--prefix DIR] [--config FILE] [--report FILE] [--json] [--jobs N]
//   fennick-scan --help | --version
//
// Text goes out in the terminal's character set (on a Windows console as
// the console's own text); JSON always in UTF-8. --prefix applies only where
// the machine is a prefix, and only there does --help offer it.
// Exit status: 0 nothing affected, 1 a product is affected, 2 usage error,
// a machine that is no Wine-style prefix, or a scan that could not run.

#include "cli/PrefixFolder.h"
#include "FennickVersion.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "l10n/LabelPunctuation.h"
#include "l10n/Localizer.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/WindowsNamespace.h"
#include "report/AffectedProducts.h"
#include "report/ResultsPage.h"
#include "session/ScanContext.h"
#include "session/ScanJob.h"
#include "session/ScriptSink.h"
#include "session/SessionController.h"
#include "util/FileHelpers.h"
#include "util/Json.h"
#include "util/Text.h"
#include "util/WorkerPool.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <vector>

namespace {

constexpr int kExitClean = 0;
constexpr int kExitAffected = 1;
constexpr int kExitTrouble = 2;

struct Options {
  std::optional<std::string> prefix;
  std::optional<std::string> config;
  std::optional<std::string> report;
  bool json = false;
  unsigned jobs = 0;    // --jobs N; 0 for one per processor
  bool help = false;    // --help or -h: the usage, nothing else
  bool version = false; // --version: the version, nothing else
};

void printUsage(std::FILE* to) {
  // --prefix chooses the machine only where the machine is a prefix.
  const bool prefix = platform::machineIsPrefix();
  std::fprintf(to,
               "usage: fennick-scan%s [--config FILE] [--report FILE] [--json] [--jobs N]\n"
               "       fennick-scan --help | --version\n",
               prefix ? " [--prefix DIR]" : "");
  if (prefix)
    std::fputs("  --prefix DIR   the machine to scan: a Wine-style prefix (default $WINEPREFIX "
               "or ~/.wine)\n",
               to);
  std::fputs("  --config FILE  a ScanConfig document to use instead of the built-in one\n"
             "  --report FILE  copy Defects.log to FILE, replacing it (written only when "
             "something is affected)\n"
             "  --json         print the results as JSON\n"
             "  --jobs N       check N files at a time (default: one per processor)\n"
             "  --help, -h     print this help\n"
             "  --version      print the version\n",
             to);
}

// The options that answer without scanning: true when argument is one of
// them (and notes which).
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

// The machine to scan must be a Wine-style prefix; says why not, and how to
// choose another, when it is none.
bool checkPrefix(const std::optional<std::string>& chosen) {
  if (!platform::machineIsPrefix()) {
    if (!chosen)
      return true;
    std::fputs("fennick-scan: --prefix does not apply here: the machine scanned is the one "
               "this program runs on\n",
               stderr);
    return false;
  }
  return checkPrefixFolder("fennick-scan", chosen ? *chosen : platform::prefix(),
                           "choose the machine to scan with");
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (parseInformationOption(arg, options))
      continue;
    auto value = [&](std::optional<std::string>& target) {
      if (i + 1 >= argc)
        return false;
      target = argv[++i];
      return true;
    };
    if (arg == "--prefix") {
      if (!value(options.prefix))
        return false;
    } else if (arg == "--config") {
      if (!value(options.config))
        return false;
    } else if (arg == "--report") {
      if (!value(options.report))
        return false;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--jobs") {
      if (i + 1 >= argc || !parseWorkerCount(argv[++i], options.jobs))
        return false;
    } else {
      return false;
    }
  }
  return true;
}

// The statements the controller sends are for a page; there is none here.
class DiscardingSink : public ScriptSink {
public:
  void runScript(const std::u16string&) override {}
};

std::string utf8(const std::u16string& text) {
  std::string out;
  wideToUtf8(text, out);
  return out;
}

// Dictionary texts carry script escapes and markup for the page; the
// result is UTF-8.
std::string plainText(std::u16string text) {
  for (size_t at = text.find(u"\\'"); at != std::u16string::npos; at = text.find(u"\\'", at + 1))
    text.erase(at, 1);
  for (size_t at = text.find(u"<br>"); at != std::u16string::npos; at = text.find(u"<br>", at))
    text.replace(at, 4, 1, u' ');
  for (size_t at = text.find(u"&amp;"); at != std::u16string::npos; at = text.find(u"&amp;", at + 1))
    text.replace(at, 5, 1, u'&');
  return utf8(text);
}

// One line of UTF-8 text for the user: the terminal's character set, the
// console's own text on Windows.
void printLine(const std::string& line) { platform::writeText(stdout, line + "\n"); }

void showProgress(const ScanJob& job) {
  std::int32_t progress = job.progress.load(std::memory_order_acquire);
  int filled = progress * 40 / 100;
  std::fprintf(stderr, "\r[%-40s] %3d%%  %d files checked", std::string(size_t(filled), '#').c_str(),
               progress, job.filesChecked.load(std::memory_order_relaxed));
  std::fflush(stderr);
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
    return kExitTrouble;
  }
  if (options.help) {
    printUsage(stdout);
    return kExitClean;
  }
  if (options.version) {
    std::printf("fennick-scan %s\n", FENNICK_VERSION);
    return kExitClean;
  }
  if (!checkPrefix(options.prefix))
    return kExitTrouble;
  if (options.prefix)
    platform::setPrefix(utf8PathOf(std::filesystem::absolute(fsPath(*options.prefix))));

  DiscardingSink sink;
  SessionController::Host host;
  host.scripts = &sink;
  SessionController controller(host);
  controller.setCheckWorkers(options.jobs);

  if (options.config) {
    std::ifstream file(fsPath(*options.config), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::u16string text;
    if (!file.good() && !file.eof()) {
      std::fprintf(stderr, "fennick-scan: cannot read %s\n", options.config->c_str());
      return kExitTrouble;
    }
    if (bytes.empty() || !utf8ToWide(bytes, text)) {
      std::fprintf(stderr, "fennick-scan: %s is empty or unreadable\n", options.config->c_str());
      return kExitTrouble;
    }
    controller.setScanConfigText(text);
  }

  controller.getUIStrings(); // chooses the user's language
  controller.scanSystem();
  ScanJob* job = controller.job();
  ScanContext* context = controller.context();
  if (!job || !context || context->validators.empty()) {
    std::fputs("fennick-scan: the scan configuration could not be read\n", stderr);
    return kExitTrouble;
  }
  bool terminal = platform::isTerminal(stderr);
  // The progress line is redrawn every tenth of a second; the end of the
  // scan is taken the moment it comes.
  while (!job->waitUntilFinished(std::chrono::milliseconds(100))) {
    if (terminal)
      showProgress(*job);
  }
  if (terminal) {
    showProgress(*job);
    std::fputc('\n', stderr);
  }
  controller.getSystemScanResult();

  // Copy the report while the session, and with it the scratch folder,
  // lives. A report of an earlier run is replaced.
  std::optional<std::string> reportCopied;
  if (options.report && !context->scratchFolder.empty()) {
    const std::u16string log = context->scratchFolder + u"\\Defects.log";
    if (platform::pathFileExists(log)) {
      const std::u16string target = platform::absoluteWindowsPath(*options.report);
      if (target.empty() || !platform::copyFile(log, target, platform::CopyTarget::Replace)) {
        std::fprintf(stderr, "fennick-scan: cannot write %s\n", options.report->c_str());
        return kExitTrouble;
      }
      reportCopied = *options.report;
    }
  }

  Localizer& texts = controller.localizer();
  std::vector<ProductRecord*> affected = affectedProducts(job->defects);
  std::vector<ProductRecord*> upToDate = upToDateProducts(affected, context->products);
  std::u16string fallbackLink = texts.lookupUIString("moreInfoLink");

  if (options.json) {
    std::string out = "{\"affected\": [";
    for (size_t i = 0; i < affected.size(); ++i) {
      const ProductRecord& product = *affected[i];
      out += (i ? ", " : "") + std::string("{\"name\": ") + jsonString(productDisplayName(product)) +
             ", \"id\": " + jsonString(product.id) + ", \"updateLink\": " +
             jsonString(productUpdateLink(product, context->updateLinks, fallbackLink)) +
             ", \"files\": [";
      std::vector<FileValueObject*> files = affectedFilesOf(job->defects, &product);
      for (size_t f = 0; f < files.size(); ++f)
        out += (f ? ", " : "") + jsonString(files[f]->path);
      out += "]}";
    }
    out += "], \"upToDate\": [";
    for (size_t i = 0; i < upToDate.size(); ++i)
      out += (i ? ", " : "") + std::string("{\"name\": ") +
             jsonString(productDisplayName(*upToDate[i])) + ", \"id\": " +
             jsonString(upToDate[i]->id) + "}";
    out += "], \"filesListed\": " + std::to_string(job->filesListed.load()) +
           ", \"filesChecked\": " + std::to_string(job->filesChecked.load()) +
           ", \"defects\": " + std::to_string(job->defects.size()) +
           ", \"report\": " + (reportCopied ? jsonString(*reportCopied) : "null") + "}\n";
    std::fputs(out.c_str(), stdout);
  } else {
    if (!affected.empty()) {
      printLine(plainText(texts.lookupUIString("affectedProductsRow")));
      const std::string separator = utf8(labelSeparator(texts.userLocaleCode()));
      for (ProductRecord* product : affected) {
        printLine("  " + utf8(productDisplayName(*product)));
        printLine("    " + plainText(texts.lookupUIString("signatureInvalidTxt")));
        printLine("    " + plainText(texts.lookupUIString("getUpdateLinkTxt")) + separator +
                  utf8(productUpdateLink(*product, context->updateLinks, fallbackLink)));
        for (FileValueObject* file : affectedFilesOf(job->defects, product))
          printLine("      " + utf8(file->path));
      }
    }
    if (!upToDate.empty()) {
      printLine(plainText(texts.lookupUIString("notAffectedProductRow")));
      for (ProductRecord* product : upToDate) {
        printLine("  " + utf8(productDisplayName(*product)));
        printLine("    " + plainText(texts.lookupUIString("signatureOkTxt")));
      }
    }
    if (affected.empty() && upToDate.empty())
      printLine(plainText(texts.lookupUIString("noProductsRow")));
  }
  return affected.empty() ? kExitClean : kExitAffected;
}
