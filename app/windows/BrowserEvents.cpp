// Navigation events of the HTML control.
#include "app/windows/BrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>

ComRef<BrowserEvents> BrowserEvents::create(IUnknown* browser, PageLoaded loaded,
                                            OpenInBrowser open) {
  return ComRef<BrowserEvents>(new BrowserEvents(browser, std::move(loaded), std::move(open)));
}

BrowserEvents::BrowserEvents(IUnknown* browser, PageLoaded loaded, OpenInBrowser open)
    : browser(browser), loaded(std::move(loaded)), open(std::move(open)) {}

void BrowserEvents::disconnect() {
  browser = nullptr;
  loaded = nullptr;
  open = nullptr;
}

bool BrowserEvents::isWebAddress(std::u16string_view address) {
  for (std::u16string_view scheme : {u"http://", u"https://", u"mailto:"}) {
    if (address.size() < scheme.size())
      continue;
    bool same = true;
    for (std::size_t i = 0; same && i < scheme.size(); ++i) {
      char16_t unit = address[i];
      if (unit >= u'A' && unit <= u'Z')
        unit = char16_t(unit + 0x20);
      same = unit == scheme[i];
    }
    if (same)
      return true;
  }
  return false;
}

void BrowserEvents::onNewWindow(DISPPARAMS& parameters) {
  // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): the
  // arguments come last first.
  if (parameters.cArgs < 5)
    return;
  VARIANT& cancel = parameters.rgvarg[3];
  if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal)
    *cancel.pboolVal = VARIANT_TRUE;
  const VARIANT& url = parameters.rgvarg[0];
  if (url.vt != VT_BSTR || !url.bstrVal || !open)
    return;
  const std::u16string address(reinterpret_cast<const char16_t*>(url.bstrVal),
                               SysStringLen(url.bstrVal));
  if (isWebAddress(address)) {
    OpenInBrowser notify = open; // the callback may disconnect this sink
    notify(address);
  }
}

HRESULT BrowserEvents::QueryInterface(REFIID iid, void** object) {
  if (!object)
    return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT BrowserEvents::GetTypeInfoCount(UINT* count) {
  if (!count)
    return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info)
    *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                              EXCEPINFO*, UINT*) {
  if (id == DISPID_NEWWINDOW3 && parameters) {
    onNewWindow(*parameters);
    return S_OK;
  }
  // DocumentComplete(pDisp, URL): arguments come last first, so the
  // control that finished is the second argument.
  if (id != DISPID_DOCUMENTCOMPLETE || !parameters || parameters->cArgs < 2 || !browser)
    return S_OK; // every other event (BeforeNavigate2 included) goes on unchanged
  const VARIANT& source = parameters->rgvarg[parameters->cArgs - 1];
  if (source.vt != VT_DISPATCH || !source.pdispVal)
    return S_OK;
  ComRef<IUnknown> identity;
  source.pdispVal->QueryInterface(IID_IUnknown, identity.putVoid());
  if (identity.get() == browser && loaded) {
    PageLoaded notify = loaded; // the callback may disconnect this sink
    notify();
  }
  return S_OK;
}
