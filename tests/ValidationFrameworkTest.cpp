// The file filter, the validator factory and the affected rule.
#include "validation/FileFilter.h"
#include "validation/ValidatorBase.h"
#include "validation/ValidatorFactory.h"

#include <gtest/gtest.h>

namespace {

class NamedValidator : public ValidatorBase {
public:
  int validate(std::u16string) override { return 0; }
};

constexpr std::uint64_t kTick2011 = 129446208000000000ULL; // 2011-03-15 00:00 UTC

SignerInfo signer(std::u16string names, std::u16string thumbprint, std::uint64_t ticks) {
  SignerInfo info;
  info.subjectNames = std::move(names);
  info.thumbprint = std::move(thumbprint);
  info.signingTime = FileTime::fromTicks(ticks);
  return info;
}

} // namespace

TEST(FileFilter, AcceptsByExtensionInAnyAsciiCase) {
  CustomFileFilter filter;
  EXPECT_FALSE(filter.accept(u"C:\\a.dll"));
  filter.addExtension(u".dll");
  filter.addExtension(u".exe");
  EXPECT_TRUE(filter.accept(u"C:\\LIB.Dll"));
  EXPECT_TRUE(filter.accept(u"setup.EXE"));
  EXPECT_TRUE(filter.accept(u".exe"));
  EXPECT_FALSE(filter.accept(u"exe"));
  EXPECT_FALSE(filter.accept(u"C:\\notes.txt"));
}

TEST(ValidatorFactory, FirstMatchingKeyInCodeUnitOrderWins) {
  CustomValidatorFactory factory;
  NamedValidator lower, upper, gz, targz;
  factory.registerValidator(u".bin", &lower);
  factory.registerValidator(u".BIN", &upper);
  EXPECT_EQ(factory.getValidator(u"x.bin"), &upper);
  factory.registerValidator(u".gz", &gz);
  factory.registerValidator(u".tar.gz", &targz);
  EXPECT_EQ(factory.getValidator(u"x.tar.gz"), &gz);
  EXPECT_EQ(factory.getValidator(u"x.txt"), nullptr);
  factory.registerValidator(u".bin", &gz); // a later registration replaces
  factory.registerValidator(u".BIN", &gz);
  EXPECT_EQ(factory.getValidator(u"X.Bin"), &gz);
}

TEST(IsAffected, CompanyAndHashChecks) {
  NamedValidator v;
  v.companyName = u"orvia systems";
  v.certificateHash = u"ab12";
  EXPECT_TRUE(v.isAffected(signer(u"Build Signer{|}ORVIA SYSTEMS Issuing CA", u"00AB12FF", 0)));
  EXPECT_FALSE(v.isAffected(signer(u"Someone Else{|}Other CA", u"00AB12FF", 0)));
  // Empty chain names skip the company test; an empty thumbprint fails the hash test.
  EXPECT_TRUE(v.isAffected(signer(u"", u"AB12", 0)));
  EXPECT_FALSE(v.isAffected(signer(u"Orvia Systems", u"", 0)));
  EXPECT_FALSE(v.isAffected(signer(u"Orvia Systems", u"CDEF", 0)));
}

TEST(IsAffected, WithoutDatesOnlyAHashMakesAffected) {
  NamedValidator v;
  EXPECT_FALSE(v.isAffected(signer(u"Anyone", u"ABCD", kTick2011)));
  v.companyName = u"Anyone";
  EXPECT_FALSE(v.isAffected(signer(u"Anyone", u"ABCD", kTick2011)));
  v.certificateHash = u"abcd";
  EXPECT_TRUE(v.isAffected(signer(u"Anyone", u"ABCD", kTick2011)));
}

TEST(IsAffected, DateWindowIsInclusiveAndMissingTimeIsAffected) {
  NamedValidator v;
  v.certificateHash = u"AA";
  v.startDate = FileTime::fromTicks(kTick2011);
  EXPECT_TRUE(v.isAffected(signer(u"", u"AA", 0)));          // no time-stamp
  EXPECT_TRUE(v.isAffected(signer(u"", u"AA", kTick2011)));  // equal to the start
  EXPECT_FALSE(v.isAffected(signer(u"", u"AA", kTick2011 - 1)));
  v.endDate = FileTime::fromTicks(kTick2011 + 10);
  EXPECT_TRUE(v.isAffected(signer(u"", u"AA", kTick2011 + 10)));
  EXPECT_FALSE(v.isAffected(signer(u"", u"AA", kTick2011 + 11)));
}

TEST(IsAffected, HalfZeroTimesCountAsUnset) {
  NamedValidator v;
  v.certificateHash = u"AA";
  v.startDate = {0, 0x01CAFFFF}; // low half zero: no bound at all
  EXPECT_TRUE(v.isAffected(signer(u"", u"AA", 5)));
  v.startDate = FileTime::fromTicks(kTick2011);
  // A signing time with a zero low half counts as no time-stamp: affected.
  SignerInfo halfZero = signer(u"", u"AA", 0);
  halfZero.signingTime = {0, 1};
  EXPECT_TRUE(v.isAffected(halfZero));
}
