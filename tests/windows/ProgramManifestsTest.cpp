// The manifests of the shipped Windows programs, read from the built
// executables as the system reads them (resource type 24, id 1): every
// program runs as the user who starts it (so a 32-bit console program gets
// no file or registry virtualization), names the Windows versions it was made
// for and takes long paths; the window also asks for Common Controls 6 and
// declares the DPI awareness it honours. FENNICK_WINDOWS_PROGRAMS names the
// folder of the 64-bit programs, FENNICK_WINDOWS_X86_PROGRAMS (when set) that
// of the 32-bit ones.
#include <windows.h>

#include <pugixml.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The executables of a build folder: the three programs and the helper.
std::vector<std::wstring> programsIn(const wchar_t* folder) {
  const std::wstring base(folder);
  return {base + L"\\fennick-scan.exe", base + L"\\fennick-verify.exe",
          base + L"\\orvia-fennick.exe", base + L"\\tools\\fennick-tg.exe"};
}

bool isWindow(const std::wstring& program) {
  return program.size() >= 17 && program.compare(program.size() - 17, 17, L"orvia-fennick.exe") == 0;
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The manifest resource of an executable, empty when there is none.
std::string manifestOf(const std::wstring& program) {
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module)
    return std::string();
  std::string text;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes)
      text.assign(bytes, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

// The text of the first element of that local name anywhere in the document.
std::string elementText(const pugi::xml_document& document, const char* name) {
  pugi::xml_node found = document.find_node([name](pugi::xml_node node) {
    std::string element = node.name();
    const std::size_t colon = element.find(':');
    return (colon == std::string::npos ? element : element.substr(colon + 1)) == name;
  });
  return found ? std::string(found.child_value()) : std::string("(none)");
}

void checkManifest(const std::wstring& program) {
  SCOPED_TRACE(narrow(program));
  const std::string text = manifestOf(program);
  ASSERT_FALSE(text.empty()) << "no manifest";
  pugi::xml_document document;
  ASSERT_TRUE(document.load_buffer(text.data(), text.size())) << "not XML";
  pugi::xml_node level = document.find_node([](pugi::xml_node node) {
    return std::string(node.name()) == "requestedExecutionLevel";
  });
  EXPECT_STREQ(level.attribute("level").value(), "asInvoker");
  EXPECT_STREQ(level.attribute("uiAccess").value(), "false");
  std::vector<std::string> systems;
  document.find_node([&systems](pugi::xml_node node) {
    if (std::string(node.name()) == "supportedOS")
      systems.push_back(node.attribute("Id").value());
    return false;
  });
  EXPECT_EQ(systems, (std::vector<std::string>{"{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                                               "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}));
  EXPECT_EQ(elementText(document, "longPathAware"), "true");
  const bool commonControls = text.find("Microsoft.Windows.Common-Controls") != std::string::npos;
  EXPECT_EQ(commonControls, isWindow(program));
  // The page has fixed pixel sizes and the control is not asked to scale it:
  // the window leaves scaling to the system, and says so.
  EXPECT_EQ(elementText(document, "dpiAware"), isWindow(program) ? "false" : "(none)");
  EXPECT_EQ(elementText(document, "dpiAwareness"), "(none)");
}

TEST(ProgramManifests, EveryProgramOfThe64BitBuild) {
  const wchar_t* folder = _wgetenv(L"FENNICK_WINDOWS_PROGRAMS");
  ASSERT_NE(folder, nullptr) << "FENNICK_WINDOWS_PROGRAMS names the 64-bit build";
  for (const std::wstring& program : programsIn(folder))
    checkManifest(program);
}

TEST(ProgramManifests, EveryProgramOfThe32BitBuild) {
  const wchar_t* folder = _wgetenv(L"FENNICK_WINDOWS_X86_PROGRAMS");
  if (!folder || GetFileAttributesW((std::wstring(folder) + L"\\fennick-scan.exe").c_str()) ==
                     INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the 32-bit programs are not built";
  std::vector<std::wstring> programs = programsIn(folder);
  programs.pop_back(); // the 32-bit build embeds the 64-bit helper
  for (const std::wstring& program : programs)
    checkManifest(program);
}

} // namespace
