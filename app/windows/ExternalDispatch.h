// The page's window.external on Windows: an automation object with the seven
// commands. The HTML control looks the names up with GetIDsOfNames and calls
// them through Invoke; Invoke hands the command to the runner (the session
// controller) and answers its result as a VARIANT.
#pragma once

#include "app/windows/ComSupport.h"
#include "session/PageCommands.h"

#include <oaidl.h>

#include <cstdint>
#include <functional>

class ExternalDispatch final : public IDispatch {
public:
  // Carries out one command; the value is the answer of getScanProgress.
  using CommandRunner = std::function<std::int32_t(PageCommand)>;

  static ComRef<ExternalDispatch> create(CommandRunner runner);

  // Cuts the link to the runner: the control may keep the object a little
  // longer than the controller lives, and later calls must reach nothing.
  void disconnect() { runner = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return references.add(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = references.release();
    if (left == 0)
      delete this;
    return left;
  }

  // IDispatch: no type information; the ids are the commands' dispatch ids.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override;

private:
  explicit ExternalDispatch(CommandRunner runner) : runner(std::move(runner)) {}
  ~ExternalDispatch() = default;

  RefCount references;
  LiveComObject live;
  CommandRunner runner;
};
