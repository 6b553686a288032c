#include "config/config.h"

#include "base/diagnostics.h"
#include "base/exe_dir.h"
#include "base/text.h"
#include "config/profile.h"

std::string ConfigFilePath()
{
    return ExeDir() + kConfigFileName;
}

std::string ReadConfig(const std::string& key)
{
    if (key.empty())
        return {};
    try {
        return TrimText(ReadProfileString(ConfigFilePath(), kConfigSection, key));
    } catch (...) {
        ReportDiagnostic(DiagArea::Settings, "cannot read " + ConfigFilePath());
        return {};
    }
}

bool WriteConfig(const std::string& key, const std::string& value)
{
    bool written = false;
    try {
        written = WriteProfileString(ConfigFilePath(), kConfigSection, key, value);
    } catch (...) {
        // the file keeps what it held
    }
    if (!written)
        ReportDiagnostic(DiagArea::Settings, "cannot write " + key + " to " + ConfigFilePath());
    return written;
}

std::int32_t ReadPortSetting()
{
    return IntOrZero(ReadConfig(kPortKey));
}

std::int32_t ReadSleepSetting()
{
    return IntOrZero(ReadConfig(kSleepKey));
}

std::int32_t ReadReaderCallTimeoutSetting()
{
    std::int32_t ms = 0;
    if (ParseInt32(ReadConfig(kReaderCallTimeoutKey), ms) && ms >= kMinReaderCallTimeoutMs &&
        ms <= kMaxReaderCallTimeoutMs)
        return ms;
    return kDefaultReaderCallTimeoutMs;
}
