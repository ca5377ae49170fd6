// Parsing and rewriting of the page's addresses; see PageAddress.h.
#include "app/PageAddress.h"

#include "session/PageCommands.h"
#include "util/Text.h"

#include <vector>

namespace {

constexpr std::uint32_t kLargestResourceId = 65535;
constexpr std::string_view kHtmlTypeName = "HTML";
constexpr std::string_view kHtmlType = "23";

// "<scheme>:" at the start of uri, compared without case as URL schemes are.
bool hasScheme(std::string_view uri, std::string_view scheme) {
  if (uri.size() <= scheme.size() || uri[scheme.size()] != ':')
    return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    char c = uri[i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i])
      return false;
  }
  return true;
}

// A resource id: decimal digits, 1..65535, optionally after "#".
std::optional<std::uint32_t> parseId(std::string_view text) {
  if (!text.empty() && text.front() == '#')
    text.remove_prefix(1);
  if (text.empty() || text.size() > 5)
    return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value == 0 || value > kLargestResourceId)
    return std::nullopt;
  return value;
}

// A resource type as written in an address: a name, digits, or "#" digits.
std::optional<std::string> parseType(std::string_view text) {
  if (!text.empty() && text.front() == '#') {
    if (!parseId(text))
      return std::nullopt;
    text.remove_prefix(1);
  }
  if (text.empty())
    return std::nullopt;
  for (char c : text) {
    bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '_';
    if (!word)
      return std::nullopt;
  }
  if (text == kHtmlTypeName)
    return std::string(kHtmlType);
  return std::string(text);
}

std::vector<std::string_view> splitPath(std::string_view path) {
  std::vector<std::string_view> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string_view::npos)
      slash = path.size();
    segments.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return segments;
}

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// The text of a JavaScript string literal's body up to (not including) the
// unescaped quote, with its escapes undone; end receives the quote's index
// (or the statement's end when there is none).
std::u16string readLiteral(const std::u16string& statement, size_t start, char16_t quote,
                           size_t& end) {
  std::u16string text;
  size_t i = start;
  while (i < statement.size() && statement[i] != quote) {
    if (statement[i] == u'\\' && i + 1 < statement.size())
      ++i;
    text.push_back(statement[i]);
    ++i;
  }
  end = i;
  return text;
}

std::u16string asciiWide(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

// Replaces each src='file:///<literal>' (or with double quotes) by the icon
// scheme's address of the same path.
std::u16string rewriteIconSources(const std::u16string& statement) {
  static const std::u16string kFile = u"file:///";
  std::u16string result;
  size_t copied = 0;
  size_t search = 0;
  while (true) {
    size_t at = statement.find(u"src=", search);
    if (at == std::u16string::npos || at + 5 > statement.size())
      break;
    char16_t quote = statement[at + 4];
    size_t begin = at + 5;
    search = at + 4;
    if ((quote != u'\'' && quote != u'"') || statement.compare(begin, kFile.size(), kFile) != 0)
      continue;
    size_t end = 0;
    std::u16string path = readLiteral(statement, begin + kFile.size(), quote, end);
    // The results table closes every picture with "'/>": an apostrophe
    // before that belongs to the path (a product id may hold one).
    size_t closing = statement.find(std::u16string(1, quote) + u"/>", begin);
    if (closing != std::u16string::npos && closing > end) {
      size_t ignored = 0;
      path = readLiteral(statement.substr(0, closing), begin + kFile.size(), u'\0', ignored);
      end = closing;
    }
    if (path.empty() || end >= statement.size())
      continue; // no path, or no closing quote: not an icon source
    result.append(statement, copied, begin - copied);
    result += asciiWide(kIconScheme);
    result += u':';
    result += asciiWide(percentEncode(path));
    copied = end;
    search = end;
  }
  result.append(statement, copied, std::u16string::npos);
  return result;
}

// setApplicationPath('res://<path>/') with the path percent-encoded.
std::u16string rewriteApplicationPath(const std::u16string& statement) {
  static const std::u16string kStart = u"setApplicationPath('res://";
  if (statement.compare(0, kStart.size(), kStart) != 0)
    return statement;
  size_t end = 0;
  std::u16string address = readLiteral(statement, kStart.size(), u'\'', end);
  if (end >= statement.size() || address.empty() || address.back() != u'/')
    return statement;
  address.pop_back();
  std::u16string result = kStart;
  result += asciiWide(percentEncode(address));
  result += u'/';
  result.append(statement, end, std::u16string::npos);
  return result;
}

} // namespace

std::optional<ResourceAddress> parseResourceAddress(std::string_view uri) {
  if (!hasScheme(uri, kResourceScheme))
    return std::nullopt;
  std::string_view rest = uri.substr(kResourceScheme.size() + 1);
  std::string_view fragment;
  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    fragment = rest.substr(hash + 1);
    rest = rest.substr(0, hash);
  }
  if (rest.find('?') != std::string_view::npos)
    return std::nullopt;

  ResourceAddress address;
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash == 0)
      return std::nullopt;
    std::optional<std::u16string> module = percentDecode(rest.substr(0, slash));
    if (!module)
      return std::nullopt;
    address.module = *module;
    rest.remove_prefix(slash + 1);
  } else if (rest.starts_with("/")) {
    rest.remove_prefix(1);
  } else {
    return std::nullopt;
  }

  // Path segments: [TYPE/]ID, or TYPE/ with the id in the fragment.
  std::vector<std::string_view> segments = splitPath(rest);
  std::optional<std::uint32_t> id;
  std::string_view typeText;
  if (!fragment.empty()) {
    if (segments.back().empty())
      segments.pop_back();
    if (segments.size() > 1)
      return std::nullopt;
    id = parseId(fragment);
    typeText = segments.empty() ? std::string_view() : segments.front();
  } else {
    if (segments.size() > 2)
      return std::nullopt;
    id = parseId(segments.back());
    typeText = segments.size() == 2 ? segments.front() : std::string_view();
  }
  if (!id)
    return std::nullopt;
  address.id = *id;
  if (typeText.empty()) {
    // "res:/#151" names no type; only the module form defaults to HTML.
    if (address.module.empty())
      return std::nullopt;
    address.type = kHtmlType;
  } else {
    std::optional<std::string> type = parseType(typeText);
    if (!type)
      return std::nullopt;
    address.type = *type;
  }
  return address;
}

std::string resourceContentType(std::string_view type) {
  if (type == kHtmlType)
    return "text/html";
  if (type == "CSS")
    return "text/css";
  if (type == "PNG")
    return "image/png";
  return "application/octet-stream";
}

std::optional<std::string> commandOfAddress(std::string_view uri) {
  if (!hasScheme(uri, kCommandScheme))
    return std::nullopt;
  std::string_view name = uri.substr(kCommandScheme.size() + 1);
  size_t query = name.find_first_of("?#");
  if (query != std::string_view::npos)
    name = name.substr(0, query);
  // The names are ASCII; anything else names no command.
  std::u16string wideName(name.begin(), name.end());
  if (!pageCommandByName(wideName))
    return std::nullopt;
  return std::string(name);
}

std::optional<std::u16string> iconPathOfAddress(std::string_view uri) {
  if (!hasScheme(uri, kIconScheme))
    return std::nullopt;
  std::string_view encoded = uri.substr(kIconScheme.size() + 1);
  if (encoded.empty())
    return std::nullopt;
  return percentDecode(encoded);
}

std::u16string rewriteStatementAddresses(const std::u16string& statement) {
  return rewriteApplicationPath(rewriteIconSources(statement));
}

std::string percentEncode(const std::u16string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string utf8;
  wideToUtf8(text, utf8);
  std::string encoded;
  for (unsigned char c : utf8) {
    if (isUnreserved(c)) {
      encoded.push_back(static_cast<char>(c));
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[c >> 4]);
      encoded.push_back(kHex[c & 0x0F]);
    }
  }
  return encoded;
}

std::optional<std::u16string> percentDecode(std::string_view text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size())
      return std::nullopt;
    int high = hexValue(text[i + 1]);
    int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0))
      return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  std::u16string wide;
  if (!utf8ToWide(bytes, wide))
    return std::nullopt;
  return wide;
}

PixelSize dialogUnitsToPixels(int width, int height, int baseX, int baseY) {
  // MulDiv rounds half away from zero; the operands here are not negative.
  return {(width * baseX + 2) / 4, (height * baseY + 4) / 8};
}
