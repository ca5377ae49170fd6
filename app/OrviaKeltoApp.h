// The application object: initialises the toolkit, runs the main dialog
// modally and ends when the dialog ends. There is no message loop of the
// application's own.
#pragma once

class DialogObserver;

class COrviaKeltoApp {
public:
  // The observer, if any, watches the main dialog; it outlives the
  // application object.
  explicit COrviaKeltoApp(DialogObserver* observer = nullptr) : observer(observer) {}

  // Initialises GTK and runs the dialog until it ends. Returns false, as
  // the application has nothing left to run afterwards; when the toolkit
  // cannot start (no display) it says so on stderr and sets exitCode.
  bool initInstance();

  // What the process returns: 0 after the dialog ended, 1 when the window
  // could not be shown.
  int exitInstance() const { return exitCode; }

private:
  DialogObserver* observer; // not owned; null in normal use
  int exitCode = 0;
};
