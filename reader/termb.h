#pragma once
// The reader library's functions as the tool calls them, and their result
// codes. The library is the vendor's (termb.dll / libtermb.so) or our virtual
// reader; both export these nine functions with these argument lists.

// 32-bit Windows reader libraries use the stdcall convention.
#if defined(_WIN32) && !defined(_WIN64)
#define TERMB_CALL __stdcall
#else
#define TERMB_CALL
#endif

// Result codes the tool relies on.
inline constexpr int kTermbOk = 144;          // 0x90: done
inline constexpr int kTermbCardFound = 159;   // 0x9F: StartFindIDCard found a card
inline constexpr int kTermbSelectedAlt = 129; // 0x81: SelectIDCard also succeeded
inline constexpr int kTermbAppMsgNone = 145;  // 0x91: ReadNewAppMsg, card still there
inline constexpr int kTermbCardGone = 65;     // 0x41: ReadNewAppMsg, card taken away
// Wlt2Bmp: a complete bitmap file, 102 by 126 pixels at 24 bits per pixel.
inline constexpr int kTermbBitmapSize = 38862;

// Results 0 to 3 from find and the removal poll mean the port failed.
inline constexpr bool IsPortFailure(int code)
{
    return code >= 0 && code <= 3;
}

// Buffer sizes the tool passes to the library.
inline constexpr unsigned kManageBufferSize = 101;
inline constexpr unsigned kTextBufferSize = 2001;
inline constexpr unsigned kPhotoBufferSize = 2001;
inline constexpr unsigned kBitmapBufferSize = kTermbBitmapSize + 1;

extern "C" {
using SDT_OpenPort_t = int(TERMB_CALL*)(int port);
using SDT_ClosePort_t = int(TERMB_CALL*)(int port);
using SDT_GetSAMIDToStr_t = int(TERMB_CALL*)(int port, char* samId, int ifOpen);
using SDT_StartFindIDCard_t = int(TERMB_CALL*)(int port, unsigned char* manage, int ifOpen);
using SDT_SelectIDCard_t = int(TERMB_CALL*)(int port, unsigned char* manage, int ifOpen);
using SDT_ReadBaseMsg_t = int(TERMB_CALL*)(int port, unsigned char* text, unsigned int* textLen,
                                           unsigned char* photo, unsigned int* photoLen,
                                           int ifOpen);
using SDT_ReadBaseFPMsg_t = int(TERMB_CALL*)(int port, unsigned char* text, unsigned int* textLen,
                                             unsigned char* photo, unsigned int* photoLen,
                                             unsigned char* fingerprint, int* fingerprintLen,
                                             int ifOpen);
using SDT_ReadNewAppMsg_t = int(TERMB_CALL*)(int port, unsigned char* appMsg, unsigned int* len,
                                             int ifOpen);
using Wlt2Bmp_t = int(TERMB_CALL*)(unsigned char* wlt, unsigned char* bmp);
}

// The function table every reader call goes through. It is always complete:
// when the library cannot be loaded, each entry answers as a reader that is
// not there.
struct TermbApi
{
    SDT_OpenPort_t SDT_OpenPort = nullptr;
    SDT_ClosePort_t SDT_ClosePort = nullptr;
    SDT_GetSAMIDToStr_t SDT_GetSAMIDToStr = nullptr;
    SDT_StartFindIDCard_t SDT_StartFindIDCard = nullptr;
    SDT_SelectIDCard_t SDT_SelectIDCard = nullptr;
    SDT_ReadBaseMsg_t SDT_ReadBaseMsg = nullptr;
    SDT_ReadBaseFPMsg_t SDT_ReadBaseFPMsg = nullptr;
    SDT_ReadNewAppMsg_t SDT_ReadNewAppMsg = nullptr;
    Wlt2Bmp_t Wlt2Bmp = nullptr;
};

// A table whose every call fails as an absent reader would: open never
// answers 144, find reports a port failure, Wlt2Bmp converts nothing.
TermbApi AbsentReaderApi();
