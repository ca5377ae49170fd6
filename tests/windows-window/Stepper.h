// Helpers of the window tests: a message-only window that runs steps of a
// test from inside a modal loop, and the state of the system menu's Close.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// A message-only window that runs a step of the test from inside the
// dialog's modal loop, in the order the steps were posted.
class Stepper {
public:
  Stepper() {
    WNDCLASSW type{};
    type.lpfnWndProc = procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"FennickTestStepper";
    RegisterClassW(&type);
    window = CreateWindowW(L"FennickTestStepper", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           type.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Stepper() { DestroyWindow(window); }
  void post(std::function<void()> step) {
    steps.push_back(std::move(step));
    PostMessageW(window, WM_APP, steps.size() - 1, 0);
  }

private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Stepper*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_APP && self) {
      self->steps[wParam]();
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window = nullptr;
  std::vector<std::function<void()>> steps;
};

inline bool closeEntryGreyed(HWND window) {
  UINT state = GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND);
  return state != UINT(-1) && (state & MF_GRAYED);
}
