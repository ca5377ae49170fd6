// The application object.
#include "app/OrviaKeltoApp.h"

#include "app/OrviaKeltoDlg.h"

#include <gtk/gtk.h>

bool COrviaKeltoApp::initInstance() {
  // The toolkit takes no arguments of ours: the window has its own.
  if (!gtk_init_check(nullptr, nullptr)) {
    g_printerr("orvia-fennick: cannot open the display\n");
    exitCode = 1;
    return false;
  }
  g_set_application_name("Orvia Fennick");
  {
    COrviaKeltoDlg dialog(observer);
    dialog.doModal(); // its result is not used
  }
  return false;
}
