// The keys the window keeps from the HTML control, on real window messages:
// through the rules themselves, with and without Ctrl held, and through the
// host UI handler the control asks.
#include "app/windows/BrowserSite.h"
#include "app/windows/ExternalDispatch.h"
#include "app/windows/KeyRules.h"

#include <gtest/gtest.h>

namespace {

MSG key(UINT message, WPARAM code) {
  MSG msg{};
  msg.message = message;
  msg.wParam = code;
  msg.lParam = 1; // repeat count 1
  return msg;
}

TEST(KeyRules, RefreshAndTheCtrlKeyGoingDownAreSwallowed) {
  for (bool control : {false, true}) {
    EXPECT_TRUE(isSwallowedKey(key(WM_KEYDOWN, VK_F5), control));
    EXPECT_TRUE(isSwallowedKey(key(WM_KEYDOWN, VK_CONTROL), control));
  }
  // Only the key going down: its release and other keys pass.
  EXPECT_FALSE(isSwallowedKey(key(WM_KEYUP, VK_F5), false));
  EXPECT_FALSE(isSwallowedKey(key(WM_KEYUP, VK_CONTROL), false));
  EXPECT_FALSE(isSwallowedKey(key(WM_KEYDOWN, VK_F4), false));
  EXPECT_FALSE(isSwallowedKey(key(WM_KEYDOWN, VK_TAB), false));
}

TEST(KeyRules, BrowserShortcutsAreSwallowedOnlyWhileCtrlIsDown) {
  for (WPARAM letter : {'A', 'F', 'L', 'N', 'O', 'P'}) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN}) {
      EXPECT_TRUE(isSwallowedKey(key(message, letter), true)) << char(letter) << message;
      EXPECT_FALSE(isSwallowedKey(key(message, letter), false)) << char(letter) << message;
    }
  }
  // Copy and the other letters go on to the control, Ctrl or not.
  for (WPARAM letter : {'C', 'V', 'X', 'R', 'B', 'Z'})
    EXPECT_FALSE(isSwallowedKey(key(WM_KEYDOWN, letter), true)) << char(letter);
  // Characters are not key codes: Ctrl+P reaches the control as WM_CHAR 16,
  // and a typed "P" is no keystroke message at all.
  EXPECT_FALSE(isSwallowedKey(key(WM_CHAR, 'P'), true));
  EXPECT_FALSE(isSwallowedKey(key(WM_CHAR, 16), true));
  // Mouse messages carry button flags where keys carry codes.
  EXPECT_FALSE(isSwallowedKey(key(WM_MOUSEMOVE, 'A'), true));
}

TEST(KeyRules, EscapeGoingDownIsTheCancelKey) {
  EXPECT_TRUE(isCancelKey(key(WM_KEYDOWN, VK_ESCAPE)));
  EXPECT_FALSE(isCancelKey(key(WM_KEYUP, VK_ESCAPE)));
  EXPECT_FALSE(isCancelKey(key(WM_CHAR, VK_ESCAPE)));
  EXPECT_FALSE(isCancelKey(key(WM_KEYDOWN, VK_RETURN)));
}

TEST(KeyRules, TheHostUiHandlerAnswersTheControlByTheRules) {
  {
    ComRef<ExternalDispatch> external = ExternalDispatch::create([](PageCommand) { return 0; });
    ComRef<BrowserSite> site = BrowserSite::create(nullptr, external.get());
    IDocHostUIHandler* handler = site.get();
    // S_OK: the host took the key; S_FALSE: the control goes on with it.
    MSG refresh = key(WM_KEYDOWN, VK_F5);
    EXPECT_EQ(handler->TranslateAccelerator(&refresh, nullptr, 0), S_OK);
    MSG control = key(WM_KEYDOWN, VK_CONTROL);
    EXPECT_EQ(handler->TranslateAccelerator(&control, nullptr, 0), S_OK);
    MSG copy = key(WM_KEYDOWN, 'C');
    EXPECT_EQ(handler->TranslateAccelerator(&copy, nullptr, 0), S_FALSE);
    // Nobody holds Ctrl down in this test, so a plain P goes on.
    ASSERT_FALSE(controlKeyDown());
    MSG print = key(WM_KEYDOWN, 'P');
    EXPECT_EQ(handler->TranslateAccelerator(&print, nullptr, 0), S_FALSE);
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), E_POINTER);
  }
  EXPECT_EQ(liveComObjectCount.load(), 0);
}

} // namespace
