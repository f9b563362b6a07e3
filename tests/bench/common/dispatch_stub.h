// IDispatch of a stand-in that is only ever called early-bound: no type
// information, no late-bound calls. IUnknown is left to the derived class.
#pragma once
#include <windows.h>
#include <oaidl.h>

namespace vendrolix::bench {

template <class Interface>
class DispatchStub : public Interface {
 public:
  virtual ~DispatchStub() = default;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

}  // namespace vendrolix::bench
