// The folder tokens: which special folder each token and each element of the
// helper's token.xml stands for. Shared by the token reader and the
// folder-token helper, which must agree on the element names.
#pragma once

#include "platform/SpecialFolders.h"

#include <string_view>

// A 32-bit token, filled in this order from the special folder csidl with
// suffix appended.
struct FolderTokenRow {
  std::u16string_view token;
  int csidl;
  std::u16string_view suffix;
};

inline constexpr FolderTokenRow kFolderTokens32[] = {
    {u"[OrviaProgramFiles]", platform::CSIDL_PROGRAM_FILES, u"\\Orvia"},
    {u"[OrviaCommon]", platform::CSIDL_PROGRAM_FILES_COMMON, u"\\Orvia"},
    {u"[Common]", platform::CSIDL_PROGRAM_FILES_COMMON, u""},
    {u"[ProgramFiles]", platform::CSIDL_PROGRAM_FILES, u""},
    {u"[SharedApplicationData]", platform::CSIDL_COMMON_APPDATA, u""},
    {u"[SharedDocuments]", platform::CSIDL_COMMON_DOCUMENTS, u""},
    {u"[FontsFolder]", platform::CSIDL_FONTS, u""},
    {u"[StartMenu]", platform::CSIDL_COMMON_PROGRAMS, u""},
    {u"[System32Folder]", platform::CSIDL_SYSTEM, u""},
    {u"[UserDocuments]", platform::CSIDL_PERSONAL, u""},
    {u"[UserRoamingAppData]", platform::CSIDL_APPDATA, u""},
    {u"[UserLocalAppData]", platform::CSIDL_LOCAL_APPDATA, u""},
    {u"[UserHome]", platform::CSIDL_PROFILE, u""},
    {u"[UserFavorites]", platform::CSIDL_FAVORITES, u""},
    {u"[UserPictures]", platform::CSIDL_MYPICTURES, u""},
    {u"[UserTemplates]", platform::CSIDL_TEMPLATES, u""},
};

// One child element of token.xml, in the order the helper writes them, with
// the folder it holds. Utilities has no 32-bit counterpart and holds the
// same folder as OrviaCommon.
struct HelperFolderRow {
  std::u16string_view element;
  int csidl;
  std::u16string_view suffix;
};

inline constexpr HelperFolderRow kHelperFolders[] = {
    {u"OrviaProgramFiles", platform::CSIDL_PROGRAM_FILES, u"\\Orvia"},
    {u"OrviaCommon", platform::CSIDL_PROGRAM_FILES_COMMON, u"\\Orvia"},
    {u"Utilities", platform::CSIDL_PROGRAM_FILES_COMMON, u"\\Orvia"},
    {u"Common", platform::CSIDL_PROGRAM_FILES_COMMON, u""},
    {u"ProgramFiles", platform::CSIDL_PROGRAM_FILES, u""},
    {u"SharedApplicationData", platform::CSIDL_COMMON_APPDATA, u""},
    {u"SharedDocuments", platform::CSIDL_COMMON_DOCUMENTS, u""},
    {u"FontsFolder", platform::CSIDL_FONTS, u""},
    {u"StartMenu", platform::CSIDL_COMMON_PROGRAMS, u""},
    {u"System32Folder", platform::CSIDL_SYSTEM, u""},
    {u"UserDocuments", platform::CSIDL_PERSONAL, u""},
    {u"UserRoamingAppData", platform::CSIDL_APPDATA, u""},
    {u"UserLocalAppData", platform::CSIDL_LOCAL_APPDATA, u""},
    {u"UserHome", platform::CSIDL_PROFILE, u""},
    {u"UserFavorites", platform::CSIDL_FAVORITES, u""},
    {u"UserPictures", platform::CSIDL_MYPICTURES, u""},
    {u"UserTemplates", platform::CSIDL_TEMPLATES, u""},
};

// A 64-bit token and the token.xml element it is read from, in reading order.
struct HelperTokenRow {
  std::u16string_view element;
  std::u16string_view token;
};

inline constexpr HelperTokenRow kFolderTokens64[] = {
    {u"OrviaProgramFiles", u"[OrviaProgramFiles64]"},
    {u"OrviaCommon", u"[OrviaCommon64]"},
    {u"Common", u"[Common64]"},
    {u"ProgramFiles", u"[ProgramFiles64]"},
    {u"SharedApplicationData", u"[SharedApplicationData64]"},
    {u"SharedDocuments", u"[SharedDocuments64]"},
    {u"Utilities", u"[Utilities64]"},
    {u"FontsFolder", u"[FontsFolder64]"},
    {u"StartMenu", u"[StartMenu64]"},
    {u"System32Folder", u"[System32Folder64]"},
    {u"UserDocuments", u"[UserDocuments64]"},
    {u"UserRoamingAppData", u"[UserRoamingAppData64]"},
    {u"UserLocalAppData", u"[UserLocalAppData64]"},
    {u"UserFavorites", u"[UserFavorites64]"},
    {u"UserPictures", u"[UserPictures64]"},
    {u"UserTemplates", u"[UserTemplates64]"},
    {u"UserHome", u"[UserHome64]"},
};
