#include "BrelioFramework/Connection.h"

#include "BrelioCore/ComPtr.h"

namespace ATL {

namespace {

HRESULT FindConnectionPoint(IUnknown* source, REFIID iid, brelio::ComPtr<IConnectionPoint>& point) {
    if (source == nullptr) return E_INVALIDARG;
    brelio::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    return container->FindConnectionPoint(iid, point.Put());
}

}  // namespace

HRESULT AtlAdvise(IUnknown* source, IUnknown* sink, REFIID iid, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) return E_INVALIDARG;
    brelio::ComPtr<IConnectionPoint> point;
    const HRESULT hr = FindConnectionPoint(source, iid, point);
    if (FAILED(hr)) return hr;
    return point->Advise(sink, cookie);
}

HRESULT AtlUnadvise(IUnknown* source, REFIID iid, DWORD cookie) {
    brelio::ComPtr<IConnectionPoint> point;
    const HRESULT hr = FindConnectionPoint(source, iid, point);
    if (FAILED(hr)) return hr;
    return point->Unadvise(cookie);
}

}  // namespace ATL
