#include "config/config.h"

#include "app/exe_dir.h"
#include "card/card_info.h"
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
        return {};
    }
}

bool WriteConfig(const std::string& key, const std::string& value)
{
    try {
        return WriteProfileString(ConfigFilePath(), kConfigSection, key, value);
    } catch (...) {
        return false; // the file keeps what it held
    }
}
