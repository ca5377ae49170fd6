// The results screen: the table of affected and up-to-date products, sent to
// the page as one updateResults("...") statement.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

struct ProductRecord;

struct ResultsTexts {
  // The dictionary text of a key ("affectedProductsRow", ...); empty when
  // the dictionary lacks it.
  std::function<std::u16string(const char* key)> lookup;
  // Affected rows need more height in the German dictionary.
  bool tallAffectedRows = false;
};

// The name shown for a product: its display name, else its id.
std::u16string productDisplayName(const ProductRecord& product);

// The update address of a product: the URL of the first key, in key order,
// that its display name contains (ASCII case folded); else fallback.
std::u16string productUpdateLink(const ProductRecord& product,
                                 const std::map<std::u16string, std::u16string>& updateLinks,
                                 const std::u16string& fallback);

// The whole statement: affected products in the given order, then every
// installed, not excluded product of `products` that is not affected (a
// patch or language pack of the installer never appears itself), or the
// no-products heading.
std::u16string buildResultsStatement(const std::vector<ProductRecord*>& affected,
                                     const std::vector<ProductRecord*>& products,
                                     const std::map<std::u16string, std::u16string>& updateLinks,
                                     const ResultsTexts& texts);

// Escapes text from outside (product names, addresses) for a place inside
// HTML markup that itself stands inside a double-quoted script string.
std::u16string escapeForMarkupInScript(const std::u16string& text);
