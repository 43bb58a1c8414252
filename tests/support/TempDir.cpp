#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

TempDir::TempDir(bool enter)
{
    std::string pattern = (fs::temp_directory_path() / "demosys-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()))
        dir = buffer.data();
    if (enter && !dir.empty()) {
        previous = fs::current_path().string();
        fs::current_path(dir);
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!previous.empty())
        fs::current_path(previous, ec);
    if (!dir.empty())
        fs::remove_all(dir, ec);
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const
{
    fs::path target = fs::path(dir) / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return target.string();
}

std::string TempDir::write(const std::string& relative, const std::vector<unsigned char>& bytes) const
{
    return write(relative, std::string(bytes.begin(), bytes.end()));
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int runCommand(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
