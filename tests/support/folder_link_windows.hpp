// Folder links and folders as on another disk, for the tests that move a
// link while the program runs. Wine shows a program a junction and a folder
// link alike, as a Unix link, and this is how they are made.
#pragma once

#include <filesystem>

// A link to a folder, removed when it goes.
class FolderLink {
public:
    // Whether links can be made here: under Wine only.
    static bool can_be_made();

    explicit FolderLink(std::filesystem::path link);
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    ~FolderLink();

    // Makes it lead to `target` instead of where it led.
    [[nodiscard]] bool point_to(const std::filesystem::path& target) const;

private:
    std::filesystem::path link_;
};

// A folder as on another disk, holding a folder maps; removed when it goes.
struct Elsewhere {
    explicit Elsewhere(const char* name);
    Elsewhere(const Elsewhere&) = delete;
    Elsewhere& operator=(const Elsewhere&) = delete;
    ~Elsewhere();
    const std::filesystem::path path;
};
