// grisalturas: asks for a folder, a table name, gray tones, altitudes and an
// output unit, and writes the table of correspondence between gray tones and
// altitudes that the digital elevation model generator reads.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "console.hpp"
#include "dialogue.hpp"
#include "row_plan.hpp"
#include "row_writer.hpp"
#include "standard_streams.hpp"
#include "system_text.hpp"
#include "table_file.hpp"
#include "table_path.hpp"

namespace {

Console console(answer_input(), stdout, stderr);

// The table being written; unless treatment commits it, an older table stays as it was.
TableFile f1;

bool stop(const Failure& failure)
{
    console.report(failure);
    return false;
}

// Introduces the program, asks which table to write and makes sure it can be written.
bool opening()
{
    if (auto done = introduce(console); !done) {
        return stop(done.error());
    }
    const auto names = ask_table_names(console);
    if (!names) {
        return stop(names.error());
    }
    const auto table = table_path(names->folder, names->table, GRISALTURAS_DRIVE_ROOT);
    if (!table) {
        return stop(table.error());
    }
    if (auto done = f1.open(*table); !done) {
        return stop(done.error());
    }
    return true;
}

// Asks for the gray tones, the altitudes and the unit, then writes the rows.
bool treatment()
{
    const auto parameters = ask_table_parameters(console);
    if (!parameters) {
        return stop(parameters.error());
    }
    const auto plan = plan_rows(*parameters);
    if (!plan) {
        return stop(plan.error());
    }
    if (auto done = write_rows(f1, *plan, stderr); !done) {
        return stop(done.error());
    }
    if (auto done = f1.commit(); !done) {
        return stop(done.error());
    }
    return true;
}

}  // namespace

int main()
{
    take_standard_streams();
    // Given back when memory runs out, so that the failure can still be told.
    std::unique_ptr<char[]> spare(new (std::nothrow) char[std::size_t{64} << 10]);
    bool written = false;
    try {
        written = opening() && treatment();
    } catch (const std::bad_alloc&) {
        spare.reset();
        stop(os_failure(f1.label().empty() ? "cannot create the table" : "cannot write " + f1.label(), ENOMEM));
    }
    if (!written) {
        hold_own_window();
    }
    return written ? EXIT_SUCCESS : EXIT_FAILURE;
}
