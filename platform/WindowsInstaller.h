// Windows Installer's product information: the stand-ins for
// MsiGetProductInfoW and for the component questions (MsiGetComponentPathW,
// and MsiEnumComponentsW with MsiEnumClientsW for all of a product's
// components), answered from the installed-product and component keys of the
// prefix's system.reg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Result codes of the calls.
inline constexpr std::uint32_t kErrorMoreData = 234;         // ERROR_MORE_DATA
inline constexpr std::uint32_t kErrorInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kErrorUnknownProduct = 1605;  // ERROR_UNKNOWN_PRODUCT
inline constexpr std::uint32_t kErrorUnknownProperty = 1608; // ERROR_UNKNOWN_PROPERTY

// The registry form of a product code: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// with the first three groups reversed and the two digits of every byte of
// the last two groups swapped, 32 characters without separators. False when
// the code is not a braced GUID.
bool packProductCode(const std::u16string& productCode, std::u16string& packed);

// Asks for one property of an installed product ("InstallLocation",
// "InstalledProductName", "VersionString", "Publisher", ...). length holds
// the buffer's size in UTF-16 units on entry and the value's length, without
// its terminator, on return. Returns 0 with the value and a terminating zero
// in buffer; kErrorMoreData when the value needs length units or more (the
// buffer then holds as much as fits, terminated); kErrorUnknownProduct for a
// product the machine does not have; kErrorInvalidParameter for a code that
// is no braced GUID; kErrorUnknownProperty for a property not served. A
// known product without the property answers an empty value. With a null
// buffer only the length is reported.
std::uint32_t msiGetProductInfo(const std::u16string& productCode, const std::u16string& property,
                                char16_t* buffer, std::uint32_t& length);

// Install states of a component (INSTALLSTATE_*).
inline constexpr int kInstallStateInvalidArgument = -2; // a code that is no braced GUID
inline constexpr int kInstallStateUnknown = -1; // product or component not known together
inline constexpr int kInstallStateAbsent = 2;   // not installed, or its key path is gone
inline constexpr int kInstallStateLocal = 3;    // installed on this machine
inline constexpr int kInstallStateSource = 4;   // runs from its installation source

// Where component componentCode of product productCode is installed, and
// how. A key path is what the component registered: a file's full path
// ("C:\Program Files\Vendor\app.exe"), a folder's path with a trailing
// backslash ("C:\Program Files\Vendor\"), or a registry key path that
// starts with a two-digit root and a colon ("02:\Software\Vendor\x"; 20 is
// added to the root of a 64-bit key). A component whose key file or folder
// is missing counts as absent, as Windows Installer counts it; on a prefix
// a registry key path is not looked up (it counts as local). keyPath gets
// the key path whenever one is recorded for the product, in the absent
// state too, and is left unchanged otherwise.
int msiGetComponentPath(const std::u16string& productCode, const std::u16string& componentCode,
                        std::u16string& keyPath);

// The key paths of the components that Windows Installer installed locally
// for productCode (kInstallStateLocal), one per component, appended to
// keyPaths in no particular order. This asks about every component of the
// machine; it is the way when a product's own package cannot tell its
// components. A component the installer cannot answer for is skipped, never
// the rest of the list. Returns 0 (also when the product has no component),
// kErrorUnknownProduct for a product the machine does not have,
// kErrorInvalidParameter for a code that is no braced GUID; keyPaths is left
// unchanged on failure.
std::uint32_t msiProductComponentPaths(const std::u16string& productCode,
                                       std::vector<std::u16string>& keyPaths);

// How many questions about single components this process has asked Windows
// Installer so far: one for each msiGetComponentPath, and for
// msiProductComponentPaths one for each component of the machine it looks
// at (on Windows, each MsiEnumComponentsW, MsiEnumClientsW and
// MsiGetComponentPathW call). Tests read it to bound what a scan costs.
std::uint64_t msiComponentCallCount();

} // namespace platform
