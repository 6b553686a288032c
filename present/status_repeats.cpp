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
    // Of these, the two comparisons with the counts noted at the last status
    // handed over (stops == m_stops, resets == m_resets) never decide while
    // statuses are handed over synchronously: reading starts again only
    // after a reset, a reset zeroes LastMsgCode, and the window has set
    // LastMsgCode to each status it handled before the thread goes on, so
    // the comparison with LastMsgCode alone hands the first status of new
    // reading over. They stay so that the filter does not depend on that
    // order: with a hand-over that did not wait, a status of the earlier
    // reading handled after the reset could leave LastMsgCode equal to the
    // new reading's first status.
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
