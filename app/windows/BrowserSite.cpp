// The HTML control's container: sites, frame and host UI handler.
#include "app/windows/BrowserSite.h"

#include "app/windows/KeyRules.h"

ComRef<BrowserSite> BrowserSite::create(HWND window, IDispatch* external) {
  return ComRef<BrowserSite>(new BrowserSite(window, external));
}

BrowserSite::BrowserSite(HWND window, IDispatch* external)
    : window(window), external(ComRef<IDispatch>::share(external)) {}

void BrowserSite::disconnect() {
  active.reset();
  external.reset();
  window = nullptr;
}

HRESULT BrowserSite::QueryInterface(REFIID iid, void** object) {
  if (!object)
    return E_POINTER;
  IUnknown* part = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    part = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
    part = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
    part = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, IID_IDocHostUIHandler))
    part = static_cast<IDocHostUIHandler*>(this);
  else if (IsEqualIID(iid, IID_IOleCommandTarget))
    part = static_cast<IOleCommandTarget*>(this);
  *object = part;
  if (!part)
    return E_NOINTERFACE;
  part->AddRef();
  return S_OK;
}

HRESULT BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker)
    *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserSite::GetContainer(IOleContainer** container) {
  if (container)
    *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT BrowserSite::GetWindow(HWND* handle) {
  if (!handle)
    return E_POINTER;
  *handle = window;
  return window ? S_OK : E_FAIL;
}

HRESULT BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                      LPRECT position, LPRECT clip,
                                      LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document || !position || !clip || !frameInfo)
    return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr; // the frame is the only UI window
  RECT client{};
  if (window)
    GetClientRect(window, &client);
  *position = client;
  *clip = client;
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = window;
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}

HRESULT BrowserSite::OnInPlaceDeactivate() {
  active.reset();
  return S_OK;
}

HRESULT BrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  active = ComRef<IOleInPlaceActiveObject>::share(object);
  return S_OK;
}

HRESULT BrowserSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
  return S_OK; // handled: there is no context menu anywhere on the page
}

HRESULT BrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info)
    return E_POINTER;
  if (info->cbSize < sizeof(DOCHOSTUIINFO))
    return E_INVALIDARG;
  info->dwFlags = kHostFlags;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->pchHostCss = nullptr;
  info->pchHostNS = nullptr;
  return S_OK;
}

HRESULT BrowserSite::TranslateAccelerator(LPMSG message, const GUID*, DWORD) {
  if (!message)
    return E_POINTER;
  return isSwallowedKey(*message, controlKeyDown()) ? S_OK : S_FALSE;
}

HRESULT BrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key)
    *key = nullptr;
  return E_NOTIMPL; // the control's own settings, not ours
}

HRESULT BrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
  if (target)
    *target = nullptr;
  return E_NOTIMPL; // no replacement: the control is not a drop target at all
}

HRESULT BrowserSite::GetExternal(IDispatch** object) {
  if (!object)
    return E_POINTER;
  *object = ComRef<IDispatch>(external).detach();
  return *object ? S_OK : S_FALSE;
}

HRESULT BrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
  if (translated)
    *translated = nullptr;
  return S_FALSE;
}

HRESULT BrowserSite::FilterDataObject(IDataObject*, IDataObject** filtered) {
  if (filtered)
    *filtered = nullptr;
  return S_FALSE;
}

namespace {

// The group of the questions the HTML control asks its host
// ({F38BC242-B950-11D1-8918-00C04FC2C836}).
constexpr GUID kDocHostCommandHandler = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

} // namespace

HRESULT BrowserSite::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT*) {
  if (!group || !IsEqualGUID(*group, kDocHostCommandHandler))
    return OLECMDERR_E_UNKNOWNGROUP;
  if (!commands)
    return E_POINTER;
  for (ULONG i = 0; i < count; ++i)
    commands[i].cmdf = commands[i].cmdID == OLECMDID_SHOWSCRIPTERROR
                           ? OLECMDF_SUPPORTED | OLECMDF_ENABLED
                           : 0;
  return S_OK;
}

HRESULT BrowserSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) {
  if (!group || !IsEqualGUID(*group, kDocHostCommandHandler))
    return OLECMDERR_E_UNKNOWNGROUP;
  if (command != OLECMDID_SHOWSCRIPTERROR)
    return OLECMDERR_E_NOTSUPPORTED;
  // Handled without a box; true lets the page's scripts go on running.
  if (out) {
    VariantClear(out);
    out->vt = VT_BOOL;
    out->boolVal = VARIANT_TRUE;
  }
  return S_OK;
}
