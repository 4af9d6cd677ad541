#include "BrelioFramework/ComObject.h"

#include "BrelioCore/ErrorFlow.h"

namespace ATL {

namespace {
LONG g_lockCount = 0;
}

void ModuleLock() { ::InterlockedIncrement(&g_lockCount); }
void ModuleUnlock() { ::InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() { return ::InterlockedCompareExchange(&g_lockCount, 0, 0); }

CClassFactory::CClassFactory(CreateFunction create) : m_create(create) { ModuleLock(); }
CClassFactory::~CClassFactory() { ModuleUnlock(); }

STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    // A constructor that throws (out of memory) leaves no object behind.
    return brelio::GuardEntry(__func__, E_UNEXPECTED, [&] { return m_create(iid, out); });
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock) ModuleLock();
    else ModuleUnlock();
    return S_OK;
}

}  // namespace ATL
