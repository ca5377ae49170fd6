// Windows Installer's product information: the stand-ins for
// MsiGetProductInfoW and for the component questions (MsiEnumComponentsW,
// MsiEnumClientsW, MsiGetComponentPathW), answered from the installed-product
// and component keys of the prefix's system.reg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Result codes of the call.
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

// The key paths of every component that Windows Installer installed for
// productCode, one per component, appended to keyPaths in no particular
// order. A key path is what the component registered: a file's full path
// ("C:\Program Files\Vendor\app.exe"), a folder's path with a trailing
// backslash ("C:\Program Files\Vendor\"), or a registry key path that
// starts with a two-digit root and a colon ("02:\Software\Vendor\x").
// Components without a recorded key path are left out. Returns 0 (also when
// the product has no component), kErrorUnknownProduct for a product the
// machine does not have, kErrorInvalidParameter for a code that is no braced
// GUID; keyPaths is left unchanged on failure.
std::uint32_t msiProductComponentPaths(const std::u16string& productCode,
                                       std::vector<std::u16string>& keyPaths);

} // namespace platform
