// Building the results table, piece by piece, byte for byte.
#include "report/ResultsPage.h"

#include "finders/ProductRecord.h"
#include "report/AffectedProducts.h"
#include "util/Text.h"

namespace {

std::u16string tabs(int count) { return std::u16string(size_t(count), u'\t'); }

const std::u16string kImageStyle =
    u"<img style='vertical-align: middle; width: 32px; height: 32px;' src='";
const std::u16string kFloatLeft = u"<div style='float: left; padding-left: 20px;'>";
const std::u16string kFloatRight = u"<div style='float: right; width: 80px;' align='center'>";

std::u16string rowStart() { return u"<tr><td>" + tabs(7); }

std::u16string pictureCellStart() { return rowStart() + kFloatLeft + tabs(10) + kImageStyle; }

std::u16string statusPicture(const char16_t* picture, const char16_t* spaces) {
  return tabs(8) + u"</div>" + tabs(9) + kFloatRight + tabs(10) + kImageStyle + picture +
         u"'/>" + tabs(7) + u"</div>" + tabs(6) + spaces + u"</td></tr>";
}

const std::u16string kRule = u"<tr><td><hr></td></tr>";

std::u16string headingBlock(const std::u16string& text) {
  return rowStart() + u"<div style='float: left; font-size: 18px; font-weight: bold;'>" +
         tabs(10) + u" " + text + tabs(8) + u" </div>" + tabs(8) + u" </td></tr>" + kRule;
}

std::u16string iconSource(const ProductRecord& product) {
  if (product.iconPath.empty())
    return u"res:/PNG/#138";
  return escapeBackslashes(u"file:///" + product.iconPath);
}

constexpr int kHeadingHeight = 44;
constexpr int kRowHeight = 78;
constexpr int kTallAffectedRowHeight = 90;
constexpr int kNarrowTableHeight = 290; // from here on a scroll bar takes room

} // namespace

std::u16string productDisplayName(const ProductRecord& product) {
  if (!product.displayName.empty())
    return product.displayName;
  std::u16string id;
  utf8ToWide(product.id, id);
  return id;
}

std::u16string productUpdateLink(const ProductRecord& product,
                                 const std::map<std::u16string, std::u16string>& updateLinks,
                                 const std::u16string& fallback) {
  std::u16string name = product.displayName;
  toUpperAscii(name);
  for (const auto& [key, url] : updateLinks) {
    std::u16string upperKey = key;
    toUpperAscii(upperKey);
    if (name.find(upperKey) != std::u16string::npos)
      return url;
  }
  return fallback;
}

std::u16string escapeForMarkupInScript(const std::u16string& text) {
  std::u16string result;
  for (char16_t unit : text) {
    switch (unit) {
    case u'&': result += u"&amp;"; break;
    case u'<': result += u"&lt;"; break;
    case u'>': result += u"&gt;"; break;
    case u'"': result += u"&quot;"; break;
    case u'\'': result += u"&#39;"; break;
    case u'\\': result += u"\\\\"; break;
    case u'\n': result += u"\\n"; break;
    case u'\r': result += u"\\r"; break;
    case 0x2028: result += u"\\u2028"; break;
    case 0x2029: result += u"\\u2029"; break;
    default: result.push_back(unit);
    }
  }
  return result;
}

std::u16string buildResultsStatement(const std::vector<ProductRecord*>& affected,
                                     const std::vector<ProductRecord*>& products,
                                     const std::map<std::u16string, std::u16string>& updateLinks,
                                     const ResultsTexts& texts) {
  std::u16string rows;
  int height = 0;
  std::u16string fallbackLink = texts.lookup("moreInfoLink");

  for (ProductRecord* product : affected) {
    if (rows.empty()) {
      rows += headingBlock(texts.lookup("affectedProductsRow"));
      height += kHeadingHeight;
    }
    rows += pictureCellStart() + iconSource(*product) + u"'/> " +
            escapeForMarkupInScript(productDisplayName(*product)) +
            statusPicture(u"res:/PNG/#137", u" ");
    rows += rowStart() + u"<div style='float: left; padding-left: 20px; width: 440px;'>" +
            tabs(10) + u"<label style='font-size: 10px'>" + texts.lookup("signatureInvalidTxt") +
            u"</label>" + tabs(8) + u"</div>" + tabs(9) + kFloatRight + tabs(10) +
            u"<a style='font-size: 10px;' target='_blank' href='" +
            escapeForMarkupInScript(productUpdateLink(*product, updateLinks, fallbackLink)) +
            u"'>" + texts.lookup("getUpdateLinkTxt") + u"</a>" + tabs(8) + u"</div>" + tabs(8) +
            u" </td></tr>" + kRule;
    height += texts.tallAffectedRows ? kTallAffectedRowHeight : kRowHeight;
  }

  bool notAffectedHeading = false;
  for (ProductRecord* product : upToDateProducts(affected, products)) {
    if (!notAffectedHeading) {
      rows += headingBlock(texts.lookup("notAffectedProductRow"));
      height += kHeadingHeight;
      notAffectedHeading = true;
    }
    rows += pictureCellStart() + iconSource(*product) + u"'/> " +
            escapeForMarkupInScript(productDisplayName(*product)) +
            statusPicture(u"res:/PNG/#136", u"  ");
    rows += rowStart() + kFloatLeft + tabs(10) + u"<label style='font-size: 10px'>" +
            texts.lookup("signatureOkTxt") + u"</label>" + tabs(8) + u"</div>" + tabs(8) +
            u" </td></tr>" + kRule;
    height += kRowHeight;
  }

  if (affected.empty() && !notAffectedHeading) {
    rows += headingBlock(texts.lookup("noProductsRow"));
    height += kHeadingHeight;
  }

  std::u16string width = height >= kNarrowTableHeight ? u"560" : u"580";
  return u"updateResults(\"<table style='width: " + width + u"px'>" + rows + u"</table>\");";
}
