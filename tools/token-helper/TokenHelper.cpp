// The folder-token helper (written as tg.bin and run by session preparation):
// a 64-bit program that writes the folders it sees into token.xml, so that
// the 32-bit scanner learns where the 64-bit system folders lie.
//
// Usage: tg.bin "<full Windows path of token.xml>"
// The output path is the last argument. Exit code 0 when token.xml was
// written, -1 otherwise. Log lines go to fennick-tg.log in the user's own
// temporary folder, each "YYYY-MM-DD HH:MM:SS.mmm LEVEL tg: message".
#include "config/FolderTokenTables.h"
#include "platform/ComLibrary.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

namespace {

constexpr int kFailure = -1;

std::string utf8(std::u16string_view text) {
  std::string narrow;
  wideToUtf8(std::u16string(text), narrow);
  return narrow;
}

// Appends one line to the helper's log in the temporary folder. message may
// hold one "%ls", replaced by argument. Logging never stops the helper.
void logLine(const char* level, std::string message, std::u16string_view argument = {}) {
  if (size_t slot = message.find("%ls"); slot != std::string::npos)
    message.replace(slot, 3, utf8(argument));
  if (message.empty() || message.back() != '\n')
    message.push_back('\n');

  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  char stamp[32] = "";
  if (const std::tm* local = std::localtime(&seconds))
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
  char line[48];
  std::snprintf(line, sizeof line, "%s.%03d %s tg: ", stamp, int(millis.count()), level);

  // The log lies in the user's own temporary folder; without one, there is
  // no log.
  const std::u16string temp = platform::getTempPath();
  if (temp.empty())
    return;
  const std::string text = line + message;
  platform::appendToFile(temp + u"fennick-tg.log",
                         {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace

int main(int argc, char** argv) {
  platform::failCriticalErrorsSilently();
  platform::setProcessBitness(platform::ProcessBitness::Bits64);

  std::vector<std::u16string> arguments = platform::commandLineArguments(argc, argv);
  platform::initializeComLibrary();
  if (arguments.empty()) {
    logLine("ERROR", "Insufficient arguments");
    return kFailure;
  }
  const std::u16string& outputPath = arguments.back();

  pugi::xml_document document;
  pugi::xml_parse_result initialised = document.load_string("<win64/>");
  if (!initialised) {
    std::u16string reason;
    utf8ToWide(initialised.description(), reason);
    logLine("ERROR", "Failed to init xml :%ls\n", reason);
    return kFailure;
  }

  pugi::xml_node root = document.document_element();
  for (const HelperFolderRow& row : kHelperFolders) {
    std::u16string folder;
    if (!platform::shGetSpecialFolderPath(row.csidl, folder)) {
      logLine("WARNING", "Failed to get the folder for %ls\n", row.element);
      continue;
    }
    folder += row.suffix;
    root.append_child(utf8(row.element).c_str()).text().set(utf8(folder).c_str());
  }

  std::ostringstream xml;
  document.save(xml, "  ", pugi::format_default, pugi::encoding_utf8);
  std::string bytes = xml.str();
  platform::WriteHandle output(outputPath);
  if (!output.valid() ||
      !output.write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})) {
    logLine("ERROR", "Failed to write xml at path :%ls\n", outputPath);
    return kFailure;
  }
  logLine("INFO", "token.xml is created succesfully\n");
  return 0;
}
