#include "BrelioFramework/Module.h"

// The linker's symbol for the start of the image this code was linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace ATL {

HINSTANCE GetModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void AtlThrow(HRESULT hr) { throw CAtlException(hr); }

}  // namespace ATL
