#pragma once
// A fresh directory under the system's temporary directory, removed with its
// content when the object goes.

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

class TempDir
{
public:
    TempDir()
    {
#ifdef _WIN32
        // No mkdtemp on Windows; creating a directory fails when the name is
        // taken, so a fresh random name is tried until one is ours.
        std::random_device random;
        for (int attempt = 0; m_path.empty(); ++attempt) {
            if (attempt == 100)
                throw std::runtime_error("no temporary directory could be created");
            auto candidate =
                std::filesystem::temp_directory_path() / ("zuvi-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec))
                m_path = candidate;
        }
#else
        std::string tmpl = (std::filesystem::temp_directory_path() / "zuvi-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = tmpl;
#endif
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        // Windows deletes no read-only file: make every file writable first.
        for (std::filesystem::directory_iterator it(m_path, ec), end; !ec && it != end;
             it.increment(ec))
            if (std::error_code entryEc; !it->is_symlink(entryEc))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::add, entryEc);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const
    {
        return m_path;
    }
    std::string file(const std::string& name) const
    {
        return (m_path / name).string();
    }

    void write(const std::string& name, const std::string& content) const
    {
        std::ofstream(file(name), std::ios::binary) << content;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path m_path;
};
