#include "state/settings.h"

#include "config/config.h"
#include "state/shared_state.h"

void LoadSettings()
{
    ReadSleep = ReadSleepSetting();
    SetPortNo = ReadPortSetting();
    ReaderCallTimeout = ReadReaderCallTimeoutSetting();
}
