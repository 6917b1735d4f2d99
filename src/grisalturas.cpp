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
    console.remark(failure);
    return false;
}

// Introduces the program, asks which table to write and makes sure it can be written.
bool opening()
{
    if (auto failure = introduce(console)) {
        return stop(*failure);
    }
    const auto names = ask_table_names(console);
    if (!names.ok()) {
        return stop(names.failure());
    }
    const auto table = table_path(names.value().folder, names.value().table, GRISALTURAS_DRIVE_ROOT);
    if (!table.ok()) {
        return stop(table.failure());
    }
    if (auto failure = f1.open(table.value())) {
        return stop(*failure);
    }
    return true;
}

// Asks for the gray tones, the altitudes and the unit, then writes the rows.
bool treatment()
{
    const auto parameters = ask_table_parameters(console);
    if (!parameters.ok()) {
        return stop(parameters.failure());
    }
    const auto plan = plan_rows(parameters.value());
    if (!plan.ok()) {
        return stop(plan.failure());
    }
    if (auto failure = write_rows(f1, plan.value(), stderr)) {
        return stop(*failure);
    }
    if (auto failure = f1.commit()) {
        return stop(*failure);
    }
    return true;
}

}  // namespace

int main()
{
    take_standard_streams();
    // Given back when memory runs out, so that the failure can still be told.
    auto spare = std::make_unique_for_overwrite<char[]>(std::size_t{64} << 10);
    try {
        return opening() && treatment() ? EXIT_SUCCESS : EXIT_FAILURE;
    } catch (const std::bad_alloc&) {
        spare.reset();
        stop(os_failure(f1.label().empty() ? "cannot create the table" : "cannot write " + f1.label(), ENOMEM));
        return EXIT_FAILURE;
    }
}
