// The application object: initialises the toolkit, runs the main dialog
// modally and ends when the dialog ends. There is no message loop of the
// application's own.
#pragma once

class COrviaKeltoApp {
public:
  // Initialises GTK and runs the dialog until it ends. Returns false, as
  // the application has nothing left to run afterwards; when the toolkit
  // cannot start (no display) it says so on stderr and sets exitCode.
  bool initInstance();

  // What the process returns: 0 after the dialog ended, 1 when the window
  // could not be shown.
  int exitInstance() const { return exitCode; }

private:
  int exitCode = 0;
};
