#pragma once
#include <unknwn.h>

#include <utility>

namespace brelio {

// Holds one reference to a COM object and releases it when it goes.
// Copies add a reference; As() asks the object for another interface.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(T* p) noexcept : m_p(p) {  // NOLINT: adopting a raw pointer adds a reference
        if (m_p != nullptr) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr copy(other);
        std::swap(m_p, copy.m_p);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) noexcept {
        ComPtr owner;
        owner.m_p = p;
        return owner;
    }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }

    void Reset() noexcept {
        if (T* old = std::exchange(m_p, nullptr)) old->Release();
    }
    // For functions that return a new reference through T**.
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    template <typename U>
    HRESULT As(ComPtr<U>& other) const noexcept {
        if (m_p == nullptr) return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), other.PutVoid());
    }
    HRESULT As(REFIID iid, void** out) const noexcept {
        if (m_p == nullptr) return E_POINTER;
        return m_p->QueryInterface(iid, out);
    }

private:
    T* m_p = nullptr;
};

}  // namespace brelio
