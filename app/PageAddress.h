// The addresses the window's page uses and the host serves: resources of the
// executable (res:), the seven commands (fennick-cmd:) and product icons
// (fennick-icon:). Plain text functions without GTK, so that the parsing of
// what the page asks for can be tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Schemes the window registers.
inline constexpr std::string_view kResourceScheme = "res";
inline constexpr std::string_view kCommandScheme = "fennick-cmd";
inline constexpr std::string_view kIconScheme = "fennick-icon";

// One resource of the executable as an address names it.
struct ResourceAddress {
  std::string type;      // as the resource table names it: "23", "CSS", "PNG"
  std::uint32_t id = 0;  // 1..65535
  std::u16string module; // the executable named by res://<module>/..., or empty
};

// Parses "res:/<TYPE>/#<ID>" (the page's style sheet and pictures) and
// "res://<module>/[<TYPE>/]<ID>" (the agreement pages under the application
// path; the id may also come as "#<ID>"). TYPE "HTML" or "#23" is the
// numeric type 23; without a TYPE the resource is HTML. The module is
// percent-decoded. Nothing for any other form, a bad id or bad encoding.
std::optional<ResourceAddress> parseResourceAddress(std::string_view uri);

// The content type a resource of that type is served with.
std::string resourceContentType(std::string_view type);

// The command named by "fennick-cmd:<name>[?<anything>]" when it is one of
// the seven, else nothing.
std::optional<std::string> commandOfAddress(std::string_view uri);

// The Windows path named by "fennick-icon:<percent-encoded UTF-8 path>",
// or nothing when the address is not of that form.
std::optional<std::u16string> iconPathOfAddress(std::string_view uri);

// Rewrites the addresses in a statement of the application into forms the
// page's engine accepts, leaving everything else as it is:
// - every icon source src='file:///<path>' (the path written with doubled
//   backslashes, as a JavaScript literal carries it) becomes
//   src='fennick-icon:<percent-encoded path>';
// - the application path of setApplicationPath('res://<path>/'), which a
//   URL parser rejects for its colon and backslashes, becomes
//   res://<percent-encoded path>/.
std::u16string rewriteStatementAddresses(const std::u16string& statement);

// Percent-encoding of a wide text as UTF-8: every byte outside the
// unreserved characters (letters, digits, "-", ".", "_", "~") becomes %XX.
std::string percentEncode(const std::u16string& text);

// The reverse; nothing for a malformed escape or an escaped zero byte.
// Invalid UTF-8 decodes to replacement characters.
std::optional<std::u16string> percentDecode(std::string_view text);

// Size in pixels of a dialog template's size in dialog units for a dialog
// font with the given average character width and height (MapDialogRect:
// x * baseX / 4 and y * baseY / 8, rounded to nearest).
struct PixelSize {
  int width = 0;
  int height = 0;
};
PixelSize dialogUnitsToPixels(int width, int height, int baseX, int baseY);
