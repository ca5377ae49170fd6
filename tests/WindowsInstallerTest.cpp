// Installed-product questions answered from the prefix's registry.
#include "platform/WindowsInstaller.h"

#include "TestPrefix.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

constexpr char16_t kKnown[] = u"{12345678-ABCD-EF01-2345-6789ABCDEF01}";
constexpr char16_t kUnknown[] = u"{00000000-1111-2222-3333-444444444444}";

struct Answer {
  std::uint32_t result;
  std::u16string value;
  std::uint32_t length;
};

Answer ask(const std::u16string& code, const std::u16string& property, std::uint32_t size = 260) {
  std::vector<char16_t> buffer(size + 1, u'#');
  std::uint32_t length = size;
  std::uint32_t result = platform::msiGetProductInfo(code, property, buffer.data(), length);
  std::u16string value(buffer.data(), std::find(buffer.begin(), buffer.end() - 1, 0) - buffer.begin());
  return {result, value, length};
}

} // namespace

TEST(WindowsInstaller, PackedCodeReversesGroupsAndSwapsBytePairs) {
  std::u16string packed;
  ASSERT_TRUE(platform::packProductCode(kKnown, packed));
  EXPECT_EQ(packed, u"87654321DCBA10FE32547698BADCFE10");
  for (const char16_t* bad : {u"12345678-ABCD-EF01-2345-6789ABCDEF01", u"{12345678-ABCD-EF01-2345-6789ABCDEF0}",
                              u"{12345678-ABCD-EF01-2345-6789ABCDEF0G}", u"{12345678ABCD-EF01-2345-6789ABCDEF012}"})
    EXPECT_FALSE(platform::packProductCode(bad, packed));
}

TEST(WindowsInstaller, KnownProductAnswersLocationAndName) {
  TestPrefix machine;
  machine.addInstalledProduct(kKnown, u"Orvia Sketch Studio", u"C:\\Program Files\\Orvia\\Sketch\\");
  Answer location = ask(kKnown, u"InstallLocation");
  EXPECT_EQ(location.result, 0u);
  EXPECT_EQ(location.value, u"C:\\Program Files\\Orvia\\Sketch\\");
  EXPECT_EQ(location.length, location.value.size());
  Answer name = ask(kKnown, u"InstalledProductName");
  EXPECT_EQ(name.result, 0u);
  EXPECT_EQ(name.value, u"Orvia Sketch Studio");
  // The registry compares keys without case: a lower-case code finds it too.
  EXPECT_EQ(ask(u"{12345678-abcd-ef01-2345-6789abcdef01}", u"InstalledProductName").value,
            u"Orvia Sketch Studio");
}

TEST(WindowsInstaller, UnknownProductsAndMalformedCodesFail) {
  TestPrefix machine;
  machine.addInstalledProduct(kKnown, u"Name", u"C:\\P");
  EXPECT_EQ(ask(kUnknown, u"InstallLocation").result, platform::kErrorUnknownProduct);
  EXPECT_EQ(ask(u"12345678-ABCD-EF01-2345-6789ABCDEF01", u"InstallLocation").result,
            platform::kErrorInvalidParameter);
  EXPECT_EQ(ask(kKnown, u"NoSuchProperty").result, platform::kErrorUnknownProperty);
  std::filesystem::remove(machine.root / "system.reg");
  EXPECT_EQ(ask(kKnown, u"InstallLocation").result, platform::kErrorUnknownProduct);
}

TEST(WindowsInstaller, ValueMustLeaveRoomForItsTerminator) {
  TestPrefix machine;
  std::u16string fits = u"C:\\" + std::u16string(256, u'f');   // 259 units
  std::u16string tooLong = u"C:\\" + std::u16string(257, u'l'); // 260 units
  machine.addInstalledProduct(kKnown, u"A", fits);
  machine.addInstalledProduct(kUnknown, u"B", tooLong);
  Answer ok = ask(kKnown, u"InstallLocation");
  EXPECT_EQ(ok.result, 0u);
  EXPECT_EQ(ok.value, fits);
  Answer more = ask(kUnknown, u"InstallLocation");
  EXPECT_EQ(more.result, platform::kErrorMoreData);
  EXPECT_EQ(more.length, 260u);
  EXPECT_EQ(more.value, tooLong.substr(0, 259));
  // A null buffer asks for the length only.
  std::uint32_t length = 0;
  EXPECT_EQ(platform::msiGetProductInfo(kUnknown, u"InstallLocation", nullptr, length), 0u);
  EXPECT_EQ(length, 260u);
}

TEST(WindowsInstaller, MissingPropertyOfAKnownProductIsEmpty) {
  TestPrefix machine;
  machine.addInstalledProduct(kKnown, std::nullopt, u"");
  Answer name = ask(kKnown, u"InstalledProductName");
  EXPECT_EQ(name.result, 0u);
  EXPECT_EQ(name.value, u"");
  EXPECT_EQ(ask(kKnown, u"InstallLocation").result, 0u);
}

TEST(WindowsInstaller, PerUserInstallsAreFoundAfterPerMachineOnes) {
  TestPrefix machine;
  machine.addInstalledProduct(kKnown, u"Per user", u"C:\\U", "S-1-5-21-1-2-3-1000");
  EXPECT_EQ(ask(kKnown, u"InstallLocation").value, u"C:\\U");
  machine.addInstalledProduct(kKnown, u"Per machine", u"C:\\M");
  EXPECT_EQ(ask(kKnown, u"InstallLocation").value, u"C:\\M");
}

TEST(WindowsInstaller, ComponentStateFollowsItsKeyPath) {
  TestPrefix machine;
  machine.addInstalledProduct(kKnown, u"Name", u"");
  machine.writeFile("P/app.dll");
  machine.makeFolder("P/Data");
  const std::u16string c = u"{10000000-0000-0000-0000-00000000000";
  struct Case {
    char16_t last;
    std::u16string recorded;
    int state;
  };
  const Case cases[] = {
      {u'1', u"C:\\P\\app.dll", platform::kInstallStateLocal},
      {u'2', u"C:\\P\\Data\\", platform::kInstallStateLocal},
      {u'3', u"C:\\P\\gone.dll", platform::kInstallStateAbsent}, // its key file was deleted
      {u'4', u"C:\\P\\Data", platform::kInstallStateAbsent},     // a folder is no key file
      {u'5', u"02:\\Software\\Vendor\\Installed", platform::kInstallStateLocal},
      {u'6', u"22:\\Software\\Vendor\\Installed", platform::kInstallStateLocal}, // 64-bit key
      {u'7', u"01\\Vendor\\app.dll", platform::kInstallStateSource},
      {u'8', u"", platform::kInstallStateAbsent},
  };
  for (const Case& expected : cases) {
    SCOPED_TRACE(TestPrefix::utf8(expected.recorded));
    machine.addComponent(c + expected.last + u"}", kKnown, expected.recorded);
    std::u16string keyPath = u"kept";
    std::uint64_t before = platform::msiComponentCallCount();
    EXPECT_EQ(platform::msiGetComponentPath(kKnown, c + expected.last + u"}", keyPath),
              expected.state);
    EXPECT_EQ(platform::msiComponentCallCount() - before, 1u);
    EXPECT_EQ(keyPath, expected.recorded.empty() ? u"kept" : expected.recorded);
  }
  std::u16string keyPath;
  EXPECT_EQ(platform::msiGetComponentPath(kKnown, c + u"9}", keyPath),
            platform::kInstallStateUnknown); // not a component of this product
  EXPECT_EQ(platform::msiGetComponentPath(kUnknown, c + u"1}", keyPath),
            platform::kInstallStateUnknown);
  EXPECT_EQ(platform::msiGetComponentPath(kKnown, u"{10000000}", keyPath),
            platform::kInstallStateInvalidArgument);

  // Looking through the machine's components yields the local ones only,
  // one question for each component of the machine.
  machine.addComponent(c + u"9}", u"{00000000-1111-2222-3333-555555555555}", u"C:\\P\\app.dll");
  std::vector<std::u16string> local;
  std::uint64_t before = platform::msiComponentCallCount();
  ASSERT_EQ(platform::msiProductComponentPaths(kKnown, local), 0u);
  EXPECT_EQ(platform::msiComponentCallCount() - before, 9u);
  std::sort(local.begin(), local.end());
  EXPECT_EQ(local, (std::vector<std::u16string>{u"02:\\Software\\Vendor\\Installed",
                                                u"22:\\Software\\Vendor\\Installed",
                                                u"C:\\P\\Data\\", u"C:\\P\\app.dll"}));
}
