#include "state/shared_state.h"

#include <cstring>
#include <ostream>

std::atomic<std::int32_t> PortNo{0};
std::atomic<std::int32_t> SetPortNo{0};
std::atomic<std::int32_t> ReadMode{0};
std::atomic<std::int32_t> ReadSleep{0};
std::atomic<std::int32_t> ReaderCallTimeout{kStartReaderCallTimeoutMs};
std::atomic<std::int32_t> LastMsgCode{0};
std::atomic<bool> DeviceOK{false};
std::atomic<bool> CardHandled{false};
std::atomic<std::int32_t> StopCount{0};
std::atomic<std::int32_t> PassStopCount{0};
std::atomic<std::int32_t> LastMsgResets{0};

SharedText LastIDCardNo;
SharedText ReaderFaultFunction;
char SamIdStr[kSamIdSize] = {};
TIDCardInfo CardInfo = {};
TCardKindInfo CardKindInfo = {};
TCardPhoto CardPhoto = {};

void DecodeBaseText(const unsigned char* baseText)
{
    DecodeBaseTextInto(CardInfo, baseText);
}

std::string SamIdText()
{
    return FieldText(SamIdStr, kSamIdSize);
}

void ResetLastMsgCode()
{
    ++LastMsgResets;
    LastMsgCode = 0;
}

void ResetSharedState()
{
    PortNo = 0;
    SetPortNo = 0;
    ReadMode = 0;
    ReadSleep = 0;
    ReaderCallTimeout = kStartReaderCallTimeoutMs;
    LastMsgCode = 0;
    DeviceOK = false;
    CardHandled = false;
    StopCount = 0;
    PassStopCount = 0;
    LastMsgResets = 0;
    LastIDCardNo.clear();
    ReaderFaultFunction.clear();
    std::memset(SamIdStr, 0, sizeof SamIdStr);
    std::memset(&CardInfo, 0, sizeof CardInfo);
    std::memset(&CardKindInfo, 0, sizeof CardKindInfo);
    std::memset(&CardPhoto, 0, sizeof CardPhoto);
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
