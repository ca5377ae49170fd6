// SQL string literals.
#include "finders/SqlText.h"

std::string sqlQuoted(std::string_view value) {
  std::string literal;
  literal.reserve(value.size() + 2);
  literal += '\'';
  for (char c : value) {
    literal += c;
    if (c == '\'')
      literal += '\'';
  }
  literal += '\'';
  return literal;
}
