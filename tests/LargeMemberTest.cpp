// Archives whose members declare 4 GB: the check streams members through
// the digest, so the process stays small whatever a member declares.
#include "validation/JarValidator.h"

#include "Fixtures.h"
#include "platform/WindowsNamespace.h"
#include "validation/ValidationResult.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// The process's peak resident size in KiB (VmHWM), 0 when unknown.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0)
      return std::stol(line.substr(6));
  }
  return 0;
}

constexpr long kAllowedGrowthKiB = 32 * 1024;

int validateLarge(const std::string& name) {
  JarValidator validator;
  return validator.validate(platform::toWindowsPath(fixtures::folder("jar") + "/large/" + name));
}

} // namespace

TEST(LargeMember, DeclaredSizeBeyondDataIsHashedAsRead) {
  long before = peakResidentKiB();
  ASSERT_GT(before, 0);
  // The manifest lists the digest of the one MiB the member really holds.
  EXPECT_EQ(validateLarge("declared-member.jar"), ValidationResult::Verified);
  EXPECT_LT(peakResidentKiB() - before, kAllowedGrowthKiB);
}

TEST(LargeMember, FourGigabyteMemberIsStreamed) {
  long before = peakResidentKiB();
  ASSERT_GT(before, 0);
  EXPECT_EQ(validateLarge("zero-member.jar"), ValidationResult::Verified);
  EXPECT_LT(peakResidentKiB() - before, kAllowedGrowthKiB);
}

TEST(LargeMember, SignatureFileIsHeldAsReadNotAsDeclared) {
  long before = peakResidentKiB();
  ASSERT_GT(before, 0);
  // 60 MiB declared, within the limit for META-INF/ members, one MiB held:
  // read whole, and the block does not verify over those bytes.
  EXPECT_EQ(validateLarge("declared-sf.jar"), ValidationResult::BadSignature);
  EXPECT_LT(peakResidentKiB() - before, kAllowedGrowthKiB);
}
