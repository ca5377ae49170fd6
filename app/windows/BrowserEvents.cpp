// Navigation events of the HTML control.
#include "app/windows/BrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>

ComRef<BrowserEvents> BrowserEvents::create(IUnknown* browser, PageLoaded loaded) {
  return ComRef<BrowserEvents>(new BrowserEvents(browser, std::move(loaded)));
}

BrowserEvents::BrowserEvents(IUnknown* browser, PageLoaded loaded)
    : browser(browser), loaded(std::move(loaded)) {}

void BrowserEvents::disconnect() {
  browser = nullptr;
  loaded = nullptr;
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
