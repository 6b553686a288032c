#include "config/config.h"

#include "app/exe_dir.h"
#include "config/profile.h"

namespace {
std::string trimControls(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    return s.substr(b, e - b);
}
} // namespace

std::string ConfigFilePath()
{
    return ExeDir() + kConfigFileName;
}

std::string ReadConfig(const std::string& key)
{
    if (key.empty())
        return {};
    try {
        return trimControls(ReadProfileString(ConfigFilePath(), kConfigSection, key));
    } catch (...) {
        return {};
    }
}

void WriteConfig(const std::string& key, const std::string& value)
{
    try {
        WriteProfileString(ConfigFilePath(), kConfigSection, key, value);
    } catch (...) {
        // Settings writes report nothing; the file keeps what it held.
    }
}
