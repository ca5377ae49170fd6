// The codes a validator returns for one file. Only Affected leads to a Defect.
#pragma once

namespace ValidationResult {
inline constexpr int Verified = 0;
inline constexpr int FileNotFound = 1;
inline constexpr int NoSignature = 2;
inline constexpr int BadSignature = 3;
inline constexpr int Revoked = 4;
inline constexpr int ExplicitlyDistrusted = 5;
inline constexpr int Affected = 6;
inline constexpr int OtherTrustFailure = 65535;

// "Verified", "FileNotFound", ...; null for a value outside the set.
const char* name(int result);
} // namespace ValidationResult
