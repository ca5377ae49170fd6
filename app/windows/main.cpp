// orvia-fennick.exe: the desktop window on Windows. It takes no arguments.
#include "app/windows/OrviaKeltoApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  COrviaKeltoApp application(instance);
  return application.run();
}
