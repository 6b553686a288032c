#include "present/status_repeats.h"

#include "reader/read_thread.h"
#include "state/shared_state.h"

bool StatusRepeats::spare(int status)
{
    // The counts before LastMsgCode: a reset made after they were read shows
    // as a changed count at the next status, which is then handed over.
    const std::int32_t mode = ReadMode;
    const std::int32_t stops = PassStopCount;
    const std::int32_t resets = LastMsgResets;
    if (m_known && status != RS_CARD_READ && mode == kReadContinuous && m_mode == kReadContinuous &&
        stops == m_stops && stops == StopCount && resets == m_resets && status == m_status &&
        status == LastMsgCode)
        return true;
    m_known = true;
    m_status = status;
    m_mode = mode;
    m_stops = stops;
    m_resets = resets;
    return false;
}
