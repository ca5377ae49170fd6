// The statuses of the Authenticode trust check, as the platform's trust
// verification returns them (HRESULT values).
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t kTrustSuccess = 0x00000000;              // ERROR_SUCCESS
inline constexpr std::uint32_t kTrustNoSignature = 0x800B0100;          // TRUST_E_NOSIGNATURE
inline constexpr std::uint32_t kTrustSubjectFormUnknown = 0x800B0003;   // TRUST_E_SUBJECT_FORM_UNKNOWN
inline constexpr std::uint32_t kTrustNoSignerCert = 0x800B0004;         // TRUST_E_NO_SIGNER_CERT
inline constexpr std::uint32_t kTrustBadDigest = 0x80096010;            // TRUST_E_BAD_DIGEST
inline constexpr std::uint32_t kTrustCounterSigner = 0x80096003;        // TRUST_E_COUNTER_SIGNER
inline constexpr std::uint32_t kTrustCertSignature = 0x80096004;        // TRUST_E_CERT_SIGNATURE
inline constexpr std::uint32_t kTrustTimeStamp = 0x80096005;            // TRUST_E_TIME_STAMP
inline constexpr std::uint32_t kTrustBasicConstraints = 0x80096019;     // TRUST_E_BASIC_CONSTRAINTS
inline constexpr std::uint32_t kTrustExplicitDistrust = 0x800B0111;     // TRUST_E_EXPLICIT_DISTRUST
inline constexpr std::uint32_t kCertExpired = 0x800B0101;               // CERT_E_EXPIRED
inline constexpr std::uint32_t kCertCritical = 0x800B0105;              // CERT_E_CRITICAL
inline constexpr std::uint32_t kCertUntrustedRoot = 0x800B0109;         // CERT_E_UNTRUSTEDROOT
inline constexpr std::uint32_t kCertChaining = 0x800B010A;              // CERT_E_CHAINING
inline constexpr std::uint32_t kCertRevoked = 0x800B010C;               // CERT_E_REVOKED
inline constexpr std::uint32_t kCertWrongUsage = 0x800B0110;            // CERT_E_WRONG_USAGE
inline constexpr std::uint32_t kCryptFileError = 0x80092003;            // CRYPT_E_FILE_ERROR
inline constexpr std::uint32_t kBadAlgorithm = 0x80090008;              // NTE_BAD_ALGID

} // namespace platform
