// Walking from Defects to the products they make affected.
#include "report/AffectedProducts.h"

#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "session/Defect.h"

#include <algorithm>

namespace {

void insertOnce(std::vector<ProductRecord*>& set, ProductRecord* product) {
  if (product && std::find(set.begin(), set.end(), product) == set.end())
    set.push_back(product);
}

} // namespace

std::vector<ProductRecord*> productsOfFile(const FileValueObject& file) {
  if (auto* installerFile = dynamic_cast<const QORBFileValueObject*>(&file)) {
    if (!installerFile->payload)
      return {};
    return {installerFile->payload->products.begin(), installerFile->payload->products.end()};
  }
  if (!file.product)
    return {};
  return {file.product};
}

namespace {

// The products an affected file makes affected, in order, each once.
std::vector<ProductRecord*> productsAffectedBy(const FileValueObject& file) {
  std::vector<ProductRecord*> result;
  bool installerFile = dynamic_cast<const QORBFileValueObject*>(&file) != nullptr;
  for (ProductRecord* product : productsOfFile(file)) {
    // A patch or language pack is stood for by the products it belongs to.
    if (installerFile && product->kind == kProductKindInstaller && product->patchOrLangPack) {
      for (QORBProductRecord* parent : static_cast<QORBProductRecord*>(product)->parentProducts)
        insertOnce(result, parent);
    } else {
      insertOnce(result, product);
    }
  }
  return result;
}

} // namespace

std::vector<ProductRecord*> affectedProducts(const std::vector<std::unique_ptr<Defect>>& defects) {
  std::vector<ProductRecord*> set;
  for (const std::unique_ptr<Defect>& defect : defects) {
    for (ProductRecord* product : productsAffectedBy(*defect->file))
      insertOnce(set, product);
  }
  return set;
}

std::vector<FileValueObject*> affectedFilesOf(const std::vector<std::unique_ptr<Defect>>& defects,
                                              const ProductRecord* product) {
  std::vector<FileValueObject*> files;
  for (const std::unique_ptr<Defect>& defect : defects) {
    std::vector<ProductRecord*> reached = productsAffectedBy(*defect->file);
    if (std::find(reached.begin(), reached.end(), product) != reached.end())
      files.push_back(defect->file);
  }
  return files;
}

std::vector<ProductRecord*> upToDateProducts(const std::vector<ProductRecord*>& affected,
                                             const std::vector<ProductRecord*>& products) {
  std::vector<ProductRecord*> result;
  for (ProductRecord* product : products) {
    bool isAffected = std::find(affected.begin(), affected.end(), product) != affected.end();
    bool patchOrLangPack = product->kind == kProductKindInstaller && product->patchOrLangPack;
    if (!isAffected && product->installed && !product->excluded && !patchOrLangPack)
      result.push_back(product);
  }
  return result;
}
