// The program's questions, in their own words, and the answers they collect.
#pragma once

#include <string>

#include "dialogue/console.hpp"
#include "rows/row_plan.hpp"
#include "text/failure.hpp"

struct TableNames {
    std::string folder;
    std::string table;
};

// The banner and the description of the program.
Status introduce(Console& console);

// The folder in c:\images and the name of the table.
Outcome<TableNames> ask_table_names(Console& console);

// The gray tones, the altitudes and the output scale. A hypsometric step of 0
// is refused and asked again; the scale menu is repeated while the answer is above 3.
Outcome<TableParameters> ask_table_parameters(Console& console);
