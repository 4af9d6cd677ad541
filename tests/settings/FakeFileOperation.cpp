#include "FakeFileOperation.h"

#include <string>

#include "BrelioCore/UniqueHandle.h"
namespace {

constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);

class FakeFileOperation final : public IFileOperation {
public:
    explicit FakeFileOperation(FileOperationScript& script) : m_script(script) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == __uuidof(IFileOperation)) {
            *out = static_cast<IFileOperation*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD flags) override {
        m_script.flagsSeen = flags;
        return m_broken ? E_UNEXPECTED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem* item, IFileOperationProgressSink*) override {
        if (m_broken) return E_UNEXPECTED;
        brelio::UniqueCoTaskMem<wchar_t> path;
        const HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, path.Put());
        if (FAILED(hr)) return hr;
        m_path = path.Get();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PerformOperations() override {
        ++m_script.operationsRun;
        if (m_broken || m_path.empty()) return E_UNEXPECTED;
        if (m_script.failuresLeft > 0) {
            --m_script.failuresLeft;
            m_broken = true;
            return kSharingViolation;
        }
        if (m_script.removesItem && !::DeleteFileW(m_path.c_str())) ::RemoveDirectoryW(m_path.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(WINBOOL* aborted) override {
        *aborted = FALSE;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenameItem(IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RenameItems(IUnknown*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveItem(IShellItem*, IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE MoveItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyItem(IShellItem*, IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewItem(IShellItem*, DWORD, LPCWSTR, LPCWSTR, IFileOperationProgressSink*) override {
        return E_NOTIMPL;
    }

private:
    FileOperationScript& m_script;
    ULONG m_refs = 1;
    bool m_broken = false;
    std::wstring m_path;
};

class FakeFactory final : public IClassFactory {
public:
    explicit FakeFactory(FileOperationScript& script) : m_script(script) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        ++m_script.objectsMade;
        auto* operation = new FakeFileOperation(m_script);
        const HRESULT hr = operation->QueryInterface(iid, out);
        operation->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

private:
    FileOperationScript& m_script;
    ULONG m_refs = 1;
};

}  // namespace

ScopedFakeFileOperation::ScopedFakeFileOperation(FileOperationScript& script) : m_factory(new FakeFactory(script)) {
    if (FAILED(::CoRegisterClassObject(CLSID_FileOperation, m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                       &m_cookie)))
        m_cookie = 0;
}

ScopedFakeFileOperation::~ScopedFakeFileOperation() {
    if (m_cookie != 0) ::CoRevokeClassObject(m_cookie);
    m_factory->Release();
}
