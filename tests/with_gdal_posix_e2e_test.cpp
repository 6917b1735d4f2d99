// The recipes of doc/with-gdal.md, taken from the document as it stands and
// run with GDAL's tools on tables the program writes, over a gray image of
// every tone: each pixel of the model must be its tone's altitude or nodata.
#include <gtest/gtest.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "disks_posix.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

constexpr long long nodata = -2147483648LL;

// The block fenced as `language` under `heading`, empty where there is none.
std::string recipe(const std::string& heading, const std::string& language)
{
    std::istringstream document(Workspace::read(GRISALTURAS_GDAL_RECIPES));
    std::string block;
    bool under = false;
    bool inside = false;
    for (std::string line; std::getline(document, line);) {
        if (inside) {
            if (line == "```") {
                return block;
            }
            block += line + '\n';
        } else if (line.starts_with("## ")) {
            under = line == heading;
        } else {
            inside = under && line == "```" + language;
        }
    }
    return {};
}

// Pitfalls of the document: tones that descend, every other tone, tones
// past 255, 0 m, centimeters past Int16, millimeters past float, no row.
const struct {
    const char* what;
    const char* answers;
    const char* scale;
} tables[] = {
    {"ascending, in meters, past tone 255", "250 1 -3 6 1 0", "1"},
    {"descending every other tone, in centimeters", "255 -2 0 1270 10 2", "0.01"},
    {"every tone, in millimeters near the largest Int32", "0 1 2147228 2147483 1 3", "0.001"},
    {"empty", "0 1 10 0 5 0", "1"},
};

// Runs `command` for each table in a workspace holding the recipe as the
// file `script`, and gray.tif, an 8-bit image of tones 0 to 255 whose own
// nodata is 0. The command finds the table, the image, the model to write
// and the unit in $table, $image, $dem and $scale, exported.
void check_models(const std::string& script, const std::string& text, const std::string& command)
{
    const Workspace workspace;
    Workspace::write(workspace.root() / script, text);
    const auto at = [&](const std::string& name) { return quoted(workspace.root() / name); };
    std::string grid = "ncols 16\nnrows 16\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int tone = 0; tone < 256; ++tone) {
        grid += std::to_string(tone) + (tone % 16 == 15 ? "\n" : " ");
    }
    Workspace::write(workspace.root() / "gray.asc", grid);
    ASSERT_TRUE(shell("gdal_translate -q -ot Byte -a_nodata 0 " + at("gray.asc") + " " + at("gray.tif")));
    for (const auto& table : tables) {
        SCOPED_TRACE(table.what);
        ASSERT_EQ(run_program(workspace.root(), std::string("maps sierra ") + table.answers).exit_status, 0);
        std::vector<long long> altitudes(256, nodata);
        std::istringstream rows(Workspace::read(workspace.table("sierra")));
        for (long long tone = 0, altitude = 0; rows >> tone >> altitude;) {
            if (tone >= 0 && tone < 256) {
                altitudes[static_cast<std::size_t>(tone)] = altitude;
            }
        }
        fs::remove(workspace.root() / "dem.tif");
        const std::string run =
            "cd " + at("") + " && export table=" + quoted(workspace.table("sierra")) +
            " image=gray.tif dem=dem.tif scale=" + table.scale + " && " + command +
            " 2>errors && gdal_translate -q -of AAIGrid dem.tif dem.asc && gdalinfo dem.tif >dem.txt";
        ASSERT_TRUE(shell(run)) << Workspace::read(workspace.root() / "errors");
        const std::string info = Workspace::read(workspace.root() / "dem.txt");
        EXPECT_NE(info.find("Type=Int32"), std::string::npos) << info;
        EXPECT_NE(info.find("NoData Value=-2147483648\n"), std::string::npos) << info;
        const bool meters = std::string(table.scale) == "1";
        EXPECT_EQ(info.find(std::string("Scale:") + table.scale + "\n") != std::string::npos, !meters) << info;
        std::istringstream model(Workspace::read(workspace.root() / "dem.asc"));
        for (std::string header; model.peek() > '9' && std::getline(model, header);) {
        }
        for (std::size_t tone = 0; tone < 256; ++tone) {
            long long altitude = 0;
            ASSERT_TRUE(model >> altitude) << "tone " << tone;
            EXPECT_EQ(altitude, altitudes[tone]) << "tone " << tone;
        }
    }
}

TEST(WithGdal, TheShellRecipeGivesEveryToneItsAltitudeOrNodata)
{
    if (!shell("gdal_translate --version")) {
        GTEST_SKIP() << "GDAL's tools are not installed";
    }
    const std::string script = recipe("## In a shell", "sh");
    ASSERT_FALSE(script.empty()) << "no sh block under the heading";
    check_models("recipe.sh", script, "sh -e recipe.sh");
}

TEST(WithGdal, ThePythonRecipeGivesEveryToneItsAltitudeOrNodata)
{
    // Debian's bindings serve Debian's python3, which another on the PATH may hide.
    std::string python;
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
        if (python.empty() && shell(std::string(candidate) + " -c 'import numpy, osgeo.gdal'")) {
            python = candidate;
        }
    }
    if (python.empty() || !shell("gdal_translate --version")) {
        GTEST_SKIP() << "no GDAL's tools, or no Python with GDAL's bindings and numpy";
    }
    const std::string script = recipe("## In Python, on Windows too", "python");
    ASSERT_FALSE(script.empty()) << "no python block under the heading";
    check_models("recipe.py", script, python + " recipe.py \"$table\" \"$image\" \"$dem\" \"$scale\"");
}

}  // namespace
