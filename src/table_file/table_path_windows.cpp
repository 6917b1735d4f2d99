#include "table_file/table_path.hpp"

std::string local_table_path(std::string_view composed, std::string_view)
{
    return std::string(composed);
}

std::string refused_in_names(std::string_view answer)
{
    for (const char c : answer) {
        if (c == ':') {
            return "holds ':', which Windows keeps for drives and streams";
        }
        if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
            return std::string("holds '") + c + "', which Windows does not allow in names";
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return "holds a control character, which Windows does not allow in names";
        }
    }
    return {};
}
