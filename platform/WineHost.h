// Whether the program runs under Wine rather than on Windows itself. Wine's
// trust provider differs from Windows' in known ways (it does not judge
// chains of SHA-256 certificates, and it skips RFC 3161 time-stamps); tests
// ask this to tell such a difference from a fault of ours. Nothing in the
// product's own logic depends on it.
#pragma once

namespace platform {

// True under Wine (its ntdll exports wine_get_version); false on Windows
// and on every host that is no Windows at all.
bool runningUnderWine();

} // namespace platform
