// The keys the host keeps from the HTML control; see KeyRules.h.
#include "app/windows/KeyRules.h"

namespace {

constexpr SHORT kKeyIsDown = SHORT(0x8000);

// Messages that carry a virtual-key code in wParam.
bool isKeystroke(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
         message == WM_SYSKEYUP;
}

} // namespace

bool isSwallowedKey(const MSG& message, bool controlDown) {
  if (message.message == WM_KEYDOWN && (message.wParam == VK_F5 || message.wParam == VK_CONTROL))
    return true;
  if (!controlDown || !isKeystroke(message.message))
    return false;
  switch (message.wParam) {
  case 'A': // select all
  case 'F': // find
  case 'L': // open location
  case 'N': // new window
  case 'O': // open
  case 'P': // print
    return true;
  default:
    return false;
  }
}

bool isCancelKey(const MSG& message) {
  return message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE;
}

bool controlKeyDown() { return (GetAsyncKeyState(VK_CONTROL) & kKeyIsDown) != 0; }
