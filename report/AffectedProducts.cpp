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

std::vector<ProductRecord*> affectedProducts(const std::vector<std::unique_ptr<Defect>>& defects) {
  std::vector<ProductRecord*> set;
  for (const std::unique_ptr<Defect>& defect : defects) {
    bool installerFile = dynamic_cast<const QORBFileValueObject*>(defect->file) != nullptr;
    for (ProductRecord* product : productsOfFile(*defect->file)) {
      // A patch or language pack is stood for by the products it belongs to.
      if (installerFile && product->kind == kProductKindInstaller && product->patchOrLangPack) {
        for (QORBProductRecord* parent : static_cast<QORBProductRecord*>(product)->parentProducts)
          insertOnce(set, parent);
      } else {
        insertOnce(set, product);
      }
    }
  }
  return set;
}
