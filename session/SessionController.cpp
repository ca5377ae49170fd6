// The page's commands: session preparation, the scan, its results and the
// ways out.
#include "session/SessionController.h"

#include "config/FolderTokenHelper.h"
#include "config/FolderTokens.h"
#include "config/ScanConfig.h"
#include "l10n/Localizer.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "report/AffectedProducts.h"
#include "report/DefectsLog.h"
#include "report/ResultsPage.h"
#include "session/Defect.h"
#include "session/ScanContext.h"
#include "session/ScanJob.h"
#include "session/ScriptSink.h"
#include "util/Text.h"

#include <cstring>

namespace {

constexpr char16_t kCaption[] = u"Orvia Fennick";
constexpr std::uint32_t kScanConfigId = 171;
constexpr std::int32_t kGermanDictionaryId = 253;

std::u16string wide(const char* ascii) { return std::u16string(ascii, ascii + strlen(ascii)); }

} // namespace

SessionController::SessionController(Host host)
    : host(std::move(host)), locale(std::make_unique<Localizer>()) {}

SessionController::~SessionController() {
  // The job goes first: it joins its finished worker, which used the context.
  currentJob.reset();
  currentContext.reset();
}

void SessionController::runScript(const std::u16string& statement) {
  if (host.scripts)
    host.scripts->runScript(statement);
}

void SessionController::setCloseEnabled(bool enabled) {
  closeEnabled = enabled;
  if (host.closeEnabledChanged)
    host.closeEnabledChanged(enabled);
}

void SessionController::ensureTexts() {
  // The page asks for its texts first; a front end that did not still gets
  // the user's language rather than empty texts.
  if (!locale->chosenEntry())
    locale->loadLocaleDictionary(u"");
}

bool SessionController::scanning() const {
  return currentJob && currentJob->running.load(std::memory_order_acquire);
}

void SessionController::prepareSession() {
  currentJob.reset();
  currentContext.reset();
  currentJob = std::make_unique<ScanJob>();
  currentJob->checkWorkers = checkWorkers;
  currentContext = std::make_unique<ScanContext>();
  ScanContext& context = *currentContext;

  // Nothing of the session is written when it has no scratch folder.
  std::u16string helperPath;
  bool helperWritten = writeFolderTokenHelper(context, helperPath);
  collectFolderTokens(context.folderTokens);
  if (helperWritten)
    runFolderTokenHelper(helperPath, context.folderTokens);

  std::u16string configText = configOverride;
  if (configText.empty()) {
    std::span<const std::uint8_t> config =
        platform::findResource(platform::kResourceScanConfig, kScanConfigId);
    utf8ToWide(std::string(config.begin(), config.end()), configText);
  }
  parseScanConfig(configText, context);
}

void SessionController::scanSystem() {
  if (scanning())
    return;
  prepareSession();
  setCloseEnabled(false);
  currentJob->defects.clear();
  currentJob->context = currentContext.get();
  currentJob->progress.store(0, std::memory_order_release);
  currentJob->running.store(true, std::memory_order_release);
  currentJob->startWorker();
}

std::int32_t SessionController::getScanProgress() const {
  return currentJob ? currentJob->progress.load(std::memory_order_acquire) : 0;
}

void SessionController::getSystemScanResult() {
  if (!currentJob || !currentContext)
    return;
  const ScanContext& context = *currentContext;
  std::vector<ProductRecord*> affected = affectedProducts(currentJob->defects);
  if (!context.scratchFolder.empty())
    writeDefectsLog(currentJob->defects, context.scratchFolder + u"\\Defects.log");

  ensureTexts();
  ResultsTexts texts;
  texts.lookup = [this](const char* key) { return locale->lookupUIString(key); };
  const LocaleEntry* entry = locale->chosenEntry();
  texts.tallAffectedRows = entry && entry->dictionaryId == kGermanDictionaryId;
  runScript(buildResultsStatement(affected, context.products, context.updateLinks, texts));
  setCloseEnabled(true);
}

void SessionController::quitApplication() {
  if (scanning())
    return;
  ensureTexts();
  std::u16string text = locale->lookupUIString("confirmationDialogTxt");
  // The dictionaries escape apostrophes for scripts; the box shows plain text.
  for (size_t at = text.find(u"\\'"); at != std::u16string::npos; at = text.find(u"\\'", at))
    text.erase(at, 1), ++at;
  if (host.confirm && host.confirm(text, kCaption) && host.endDialog)
    host.endDialog();
}

void SessionController::quitApplicationWithoutConfirmation() {
  if (scanning())
    return;
  if (host.endDialog)
    host.endDialog();
}

std::u16string resourceBase(const std::u16string& executablePath) {
  return u"res://" + executablePath + u"/";
}

std::u16string applicationPathStatement(const std::u16string& executablePath) {
  std::u16string base = escapeBackslashes(resourceBase(executablePath));
  // An apostrophe in the path would end the script string early.
  for (size_t at = base.find(u'\''); at != std::u16string::npos; at = base.find(u'\'', at + 2))
    base.insert(at, 1, u'\\');
  return u"setApplicationPath('" + base + u"');";
}

void SessionController::getApplicationPath() {
  std::u16string path;
  if (!platform::getModuleFileName(path))
    return;
  runScript(applicationPathStatement(path));
}

void SessionController::getUIStrings() {
  locale->loadLocaleDictionary(u"");
  static const std::pair<const char*, const char*> kTexts[] = {
      {"eulaScreenTitle", "eulaScreenTitle"},
      {"scanScreenTitle", "scanScreenTitle"},
      {"progressScreenTitle", "progressScreenTitle"},
      {"resultsScreenTitle", "resultsScreenTitle"},
      {"eulaScreenDeclineBtn", "eulaScreenDeclineBtn"},
      {"eulaScreenAcceptBtn", "eulaScreenAcceptBtn"},
      {"scanScreenScanBtn", "scanScreenScanBtn"},
      {"resultsScreenQuitBtn", "resultsScreenQuitBtn"},
      {"resultsScreenRescanBtn", "resultsScreenRescanBtn"},
      {"moreInfoLinkTxt1", "moreInfoLinkTxt"},
      {"moreInfoLinkTxt2", "moreInfoLinkTxt"},
      {"feedbackLinkTxt", "feedbackLinkTxt"}};
  auto setHtml = [this](const char* id, const std::u16string& text) {
    runScript(u"setHTMLString('" + wide(id) + u"', '" + text + u"')");
  };
  for (const auto& [id, key] : kTexts)
    setHtml(id, locale->lookupUIString(key));
  std::u16string moreInfo = locale->lookupUIString("moreInfoLink");
  runScript(u"setLink('moreInfoLinkTxt1', '" + moreInfo + u"')");
  runScript(u"setLink('moreInfoLinkTxt2', '" + moreInfo + u"')");
  runScript(u"setLink('feedbackLinkTxt', '" + locale->lookupUIString("feedbackLink") + u"')");
  setHtml("progressText", locale->lookupUIString("progressText"));
  setHtml("scanScreenPara", locale->lookupUIString("scanScreenPara1") + u"<br><br>" +
                                locale->lookupUIString("scanScreenPara2") + u"<br><br>" +
                                locale->lookupUIString("scanScreenPara3"));
  const LocaleEntry* entry = locale->chosenEntry();
  std::int32_t page = entry ? entry->agreementPageId : 201;
  runScript(u"setEULASelectedLang('" + wide(std::to_string(page).c_str()) + u"')");
}
