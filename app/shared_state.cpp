#include "app/shared_state.h"

#include <cstring>

std::atomic<std::int32_t> PortNo{0};
std::atomic<std::int32_t> SetPortNo{0};
std::atomic<std::int32_t> ReadMode{0};
std::atomic<std::int32_t> ReadSleep{0};
std::atomic<std::int32_t> LastMsgCode{0};
std::atomic<bool> DeviceOK{false};
std::atomic<bool> CardHandled{false};

std::string LastIDCardNo;
char SamIdStr[kSamIdSize] = {};
TIDCardInfo CardInfo = {};

std::string SamIdText()
{
    return FieldText(SamIdStr, kSamIdSize);
}

void ResetSharedState()
{
    PortNo = 0;
    SetPortNo = 0;
    ReadMode = 0;
    ReadSleep = 0;
    LastMsgCode = 0;
    DeviceOK = false;
    CardHandled = false;
    LastIDCardNo.clear();
    std::memset(SamIdStr, 0, sizeof SamIdStr);
    std::memset(&CardInfo, 0, sizeof CardInfo);
}
