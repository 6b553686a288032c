#include "sim/control_file.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace termbsim {

bool WriteControlFile(const std::string& file, const std::string& content)
{
    const std::string temp = file + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!(out << content) || !out.flush())
            return false;
    }
    std::error_code ec;
    for (int attempt = 0; attempt < 400; ++attempt) {
        std::filesystem::rename(temp, file, ec);
        if (!ec)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::filesystem::remove(temp, ec);
    return false;
}

} // namespace termbsim
