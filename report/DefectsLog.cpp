// Grouping affected files by product and writing the report.
#include "report/DefectsLog.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "platform/Files.h"
#include "report/AffectedProducts.h"
#include "session/Defect.h"
#include "util/Text.h"

#include <algorithm>

namespace {

struct ProductGroup {
  ProductRecord* product;
  std::vector<FileValueObject*> files; // each entry once, in defects order
};

const std::string kRule(150, '-');

// Writes one line at a time, as a line-buffered stream would; after a failed
// write every later line is dropped.
class LineWriter {
public:
  explicit LineWriter(const std::u16string& path) : file(path) {}
  bool opened() const { return file.valid(); }
  void line(const std::string& text) {
    if (failed)
      return;
    std::string bytes = text + "\r\n";
    failed = !file.write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  }
  void line(const std::u16string& text) {
    std::string utf8;
    wideToUtf8(text, utf8);
    line(utf8);
  }

private:
  platform::WriteHandle file;
  bool failed = false;
};

} // namespace

bool writeDefectsLog(const std::vector<std::unique_ptr<Defect>>& defects,
                     const std::u16string& path) {
  std::vector<ProductGroup> groups;
  for (const std::unique_ptr<Defect>& defect : defects) {
    for (ProductRecord* product : productsOfFile(*defect->file)) {
      auto group = std::find_if(groups.begin(), groups.end(),
                                [&](const ProductGroup& g) { return g.product == product; });
      if (group == groups.end()) {
        groups.push_back({product, {defect->file}});
      } else if (std::find(group->files.begin(), group->files.end(), defect->file) ==
                 group->files.end()) {
        group->files.push_back(defect->file);
      }
    }
  }
  if (groups.empty())
    return false;

  LineWriter log(path);
  if (!log.opened())
    return false;
  log.line(kRule);
  log.line(std::string("List of products and affected files in them"));
  log.line(kRule);
  for (const ProductGroup& group : groups) {
    log.line(std::string());
    log.line(kRule);
    log.line(u"Product Name : " + group.product->displayName);
    if (!group.product->id.empty()) {
      std::u16string id;
      utf8ToWide(group.product->id, id);
      log.line(u"Product ID : " + id);
    }
    log.line(kRule);
    log.line(std::string());
    for (FileValueObject* file : group.files)
      log.line(u"\t" + file->path);
    log.line(std::string());
  }
  return true;
}
