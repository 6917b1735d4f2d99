#include "command_line.hpp"

#include "table_path.hpp"

namespace {

constexpr std::string_view usage_start =
    "usage: grisalturas [--help | --version]\n"
    "\n"
    "Asks on the console for a folder of C:\\images, the name of a table, the first\n"
    "gray tone and its step, the first and last altitudes in meters and their step,\n"
    "and the unit (0 meters, 1 decimeters, 2 centimeters, 3 millimeters); then\n"
    "writes one line of gray tone and altitude for each gray tone to\n";

constexpr std::string_view usage_end =
    "Answers may also come from a file: grisalturas < answers.txt\n"
    "\n"
    "Exit status: 0 when the table is written; 1 when anything failed, and then\n"
    "an older table of that name is left as it was.\n"
#ifdef _WIN32
    "More in README.txt, beside the program.\n";
#else
    "More in the manual: man grisalturas\n";
#endif

bool asks_for_help(std::string_view argument)
{
#ifdef _WIN32
    if (argument == "/?") {
        return true;
    }
#endif
    return argument == "--help" || argument == "-h";
}

}  // namespace

std::string requested_text(std::span<const char* const> arguments, std::string_view version,
                           std::string_view drive_root)
{
    for (const char* argument : arguments) {
        if (argument == nullptr) {
            continue;
        }
        if (asks_for_help(argument)) {
            const std::string composed = compose_table_name("<folder>", "<table>");
            std::string text(usage_start);
            text.append("    ").append(composed).append("\n");
            if (const std::string local = local_table_path(composed, drive_root); local != composed) {
                text.append("which on this system is\n    ").append(local).append("\n");
            }
            return text.append("\n").append(usage_end);
        }
        if (std::string_view(argument) == "--version" || std::string_view(argument) == "-V") {
            return std::string("grisalturas ").append(version).append("\n");
        }
    }
    return {};
}
