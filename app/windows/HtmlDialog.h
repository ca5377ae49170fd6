// A modal dialog whose whole client area is the platform's HTML control,
// showing a page of the executable's resources. The dialog carries the page's
// window.external and runs statements in the page; what the commands do, and
// whether the window may close, is its owner's business (the Handlers).
#pragma once

#include "app/windows/ComSupport.h"

#include <exdisp.h>
#include <ocidl.h>
#include <ole2.h>

#include <functional>
#include <string>

class BrowserEvents;
class BrowserSite;

class HtmlDialog {
public:
  // What doModal returns when the dialog ends (IDCANCEL).
  static constexpr int kResultCancel = IDCANCEL;

  struct Handlers {
    // The dialog's cancel action: Escape, and the close box while enabled.
    std::function<void()> cancel;
    // Whether the close box (the system menu's Close entry) is enabled.
    std::function<bool()> closeAllowed;
    // The last step of the dialog's initialisation, after the page started
    // loading.
    std::function<void()> initialized;
  };

  // templateId: the dialog template in module's resources; external: the
  // page's window.external (the dialog keeps a reference while it runs).
  // Whether the system has an HTML engine the control can show a page
  // with (the control itself may exist without one).
  static bool htmlEngineAvailable();

  HtmlDialog(HINSTANCE module, int templateId, int iconId, IDispatch* external,
             Handlers handlers);
  ~HtmlDialog();
  HtmlDialog(const HtmlDialog&) = delete;
  HtmlDialog& operator=(const HtmlDialog&) = delete;

  // Creates the window, loads pageAddress and runs until endDialog; then
  // closes the control and destroys the window. Returns the dialog's
  // result, or -1 when the window or the control cannot be created.
  int doModal(const std::u16string& pageAddress);

  // Ends the modal loop with IDCANCEL (also from inside a page's call).
  void endDialog();

  // Runs one statement in the page with execScript; nothing happens when no
  // page is loaded. The result and any script error are ignored.
  void runScript(const std::u16string& statement);

  // Switches the system menu's Close entry (and with it the close box and
  // Alt+F4).
  void setCloseEnabled(bool enabled);

  HWND window() const { return dialogWindow; }
  BrowserSite* site() const { return browserSite.get(); }
  IWebBrowser2* webBrowser() const { return browser.get(); }
  bool pageLoaded() const { return loaded; }

  // Offers a message of the modal loop to the dialog before the usual
  // dialog handling: Escape cancels, and keys go to the control's active
  // object first (which asks the site's key rules). True when handled.
  bool preTranslate(MSG& message);

private:
  static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool onInitDialog();
  bool createControl();
  void activateControl(LONG verb);
  void closeControl();
  void setIcons();

  HINSTANCE module;
  int templateId;
  int iconId;
  ComRef<IDispatch> external;
  Handlers handlers;
  std::u16string address;          // the page being shown
  HWND dialogWindow = nullptr;     // owned: destroyed at the end of doModal
  HICON bigIcon = nullptr;         // owned
  HICON smallIcon = nullptr;       // owned
  ComRef<BrowserSite> browserSite;
  ComRef<BrowserEvents> events;
  ComRef<IOleObject> control;
  ComRef<IWebBrowser2> browser;
  ComRef<IConnectionPoint> eventsPoint; // where the events sink is advised
  DWORD eventsCookie = 0;               // the sink's connection, 0 when none
  bool ended = false;
  bool loaded = false;
  int result = kResultCancel;
};
