#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <new>

namespace ATL {

// The lock count of this module (the COM server library): live objects,
// class factories locked by their clients. DllCanUnloadNow reads it.
void ModuleLock();
void ModuleUnlock();
LONG ModuleLockCount();

// A COM object of class T, created on the heap with one reference. T lists
// its interfaces in a QITAB table:
//     static const QITAB* GetInterfaceTable();
// (IUnknown is answered from the first entry). The object keeps the module
// locked while it lives.
template <typename T>
class CComObject final : public T {
public:
    template <typename... Args>
    explicit CComObject(Args&&... args) : T(static_cast<Args&&>(args)...) {
        ModuleLock();
    }
    ~CComObject() override { ModuleUnlock(); }

    // A new object asked for one interface; the caller's reference is the
    // only one.
    template <typename... Args>
    static HRESULT CreateInstance(REFIID iid, void** out, Args&&... args) {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        auto* object = new (std::nothrow) CComObject(static_cast<Args&&>(args)...);
        if (object == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return ::QISearch(this, T::GetInterfaceTable(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

private:
    LONG m_refs = 1;
};

// The class factory of one COM class: creates it through its create
// function; LockServer holds the module.
class CClassFactory final : public IClassFactory {
public:
    using CreateFunction = HRESULT (*)(REFIID iid, void** out);
    explicit CClassFactory(CreateFunction create);
    ~CClassFactory();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG m_refs = 1;
    CreateFunction m_create;
};

}  // namespace ATL
