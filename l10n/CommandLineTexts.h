// The texts the command-line tools show about a run besides its results (a
// summary of the verdicts and a progress line), in the user's language: the
// tools' own dictionary of the chosen locale, loaded on top of its page
// dictionary, with the counts written as that language writes numbers.
#pragma once

#include "l10n/Localizer.h"

#include <cstdint>
#include <initializer_list>
#include <string>

// How many checked files came out which way.
struct VerdictCounts {
  std::uint64_t verified = 0; // signature verified, signer not affected
  std::uint64_t affected = 0;
  std::uint64_t unsignedFiles = 0; // no signature
  std::uint64_t failed = 0;        // every other outcome, and files no validator took

  std::uint64_t total() const { return verified + affected + unsignedFiles + failed; }
};

class CommandLineTexts {
public:
  // The texts of the user's locale when localeCode is empty, else of that
  // locale (en_US for a code without dictionaries).
  explicit CommandLineTexts(const std::u16string& localeCode = u"");

  // One line such as "1,204 files: 1,180 verified, 3 affected, 20 unsigned,
  // 1 failed".
  std::u16string summary(const VerdictCounts& counts) const;

  // One line such as "Files checked: 12 of 40": done of found so far.
  std::u16string progress(std::uint64_t done, std::uint64_t found) const;

  // The locale whose dictionaries are in use.
  const std::u16string& localeCode() const { return localeCode_; }

private:
  // The text of key with %1, %2, ... replaced by the counts in turn, each
  // grouped as the locale writes numbers.
  std::u16string filled(const std::string& key, std::initializer_list<std::uint64_t> counts) const;

  Localizer localizer_;
  std::u16string localeCode_;
};
