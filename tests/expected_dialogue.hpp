// What the program shows, set down from its description rather than taken from its code.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace expected {

inline constexpr std::string_view folder_prompt =
    "\n\n\tName of the File Folder located in the Directory C:\\images : ? ";
inline constexpr std::string_view table_prompt = "\n\n\tName of the Table (without extension _tab.txt) ? ";
inline constexpr std::string_view first_tone_prompt = "\n\n\tFirst gray tone value in the image ? ";
inline constexpr std::string_view tone_step_prompt = "\n\tGray tone Step ? ";
inline constexpr std::string_view min_alt_prompt = "\n\tFirst hypsometric value (in meter) ? ";
inline constexpr std::string_view max_alt_prompt = "\n\tLast hypsometric value (in meter)  ? ";
inline constexpr std::string_view alt_step_prompt = "\n\tValue of the hypsometric step (in meter) ? ";
inline constexpr std::string_view scale_menu =
    "\n\tOutput dynamic scale \n\t\t0 ====> meters\n\t\t1 ====> decimeters"
    "\n\t\t2 ====> centimeters\n\t\t3 ====> millimeters\n\t\t";

// How messages name a table: by its composed name and, where that is not a
// path of the system, by the path tried as well.
inline std::string table_label(const std::string& folder, const std::string& table)
{
    const std::string composed = "c:\\images\\" + folder + "\\" + table + "_tab.txt";
#ifdef _WIN32
    return composed;
#else
    return composed + " (./images/" + folder + "/" + table + "_tab.txt)";
#endif
}

// How messages name a folder of c:\images, likewise.
inline std::string folder_label(const std::string& folder)
{
#ifdef _WIN32
    return "c:\\images\\" + folder;
#else
    return "c:\\images\\" + folder + " (./images/" + folder + ")";
#endif
}

// The 12 banner lines, each 62 characters inside its prefix, and the three lines of description.
inline std::string introduction()
{
    const auto framed = [](const std::string& inside) { return "*" + inside + "*"; };
    const std::string edge(62, '*');
    const std::string empty = framed(std::string(60, ' '));
    const std::string lines[] = {
        edge,
        empty,
        framed(std::string(23, ' ') + "GRISALTURAS" + std::string(26, ' ')),
        empty,
        empty,
        empty,
        empty,
        framed(std::string(47, ' ') + "VELMORANDE" + std::string(3, ' ')),
        framed(std::string(43, ' ') + "(October 2012)" + std::string(3, ' ')),
        empty,
        empty,
        edge,
    };
    std::string text = "\n";
    for (const auto& line : lines) {
        text += "\n\t" + line;
    }
    return text +
           "\n\n\tThis program creates a table of correspondence between gray tones"
           "\n\tand altitude in meters, decimeters, centimeters or millimeters"
           "\n\tThis table is used to generate the Digital Elevation Models";
}

// The whole dialogue of a run: the scale menu shown `menus` times, and each
// prompt in `repeats` shown that many more times after its first showing.
inline std::string dialogue(int menus = 1, const std::map<std::string_view, int>& repeats = {})
{
    std::string text = introduction();
    for (std::string_view prompt : {folder_prompt, table_prompt, first_tone_prompt, tone_step_prompt, min_alt_prompt,
                                    max_alt_prompt, alt_step_prompt}) {
        const auto extra = repeats.find(prompt);
        for (int shown = 0; shown <= (extra == repeats.end() ? 0 : extra->second); ++shown) {
            text += prompt;
        }
    }
    for (int shown = 0; shown < menus; ++shown) {
        text += scale_menu;
    }
    return text;
}

}  // namespace expected
