#include "system/out_of_memory.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char* reserve = nullptr;

// A new handler is the one place that runs before a failed allocation
// throws: a terminate handler would come too late for the unwinding.
void give_back_reserve()
{
    std::free(reserve);
    reserve = nullptr;
    std::set_new_handler(nullptr);
    throw std::bad_alloc();
}

}  // namespace

bool take_memory_reserve()
{
    constexpr std::size_t reserve_size = std::size_t{64} << 10;
    reserve = static_cast<char*>(std::malloc(reserve_size));
    if (reserve == nullptr) {
        return false;
    }
    std::set_new_handler(give_back_reserve);
    return true;
}

void report_out_of_memory(std::FILE* stream, std::string_view table_label, const UserText& user)
{
    const char* why = std::strerror(ENOMEM);
    if (table_label.empty()) {
        write_message(stream, "grisalturas: cannot create the table: ", user);
    } else {
        write_message(stream, "grisalturas: cannot write ", user);
        write_message(stream, table_label, user);
        write_message(stream, ": ", user);
    }
    write_message(stream, why, user);
    write_message(stream, "\n", user);
}
