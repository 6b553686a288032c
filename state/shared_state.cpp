#include "state/shared_state.h"

#include <cstring>
#include <ostream>

ReaderState MainReaderState;

std::atomic<std::int32_t>& PortNo = MainReaderState.portNo;
std::atomic<std::int32_t>& SetPortNo = MainReaderState.setPortNo;
std::atomic<std::int32_t>& ReadMode = MainReaderState.readMode;
std::atomic<std::int32_t> ReadSleep{0};
std::atomic<std::int32_t> ReaderCallTimeout{kStartReaderCallTimeoutMs};
std::atomic<std::int32_t>& LastMsgCode = MainReaderState.lastMsgCode;
std::atomic<bool>& DeviceOK = MainReaderState.deviceOk;
std::atomic<bool>& CardHandled = MainReaderState.cardHandled;
std::atomic<std::int32_t> StopCount{0};
std::atomic<std::int32_t>& PassStopCount = MainReaderState.passStopCount;
std::atomic<std::int32_t> LastMsgResets{0};

SharedText& LastIDCardNo = MainReaderState.lastIdCardNo;
SharedText& ReaderFaultFunction = MainReaderState.readerFaultFunction;
char (&SamIdStr)[kSamIdSize] = MainReaderState.samIdStr;
TIDCardInfo& CardInfo = MainReaderState.cardInfo;
TCardKindInfo& CardKindInfo = MainReaderState.cardKindInfo;
TCardPhoto& CardPhoto = MainReaderState.cardPhoto;

std::string ReaderState::samIdText() const
{
    return FieldText(samIdStr, kSamIdSize);
}

void ReaderState::reset()
{
    portNo = 0;
    setPortNo = 0;
    readMode = 0;
    lastMsgCode = 0;
    deviceOk = false;
    cardHandled = false;
    passStopCount = 0;
    lastIdCardNo.clear();
    readerFaultFunction.clear();
    std::memset(samIdStr, 0, sizeof samIdStr);
    std::memset(&cardInfo, 0, sizeof cardInfo);
    std::memset(&cardKindInfo, 0, sizeof cardKindInfo);
    std::memset(&cardPhoto, 0, sizeof cardPhoto);
    photoTag.clear();
}

void DecodeBaseText(const unsigned char* baseText)
{
    DecodeBaseTextInto(CardInfo, baseText);
}

std::string SamIdText()
{
    return MainReaderState.samIdText();
}

void ResetLastMsgCode()
{
    ++LastMsgResets;
    LastMsgCode = 0;
}

void ResetSharedState()
{
    MainReaderState.reset();
    ReadSleep = 0;
    ReaderCallTimeout = kStartReaderCallTimeoutMs;
    StopCount = 0;
    LastMsgResets = 0;
}

SharedText& SharedText::operator=(std::string text)
{
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
    return *this;
}

std::string SharedText::str() const
{
    std::lock_guard lock(m_mutex);
    return m_text;
}

bool SharedText::empty() const
{
    std::lock_guard lock(m_mutex);
    return m_text.empty();
}

void SharedText::clear()
{
    std::lock_guard lock(m_mutex);
    m_text.clear();
}

std::ostream& operator<<(std::ostream& os, const SharedText& t)
{
    return os << t.str();
}
