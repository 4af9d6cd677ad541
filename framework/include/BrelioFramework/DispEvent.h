#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioFramework/Connection.h"

namespace ATL {

// One entry of an event sink's map: which source and event interface, which
// dispatch id, and the call that unpacks the arguments for the handler.
template <typename T>
struct SinkMapEntry {
    UINT sourceId;
    const IID* iid;
    DISPID dispid;
    HRESULT (*invoke)(T* sink, DISPPARAMS* params);
};

namespace detail {

// One argument of an event, taken from its VARIANT as the handler's
// parameter type asks. False when the VARIANT is of another type.
inline bool TakeArgument(VARIANT& v, IDispatch*& out) {
    if (v.vt == VT_DISPATCH) out = v.pdispVal;
    else if (v.vt == (VT_BYREF | VT_DISPATCH)) out = *v.ppdispVal;
    else return false;
    return true;
}
inline bool TakeArgument(VARIANT& v, VARIANT*& out) {
    out = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
    return true;
}
inline bool TakeArgument(VARIANT& v, BSTR& out) {
    if (v.vt == VT_BSTR) out = v.bstrVal;
    else if (v.vt == (VT_BYREF | VT_BSTR)) out = *v.pbstrVal;
    else return false;
    return true;
}
inline bool TakeArgument(VARIANT& v, long& out) {
    if (v.vt == VT_I4) out = v.lVal;
    else if (v.vt == (VT_BYREF | VT_I4)) out = *v.plVal;
    else return false;
    return true;
}
inline bool TakeArgument(VARIANT& v, VARIANT_BOOL*& out) {
    if (v.vt != (VT_BYREF | VT_BOOL)) return false;
    out = v.pboolVal;
    return true;
}

template <auto Handler>
struct SinkCall;

// The arguments arrive last first in rgvarg; the handler gets them in
// declaration order, each checked against its parameter type.
template <typename T, typename... Args, void (T::*Handler)(Args...)>
struct SinkCall<Handler> {
    template <typename Sink>
    static HRESULT Invoke(Sink* sink, DISPPARAMS* params) {
        if (params == nullptr || params->cArgs != sizeof...(Args) || params->cNamedArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        std::tuple<std::remove_cvref_t<Args>...> values{};
        if (!Unpack(params, values, std::index_sequence_for<Args...>{})) return DISP_E_TYPEMISMATCH;
        std::apply([sink](auto&... a) { (static_cast<T*>(sink)->*Handler)(a...); }, values);
        return S_OK;
    }

private:
    template <typename Tuple, size_t... I>
    static bool Unpack(DISPPARAMS* params, Tuple& values, std::index_sequence<I...>) {
        return (TakeArgument(params->rgvarg[params->cArgs - 1 - I], std::get<I>(values)) && ...);
    }
};

}  // namespace detail

// A sink for one outgoing dispatch interface of one source, answered from
// T's sink map (BEGIN_SINK_MAP). It is held by value by its owner, so
// reference counting does nothing; type information is not offered.
template <UINT SourceId, typename T, const IID* EventIid>
class IDispEventSimpleImpl : public IDispatch {
public:
    static constexpr DWORD kNotConnected = 0xFEFEFEFE;
    DWORD m_dwEventCookie = kNotConnected;

    HRESULT DispEventAdvise(IUnknown* source) {
        if (m_dwEventCookie != kNotConnected) return E_FAIL;  // already connected
        DWORD cookie = 0;
        const HRESULT hr = AtlAdvise(source, this, *EventIid, &cookie);
        if (SUCCEEDED(hr)) m_dwEventCookie = cookie;
        return hr;
    }
    HRESULT DispEventUnadvise(IUnknown* source) {
        if (m_dwEventCookie == kNotConnected) return S_FALSE;
        const HRESULT hr = AtlUnadvise(source, *EventIid, m_dwEventCookie);
        m_dwEventCookie = kNotConnected;
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == *EventIid) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    // Calls the handler of the matching map entry; every other event is
    // ignored. A handler's exception ends at the source's call.
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        for (const SinkMapEntry<T>* entry = T::GetSinkMap(); entry->invoke != nullptr; ++entry) {
            if (entry->sourceId == SourceId && *entry->iid == *EventIid && entry->dispid == dispid) {
                return brelio::GuardEntry(__func__, E_UNEXPECTED,
                                          [&] { return entry->invoke(static_cast<T*>(this), params); });
            }
        }
        return S_OK;
    }

protected:
    ~IDispEventSimpleImpl() = default;
};

}  // namespace ATL

// Inside the sink class. A handler is a member `void Handler(Args...)`
// whose parameters are IDispatch*, VARIANT*, BSTR, long or VARIANT_BOOL*.
#define BEGIN_SINK_MAP(theClass)                                           \
    static const ATL::SinkMapEntry<theClass>* GetSinkMap() {              \
        using SinkClass = theClass;                                        \
        static const ATL::SinkMapEntry<theClass> entries[] = {
#define SINK_ENTRY_EX(sourceId, iid, dispid, handler) \
    {sourceId, &iid, dispid, &ATL::detail::SinkCall<handler>::template Invoke<SinkClass>},
#define END_SINK_MAP()             \
    { 0, nullptr, 0, nullptr }     \
    }                              \
    ;                              \
    return entries;                \
    }
