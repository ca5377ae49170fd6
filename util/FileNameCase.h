// File names folded to upper case the way Windows and Wine compare them:
// every UTF-16 unit through Unicode's simple upper-case mapping, one unit to
// one unit, from a fixed table of our own, so that the folding is the same
// under every locale. This is the file system's folding, not the system's
// own toUpperAscii comparisons.
#pragma once

#include <string>

// The unit's simple upper-case mapping; the unit itself when it has none
// that is a single unit ("ß" keeps its case) and for every surrogate.
char16_t toUpperFileNameUnit(char16_t unit);

// Every unit of name through toUpperFileNameUnit, in place.
void toUpperFileName(std::u16string& name);
