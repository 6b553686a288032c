// Two small DLLs standing in for a vendor's reader library and a DLL that
// comes with it: the library imports the companion and also loads it by
// name once running, as vendors' libraries do.
#include <windows.h>

#ifdef COMPANION
extern "C" __declspec(dllexport) int CompanionAnswer()
{
    return 42;
}
#else
extern "C" __declspec(dllimport) int CompanionAnswer();
extern "C" __declspec(dllexport) int ImportedAnswer()
{
    return CompanionAnswer();
}
extern "C" __declspec(dllexport) int LoadsByName()
{
    return ::LoadLibraryW(L"companion_by_name.dll") != nullptr;
}
#endif
