// Resource access of the executable: the stand-in for FindResourceW,
// LoadResource, SizeofResource and LockResource, reduced to one lookup.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

// Resource types as the table names them.
inline constexpr std::string_view kResourceHtml = "23";
inline constexpr std::string_view kResourceTokenHelper = "301";
inline constexpr std::string_view kResourceScanConfig = "302";
inline constexpr std::string_view kResourceCss = "CSS";
inline constexpr std::string_view kResourcePng = "PNG";
inline constexpr std::string_view kResourceDictionary = "ZDCT";
inline constexpr std::string_view kResourceTrust = "TRUST"; // the platform's root list

// The bytes of resource (type, id); an empty span when there is none.
std::span<const std::uint8_t> findResource(std::string_view type,
                                           std::uint32_t id);

} // namespace platform
