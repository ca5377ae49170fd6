// The command-line tools' summary and progress texts.
#include "l10n/CommandLineTexts.h"

#include "l10n/NumberText.h"

#include <vector>

CommandLineTexts::CommandLineTexts(const std::u16string& localeCode) {
  localizer_.loadLocaleDictionary(localeCode);
  localizer_.loadCommandLineDictionary();
  for (const auto& [code, entry] : localizer_.table()) {
    if (entry && entry.get() == localizer_.chosenEntry()) {
      localeCode_ = code;
      break;
    }
  }
}

std::u16string CommandLineTexts::summary(const VerdictCounts& counts) const {
  return filled(counts.total() == 1 ? "cliSummaryOneFile" : "cliSummary",
                {counts.total(), counts.verified, counts.affected, counts.unsignedFiles,
                 counts.failed});
}

std::u16string CommandLineTexts::progress(std::uint64_t done, std::uint64_t found) const {
  return filled("cliProgress", {done, found});
}

std::u16string CommandLineTexts::filled(const std::string& key,
                                        std::initializer_list<std::uint64_t> counts) const {
  const std::vector<std::uint64_t> values(counts);
  const std::u16string text = localizer_.lookupUIString(key);
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
      const std::size_t index = std::size_t(text[i + 1] - u'1');
      if (index < values.size()) {
        out += groupedNumber(values[index], localeCode_);
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}
