// The list of trusted roots the platform keeps (a certificate trust list,
// szOID_CTL, signed by the platform vendor's list signer): which roots are
// trusted, for which extended key usages, and from and until when. Read
// only after the list's own signature has been verified under one of the
// vendor's roots that the list itself names. Platform code only.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"
#include "util/FileTime.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using CertificateHash = std::array<std::uint8_t, 20>; // SHA-1 of a certificate's encoding

// The properties of one root as the list gives them (each a certificate
// property of the platform's stores).
struct RootProgramEntry {
  // CERT_ENHKEY_USAGE_PROP_ID: the usages (dotted object identifiers) the
  // root is trusted for; without the property, every usage.
  std::optional<std::set<std::string>> usages;
  // CERT_DISALLOWED_FILETIME_PROP_ID with CERT_DISALLOWED_ENHKEY_USAGE_PROP_ID:
  // from this time on the root no longer vouches for the usages named (all
  // of them when none are named); a signature time-stamped earlier still does.
  std::optional<FileTime> disallowedFrom;
  std::set<std::string> disallowedUsages;
  // CERT_NOT_BEFORE_FILETIME_PROP_ID with CERT_NOT_BEFORE_ENHKEY_USAGE_PROP_ID:
  // certificates issued from this time on are not trusted under the root
  // for the usages named (all when none are named).
  std::optional<FileTime> notBefore;
  std::set<std::string> notBeforeUsages;
};

struct RootProgramList {
  std::map<CertificateHash, RootProgramEntry> roots;
  // The encodings of the listed roots among those given, as sent. They are
  // decoded only when a chain asks for one: decoding hundreds of public
  // keys would cost more than most checks.
  std::vector<std::vector<std::uint8_t>> encodings;
};

// Reads the signed list stl and picks out of rootCertificates (PEM or DER
// objects, any number) the certificates it names. The list is used only
// when its SignedData verifies: its signer's signature over the list, the
// signer certificate's root-list-signer usage, and its chain, as of the
// list's own date, to a vendor root that the list names and that is among
// rootCertificates. False, with list empty, otherwise.
bool readRootProgramList(std::span<const std::uint8_t> stl,
                         std::span<const std::uint8_t> rootCertificates, RootProgramList& list);

// The certificates of a PEM file (any number) or of one DER certificate,
// each remembering the bytes it was decoded from.
std::vector<X509_ptr> readCertificates(std::span<const std::uint8_t> bytes);

// The same, left encoded: the DER of each certificate, undecoded.
std::vector<std::vector<std::uint8_t>> readCertificateEncodings(std::span<const std::uint8_t> bytes);

// The certificates of PEM text in its plain form (certificate blocks of
// Base64 lines, no headers), appended to encodings, as OpenSSL's PEM reader
// reads them; false for anything else, which that reader then reads.
bool readPlainPemCertificates(std::string_view text,
                              std::vector<std::vector<std::uint8_t>>& encodings);

// One certificate decoded from der (all of it), remembering those bytes;
// null when they are no certificate.
X509_ptr decodeCertificate(std::span<const std::uint8_t> der);

} // namespace platform
