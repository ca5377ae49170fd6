// The installer-database finder: products, payloads and their files from the
// vendor installer's SQLite databases.
#include "finders/QORBFileFinder.h"

#include "config/XmlDocument.h"
#include "finders/InstallerDatabase.h"
#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/QueryResult.h"
#include "finders/SqlText.h"
#include "finders/ValueObject.h"
#include "platform/SpecialFolders.h"
#include "util/FileHelpers.h"
#include "util/Text.h"
#include "validation/FileFilter.h"

#include <algorithm>
#include <optional>

namespace {

constexpr char kMediaDatabase[] = "\\Orvia\\cdbx\\Media_db.db";
constexpr char kStateDatabase[] = "\\Orvia\\cdbx\\pdb.db";
constexpr char kUninstallFolder[] = "\\Orvia\\installers\\uninstall\\";
constexpr char16_t kProductNamePath[] =
    u"/PayloadInfo/InstallerProperties/Property[@name='ProductName']";

// The values of one column of one statement; nothing when the statement
// failed.
std::optional<std::vector<std::string>> queryColumn(InstallerDatabase& database,
                                                    std::string_view column,
                                                    const std::string& sql) {
  QueryResult result{column};
  bool succeeded = executeQuery(result, database, sql);
  std::vector<std::string> values;
  result.columnValues(column, values);
  if (!succeeded)
    return std::nullopt;
  return values;
}

// The one value of a statement that succeeded with exactly one; nothing when
// it failed, found nothing or found several (an ambiguous value is absent).
std::optional<std::string> querySingleValue(InstallerDatabase& database, std::string_view column,
                                            const std::string& sql) {
  std::optional<std::vector<std::string>> values = queryColumn(database, column, sql);
  if (!values || values->size() != 1)
    return std::nullopt;
  return values->front();
}

bool queryInstalled(InstallerDatabase& state, const std::string& id) {
  std::optional<std::string> value = querySingleValue(
      state, "installState", "select installState from payloads where PayloadID=" + sqlQuoted(id));
  return value == "2";
}

bool queryPatchOrLangPack(InstallerDatabase& media, const std::string& id) {
  std::optional<std::string> value = querySingleValue(
      media, "payload_type", "select payload_type from payloads where PayloadID=" + sqlQuoted(id));
  return value == "patch" || value == "langPack";
}

void queryDependencies(InstallerDatabase& state, const std::string& id,
                       std::set<std::string>& dependencies) {
  std::optional<std::vector<std::string>> values =
      queryColumn(state, "PayloadIDb",
                  "SELECT PayloadIDb FROM dependencies WHERE payloadID =" + sqlQuoted(id) +
                      " AND type IN (6,7)");
  if (values)
    dependencies.insert(values->begin(), values->end());
}

std::optional<std::string> queryProductIcon(InstallerDatabase& media, const std::string& id) {
  return querySingleValue(media, "resource_data",
                          "select resource_data from branding where "
                          "resource_type='ProductIcon' and ProductID=" +
                              sqlQuoted(id));
}

// The product name of the payload information, when there is exactly one
// and it names the product; otherwise name stays as it is.
void queryProductName(InstallerDatabase& media, const std::string& id, std::u16string& name) {
  QueryResult result{"value"};
  // A failed statement simply leaves no rows.
  executeQuery(result, media,
               "select value from PayloadData where key='PayloadInfo' and PayloadID=" +
                   sqlQuoted(id));
  std::vector<std::string> values;
  result.columnValues("value", values);
  if (values.size() != 1)
    return;
  XmlDocumentPtr document;
  if (!loadXmlUtf8(values.front(), document))
    return;
  std::u16string text;
  if (firstXPathText(document, kProductNamePath, text))
    name = text;
}

// True when text can serve as one file name inside a folder: no separator,
// drive or stream marker, wildcard or control character could place the
// file anywhere else.
bool isPlainFileName(const std::u16string& text) {
  return std::none_of(text.begin(), text.end(), [](char16_t unit) {
    return unit < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(unit) != std::u16string_view::npos;
  });
}

} // namespace

QORBFileFinder::QORBFileFinder(std::vector<std::u16string> excludedCodeList,
                               std::vector<std::u16string> excludedSuffixList,
                               std::u16string scratch)
    : FileFinder(std::move(scratch), std::move(excludedSuffixList)) {
  std::u16string folder;
  if (platform::shGetSpecialFolderPath(platform::CSIDL_PROGRAM_FILES_COMMON, folder) &&
      !folder.empty())
    commonFilesFolder = folder;
  wideToUtf8(commonFilesFolder, commonFilesFolderUtf8);
  excludedCodes.insert(excludedCodeList.begin(), excludedCodeList.end());
  readInstallerDatabases();
}

QORBFileFinder::~QORBFileFinder() = default;

void QORBFileFinder::appendProducts(std::vector<ProductRecord*>& list) const {
  for (const auto& [id, record] : products)
    list.push_back(record.get());
}

std::vector<ProductRecord*> QORBFileFinder::productRecords() const {
  std::vector<ProductRecord*> list;
  appendProducts(list);
  return list;
}

bool QORBFileFinder::readInstallerDatabases() {
  std::string mediaPath = commonFilesFolderUtf8 + kMediaDatabase;
  std::string statePath = commonFilesFolderUtf8 + kStateDatabase;

  InstallerDatabase media;
  if (!media.open(mediaPath.c_str(), scratchFolder))
    return false; // closed by its destructor
  InstallerDatabase state;
  // Without the install-state database nothing is installed and nothing
  // depends on anything.
  bool statePresent = state.open(statePath.c_str(), scratchFolder);

  std::optional<std::vector<std::string>> productIds =
      queryColumn(media, "ProductID", "select ProductID from suites");
  if (!productIds)
    return false;

  for (const std::string& id : *productIds) {
    // A suite listed twice is one product: its rows would all read the same.
    if (products.count(id))
      continue;
    auto record = std::make_unique<QORBProductRecord>();
    record->id = id;
    record->installed = statePresent && queryInstalled(state, id);
    std::u16string wideId;
    bool wideIdValid = utf8ToWide(id, wideId);
    record->excluded = wideIdValid && excludedCodes.count(wideId) > 0;
    if (!record->excluded) {
      record->patchOrLangPack = queryPatchOrLangPack(media, id);
      if (record->patchOrLangPack && statePresent)
        queryDependencies(state, id, record->dependencyPayloadIds);
    }
    record->kind = kProductKindInstaller;
    if (std::optional<std::string> icon = queryProductIcon(media, id); icon && !icon->empty())
      writeProductIcon(*record, *icon);
    queryProductName(media, id, record->displayName);

    QORBProductRecord* product = record.get();
    products.emplace(id, std::move(record));

    std::optional<std::vector<std::string>> payloadIds = queryColumn(
        media, "PayloadID", "select PayloadID from SuitePayloads where ProductID=" + sqlQuoted(id));
    if (!payloadIds)
      continue;
    for (const std::string& payloadId : *payloadIds) {
      std::unique_ptr<PayloadEntry>& entry = payloads[payloadId];
      if (!entry) {
        entry = std::make_unique<PayloadEntry>();
        entry->payloadId = payloadId;
      }
      entry->products.push_back(product);
    }
  }

  linkParentProducts();
  return true;
}

void QORBFileFinder::linkParentProducts() {
  for (const auto& [id, record] : products) {
    if (!record->patchOrLangPack)
      continue;
    for (const std::string& dependency : record->dependencyPayloadIds) {
      auto found = payloads.find(dependency);
      if (found == payloads.end())
        continue;
      for (QORBProductRecord* parent : found->second->products) {
        std::vector<QORBProductRecord*>& parents = record->parentProducts;
        if (std::find(parents.begin(), parents.end(), parent) == parents.end())
          parents.push_back(parent);
      }
    }
  }
}

void QORBFileFinder::writeProductIcon(QORBProductRecord& record,
                                      const std::string& iconText) const {
  // Without a scratch folder nothing is written anywhere.
  if (scratchFolder.empty())
    return;
  std::u16string wideId;
  if (!utf8ToWide(record.id, wideId))
    return;
  // The file is named after the product; an id that is no plain file name
  // would put it outside the scratch folder, so such a product has no icon.
  std::u16string fileName = wideId + u".png";
  if (!isPlainFileName(fileName))
    return;
  writeBase64File(scratchFolder, record.iconPath, iconText.data(), iconText.size(), &fileName);
}

bool QORBFileFinder::findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) {
  for (const auto& [id, payload] : payloads)
    listPayloadFiles(filter, files, *payload);
  return true;
}

bool QORBFileFinder::listPayloadFiles(FileFilter& filter, std::vector<FileValueObject*>& files,
                                      PayloadEntry& payload) {
  std::string path = commonFilesFolderUtf8 + kUninstallFolder + payload.payloadId + ".db";
  InstallerDatabase database;
  if (!database.open(path.c_str(), scratchFolder))
    return false;
  std::optional<std::vector<std::string>> destinations =
      queryColumn(database, "destination", "select destination from DeleteFile");
  if (!destinations)
    return false;
  for (const std::string& destination : *destinations) {
    std::u16string filePath;
    if (!utf8ToWide(destination, filePath))
      continue;
    // The filter is asked first, the excluded suffixes second.
    if (!filter.accept(filePath))
      continue;
    bool excluded = std::any_of(excludedSuffixes.begin(), excludedSuffixes.end(),
                                [&](const std::u16string& suffix) {
                                  return endsWithNoCase(filePath, suffix);
                                });
    if (excluded)
      continue;
    auto entry = std::make_unique<QORBFileValueObject>(filePath, &payload);
    files.push_back(entry.get());
    valueObjects.push_back(std::move(entry));
  }
  database.close();
  return true;
}
