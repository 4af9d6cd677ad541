#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace ATL {

// Writes and removes registry entries described by a registration script:
//
//     HKCR
//     {
//         NoRemove CLSID
//         {
//             ForceRemove {clsid} = s 'Description'
//             {
//                 InprocServer32 = s '%MODULE%'
//                 {
//                     val ThreadingModel = s 'Apartment'
//                 }
//             }
//         }
//     }
//
// Roots: HKCR, HKCU, HKLM, HKU (or their long names). A key is a bare word
// or a quoted name; "= s|e|d value" sets its default value; "val Name = ..."
// a named value (s text, e expandable text, d number). NoRemove keys are
// never removed, ForceRemove keys are replaced whole on registration and
// removed whole on unregistration, other keys are removed when nothing is
// left in them. %NAME% is replaced by the value given with AddReplacement
// (%% is a percent sign). In per-user mode HKCR means the current user's
// Software\Classes.
class CRegistrar {
public:
    void AddReplacement(const std::wstring& name, const std::wstring& value) { m_replacements[name] = value; }
    void SetPerUser(bool perUser) { m_perUser = perUser; }

    HRESULT StringRegister(const wchar_t* script) { return Run(script, true); }
    HRESULT StringUnregister(const wchar_t* script) { return Run(script, false); }
    // The script from a resource of the module (type "REGISTRY" unless
    // another is given), UTF-8 or UTF-16 with its byte-order mark.
    HRESULT ResourceRegister(HINSTANCE module, UINT id, const wchar_t* type = L"REGISTRY");
    HRESULT ResourceUnregister(HINSTANCE module, UINT id, const wchar_t* type = L"REGISTRY");

private:
    HRESULT Run(const wchar_t* script, bool install);
    HRESULT LoadScript(HINSTANCE module, UINT id, const wchar_t* type, std::wstring& script);

    std::map<std::wstring, std::wstring> m_replacements;
    bool m_perUser = false;
};

}  // namespace ATL
