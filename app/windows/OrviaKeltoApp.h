// The application object on Windows: initialises the common controls and
// OLE, makes sure the system's HTML control is there, runs the main dialog
// modally and ends when the dialog ends. There is no message loop of the
// application's own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class COrviaKeltoApp {
public:
  // Exit statuses of run().
  static constexpr int kExitDone = 0;
  static constexpr int kExitNoOle = 1;
  static constexpr int kExitNoHtmlControl = 3;

  // Shows a message; for a question, true means Yes.
  using MessageHook = std::function<bool(const std::u16string& text, const std::u16string& caption)>;

  explicit COrviaKeltoApp(HINSTANCE module) : module(module) {}

  // The quit question of the dialog (MessageBoxW, Yes/No, when empty).
  MessageHook confirm;
  // The message that the program cannot go on (MessageBoxW, OK, when empty).
  MessageHook notify;

  // Runs the application; returns its exit status.
  int run();

private:
  void tell(const std::u16string& text);

  HINSTANCE module;
};
