// The forms in which paths reach the system's file calls: the Sysnative
// alias that lets a 32-bit process under WoW64 read the 64-bit system
// folder, and the extended-length form of long paths.
#include "platform/PathForms.h"

#include <gtest/gtest.h>

namespace {

using platform::extendedLengthPath;
using platform::throughSysnative;

TEST(Sysnative, PathsBelowTheWindowsSystem32AreReadThroughSysnative) {
  const std::u16string windows = u"C:\\Windows";
  EXPECT_EQ(throughSysnative(u"C:\\Windows\\System32\\drivers\\x.sys", windows),
            u"C:\\Windows\\Sysnative\\drivers\\x.sys");
  // The folder itself, as [System32Folder64] names it and a walk lists it.
  EXPECT_EQ(throughSysnative(u"C:\\windows\\system32", windows), u"C:\\windows\\Sysnative");
  EXPECT_EQ(throughSysnative(u"c:\\WINDOWS\\SYSTEM32\\*", windows), u"c:\\WINDOWS\\Sysnative\\*");
  EXPECT_EQ(throughSysnative(u"C:\\Windows\\System32\\", u"C:\\Windows\\"),
            u"C:\\Windows\\Sysnative\\");
  EXPECT_EQ(throughSysnative(u"C:/Windows/System32/a.dll", windows), u"C:/Windows/Sysnative/a.dll");
  EXPECT_EQ(throughSysnative(u"C:\\Windows\\\\System32\\a.dll", windows),
            u"C:\\Windows\\\\Sysnative\\a.dll");
  EXPECT_EQ(throughSysnative(u"\\\\?\\C:\\Windows\\System32\\a.dll", windows),
            u"\\\\?\\C:\\Windows\\Sysnative\\a.dll");
  // A Windows folder elsewhere is the one that counts.
  EXPECT_EQ(throughSysnative(u"D:\\WinNT\\System32\\a.dll", u"D:\\WinNT"),
            u"D:\\WinNT\\Sysnative\\a.dll");
}

TEST(Sysnative, EveryOtherPathIsLeftAsItIs) {
  const std::u16string windows = u"C:\\Windows";
  for (const std::u16string path :
       {u"C:\\Windows", u"C:\\Windows\\", u"C:\\Windows\\SysWOW64\\a.dll",
        u"C:\\Windows\\System32x\\a.dll", u"C:\\Windows\\System3", u"C:\\Windows2\\System32\\a",
        u"D:\\Windows\\System32\\a.dll", u"C:\\Program Files\\System32\\a.dll",
        u"C:\\Windows\\Sysnative\\a.dll", u"\\\\server\\share\\Windows\\System32\\a",
        u"System32\\a.dll", u""}) {
    EXPECT_EQ(throughSysnative(path, windows), path);
  }
  // Without a Windows folder nothing is mapped.
  EXPECT_EQ(throughSysnative(u"C:\\Windows\\System32", u""), u"C:\\Windows\\System32");
}

TEST(ExtendedLengthPath, DrivePathsAndSharesTakeTheExtendedForm) {
  EXPECT_EQ(extendedLengthPath(u"C:\\a\\b.txt"), u"\\\\?\\C:\\a\\b.txt");
  EXPECT_EQ(extendedLengthPath(u"z:\\"), u"\\\\?\\z:\\");
  EXPECT_EQ(extendedLengthPath(u"\\\\server\\share\\dir\\f.exe"),
            u"\\\\?\\UNC\\server\\share\\dir\\f.exe");
}

TEST(ExtendedLengthPath, OtherFormsStayAsTheyAre) {
  for (const std::u16string path :
       {u"\\\\?\\C:\\a", u"\\\\?\\UNC\\s\\h\\a", u"\\??\\C:\\a", u"\\\\.\\pipe\\p", u"C:a.txt",
        u"C:", u"\\a\\b", u"a\\b", u"\\\\\\x", u""}) {
    EXPECT_EQ(extendedLengthPath(path), path);
  }
}

} // namespace
