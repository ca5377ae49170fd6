// The HTML control's navigation events (DWebBrowserEvents2) as the dialog
// hears them. Navigation is never cancelled or redirected; the sink only
// tells the dialog when the top-level page has finished loading, after which
// statements can run in it.
#pragma once

#include "app/windows/ComSupport.h"

#include <oaidl.h>

#include <functional>

class BrowserEvents final : public IDispatch {
public:
  // Called when the document of the control itself (not of a frame in it)
  // is complete.
  using PageLoaded = std::function<void()>;

  // browser: the control's IUnknown, to tell its own document from a frame's.
  static ComRef<BrowserEvents> create(IUnknown* browser, PageLoaded loaded);

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
  BrowserEvents(IUnknown* browser, PageLoaded loaded);
  ~BrowserEvents() = default;

  RefCount references;
  LiveComObject live;
  IUnknown* browser; // identity only, never called: the dialog holds the control
  PageLoaded loaded;
};
