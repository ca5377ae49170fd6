// Locale table, language mapping and dictionary loading for the UI texts.
#include "l10n/Localizer.h"

#include "platform/AnsiText.h"
#include "platform/Locale.h"
#include "platform/Resources.h"
#include "util/Text.h"

#include <span>
#include <vector>

namespace {

struct LocaleRow {
  const char16_t* code;
  std::int32_t dictionaryId;
  std::int32_t agreementPageId;
};

constexpr LocaleRow kLocaleRows[] = {
    {u"en_US", 251, 201}, {u"fr_FR", 252, 206}, {u"de_DE", 253, 210},
    {u"ja_JP", 254, 216}, {u"cs_CZ", 255, 208}, {u"da_DK", 256, 209},
    {u"en_AE", 257, 203}, {u"en_GB", 258, 202}, {u"en_IL", 259, 204},
    {u"es_ES", 260, 211}, {u"es_LA", 261, 201}, {u"es_MX", 262, 212},
    {u"es_NA", 263, 201}, {u"fi_FI", 264, 213}, {u"fr_CA", 265, 205},
    {u"fr_MA", 266, 207}, {u"fr_XM", 267, 201}, {u"hu_HU", 268, 214},
    {u"it_IT", 269, 215}, {u"ko_KR", 270, 217}, {u"nb_NO", 271, 218},
    {u"nl_NL", 272, 219}, {u"pl_PL", 273, 220}, {u"pt_BR", 274, 221},
    {u"ru_RU", 275, 222}, {u"sk_SK", 276, 201}, {u"sl_SI", 277, 201},
    {u"sv_SE", 278, 223}, {u"tr_TR", 279, 224}, {u"uk_UA", 280, 225},
    {u"zh_CN", 281, 226}, {u"zh_TW", 282, 227},
};

// Primary languages the mapping tells apart.
enum PrimaryLanguage : std::uint16_t {
  kArabic = 0x01, kBulgarian = 0x02, kChinese = 0x04, kCzech = 0x05,
  kDanish = 0x06, kGerman = 0x07, kGreek = 0x08, kEnglish = 0x09,
  kSpanish = 0x0A, kFinnish = 0x0B, kFrench = 0x0C, kHebrew = 0x0D,
  kHungarian = 0x0E, kItalian = 0x10, kJapanese = 0x11, kKorean = 0x12,
  kDutch = 0x13, kNorwegian = 0x14, kPolish = 0x15, kPortuguese = 0x16,
  kRomanian = 0x18, kRussian = 0x19, kCroatian = 0x1A, kSlovak = 0x1B,
  kSwedish = 0x1D, kTurkish = 0x1F, kUkrainian = 0x22, kSlovenian = 0x24,
  kEstonian = 0x25, kLatvian = 0x26, kLithuanian = 0x27,
};

constexpr std::uint16_t primaryLanguage(std::uint16_t langId) { return langId & 0x3FF; }
constexpr std::uint16_t subLanguage(std::uint16_t langId) { return langId >> 10; }

constexpr char kKeyPrefix[] = "$$$/ZFNK/";
constexpr std::uint32_t kLoadOptions = 1;

// The resource's bytes as UTF-16LE units, up to the first 0 unit; a trailing
// odd byte is not a unit.
std::u16string resourceText(std::span<const std::uint8_t> bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t pos = 0; pos + 1 < bytes.size(); pos += 2) {
    const auto unit = static_cast<char16_t>(bytes[pos] | (bytes[pos + 1] << 8));
    if (unit == 0)
      break;
    text.push_back(unit);
  }
  return text;
}

} // namespace

std::u16string localeCodeForLanguages(std::uint16_t uiLanguage, std::uint16_t defaultLanguage) {
  const std::uint16_t primary = primaryLanguage(uiLanguage);
  const std::uint16_t sub = primaryLanguage(defaultLanguage) == primary
                                ? subLanguage(defaultLanguage)
                                : subLanguage(uiLanguage);
  switch (primary) {
  case kArabic: return sub >= 5 && sub <= 7 ? u"fr_MA" : u"en_AE";
  case kBulgarian: return u"bg_BG";
  case kChinese: return sub == 2 || sub == 4 ? u"zh_CN" : u"zh_TW";
  case kCzech: return u"cs_CZ";
  case kDanish: return u"da_DK";
  case kGerman: return u"de_DE";
  case kGreek: return u"el_GR";
  case kEnglish: return sub == 2 ? u"en_GB" : u"en_US";
  case kSpanish: return sub == 2 ? u"es_MX" : u"es_ES";
  case kFinnish: return u"fi_FI";
  case kFrench: return sub == 3 ? u"fr_CA" : u"fr_FR";
  case kHebrew: return u"en_IL";
  case kHungarian: return u"hu_HU";
  case kItalian: return u"it_IT";
  case kJapanese: return u"ja_JP";
  case kKorean: return u"ko_KR";
  case kDutch: return u"nl_NL";
  case kNorwegian: return u"nb_NO";
  case kPolish: return u"pl_PL";
  case kPortuguese: return u"pt_BR";
  case kRomanian: return u"ro_RO";
  case kRussian: return u"ru_RU";
  case kCroatian: return u"hr_HR";
  case kSlovak: return u"sk_SK";
  case kSwedish: return u"sv_SE";
  case kTurkish: return u"tr_TR";
  case kUkrainian: return u"uk_UA";
  case kSlovenian: return u"sl_SI";
  case kEstonian: return u"et_EE";
  case kLatvian: return u"lv_LV";
  case kLithuanian: return u"lt_LT";
  default: return u"en_US";
  }
}

Localizer::Localizer() : dictionary_(dravik::createDictionary()) {
  for (const LocaleRow& row : kLocaleRows)
    table_.emplace(row.code, std::make_unique<LocaleEntry>(
                                 LocaleEntry{row.dictionaryId, row.agreementPageId}));
}

std::u16string Localizer::userLocaleCode() const {
  return localeCodeForLanguages(platform::userDefaultUILanguage(),
                                platform::userDefaultLangId());
}

bool Localizer::loadLocaleDictionary(const std::u16string& code) {
  const std::u16string chosenCode = code.empty() ? userLocaleCode() : code;
  // A code without a row gets one with no entry, and the en_US row serves.
  const LocaleEntry* entry = table_[chosenCode].get();
  if (!entry)
    entry = table_[u"en_US"].get();
  chosen_ = entry;
  loadDictionaryResource(entry->dictionaryId);
  return true;
}

void Localizer::loadCommandLineDictionary() {
  if (chosen_)
    loadDictionaryResource(chosen_->dictionaryId + kCommandLineDictionaryOffset);
}

void Localizer::loadDictionaryResource(std::int32_t id) {
  const auto resourceId = static_cast<std::uint16_t>(id & 0xFFFF);
  const std::u16string text =
      resourceText(platform::findResource(platform::kResourceDictionary, resourceId));
  // The text goes through the ANSI code page (UTF-8 on Linux, so nothing is
  // lost there; a Windows code page loses the characters it lacks). The
  // byte-order mark becomes that code page's form of U+FEFF, which stands
  // before the first quotation mark where the reader ignores it.
  std::string ansi;
  if (!platform::wideToAnsi(text, ansi))
    ansi.clear();
  dravik::loadDictionary(*dictionary_, ansi.data(), ansi.size(), kLoadOptions);
}

std::u16string Localizer::lookupUIString(const std::string& key) const {
  const std::string lookup = kKeyPrefix + key;
  const dravik::LookupResult result = dravik::lookupString(*dictionary_, lookup.c_str());
  std::vector<char16_t> buffer(kTextBufferUnits);
  dravik::copyToBuffer(result, buffer.data(), buffer.size(), false);
  return std::u16string(buffer.data());
}
