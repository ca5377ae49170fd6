// window.external: names to dispatch ids and calls to the command runner.
#include "app/windows/ExternalDispatch.h"

#include <string_view>

ComRef<ExternalDispatch> ExternalDispatch::create(CommandRunner runner) {
  return ComRef<ExternalDispatch>(new ExternalDispatch(std::move(runner)));
}

HRESULT ExternalDispatch::QueryInterface(REFIID iid, void** object) {
  if (!object)
    return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ExternalDispatch::GetTypeInfoCount(UINT* count) {
  if (!count)
    return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ExternalDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info)
    *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT ExternalDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL))
    return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids || count == 0)
    return E_INVALIDARG;
  // The first name is the member; the others would name its parameters,
  // and no command has any.
  HRESULT answer = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (i == 0 && names[0]) {
      std::u16string_view name(reinterpret_cast<const char16_t*>(names[0]));
      if (std::optional<PageCommand> command = pageCommandByName(name))
        ids[0] = static_cast<DISPID>(*command);
    }
    if (ids[i] == DISPID_UNKNOWN)
      answer = DISP_E_UNKNOWNNAME;
  }
  return answer;
}

HRESULT ExternalDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                 VARIANT* result, EXCEPINFO*, UINT*) {
  if (!IsEqualIID(iid, IID_NULL))
    return DISP_E_UNKNOWNINTERFACE;
  std::optional<PageCommand> command = pageCommandById(id);
  // Script engines call a method with DISPATCH_METHOD, some together with
  // DISPATCH_PROPERTYGET; the commands are not properties to read or set.
  if (!command || !(flags & DISPATCH_METHOD))
    return DISP_E_MEMBERNOTFOUND;
  if (!parameters)
    return E_INVALIDARG;
  if (parameters->cNamedArgs != 0)
    return DISP_E_NONAMEDARGS;
  if (parameters->cArgs != 0)
    return DISP_E_BADPARAMCOUNT;
  if (!runner)
    return E_UNEXPECTED;

  // The runner may end the dialog and so release the control's reference
  // to this object: keep it alive until the call has returned.
  ComRef<ExternalDispatch> self = ComRef<ExternalDispatch>::share(this);
  CommandRunner run = runner;
  std::int32_t value = run(*command);
  if (result) {
    VariantInit(result);
    if (pageCommandHasResult(*command)) {
      result->vt = VT_I4;
      result->lVal = value;
    }
  }
  return S_OK;
}
