#pragma once
// The shared reader state: the process-wide variables through which the user
// interface thread and the reading thread cooperate. The integers and flags are
// atomics, so each is written and read whole. SamIdStr, CardInfo and
// CardKindInfo are handed between the threads only while the reading thread waits in its
// synchronous status report. LastIDCardNo carries its own lock: the main
// window's read buttons clear it at any moment, not only inside a status.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

#include "card/card_info.h"
#include "card/card_kinds.h"

// Port number 1001 names the USB port; any other positive n is serial port COMn.
inline constexpr std::int32_t kUsbPort = 1001;
// In the settings only: search for the reader automatically.
inline constexpr std::int32_t kAutoPort = 0;

// Values of ReadMode.
inline constexpr std::int32_t kReadIdle = 0;
inline constexpr std::int32_t kReadOnce = 1;
inline constexpr std::int32_t kReadContinuous = 2;

// Size of the security-module number buffer the reader library writes into.
inline constexpr std::size_t kSamIdSize = 201;

// The bitmap the reader library made of the last card's photo, kept for the
// card view, which never has to trust the photo file beside the executable
// (that may be an earlier card's when it cannot be written). Handed over
// like CardInfo; `length` is 0 when this card has no bitmap.
struct TCardPhoto
{
    unsigned char bitmap[kCardBitmapBufferSize]; // the converter's output buffer
    std::uint32_t length;
};

// A text that both threads read and write, each access whole under its lock.
class SharedText
{
public:
    SharedText& operator=(std::string text);
    std::string str() const;
    bool empty() const;
    void clear();
    friend bool operator==(const SharedText& a, std::string_view b) { return a.str() == b; }
    friend std::ostream& operator<<(std::ostream& os, const SharedText& t);

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// One reader's share of the state: what its reading thread and the thread
// handling its statuses hand each other. The windowed programs have one
// reader, MainReaderState, whose fields are the process-wide names below
// (PortNo is MainReaderState.portNo, and so on); the console program gives
// each reader of a run with several readers a ReaderState of its own.
struct ReaderState
{
    std::atomic<std::int32_t> portNo{0};
    std::atomic<std::int32_t> setPortNo{0};
    std::atomic<std::int32_t> readMode{0};
    std::atomic<std::int32_t> lastMsgCode{0};
    std::atomic<bool> deviceOk{false};
    std::atomic<bool> cardHandled{false};
    std::atomic<std::int32_t> passStopCount{0};
    SharedText lastIdCardNo;
    SharedText readerFaultFunction;
    char samIdStr[kSamIdSize] = {};
    TIDCardInfo cardInfo = {};
    TCardKindInfo cardKindInfo = {};
    TCardPhoto cardPhoto = {};
    // Empty: the photo files are zp.wlt and zp.bmp; otherwise this reader's
    // are named with it (zp-<tag>.wlt), so that readers never share a file.
    std::string photoTag;

    // samIdStr as text: up to its first NUL, at most kSamIdSize characters.
    std::string samIdText() const;
    // Puts every field back to its start value (zero, false, empty).
    void reset();
};

extern ReaderState MainReaderState;

extern std::atomic<std::int32_t>& PortNo;      // port in use for every reader call
extern std::atomic<std::int32_t>& SetPortNo;   // fixed port from the settings, 0 = search
extern std::atomic<std::int32_t>& ReadMode;    // 0 idle, 1 one read, 2 continuous
extern std::atomic<std::int32_t> ReadSleep;    // pause before each pass, milliseconds
extern std::atomic<std::int32_t>& LastMsgCode; // status code last handled by the main window
// The deadline of one reader library call in a reader host, milliseconds;
// taken when the program sets up its reader hosting. Before the settings
// are loaded (and after ResetSharedState), the settings' default.
inline constexpr std::int32_t kStartReaderCallTimeoutMs = 10000;
extern std::atomic<std::int32_t> ReaderCallTimeout;
extern std::atomic<bool>& DeviceOK;    // the reader on PortNo is open and answered
extern std::atomic<bool>& CardHandled; // a card was selected or read since idle

// How often continuous reading was stopped: the main window counts a stop
// once the stop's pause is over, and the reading thread notes the count it
// saw when each pass began (PassStopCount, set before the pass reports
// anything). A status from a pass that began before the last stop belongs to
// reading that is over, and the main window ignores it.
extern std::atomic<std::int32_t> StopCount;
extern std::atomic<std::int32_t>& PassStopCount;

// How often LastMsgCode was reset to 0 (a read started, the port setting
// changed): ResetLastMsgCode counts each reset before making it, so whoever
// saw the count unchanged around a look at LastMsgCode knows no reset
// came between.
extern std::atomic<std::int32_t> LastMsgResets;
void ResetLastMsgCode();

// The number of the card last read (CardNumberText: the ID number of an
// identity card or a permit, the card number of a foreign card, a stand-in
// for a kind that is not decoded); empty once its view is cleared.
extern SharedText& LastIDCardNo;
// The reader library call that crashed its host or overran its deadline, by
// its name; set before the status that reports the fault.
extern SharedText& ReaderFaultFunction;
extern char (&SamIdStr)[kSamIdSize]; // security-module number as the reader library wrote it
extern TIDCardInfo& CardInfo;        // the decoded card last read
// The card last read by its kind (DecodeCardKind of the same base text):
// which kind it is and, for the kinds laid out otherwise, their own record.
// Zeroed, filled and handed over exactly like CardInfo.
extern TCardKindInfo& CardKindInfo;
// The bitmap of the last card's photo (TCardPhoto).
extern TCardPhoto& CardPhoto;

// Decodes the first 256 bytes at `baseText` into the ten text fields of
// CardInfo, Name to Reserved (DecodeBaseTextInto). Only the reading thread
// calls it, once per card read.
void DecodeBaseText(const unsigned char* baseText);

// SamIdStr as text: up to its first NUL, at most kSamIdSize characters.
std::string SamIdText();

// Puts every variable back to its start value (zero, false, empty). For tests.
void ResetSharedState();
