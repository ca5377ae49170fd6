// File-name case folding from the generated table of simple upper-case
// mappings (tools/make-case-table.py writes FileNameCaseTable.inc).
#include "util/FileNameCase.h"

#include <algorithm>
#include <iterator>

namespace {

struct UpperCaseMapping {
  char16_t unit;
  char16_t upper;
};

constexpr UpperCaseMapping kMappings[] = {
#include "util/FileNameCaseTable.inc"
};

static_assert(std::is_sorted(std::begin(kMappings), std::end(kMappings),
                             [](const UpperCaseMapping& a, const UpperCaseMapping& b) {
                               return a.unit < b.unit;
                             }),
              "the table is searched by halves");

} // namespace

char16_t toUpperFileNameUnit(char16_t unit) {
  if (unit < 0x80)
    return unit >= u'a' && unit <= u'z' ? char16_t(unit - 0x20) : unit;
  const UpperCaseMapping* found =
      std::lower_bound(std::begin(kMappings), std::end(kMappings), unit,
                       [](const UpperCaseMapping& mapping, char16_t wanted) {
                         return mapping.unit < wanted;
                       });
  return found != std::end(kMappings) && found->unit == unit ? found->upper : unit;
}

void toUpperFileName(std::u16string& name) {
  for (char16_t& unit : name)
    unit = toUpperFileNameUnit(unit);
}
