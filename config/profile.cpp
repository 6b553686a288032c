#include "config/profile.h"

#include "base/files.h"
#include "config/ini_text.h"

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key)
{
    std::string content;
    bool exists = false;
    if (!ReadWholeFile(file, content, exists))
        return {};
    return IniGet(content, section, key).value_or(std::string());
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::string content;
    bool exists = false;
    return ReadWholeFile(file, content, exists) &&
           ReplaceFileContent(file, IniSet(content, section, key, value));
}
