// Shell special folders and the 32/64-bit question: the stand-ins for
// SHGetSpecialFolderPathW and IsWow64Process. On Linux the folders come from
// the prefix's registry, with the default layout of a fresh prefix where a
// value is missing; on Windows from the system.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The folder identifiers (CSIDL_*) that the system asks for.
inline constexpr int CSIDL_PERSONAL = 0x05;
inline constexpr int CSIDL_FAVORITES = 0x06;
inline constexpr int CSIDL_FONTS = 0x14;
inline constexpr int CSIDL_TEMPLATES = 0x15;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x17;
inline constexpr int CSIDL_APPDATA = 0x1A;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_SYSTEM = 0x25;
inline constexpr int CSIDL_PROGRAM_FILES = 0x26;
inline constexpr int CSIDL_MYPICTURES = 0x27;
inline constexpr int CSIDL_PROFILE = 0x28;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x2B;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;

// The longest folder path the call hands back: its buffer holds MAX_PATH
// (260) units including the terminator.
inline constexpr std::size_t kMaxFolderPath = 259;

// Which program this process plays. Fennick is the 32-bit program, whatever
// it was built as; the folder-token helper declares itself the 64-bit one at
// start-up.
enum class ProcessBitness { Bits32, Bits64 };
void setProcessBitness(ProcessBitness bitness);

// True when the machine is a 64-bit one: a prefix whose system.reg says
// "#arch=win64", or that has C:\windows\syswow64; a 64-bit Windows.
bool isPrefix64Bit();

// True when this process plays the 32-bit program on a 64-bit machine. False
// on a 32-bit machine, for the 64-bit helper, and when there is no prefix at
// all.
bool isWow64Process();

// The Windows path of the special folder csidl as the program this process
// plays sees it (without a trailing backslash). The 32-bit program on a
// 64-bit machine gets the "(x86)" program files folders and
// C:\windows\syswow64. False, path unchanged, for an identifier not listed
// above, when the prefix has no drive C:, or when the path would not fit the
// call's buffer.
bool shGetSpecialFolderPath(int csidl, std::u16string& path);

} // namespace platform
