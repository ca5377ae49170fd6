// The shipped orvia-fennick.exe (FENNICK_WINDOW_EXE) read as a file of
// resources: every res: address the page and its results table use, and the
// agreement page of every language the page offers, resolve to a resource of
// the executable; the window's template, icon and manifest are there; and it
// is a GUI program.
#include "app/PageAddress.h"
#include "finders/ProductRecord.h"
#include "report/ResultsPage.h"
#include "session/SessionController.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

class ShippedExecutable : public testing::Test {
protected:
  void SetUp() override {
    const wchar_t* path = _wgetenv(L"FENNICK_WINDOW_EXE");
    ASSERT_NE(path, nullptr) << "FENNICK_WINDOW_EXE names orvia-fennick.exe";
    executable.assign(reinterpret_cast<const char16_t*>(path));
    module = LoadLibraryExW(path, nullptr,
                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module)
      FreeLibrary(module);
  }

  // The bytes of a resource, empty when there is none.
  std::string bytes(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceW(module, name, type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(module, found)) : std::string();
  }
  std::string bytes(const ResourceAddress& address) {
    bool numeric = address.type.find_first_not_of("0123456789") == std::string::npos;
    std::wstring typeName(address.type.begin(), address.type.end());
    LPCWSTR type = numeric ? MAKEINTRESOURCEW(std::stoi(address.type)) : typeName.c_str();
    return bytes(type, MAKEINTRESOURCEW(address.id));
  }

  std::u16string executable;
  HMODULE module = nullptr;
};

std::vector<std::string> resourceAddressesIn(const std::string& text) {
  std::vector<std::string> found;
  std::regex address(R"(res:[^'"\s)<>]+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), address);
       it != std::sregex_iterator(); ++it)
    found.push_back(it->str());
  return found;
}

std::string narrow(const std::u16string& text) {
  std::string result;
  for (char16_t unit : text)
    result += unit < 0x80 ? char(unit) : '?';
  return result;
}

TEST_F(ShippedExecutable, EveryResourceAddressOfThePageResolves) {
  std::string page = bytes(MAKEINTRESOURCEW(23), MAKEINTRESOURCEW(kPageResourceId));
  ASSERT_FALSE(page.empty()) << "the page itself";

  // A results table with an affected product and one that is not, both
  // without icons of their own.
  MsiProductRecord affected, upToDate;
  affected.displayName = u"Affected";
  upToDate.displayName = u"Up to date";
  affected.installed = upToDate.installed = true;
  affected.id = "{A}";
  upToDate.id = "{B}";
  ResultsTexts texts;
  texts.lookup = [](const char*) { return std::u16string(u"text"); };
  std::string results = narrow(buildResultsStatement({&affected}, {&affected, &upToDate}, {}, texts));

  std::vector<std::string> addresses = resourceAddressesIn(page);
  for (const std::string& address : resourceAddressesIn(results))
    addresses.push_back(address);
  // The agreement pages: the application path followed by an option value.
  std::string base = narrow(resourceBase(executable));
  std::regex option(R"re(<option value="(\d+)")re");
  int options = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), option);
       it != std::sregex_iterator(); ++it, ++options)
    addresses.push_back(base + (*it)[1].str());
  EXPECT_EQ(options, 27);
  ASSERT_GE(addresses.size(), 2u + 3u + 27u);

  for (const std::string& text : addresses) {
    std::optional<ResourceAddress> address = parseResourceAddress(text);
    ASSERT_TRUE(address) << text;
    EXPECT_FALSE(bytes(*address).empty()) << "nothing at " << text;
  }
}

TEST_F(ShippedExecutable, TheWindowsTemplateIconAndManifestAreThere) {
  EXPECT_FALSE(bytes(RT_DIALOG, MAKEINTRESOURCEW(102)).empty());
  // One icon group 128, and it is a directory of icon images (reserved 0,
  // type 1, count), not the picture itself.
  int groups128 = 0;
  EnumResourceLanguagesW(
      module, RT_GROUP_ICON, MAKEINTRESOURCEW(128),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) -> BOOL {
        ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&groups128));
  EXPECT_EQ(groups128, 1);
  std::string group = bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(128));
  ASSERT_GE(group.size(), 6u);
  EXPECT_EQ(group.substr(0, 4), std::string("\0\0\1\0", 4));
  HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(128), IMAGE_ICON, 32, 32, 0);
  EXPECT_NE(icon, nullptr);
  if (icon)
    DestroyIcon(static_cast<HICON>(icon));
  std::string manifest = bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

} // namespace
