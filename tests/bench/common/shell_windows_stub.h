// Every method of IShellWindows (and IDispatch) answering E_NOTIMPL, so a
// stand-in overrides only what the code under test calls: get_Count and
// Item. IUnknown is left to the derived class.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>

#include "dispatch_stub.h"

namespace vendrolix::bench {

class ShellWindowsStub : public DispatchStub<IShellWindows> {
 public:
  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Item(VARIANT, IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Register(IDispatch*, LONG, int, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterPending(LONG, VARIANT*, VARIANT*, int, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revoke(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnNavigate(LONG, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnActivated(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT*, VARIANT*, int, LONG*, int, IDispatch**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnCreated(LONG, IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ProcessAttachDetach(VARIANT_BOOL) override { return E_NOTIMPL; }
};

}  // namespace vendrolix::bench
