// The seven commands the page sends through window.external, in the order
// that gives them their dispatch ids (1 to 7), and the one place that turns a
// command into a call of the SessionController. Every host of the page uses
// these: the names are the page's contract, the host only carries them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

class SessionController;

enum class PageCommand : std::int32_t {
  getApplicationPath = 1,
  getUIStrings = 2,
  quitApplication = 3,
  quitApplicationWithoutConfirmation = 4,
  getScanProgress = 5,
  scanSystem = 6,
  getSystemScanResult = 7,
};

// The names, in dispatch-id order (kPageCommandNames[id - 1]).
inline constexpr std::array<std::u16string_view, 7> kPageCommandNames = {
    u"getApplicationPath",  u"getUIStrings",    u"quitApplication",
    u"quitApplicationWithoutConfirmation", u"getScanProgress", u"scanSystem",
    u"getSystemScanResult"};

// The command of that exact name (names are case-sensitive, as the page's
// script is), or nothing.
constexpr std::optional<PageCommand> pageCommandByName(std::u16string_view name) {
  for (std::size_t i = 0; i < kPageCommandNames.size(); ++i)
    if (kPageCommandNames[i] == name)
      return static_cast<PageCommand>(i + 1);
  return std::nullopt;
}

// The command with that dispatch id, or nothing.
constexpr std::optional<PageCommand> pageCommandById(std::int32_t id) {
  if (id < 1 || id > static_cast<std::int32_t>(kPageCommandNames.size()))
    return std::nullopt;
  return static_cast<PageCommand>(id);
}

constexpr std::u16string_view pageCommandName(PageCommand command) {
  return kPageCommandNames[static_cast<std::size_t>(command) - 1];
}

// Whether the command answers a value (getScanProgress); the others answer
// nothing.
constexpr bool pageCommandHasResult(PageCommand command) {
  return command == PageCommand::getScanProgress;
}

// Carries out the command on the controller; the answer of getScanProgress,
// 0 for the commands without a result.
std::int32_t runPageCommand(SessionController& controller, PageCommand command);
