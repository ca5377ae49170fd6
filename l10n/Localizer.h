// Locale selection and user-interface texts: picks the dictionary and the
// agreement page for the user's language, loads the dictionary from the
// executable's resources and answers requests for a text by key.
#pragma once

#include "l10n/StringDictionary.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// One row of the locale table.
struct LocaleEntry {
  std::int32_t dictionaryId;    // resource id (type "ZDCT"); its low 16 bits are used
  std::int32_t agreementPageId; // HTML resource id, also the page's eulaCombo value
};

// The locale code for a UI language and a default language (LANGIDs). The
// primary language comes from the UI language; the sublanguage from the
// default language when both share the primary language, else from the UI
// language. Never empty; languages without a mapping give "en_US".
std::u16string localeCodeForLanguages(std::uint16_t uiLanguage, std::uint16_t defaultLanguage);

class Localizer {
public:
  // Units of the buffer a text is copied into, terminator included: texts
  // are cut to one unit less.
  static constexpr std::size_t kTextBufferUnits = 5120;

  // Fills the locale table and creates an empty dictionary; no entry is
  // chosen yet.
  Localizer();

  // The locale code for the current user's languages.
  std::u16string userLocaleCode() const;

  // Chooses the entry for code (the user's own when code is empty; en_US
  // when the code has no row) and loads its dictionary into the dictionary
  // object, on top of whatever an earlier call loaded. A missing dictionary
  // resource loads nothing. Always true.
  bool loadLocaleDictionary(const std::u16string& code);

  // The command-line tools keep their own texts in a dictionary per locale
  // whose id is the page dictionary's plus this.
  static constexpr std::int32_t kCommandLineDictionaryOffset = 100;

  // Loads the command-line tools' dictionary of the entry in use on top of
  // what is loaded; nothing before the first loadLocaleDictionary.
  void loadCommandLineDictionary();

  // The text of key (an ASCII word such as "eulaScreenTitle"), looked up as
  // "$$$/ZFNK/<key>" and cut to kTextBufferUnits - 1 units; empty when the
  // dictionary lacks the key.
  std::u16string lookupUIString(const std::string& key) const;

  // The entry in use; null before the first loadLocaleDictionary.
  const LocaleEntry* chosenEntry() const { return chosen_; }

  // The locale table. Codes looked up without a row are present with a
  // null entry.
  const std::map<std::u16string, std::unique_ptr<LocaleEntry>>& table() const {
    return table_;
  }

private:
  // Loads the dictionary resource with the low 16 bits of id on top of what
  // is loaded; a missing resource loads nothing.
  void loadDictionaryResource(std::int32_t id);

  std::map<std::u16string, std::unique_ptr<LocaleEntry>> table_;
  dravik::DictionaryHandle dictionary_;
  const LocaleEntry* chosen_ = nullptr; // points into table_
};
