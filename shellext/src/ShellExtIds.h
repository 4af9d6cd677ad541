#pragma once
#include <windows.h>
#include <unknwn.h>

// The shell extension's identifiers, the same as in its type library and
// registration scripts (resources/shellext).

// {01412D4E-D113-4DAB-8B97-752D984ED095}
inline constexpr GUID LIBID_BrelioShellExtLib = {
    0x01412D4E, 0xD113, 0x4DAB, {0x8B, 0x97, 0x75, 0x2D, 0x98, 0x4E, 0xD0, 0x95}};

// {674EE7F9-1DB7-4F2D-8297-422D146A22B6}
inline constexpr CLSID CLSID_IconOverlay1Handler = {
    0x674EE7F9, 0x1DB7, 0x4F2D, {0x82, 0x97, 0x42, 0x2D, 0x14, 0x6A, 0x22, 0xB6}};
// {75EDD935-8785-4822-A314-C20A02AA6737}
inline constexpr CLSID CLSID_IconOverlay2Handler = {
    0x75EDD935, 0x8785, 0x4822, {0xA3, 0x14, 0xC2, 0x0A, 0x02, 0xAA, 0x67, 0x37}};
// {55A58614-CA10-444D-9211-C2B3025E05DB}
inline constexpr CLSID CLSID_IconOverlay3Handler = {
    0x55A58614, 0xCA10, 0x444D, {0x92, 0x11, 0xC2, 0xB3, 0x02, 0x5E, 0x05, 0xDB}};

// Each handler's own interface: it adds nothing to IUnknown.
struct IIconOverlay1Handler : public IUnknown {};
__CRT_UUID_DECL(IIconOverlay1Handler, 0x56838429, 0xAE07, 0x4251, 0xB8, 0x83, 0x61, 0x12, 0x03, 0x82, 0x4C, 0x4A)
struct IIconOverlay2Handler : public IUnknown {};
__CRT_UUID_DECL(IIconOverlay2Handler, 0x8E1BD954, 0x9161, 0x4F75, 0x9F, 0x23, 0x88, 0x9F, 0xBD, 0x6F, 0x02, 0xBB)
struct IIconOverlay3Handler : public IUnknown {};
__CRT_UUID_DECL(IIconOverlay3Handler, 0x42F3DCA0, 0xDD28, 0x499F, 0x93, 0x7A, 0xB7, 0x37, 0x12, 0xB5, 0xB1, 0x7B)

// Registration scripts (REGISTRY resources).
inline constexpr UINT kModuleScript = 101;
inline constexpr UINT kIconOverlay1Script = 106;
inline constexpr UINT kIconOverlay2Script = 107;
inline constexpr UINT kIconOverlay3Script = 108;
