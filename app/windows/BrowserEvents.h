// The HTML control's navigation events (DWebBrowserEvents2) as the dialog
// hears them. The page's navigation is never cancelled or redirected; the
// sink tells the dialog when the top-level page has finished loading, after
// which statements can run in it. A link that would open a window of its own
// (a target such as _blank: the information, feedback and update links)
// opens no window of the control: a web address goes to the user's default
// browser instead, anything else nowhere.
#pragma once

#include "app/windows/ComSupport.h"

#include <oaidl.h>

#include <functional>
#include <string>
#include <string_view>

class BrowserEvents final : public IDispatch {
public:
  // Called when the document of the control itself (not of a frame in it)
  // is complete.
  using PageLoaded = std::function<void()>;
  // Called with the address of a link that asked for a new window, when it
  // is a web address.
  using OpenInBrowser = std::function<void(const std::u16string& address)>;

  // browser: the control's IUnknown, to tell its own document from a frame's.
  static ComRef<BrowserEvents> create(IUnknown* browser, PageLoaded loaded,
                                      OpenInBrowser open);

  // Addresses a link may hand to the user's browser: http:, https: and
  // mailto: (the scheme's letters in any case).
  static bool isWebAddress(std::u16string_view address);

  // Forgets the control and the callback; later events reach nothing.
  void disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return references.add(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = references.release();
    if (left == 0)
      delete this;
    return left;
  }

  // IDispatch: events arrive through Invoke by dispatch id.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override;

private:
  BrowserEvents(IUnknown* browser, PageLoaded loaded, OpenInBrowser open);
  ~BrowserEvents() = default;

  // NewWindow3: cancels the control's own window and hands a web address
  // on to open.
  void onNewWindow(DISPPARAMS& parameters);

  RefCount references;
  LiveComObject live;
  IUnknown* browser; // identity only, never called: the dialog holds the control
  PageLoaded loaded;
  OpenInBrowser open;
};
