// Writing and running the folder-token helper, and reading its token.xml.
#include "config/FolderTokenHelper.h"

#include "config/FolderTokenTables.h"
#include "config/XmlDocument.h"
#include "platform/ComLibrary.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "platform/SpecialFolders.h"
#include "session/ScanContext.h"

namespace {

constexpr std::uint32_t kFolderTokenHelperId = 141;
constexpr std::u16string_view kHelperFileName = u"tg.bin";
constexpr std::u16string_view kTokenFileName = u"token.xml";

} // namespace

bool writeFolderTokenHelper(const ScanContext& context, std::u16string& helperPath) {
  helperPath.clear();
  if (context.scratchFolder.empty())
    return false;
  helperPath = context.scratchFolder + u"\\" + std::u16string(kHelperFileName);
  std::span<const std::uint8_t> helper =
      platform::findResource(platform::kResourceTokenHelper, kFolderTokenHelperId);
  {
    platform::WriteHandle file(helperPath);
    if (!file.valid() || !file.write(helper))
      return false;
  } // closed before anyone runs it
  return platform::markExecutable(helperPath);
}

void runFolderTokenHelper(const std::u16string& helperPath, FolderTokenMap& tokens) {
  if (!platform::isWow64Process())
    return;
  size_t name = helperPath.find(kHelperFileName);
  if (name == std::u16string::npos)
    return;
  std::u16string tokenFile = helperPath.substr(0, name) + std::u16string(kTokenFileName);

  platform::initializeComLibrary();
  platform::ChildProcess helper;
  if (!helper.start(helperPath, u"\"" + tokenFile + u"\""))
    return;
  helper.wait();

  XmlDocumentPtr document;
  if (!loadXmlFile(tokenFile, document))
    return;
  readFolderTokenFile(document, tokens);
}

void readFolderTokenFile(const XmlDocumentPtr& document, FolderTokenMap& tokens) {
  for (const HelperTokenRow& row : kFolderTokens64) {
    std::u16string folder;
    if (firstXPathText(document, u"//win64/" + std::u16string(row.element), folder))
      tokens[std::u16string(row.token)] = folder;
  }
}
