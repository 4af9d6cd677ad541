#pragma once
#include <windows.h>
#include <unknwn.h>

// The test COM server's one interface: it adds.
// {5C734662-114E-4BE7-AC4E-2A24DCE40B47}
struct ITestAdder : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Add(long a, long b, long* sum) = 0;
};
__CRT_UUID_DECL(ITestAdder, 0x5C734662, 0x114E, 0x4BE7, 0xAC, 0x4E, 0x2A, 0x24, 0xDC, 0xE4, 0x0B, 0x47)

// {71F050B3-7123-49A2-BE56-0F56B96DF0DC}
inline constexpr CLSID CLSID_TestAdder = {0x71F050B3, 0x7123, 0x49A2, {0xBE, 0x56, 0x0F, 0x56, 0xB9, 0x6D, 0xF0, 0xDC}};
// {783B9366-EB0E-437D-B0C2-E174807ACA73}
inline constexpr CLSID CLSID_TestSecond = {0x783B9366, 0xEB0E, 0x437D, {0xB0, 0xC2, 0xE1, 0x74, 0x80, 0x7A, 0xCA, 0x73}};
inline constexpr wchar_t kTestAdderClsid[] = L"{71F050B3-7123-49A2-BE56-0F56B96DF0DC}";
inline constexpr wchar_t kTestSecondClsid[] = L"{783B9366-EB0E-437D-B0C2-E174807ACA73}";
inline constexpr wchar_t kTestLibid[] = L"{2B99CDBC-A988-4CF4-B886-C707EC6D144B}";
