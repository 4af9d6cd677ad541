#pragma once
#include <windows.h>

namespace ATL {

// The module (program or library) that this copy of the framework is
// linked into: window classes, dialog templates and resources are found
// there, whichever of the three deliverables it is.
HINSTANCE GetModuleInstance();

// The framework's exception type. It is raised only for programming errors
// and exhausted memory inside the framework, never across a module edge.
class CAtlException {
public:
    explicit CAtlException(HRESULT hr) : m_hr(hr) {}
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

[[noreturn]] void AtlThrow(HRESULT hr);

}  // namespace ATL
