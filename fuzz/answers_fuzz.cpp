// Arbitrary bytes as the answers of a whole run: reading them, planning the
// rows and formatting the first and the last of them must never crash, hang,
// overflow or read out of bounds, and the rows must read as printf writes them,
// in as many bytes as counted beforehand.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dialogue/answer_input.hpp"
#include "dialogue/console.hpp"
#include "dialogue/dialogue.hpp"
#include "rows/row_plan.hpp"
#include "rows/row_writer.hpp"
#include "table_file/table_path.hpp"

namespace {

constexpr std::int64_t checked_rows = 64;

std::FILE* discard()
{
    static std::FILE* const sink = std::fopen("/dev/null", "w");
    return sink;
}

// The rows from `first` on, `count` of them, as the formatter writes them and as printf does.
void check_rows(const RowPlan& plan, std::int64_t first, std::int64_t count)
{
    const RowPlan part{count, plan.first_tone + first * plan.tone_step, plan.tone_step,
                       plan.first_altitude + first * plan.altitude_step, plan.altitude_step};
    char block[std::size_t{checked_rows} * 32 + RowFormatter::slack];
    RowFormatter rows(part);
    const char* end = rows.format(block, block + sizeof block);
    std::string expected;
    for (std::int64_t k = 0; k < count; ++k) {
        char row[32];
        const int length =
            std::snprintf(row, sizeof row, "%d\t%d\r\n", static_cast<int>(part.first_tone + k * part.tone_step),
                          static_cast<int>(part.first_altitude + k * part.altitude_step));
        expected.append(row, static_cast<std::size_t>(length));
    }
    if (!rows.done() || std::string(block, static_cast<std::size_t>(end - block)) != expected ||
        table_size(part) != static_cast<std::int64_t>(expected.size())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Read in small pieces, so that marks and characters fall across reads.
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    AnswerInput in([&bytes](char* buffer, std::size_t room, std::string&) {
        const std::size_t got = std::min({room, bytes.size(), std::size_t{3}});
        bytes.copy(buffer, got);
        bytes.remove_prefix(got);
        return got;
    });
    UserText user;
    Console console(in, user, discard(), discard());
    const auto names = ask_table_names(console);
    if (!names) {
        return 0;
    }
    (void)local_table_path(compose_table_name(names->folder, names->table), ".");
    const auto parameters = ask_table_parameters(console);
    if (!parameters) {
        return 0;
    }
    const auto plan = plan_rows(*parameters);
    if (!plan || plan->rows == 0) {
        return 0;
    }
    const std::int64_t rows = plan->rows;
    check_rows(*plan, 0, rows < checked_rows ? rows : checked_rows);
    if (rows > checked_rows) {
        check_rows(*plan, rows - checked_rows, checked_rows);
    }
    return 0;
}
