// Encoding and decoding of the package reader's listing.
#include "platform/posix/prefix/PackageRows.h"

#include "util/Text.h"

#include <array>

namespace platform::package_rows {
namespace {

void appendField(std::string& out, std::string_view field) {
  out.append(field.substr(0, field.find('\0')));
  out.push_back('\0');
}

// Reads the field at pos (up to its zero byte) as UTF-16; false when the
// listing ends before the zero byte.
bool readField(std::string_view listing, std::size_t& pos, std::u16string& field) {
  std::size_t end = listing.find('\0', pos);
  if (end == std::string_view::npos)
    return false;
  field.clear();
  if (end > pos && !utf8ToWide(std::string(listing.substr(pos, end - pos)), field))
    field.clear();
  pos = end + 1;
  return true;
}

template <std::size_t N>
bool readFields(std::string_view listing, std::size_t& pos, std::array<std::u16string, N>& fields) {
  for (std::u16string& field : fields) {
    if (!readField(listing, pos, field))
      return false;
  }
  return true;
}

} // namespace

void appendComponent(std::string& out, std::string_view component, std::string_view componentId,
                     std::string_view directory) {
  out.push_back(kComponentTag);
  appendField(out, component);
  appendField(out, componentId);
  appendField(out, directory);
}

void appendFile(std::string& out, std::string_view component, std::string_view fileName) {
  out.push_back(kFileTag);
  appendField(out, component);
  appendField(out, fileName);
}

void appendEnd(std::string& out) { out.push_back(kEndTag); }

bool decode(std::string_view listing, InstallerPackage& package) {
  InstallerPackage decoded;
  std::size_t pos = 0;
  while (pos < listing.size()) {
    char tag = listing[pos++];
    if (tag == kEndTag) {
      if (pos != listing.size())
        return false;
      package = std::move(decoded);
      return true;
    }
    if (tag == kComponentTag) {
      std::array<std::u16string, 3> fields;
      if (!readFields(listing, pos, fields))
        return false;
      decoded.components.push_back({fields[0], fields[1], fields[2]});
    } else if (tag == kFileTag) {
      std::array<std::u16string, 2> fields;
      if (!readFields(listing, pos, fields))
        return false;
      decoded.files.push_back({fields[0], fields[1]});
    } else {
      return false;
    }
  }
  return false; // no end tag: the reader stopped early
}

} // namespace platform::package_rows
