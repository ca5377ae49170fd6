// The signed-archive check on the archives tests/fixtures/make-jar.sh builds:
// which result each kind of archive gets, and when a verified archive is
// affected.
#include "validation/JarValidator.h"

#include "Fixtures.h"
#include "platform/WineHost.h"
#include "platform/WindowsNamespace.h"
#include "validation/ValidationResult.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::string fixture(const std::string& name) { return fixtures::folder("jar") + "/" + name; }

// Archives are named by their Windows path, as the scan hands them over.
std::u16string archive(const std::string& name) { return platform::toWindowsPath(fixture(name)); }

std::u16string thumbprintOf(const std::string& certificate) {
  std::string text = fixtures::readLine(fixture("certs/" + certificate + ".thumbprint"));
  return std::u16string(text.begin(), text.end());
}

void expectResults(JarValidator& validator, std::initializer_list<const char*> names, int expected) {
  for (const char* name : names)
    EXPECT_EQ(validator.validate(archive(name)), expected) << name;
}

} // namespace

TEST(JarValidator, SignedArchivesVerify) {
  JarValidator validator;
  expectResults(validator,
                {"sha-digest.jar", "sha1-digest.jar", "continuation-names.jar", "lowercase-sf.jar",
                 "unlisted-last.jar", "folder-entries.jar", "intermediate-first.jar"},
                ValidationResult::Verified);
}

TEST(JarValidator, ArchivesThatCannotBeOpened) {
  JarValidator validator;
  EXPECT_EQ(validator.validate(archive("not-an-archive.jar")), ValidationResult::FileNotFound);
  EXPECT_EQ(validator.validate(archive("no-such.jar")), ValidationResult::FileNotFound);
  EXPECT_EQ(validator.validate(archive("")), ValidationResult::FileNotFound); // the folder
}

TEST(JarValidator, MissingOrUnreadableSignaturePieces) {
  JarValidator validator;
  // A folder spelled meta-inf/ is not the signature folder; the first
  // ".SF" is taken even when it is empty; a signature file declared larger
  // than 64 MiB is not read.
  expectResults(validator,
                {"unsigned.jar", "no-manifest.jar", "no-block.jar", "lowercase-folder.jar",
                 "empty-sf.jar", "huge-sf.jar"},
                ValidationResult::NoSignature);
}

TEST(JarValidator, BrokenSignaturesAndChangedMembers) {
  JarValidator validator;
  expectResults(validator,
                {"tampered-first.jar", "tampered-last.jar", "unlisted-first.jar",
                 "manifest-changed.jar", "sf-changed.jar", "sf-section-missing.jar"},
                ValidationResult::BadSignature);
  // Each listed name needs a member of that name: a second copy of another
  // member does not stand in for a missing one.
  EXPECT_EQ(validator.validate(archive("member-missing-other-twice.jar")),
            ValidationResult::BadSignature);
  // Every member the walk matches must yield at least one byte: a listed
  // empty member fails even with the digest of no bytes.
  EXPECT_EQ(validator.validate(archive("empty-member.jar")), ValidationResult::BadSignature);
}

TEST(JarValidator, Md5VerifiesOnlyInItsOldestForm) {
  JarValidator validator;
  // RSA over the MD5 of the signature file without signed attributes, the
  // certificates tried in stored order: an EC certificate ahead of the RSA
  // signer ends the search, and MD5 over signed attributes is refused.
  expectResults(validator, {"ec-certificate-first.jar", "signed-attributes.jar"},
                ValidationResult::BadSignature);
  // Blocks of today's algorithms verify whatever their member's extension.
  expectResults(validator, {"rsa-sha256-block.jar", "jarsigner-sha256.jar"},
                ValidationResult::Verified);
  if (!platform::runningUnderWine()) // Wine's message verification imports RSA keys only
    expectResults(validator, {"dsa-as-rsa.jar"}, ValidationResult::Verified);
}

TEST(JarValidator, ArchivesSignedWithTodaysAlgorithmsVerify) {
  // jarsigner's archives under RSA, DSA and ECDSA with SHA-1, SHA-256,
  // SHA-384 and SHA-512 (its blocks carry signed attributes, its SHA-384
  // and SHA-512 values run over continuation lines), blocks found as
  // ".RSA", ".DSA" and ".EC"; and each with a member changed.
  JarValidator validator;
  for (const char* key : {"rsa", "dsa", "ec"}) {
    if (std::string(key) != "rsa" && platform::runningUnderWine()) {
      std::printf("skipped %s: Wine's message verification imports RSA keys only\n", key);
      continue;
    }
    for (const char* digest : {"sha1", "sha256", "sha384", "sha512"}) {
      const std::string name = std::string("jarsigner-") + key + "-" + digest + ".jar";
      EXPECT_EQ(validator.validate(archive(name)), ValidationResult::Verified) << name;
      EXPECT_EQ(validator.validate(archive("tampered-" + name)), ValidationResult::BadSignature)
          << name;
    }
  }
  expectResults(validator, {"signed-attributes-sha256.jar", "signed-attributes-sha384.jar"},
                ValidationResult::Verified);
  // The old DSA and EC blocks of openssl, without signed attributes.
  if (!platform::runningUnderWine())
    expectResults(validator, {"dsa-block.jar", "ec-block.jar"}, ValidationResult::Verified);
}

TEST(JarValidator, AttributeFormSwitchLastsOneCall) {
  // After an archive in the "SHA1-" form, the next call starts again with
  // the first form.
  JarValidator validator;
  EXPECT_EQ(validator.validate(archive("sha1-digest.jar")), ValidationResult::Verified);
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Verified);
  EXPECT_EQ(validator.validate(archive("sha1-digest.jar")), ValidationResult::Verified);
}

TEST(JarValidator, AffectedWhenTheVerifyingCertificateMatches) {
  JarValidator validator;
  std::u16string thumbprint = thumbprintOf("signer");
  for (char16_t& c : thumbprint)
    c = (c >= u'A' && c <= u'F') ? char16_t(c + 0x20) : c;
  validator.certificateHash = thumbprint; // lower case still matches
  validator.companyName = u"fixture SIGNER";
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Affected);
  // The signer, not the certificate stored ahead of it, is reported.
  EXPECT_EQ(validator.validate(archive("intermediate-first.jar")), ValidationResult::Affected);
  // Only verified archives can be affected.
  EXPECT_EQ(validator.validate(archive("tampered-first.jar")), ValidationResult::BadSignature);

  // Archives carry no signing time, so any date window lets them through.
  validator.startDate = FileTime::fromTicks(kFileTimeUnixEpoch + 1);
  validator.endDate = FileTime::fromTicks(kFileTimeUnixEpoch + 2);
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Affected);
}

TEST(JarValidator, VendorArchivesAreAffectedUnderTheVendorCriteria) {
  // The criteria the shipped configuration gives for archives.
  JarValidator validator;
  validator.companyName = u"Orvia Systems";
  validator.certificateHash = u"BBCA7C15C27E00122C51451E9EF7B6A3EB56178D";
  EXPECT_EQ(thumbprintOf("vendor"), validator.certificateHash);
  EXPECT_EQ(validator.validate(archive("vendor-signed.jar")), ValidationResult::Affected);
  EXPECT_EQ(validator.validate(archive("vendor-signed-sha1.jar")), ValidationResult::Affected);
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Verified);
  // Signed today, over signed attributes, the chain stored along: the signer
  // the block names is the one reported.
  for (const char* name : {"jarsigner-rsa-sha256.jar", "jarsigner-rsa-sha512.jar",
                           "signed-attributes-sha384.jar"})
    EXPECT_EQ(validator.validate(archive(name)), ValidationResult::Affected) << name;
}

TEST(JarValidator, VerifiedButNotAffected) {
  JarValidator validator;
  validator.certificateHash = thumbprintOf("other");
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Verified);

  validator.certificateHash = thumbprintOf("signer");
  validator.companyName = u"Orvia";
  EXPECT_EQ(validator.validate(archive("sha-digest.jar")), ValidationResult::Verified);

  // Neither hash nor dates: never affected.
  JarValidator unconfigured;
  EXPECT_EQ(unconfigured.validate(archive("sha-digest.jar")), ValidationResult::Verified);
}

TEST(JarValidator, OneValidatorChecksSeveralArchivesAtOnce) {
  // A scan checks archives on several threads with the one validator of
  // their extension: no call may see another's manifest or digest names
  // (the thread-sanitizer build sees every such sharing; here it shows in
  // wrong results often enough).
  JarValidator validator;
  const std::vector<std::pair<std::u16string, int>> cases = {
      {archive("sha-digest.jar"), ValidationResult::Verified},
      {archive("sha1-digest.jar"), ValidationResult::Verified},
      {archive("tampered-last.jar"), ValidationResult::BadSignature},
      {archive("manifest-changed.jar"), ValidationResult::BadSignature},
      {archive("unsigned.jar"), ValidationResult::NoSignature}};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 150; ++round) {
        const auto& [path, expected] = cases[(t + std::size_t(round)) % cases.size()];
        if (validator.validate(path) != expected)
          ++wrong;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(JarValidator, ThumbprintIsTakenOverTheCertificateAsStored) {
  // The block stores the signer's certificate in BER that is not DER: its
  // thumbprint is that of the stored bytes, not of a re-encoding.
  JarValidator validator;
  validator.certificateHash = thumbprintOf("noncanonical-signer");
  EXPECT_EQ(validator.validate(archive("noncanonical-signer.jar")), ValidationResult::Affected);
  validator.certificateHash = thumbprintOf("signer"); // the same certificate in DER
  EXPECT_EQ(validator.validate(archive("noncanonical-signer.jar")), ValidationResult::Verified);
}
