#include "out_of_memory.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "system_text.hpp"

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

void report_out_of_memory(std::FILE* stream, std::string_view table_label)
{
    const char* why = std::strerror(ENOMEM);
    if (table_label.empty()) {
        write_message(stream, "grisalturas: cannot create the table: ");
    } else {
        write_message(stream, "grisalturas: cannot write ");
        write_message(stream, table_label);
        write_message(stream, ": ");
    }
    write_message(stream, why);
    write_message(stream, "\n");
}
