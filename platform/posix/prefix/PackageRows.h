// The rows of a package's Component and File tables as the package reader
// (a program of its own, see package-reader/) sends them to the scanner
// through a pipe. Each row is one tag byte, 'C' for a component or 'F' for
// a file, followed by its fields, each UTF-8 text ended by a zero byte; the
// tag 'E' closes a complete listing. A listing without it was cut short.
#pragma once

#include "platform/InstallerPackage.h"

#include <string>
#include <string_view>

namespace platform::package_rows {

inline constexpr char kComponentTag = 'C';
inline constexpr char kFileTag = 'F';
inline constexpr char kEndTag = 'E';

// Appends one row. A field holding a zero byte is cut there.
void appendComponent(std::string& out, std::string_view component, std::string_view componentId,
                     std::string_view directory);
void appendFile(std::string& out, std::string_view component, std::string_view fileName);
void appendEnd(std::string& out);

// Decodes a whole listing into package. False, package unchanged, unless
// every row is complete, every tag known and the listing ends with 'E' and
// nothing after it. Text that is no valid UTF-8 is converted as the
// platform converts it (invalid sequences become U+FFFD).
bool decode(std::string_view listing, InstallerPackage& package);

} // namespace platform::package_rows
