// Special folders of a prefix in the 32-bit and the 64-bit view.
#include "platform/SpecialFolders.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>


namespace {

std::u16string folder(int csidl) {
  std::u16string path = u"<failed>";
  platform::shGetSpecialFolderPath(csidl, path);
  return path;
}

// Runs the body as the 64-bit helper would, restoring the 32-bit view after.
struct As64BitProcess {
  As64BitProcess() { platform::setProcessBitness(platform::ProcessBitness::Bits64); }
  ~As64BitProcess() { platform::setProcessBitness(platform::ProcessBitness::Bits32); }
};


} // namespace

TEST(SpecialFolders, ThirtyTwoBitProcessOnA64BitPrefixSeesTheX86Folders) {
  TestPrefix machine(TestPrefix::Arch::Win64);
  EXPECT_TRUE(platform::isWow64Process());
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"C:\\Program Files (x86)");
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES_COMMON), u"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\windows\\syswow64");

  As64BitProcess helper;
  EXPECT_FALSE(platform::isWow64Process());
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"C:\\Program Files");
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES_COMMON), u"C:\\Program Files\\Common Files");
  EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\windows\\system32");
}

TEST(SpecialFolders, ThirtyTwoBitPrefixHasOneView) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  EXPECT_FALSE(platform::isPrefix64Bit());
  EXPECT_FALSE(platform::isWow64Process());
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"C:\\Program Files");
  EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\windows\\system32");
}

TEST(SpecialFolders, EitherSignMakesThePrefix64Bit) {
  {
    TestPrefix archOnly({.arch = TestPrefix::Arch::Win64, .syswow64 = false});
    EXPECT_TRUE(platform::isWow64Process());
  }
  {
    TestPrefix folderOnly({.arch = TestPrefix::Arch::Win64, .archLine = false});
    EXPECT_TRUE(platform::isWow64Process());
    EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\windows\\syswow64");
  }
}

TEST(SpecialFolders, MissingValuesFallBackToTheDefaultLayout) {
  TestPrefix machine({.arch = TestPrefix::Arch::Win64, .folderValues = false});
  ScopedEnvironment user("USER", "tester");
  std::u16string home = u"C:\\users\\tester";
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"C:\\Program Files (x86)");
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES_COMMON), u"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(folder(platform::CSIDL_COMMON_APPDATA), u"C:\\ProgramData");
  EXPECT_EQ(folder(platform::CSIDL_COMMON_DOCUMENTS), u"C:\\users\\Public\\Documents");
  EXPECT_EQ(folder(platform::CSIDL_FONTS), u"C:\\windows\\Fonts");
  EXPECT_EQ(folder(platform::CSIDL_COMMON_PROGRAMS),
            u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(folder(platform::CSIDL_PERSONAL), home + u"\\Documents");
  EXPECT_EQ(folder(platform::CSIDL_APPDATA), home + u"\\AppData\\Roaming");
  EXPECT_EQ(folder(platform::CSIDL_LOCAL_APPDATA), home + u"\\AppData\\Local");
  EXPECT_EQ(folder(platform::CSIDL_PROFILE), home);
  EXPECT_EQ(folder(platform::CSIDL_FAVORITES), home + u"\\Favorites");
  EXPECT_EQ(folder(platform::CSIDL_MYPICTURES), home + u"\\Pictures");
  EXPECT_EQ(folder(platform::CSIDL_TEMPLATES), home + u"\\Templates");
  EXPECT_EQ(folder(0x3F), u"<failed>"); // an identifier the system never asks for
}

TEST(SpecialFolders, RegistryValuesWinOverTheDefaults) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  ScopedEnvironment user("USER", "tester");
  machine.addMachineKeys(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
      "\"ProgramFilesDir\"=\"D:\\\\Apps\\\\\"\n"
      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
      "\"SystemRoot\"=\"C:\\\\winnt\"\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      "\"Common AppData\"=\"C:\\\\Shared Data\"\n");
  machine.addUserKeys(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      "\"Local AppData\"=str(2):\"%USERPROFILE%\\\\Local Settings\"\n"
      "\"Personal\"=\"\"\n"
      "\"Fonts\"=str(2):\"%SystemRoot%\\\\Fonts\"\n");
  // The system.reg values of the test prefix name "Program Files" for the
  // common folder; the later key section replaced only ProgramFilesDir.
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"D:\\Apps");
  EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\winnt\\system32");
  EXPECT_EQ(folder(platform::CSIDL_COMMON_APPDATA), u"C:\\Shared Data");
  EXPECT_EQ(folder(platform::CSIDL_LOCAL_APPDATA), u"C:\\users\\tester\\Local Settings");
  EXPECT_EQ(folder(platform::CSIDL_FONTS), u"C:\\winnt\\Fonts");
  // An empty value counts as missing.
  EXPECT_EQ(folder(platform::CSIDL_PERSONAL), u"C:\\users\\tester\\Documents");
}

TEST(SpecialFolders, TheUsersFoldersAreThePrefixesNotTheRunningAccounts) {
  ScopedEnvironment user("USER", "someone-else");
  TestPrefix machine({.arch = TestPrefix::Arch::Win64, .folderValues = false});
  // wineboot made C:\users\tester; the prefix's registry record wins over it.
  EXPECT_EQ(folder(platform::CSIDL_PERSONAL), u"C:\\users\\tester\\Documents");
  machine.addUserKeys("[Volatile Environment] 1\n\"USERPROFILE\"=\"C:\\\\users\\\\wine-user\"\n");
  EXPECT_EQ(folder(platform::CSIDL_PROFILE), u"C:\\users\\wine-user");
  // Without a record, of two users' folders neither is the user's: the user
  // has no folders at all, as without any.
  machine.addUserKeys("[Volatile Environment] 1\n\"USERPROFILE\"=\"\"\n");
  machine.makeFolder("users/another");
  EXPECT_EQ(folder(platform::CSIDL_PROFILE), u"<failed>");
  EXPECT_EQ(folder(platform::CSIDL_APPDATA), u"<failed>");
  std::filesystem::remove(machine.driveC("users/another"));
  EXPECT_EQ(folder(platform::CSIDL_PROFILE), u"C:\\users\\tester");
  std::filesystem::remove(machine.driveC("users/tester"));
  EXPECT_EQ(folder(platform::CSIDL_APPDATA), u"<failed>");
  EXPECT_EQ(folder(platform::CSIDL_COMMON_DOCUMENTS), u"C:\\users\\Public\\Documents");
}

TEST(SpecialFolders, AWindowsFolderThatNamesAVariableIsIgnored) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  machine.addMachineKeys("[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
                         "\"SystemRoot\"=str(2):\"%SystemRoot%\\\\again\"\n");
  machine.addUserKeys(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      "\"Fonts\"=str(2):\"%windir%\\\\Fonts\"\n");
  EXPECT_EQ(folder(platform::CSIDL_SYSTEM), u"C:\\windows\\system32");
  EXPECT_EQ(folder(platform::CSIDL_FONTS), u"C:\\windows\\Fonts");
}

TEST(SpecialFolders, PathsThatDoNotFitTheBufferFail) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  std::string longName(250, 'x');
  machine.addMachineKeys("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                         "\"ProgramFilesDir\"=\"C:\\\\" + longName + "\"\n");
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES), u"C:\\" + std::u16string(250, u'x'));
  // 266 units, more than the 259 a call can return.
  machine.addMachineKeys("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                         "\"CommonFilesDir\"=\"C:\\\\" + longName + "\\\\Common Files\"\n");
  EXPECT_EQ(folder(platform::CSIDL_PROGRAM_FILES_COMMON), u"<failed>");
}

TEST(SpecialFolders, WithoutADriveCEveryFolderFails) {
  TestPrefix machine({.arch = TestPrefix::Arch::Win64, .driveC = false});
  EXPECT_FALSE(platform::isWow64Process());
  for (int csidl : {platform::CSIDL_PROGRAM_FILES, platform::CSIDL_PROGRAM_FILES_COMMON,
                    platform::CSIDL_SYSTEM, platform::CSIDL_PROFILE, platform::CSIDL_FONTS,
                    platform::CSIDL_LOCAL_APPDATA})
    EXPECT_EQ(folder(csidl), u"<failed>") << csidl;
}
