#include "dialogue.hpp"

namespace {

// Every text carries its own line breaks and tabs; nothing is added between them.
constexpr std::string_view banner =
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
    "\n\t**************************************************************";

constexpr std::string_view description =
    "\n\n\tThis program creates a table of correspondence between gray tones"
    "\n\tand altitude in meters, decimeters, centimeters or millimeters"
    "\n\tThis table is used to generate the Digital Elevation Models";

constexpr std::string_view folder_prompt = "\n\n\tName of the File Folder located in the Directory C:\\images : ? ";
constexpr std::string_view table_prompt = "\n\n\tName of the Table (without extension _tab.txt) ? ";

constexpr std::string_view first_tone_prompt = "\n\n\tFirst gray tone value in the image ? ";
constexpr std::string_view tone_step_prompt = "\n\tGray tone Step ? ";
constexpr std::string_view min_alt_prompt = "\n\tFirst hypsometric value (in meter) ? ";
constexpr std::string_view max_alt_prompt = "\n\tLast hypsometric value (in meter)  ? ";
constexpr std::string_view alt_step_prompt = "\n\tValue of the hypsometric step (in meter) ? ";
constexpr std::string_view scale_menu =
    "\n\tOutput dynamic scale \n\t\t0 ====> meters\n\t\t1 ====> decimeters"
    "\n\t\t2 ====> centimeters\n\t\t3 ====> millimeters\n\t\t";

constexpr std::int32_t largest_scale = 3;

}  // namespace

Status introduce(Console& console)
{
    if (auto failure = console.say(banner)) {
        return failure;
    }
    return console.say(description);
}

Outcome<TableNames> ask_table_names(Console& console)
{
    auto folder = console.ask_word(folder_prompt, "folder name");
    if (!folder.ok()) {
        return folder.failure();
    }
    auto table = console.ask_word(table_prompt, "table name");
    if (!table.ok()) {
        return table.failure();
    }
    return TableNames{folder.value(), table.value()};
}

Outcome<TableParameters> ask_table_parameters(Console& console)
{
    TableParameters answers{};
    const struct {
        std::string_view prompt;
        std::string_view subject;
        std::int32_t TableParameters::*answer;
    } questions[] = {
        {first_tone_prompt, "first gray tone value", &TableParameters::first_tone},
        {tone_step_prompt, "gray tone step", &TableParameters::tone_step},
        {min_alt_prompt, "first hypsometric value", &TableParameters::min_alt},
        {max_alt_prompt, "last hypsometric value", &TableParameters::max_alt},
        {alt_step_prompt, "hypsometric step", &TableParameters::alt_step},
    };
    for (const auto& question : questions) {
        auto value = console.ask_integer(question.prompt, question.subject);
        if (!value.ok()) {
            return value.failure();
        }
        answers.*question.answer = value.value();
    }
    // A step of 0 would leave the number of rows undefined.
    while (answers.alt_step == 0) {
        console.remark({"hypsometric step", "must not be 0"});
        auto value = console.ask_integer(alt_step_prompt, "hypsometric step");
        if (!value.ok()) {
            return value.failure();
        }
        answers.alt_step = value.value();
    }
    do {
        auto value = console.ask_integer(scale_menu, "output scale");
        if (!value.ok()) {
            return value.failure();
        }
        answers.scale = value.value();
    } while (answers.scale > largest_scale);
    return answers;
}
