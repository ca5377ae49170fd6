// The user's languages as the system keeps them: GetUserDefaultUILanguage
// and GetUserDefaultLangID.
#include "platform/Locale.h"

#include <windows.h>

namespace platform {

std::uint16_t userDefaultUILanguage() { return GetUserDefaultUILanguage(); }

std::uint16_t userDefaultLangId() { return GetUserDefaultLangID(); }

} // namespace platform
