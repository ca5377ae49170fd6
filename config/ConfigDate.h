// The date format of the scan configuration's StartDate and EndDate:
// "YYYY-MM-DD", optionally followed by one space and "HH:MM:SS.mmm", UTC.
#pragma once

#include "util/FileTime.h"

#include <string>

// Parses text into target. Each number is read like wcstol (leading white
// space skipped, an optional sign, digits up to the first other character,
// 0 when there are none) and kept as an unsigned 16-bit field, so a negative
// number fails every range check. False, with target unchanged, when a
// separator is missing, a field is out of range, or the day does not exist
// in its month.
bool parseConfigDate(const std::u16string& text, FileTime& target);
