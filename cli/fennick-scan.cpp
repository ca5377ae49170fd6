// fennick-scan: the headless face of the session controller. Prepares a
// session on the machine (a Wine-style prefix), scans, and prints which
// products are affected, in the user's language.
//
//   fennick-scan [--prefix DIR] [--config FILE] [--report FILE] [--json] [--jobs N]
//   fennick-scan --help | --version
//
// Text goes out in the terminal's character set; JSON always in UTF-8.
// Exit status: 0 nothing affected, 1 a product is affected, 2 usage error,
// a machine that is no Wine-style prefix, or a scan that could not run.

#include "cli/PrefixFolder.h"
#include "FennickVersion.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "l10n/LabelPunctuation.h"
#include "l10n/Localizer.h"
#include "platform/Console.h"
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
#include <thread>
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

const char kUsage[] =
    "usage: fennick-scan [--prefix DIR] [--config FILE] [--report FILE] [--json] [--jobs N]\n"
    "       fennick-scan --help | --version\n"
    "  --prefix DIR   the machine to scan: a Wine-style prefix (default $WINEPREFIX or ~/.wine)\n"
    "  --config FILE  a ScanConfig document to use instead of the built-in one\n"
    "  --report FILE  copy Defects.log to FILE (written only when something is affected)\n"
    "  --json         print the results as JSON\n"
    "  --jobs N       check N files at a time (default: one per processor)\n"
    "  --help, -h     print this help\n"
    "  --version      print the version\n";

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

// Text for the terminal, in its character set.
std::string shown(const std::u16string& text) { return platform::consoleText(utf8(text)); }

// Dictionary texts carry script escapes and markup for the page.
std::string plainText(std::u16string text) {
  for (size_t at = text.find(u"\\'"); at != std::u16string::npos; at = text.find(u"\\'", at + 1))
    text.erase(at, 1);
  for (size_t at = text.find(u"<br>"); at != std::u16string::npos; at = text.find(u"<br>", at))
    text.replace(at, 4, 1, u' ');
  for (size_t at = text.find(u"&amp;"); at != std::u16string::npos; at = text.find(u"&amp;", at + 1))
    text.replace(at, 5, 1, u'&');
  return platform::consoleText(utf8(text));
}

void showProgress(const ScanJob& job) {
  std::int32_t progress = job.progress.load(std::memory_order_acquire);
  int filled = progress * 40 / 100;
  std::fprintf(stderr, "\r[%-40s] %3d%%  %d files checked", std::string(size_t(filled), '#').c_str(),
               progress, job.filesChecked.load(std::memory_order_relaxed));
  std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments = platform::narrowArguments(argc, argv);
  std::vector<char*> argumentPointers{argv[0]};
  for (std::string& argument : arguments)
    argumentPointers.push_back(argument.data());
  Options options;
  if (!parseOptions(int(argumentPointers.size()), argumentPointers.data(), options)) {
    std::fputs(kUsage, stderr);
    return kExitTrouble;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
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
  while (job->running.load(std::memory_order_acquire)) {
    if (terminal)
      showProgress(*job);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (terminal) {
    showProgress(*job);
    std::fputc('\n', stderr);
  }
  controller.getSystemScanResult();

  // Copy the report while the session, and with it the scratch folder, lives.
  std::optional<std::string> reportCopied;
  if (options.report && !context->scratchFolder.empty()) {
    std::optional<std::string> log = platform::toHostPath(context->scratchFolder + u"\\Defects.log");
    std::error_code error;
    if (log && std::filesystem::exists(fsPath(*log))) {
      std::filesystem::copy_file(fsPath(*log), fsPath(*options.report),
                                 std::filesystem::copy_options::overwrite_existing, error);
      if (error) {
        std::fprintf(stderr, "fennick-scan: cannot write %s: %s\n", options.report->c_str(),
                     error.message().c_str());
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
      std::printf("%s\n", plainText(texts.lookupUIString("affectedProductsRow")).c_str());
      const std::string separator = shown(labelSeparator(texts.userLocaleCode()));
      for (ProductRecord* product : affected) {
        std::printf("  %s\n    %s\n    %s%s%s\n", shown(productDisplayName(*product)).c_str(),
                    plainText(texts.lookupUIString("signatureInvalidTxt")).c_str(),
                    plainText(texts.lookupUIString("getUpdateLinkTxt")).c_str(), separator.c_str(),
                    shown(productUpdateLink(*product, context->updateLinks, fallbackLink)).c_str());
        for (FileValueObject* file : affectedFilesOf(job->defects, product))
          std::printf("      %s\n", shown(file->path).c_str());
      }
    }
    if (!upToDate.empty()) {
      std::printf("%s\n", plainText(texts.lookupUIString("notAffectedProductRow")).c_str());
      for (ProductRecord* product : upToDate)
        std::printf("  %s\n    %s\n", shown(productDisplayName(*product)).c_str(),
                    plainText(texts.lookupUIString("signatureOkTxt")).c_str());
    }
    if (affected.empty() && upToDate.empty())
      std::printf("%s\n", plainText(texts.lookupUIString("noProductsRow")).c_str());
  }
  return affected.empty() ? kExitClean : kExitAffected;
}
