#pragma once
// Spares the main window statuses it would leave unhandled as repeats.
//
// While continuous reading finds no card (or no reader), every pass sends the
// status of the one before, and the window, having handled it once, ignores
// it (LastMsgCode). Handing it over still wakes the window and makes the
// reading thread wait for it, twice a pass: with a reader whose calls fail at
// once that is most of what the program does. The front-ends' status targets
// ask this, on the reading thread, before handing a status over.
//
// A status is spared only when the window's answer is certain: in continuous
// reading, from the same reading (no stop since, no reset of LastMsgCode
// since), equal to the status last handed over and to LastMsgCode, and not a
// card read. Anything else is handed over as always, so a single read, the
// first status of every reading and every status after a reset still reach
// the window.

#include <cstdint>

class StatusRepeats
{
public:
    // True when `status` would change nothing on the window and need not be
    // handed over; false when it must be, which this then notes as the last
    // one handed over. Called on the reading thread only.
    bool spare(int status);

private:
    bool m_known = false;
    int m_status = 0;
    std::int32_t m_mode = 0;
    std::int32_t m_stops = 0;
    std::int32_t m_resets = 0;
};
