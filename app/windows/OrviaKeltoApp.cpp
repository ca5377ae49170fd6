// The application object on Windows.
#include "app/windows/OrviaKeltoApp.h"

#include "app/windows/HtmlDialog.h"
#include "app/windows/OrviaKeltoDlg.h"
#include "platform/Process.h"

#include <commctrl.h>
#include <ole2.h>

namespace {

constexpr char16_t kCaption[] = u"Orvia Fennick";
constexpr char16_t kNoOle[] =
    u"Orvia Fennick cannot start: OLE could not be initialised on this computer.";
constexpr char16_t kNoHtmlControl[] =
    u"Orvia Fennick cannot show its window: the system's HTML control is not available "
    u"on this computer.";

} // namespace

int COrviaKeltoApp::run() {
  // No system box (a drive without its medium) may wait on a scan.
  platform::failCriticalErrorsSilently();
  // The application may be restarted by the system's restart manager.
  RegisterApplicationRestart(nullptr, 0);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (FAILED(OleInitialize(nullptr))) {
    tell(kNoOle);
    return kExitNoOle;
  }
  int status = kExitDone;
  // Without an HTML engine the window would stay empty: say so instead.
  if (!HtmlDialog::htmlEngineAvailable()) {
    tell(kNoHtmlControl);
    status = kExitNoHtmlControl;
  } else {
    COrviaKeltoDlg dialog(module, confirm);
    if (dialog.doModal() < 0) {
      tell(kNoHtmlControl);
      status = kExitNoHtmlControl;
    }
  }
  OleUninitialize();
  return status;
}

void COrviaKeltoApp::tell(const std::u16string& text) {
  if (notify) {
    notify(text, kCaption);
    return;
  }
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(kCaption), MB_OK | MB_ICONERROR);
}
