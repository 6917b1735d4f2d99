#include "workspace.hpp"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
// Tables go to c:\images whatever the working directory, so the tests take
// that folder over; they never touch one that they did not make themselves.
Workspace::Workspace() : root_("C:\\")
{
    if (std::filesystem::exists(root_ / "images")) {
        throw std::runtime_error("C:\\images exists already; run these tests in a Wine prefix of their own");
    }
    std::filesystem::create_directories(maps());
}

Workspace::~Workspace()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_ / "images", ignored);
}
#else
Workspace::Workspace()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "grisalturas-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a working directory");
    }
    root_ = pattern;
    std::filesystem::create_directories(maps());
}

Workspace::~Workspace()
{
    std::error_code ignored;
    std::filesystem::permissions(maps(), std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root_, ignored);
}
#endif

std::vector<std::string> Workspace::maps_listing() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(maps())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Workspace::read(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Workspace::write(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}
