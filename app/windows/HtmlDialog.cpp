// The dialog hosting the HTML control: window, control, modal loop.
#include "app/windows/HtmlDialog.h"

#include "app/windows/BrowserEvents.h"
#include "app/windows/BrowserSite.h"
#include "app/windows/KeyRules.h"

#include <mshtml.h>
#include <shellapi.h>

namespace {

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The HTML document class of the system's HTML engine ({25336920-03F9-11CF-
// 8FD0-00AA00686F13}); the import libraries do not carry it.
constexpr CLSID kHtmlDocumentClass = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

} // namespace

bool HtmlDialog::htmlEngineAvailable() {
  // The control makes one of these for every page it shows.
  ComRef<IUnknown> document;
  return SUCCEEDED(CoCreateInstance(kHtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    document.putVoid()));
}

HtmlDialog::HtmlDialog(HINSTANCE module, int templateId, int iconId, IDispatch* external,
                       Handlers handlers)
    : module(module), templateId(templateId), iconId(iconId),
      external(ComRef<IDispatch>::share(external)), handlers(std::move(handlers)) {}

HtmlDialog::~HtmlDialog() {
  closeControl();
  if (dialogWindow)
    DestroyWindow(dialogWindow);
  if (bigIcon)
    DestroyIcon(bigIcon);
  if (smallIcon)
    DestroyIcon(smallIcon);
}

int HtmlDialog::doModal(const std::u16string& pageAddress) {
  address = pageAddress;
  ended = false;
  result = kResultCancel;
  dialogWindow = CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), nullptr, dialogProcedure,
                                    reinterpret_cast<LPARAM>(this));
  bool ready = dialogWindow && control;
  MSG message;
  while (ready && !ended) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1)
      break;
    if (got == 0) {
      // Asked to quit from outside: the dialog ends in order, and the quit
      // request stays for whoever runs after it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (preTranslate(message) || IsDialogMessageW(dialogWindow, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  closeControl();
  if (dialogWindow) {
    DestroyWindow(dialogWindow);
    dialogWindow = nullptr;
  }
  return ready ? result : -1;
}

void HtmlDialog::endDialog() {
  result = kResultCancel;
  ended = true;
  // Wakes the loop if it is waiting for a message.
  if (dialogWindow)
    PostMessageW(dialogWindow, WM_NULL, 0, 0);
}

bool HtmlDialog::preTranslate(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || !dialogWindow)
    return false;
  if (message.hwnd != dialogWindow && !IsChild(dialogWindow, message.hwnd))
    return false;
  if (isCancelKey(message)) {
    SendMessageW(dialogWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    return true;
  }
  // The control's active object handles its own accelerators and asks the
  // site's key rules before it acts on a key.
  if (browserSite && browserSite->activeObject()) {
    auto active = ComRef<IOleInPlaceActiveObject>::share(browserSite->activeObject());
    if (active->TranslateAccelerator(&message) == S_OK)
      return true;
  }
  return false;
}

INT_PTR CALLBACK HtmlDialog::dialogProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<HtmlDialog*>(lParam);
    dialog->dialogWindow = window;
    return dialog->onInitDialog();
  }
  auto* dialog = reinterpret_cast<HtmlDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  return dialog ? dialog->handle(message, wParam, lParam) : FALSE;
}

INT_PTR HtmlDialog::handle(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
  case WM_COMMAND:
    if (LOWORD(wParam) == IDCANCEL) {
      if (handlers.cancel)
        handlers.cancel();
      return TRUE;
    }
    return FALSE;
  case WM_CLOSE:
    // The close box, Alt+F4 and the system menu's Close all arrive here; a
    // disabled close box does nothing, whoever asks.
    if (!handlers.closeAllowed || handlers.closeAllowed()) {
      if (handlers.cancel)
        handlers.cancel();
    }
    return TRUE; // the window goes only when the dialog ends
  default:
    return FALSE;
  }
}

bool HtmlDialog::onInitDialog() {
  setIcons();
  if (!createControl()) {
    closeControl();
    return TRUE;
  }
  if (handlers.initialized)
    handlers.initialized();
  return TRUE;
}

void HtmlDialog::setIcons() {
  HANDLE big = LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
  HANDLE small = LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
  bigIcon = static_cast<HICON>(big);
  smallIcon = static_cast<HICON>(small);
  if (bigIcon)
    SendMessageW(dialogWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  if (smallIcon)
    SendMessageW(dialogWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

bool HtmlDialog::createControl() {
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              control.putVoid())))
    return false;
  // The site answers the control's questions from the start: the host
  // settings are read when the first document is made.
  browserSite = BrowserSite::create(dialogWindow, external.get());
  if (FAILED(control->SetClientSite(static_cast<IOleClientSite*>(browserSite.get()))))
    return false;
  activateControl(OLEIVERB_INPLACEACTIVATE);
  browser = control.query<IWebBrowser2>(IID_IWebBrowser2);
  if (!browser)
    return false;
  browser->put_RegisterAsDropTarget(VARIANT_FALSE);
  browser->put_RegisterAsBrowser(VARIANT_FALSE);

  // No box of the control's own (script errors among them) may wait for a
  // user; the site answers the script-error question as well.
  browser->put_Silent(VARIANT_TRUE);

  ComRef<IUnknown> identity = browser.query<IUnknown>(IID_IUnknown);
  events = BrowserEvents::create(
      identity.get(),
      [this] {
        loaded = true;
        // The page takes the keyboard once it is there.
        activateControl(OLEIVERB_UIACTIVATE);
      },
      [](const std::u16string& address) {
        // The user's default browser, through the shell.
        ShellExecuteW(nullptr, L"open", wide(address), nullptr, nullptr, SW_SHOWNORMAL);
      });
  auto points = browser.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (points && SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, eventsPoint.put())) &&
      FAILED(eventsPoint->Advise(static_cast<IDispatch*>(events.get()), &eventsCookie)))
    eventsCookie = 0;

  BStr url(wide(address));
  Variant none;
  return url && SUCCEEDED(browser->Navigate(url.get(), none.get(), none.get(), none.get(), none.get()));
}

void HtmlDialog::activateControl(LONG verb) {
  if (!control || !browserSite || !dialogWindow)
    return;
  RECT client{};
  GetClientRect(dialogWindow, &client);
  control->DoVerb(verb, nullptr, static_cast<IOleClientSite*>(browserSite.get()), 0, dialogWindow,
                  &client);
}

void HtmlDialog::closeControl() {
  if (eventsPoint && eventsCookie)
    eventsPoint->Unadvise(eventsCookie);
  eventsCookie = 0;
  eventsPoint.reset();
  if (events) {
    events->disconnect();
    events.reset();
  }
  if (browser) {
    browser->Stop();
    browser.reset();
  }
  if (control) {
    if (auto inPlace = control.query<IOleInPlaceObject>(IID_IOleInPlaceObject))
      inPlace->InPlaceDeactivate();
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    control.reset();
  }
  if (browserSite) {
    browserSite->disconnect();
    browserSite.reset();
  }
  loaded = false;
}

void HtmlDialog::runScript(const std::u16string& statement) {
  if (!browser)
    return;
  ComRef<IDispatch> document;
  if (FAILED(browser->get_Document(document.put())) || !document)
    return;
  auto page = document.query<IHTMLDocument2>(IID_IHTMLDocument2);
  ComRef<IHTMLWindow2> window;
  if (!page || FAILED(page->get_parentWindow(window.put())) || !window)
    return;
  BStr code(wide(statement));
  BStr language(L"javascript");
  Variant answer;
  if (code && language)
    window->execScript(code.get(), language.get(), answer.get());
}

void HtmlDialog::setCloseEnabled(bool enabled) {
  if (!dialogWindow)
    return;
  EnableMenuItem(GetSystemMenu(dialogWindow, FALSE), SC_CLOSE,
                 MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
}
