// grisalturas: asks for a folder, a table name, gray tones, altitudes and an
// output unit, and writes the table of correspondence between gray tones and
// altitudes that the digital elevation model generator reads.

#include <cstdlib>
#include <new>
#include <string>

#include "dialogue/answer_input.hpp"
#include "dialogue/console.hpp"
#include "dialogue/dialogue.hpp"
#include "rows/row_plan.hpp"
#include "rows/row_writer.hpp"
#include "system/out_of_memory.hpp"
#include "system/standard_streams.hpp"
#include "table_file/table_file.hpp"
#include "table_file/table_path.hpp"

namespace {

// The table being written; unless treatment commits it, an older table stays as it was.
TableFile f1;

bool stop(Console& console, const Failure& failure)
{
    console.report(failure);
    return false;
}

// Introduces the program, asks which table to write and makes sure it can be written.
bool opening(Console& console)
{
    if (auto done = introduce(console); !done) {
        return stop(console, done.error());
    }
    const auto names = ask_table_names(console);
    if (!names) {
        return stop(console, names.error());
    }
    const auto table = table_path(names->folder, names->table, GRISALTURAS_DRIVE_ROOT);
    if (!table) {
        return stop(console, table.error());
    }
    if (auto done = f1.open(*table); !done) {
        return stop(console, done.error());
    }
    return true;
}

// Asks for the gray tones, the altitudes and the unit, then writes the rows.
bool treatment(Console& console)
{
    const auto parameters = ask_table_parameters(console);
    if (!parameters) {
        return stop(console, parameters.error());
    }
    const auto plan = plan_rows(*parameters);
    if (!plan) {
        return stop(console, plan.error());
    }
    if (auto done = f1.reserve(table_size(*plan)); !done) {
        return stop(console, done.error());
    }
    if (auto done = write_rows(f1, *plan, stderr); !done) {
        return stop(console, done.error());
    }
    if (auto done = f1.commit(); !done) {
        return stop(console, done.error());
    }
    return true;
}

}  // namespace

int main()
{
    take_standard_streams();
    // What the answers show of the user's text, for every message up to the last.
    UserText user;
    if (!take_memory_reserve()) {
        report_out_of_memory(stderr, {}, user);
        return EXIT_FAILURE;
    }
    bool done = false;
    try {
        // Made here, not before main: running out of memory there could not be told.
        Console console(answer_input(user), user, stdout, stderr);
        done = opening(console) && treatment(console);
    } catch (const std::bad_alloc&) {
        report_out_of_memory(stderr, f1.label(), user);
    }
    if (!done) {
        hold_own_window();
    }
    return done ? EXIT_SUCCESS : EXIT_FAILURE;
}
