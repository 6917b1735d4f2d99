// A fresh working directory for one run, holding the folder images/maps.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class Workspace {
public:
    Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    ~Workspace();

    [[nodiscard]] const std::filesystem::path& root() const { return root_; }
    [[nodiscard]] std::filesystem::path maps() const { return root_ / "images" / "maps"; }
    [[nodiscard]] std::filesystem::path table(const std::string& name) const { return maps() / (name + "_tab.txt"); }

    // Every name in images/maps, sorted: a leftover temporary file shows here.
    [[nodiscard]] std::vector<std::string> maps_listing() const;

    static std::string read(const std::filesystem::path& file);
    static void write(const std::filesystem::path& file, const std::string& bytes);

private:
    std::filesystem::path root_;
};
