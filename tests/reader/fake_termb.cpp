// A reader library that answers from fixed values, so the loader's binding of
// every function and argument can be checked through real calls.

#include <cstring>

#include "reader/termb.h"

#if defined(_WIN32) && defined(FAKE_TERMB_EXPORTS_BY_DEF)
#define EXPORT extern "C" // a .def file names the exports
#elif defined(_WIN32)
#define EXPORT extern "C" __declspec(dllexport)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

EXPORT int TERMB_CALL SDT_OpenPort(int port)
{
    return port == 1001 ? 144 : 1;
}
EXPORT int TERMB_CALL SDT_ClosePort(int port)
{
    return port + 1;
}
EXPORT int TERMB_CALL SDT_GetSAMIDToStr(int port, char* samId, int)
{
    std::strcpy(samId, "05.01-20260101-0000000001-1234567890");
    return 144;
}
EXPORT int TERMB_CALL SDT_StartFindIDCard(int, unsigned char* manage, int)
{
    manage[0] = 0x5A;
    return 159;
}
EXPORT int TERMB_CALL SDT_SelectIDCard(int, unsigned char*, int)
{
    return 129;
}
EXPORT int TERMB_CALL SDT_ReadBaseMsg(int, unsigned char* text, unsigned int* textLen,
                                      unsigned char* photo, unsigned int* photoLen, int)
{
    text[0] = 'T';
    *textLen = 256;
    photo[0] = 'P';
    *photoLen = 1024;
    return 144;
}
EXPORT int TERMB_CALL SDT_ReadBaseFPMsg(int, unsigned char* text, unsigned int* textLen,
                                        unsigned char* photo, unsigned int* photoLen,
                                        unsigned char* fp, int* fpLen, int)
{
    *textLen = 256;
    *photoLen = 1024;
    fp[0] = 0x43;
    *fpLen = *fpLen == 1024 ? 512 : -1;
    return 144;
}
EXPORT int TERMB_CALL SDT_ReadNewAppMsg(int, unsigned char*, unsigned int* len, int)
{
    *len = 0;
    return 145;
}
#ifndef FAKE_TERMB_NO_WLT2BMP
EXPORT int TERMB_CALL Wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    bmp[0] = wlt[0];
    return 38862;
}
#endif
#ifdef FAKE_TERMB_VIRTUAL
EXPORT const char* TermbVirtualReaderInfo()
{
    return "fake virtual reader";
}
#endif
