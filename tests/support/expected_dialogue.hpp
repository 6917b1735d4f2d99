// What the program shows, set down from its description rather than taken from its code.
#pragma once

#include <cstring>
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

// A reason the system gives, in the words of the C library that the program
// and the tests are built with: glibc's and musl's differ ("Input/output
// error", "I/O error").
inline std::string reason(int error_number)
{
    return std::strerror(error_number);
}

// The answers of the plain run, and the table it writes.
inline const std::string plain_answers = "maps sierra 0 1 10 20 5 1";
inline const std::string plain_table = "0\t100\r\n1\t150\r\n2\t200\r\n";

// How messages name the table sierra and the folder maps: by the composed
// name and, where that is not a path of the system, by the path tried as well.
#ifdef _WIN32
inline const std::string sierra_label = "c:\\images\\maps\\sierra_tab.txt";
inline const std::string maps_label = "c:\\images\\maps";
#else
inline const std::string sierra_label = "c:\\images\\maps\\sierra_tab.txt (./images/maps/sierra_tab.txt)";
inline const std::string maps_label = "c:\\images\\maps (./images/maps)";
#endif

// The 12 banner lines and the three lines of description.
inline const std::string introduction =
    "\n\n\t**************************************************************"
    "\n\t*                                                            *"
    "\n\t*                       GRISALTURAS                          *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t*                                               VELMORANDE   *"
    "\n\t*                                           (October 2012)   *"
    "\n\t*                                                            *"
    "\n\t*                                                            *"
    "\n\t**************************************************************"
    "\n\n\tThis program creates a table of correspondence between gray tones"
    "\n\tand altitude in meters, decimeters, centimeters or millimeters"
    "\n\tThis table is used to generate the Digital Elevation Models";

// What the dialogue shows of a run refused before any number is asked.
inline const std::string up_to_the_names = introduction + std::string(folder_prompt) + std::string(table_prompt);

// The whole dialogue of a run: the scale menu shown `menus` times, and each
// prompt in `repeats` shown that many more times after its first showing.
inline std::string dialogue(int menus = 1, const std::map<std::string_view, int>& repeats = {})
{
    std::string text = introduction;
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
