#include "dialogue/dialogue.hpp"

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

}  // namespace

Status introduce(Console& console)
{
    if (auto done = console.say(banner); !done) {
        return done;
    }
    return console.say(description);
}

Outcome<TableNames> ask_table_names(Console& console)
{
    auto folder = console.ask_word(folder_prompt, "folder name");
    if (!folder) {
        return folder.error();
    }
    auto table = console.ask_word(table_prompt, "table name");
    if (!table) {
        return table.error();
    }
    return TableNames{*folder, *table};
}

Outcome<TableParameters> ask_table_parameters(Console& console)
{
    const auto any = [](std::int32_t) { return true; };
    // A step of 0 would leave the number of rows undefined.
    const auto not_zero = [](std::int32_t step) { return step != 0; };
    const auto on_the_menu = [](std::int32_t scale) { return scale <= largest_scale; };
    const struct {
        std::string_view prompt;
        std::string_view subject;
        std::int32_t TableParameters::*answer;
        bool (*accepts)(std::int32_t);
        const char* refusal;  // none: the question is simply asked again
    } questions[] = {
        {first_tone_prompt, "first gray tone value", &TableParameters::first_tone, any, nullptr},
        {tone_step_prompt, "gray tone step", &TableParameters::tone_step, any, nullptr},
        {min_alt_prompt, "first hypsometric value", &TableParameters::min_alt, any, nullptr},
        {max_alt_prompt, "last hypsometric value", &TableParameters::max_alt, any, nullptr},
        {alt_step_prompt, "hypsometric step", &TableParameters::alt_step, not_zero, "must not be 0"},
        {scale_menu, "output scale", &TableParameters::scale, on_the_menu, nullptr},
    };
    TableParameters answers{};
    for (const auto& question : questions) {
        const auto value = console.ask_integer(question.prompt, question.subject, question.accepts, question.refusal);
        if (!value) {
            return value.error();
        }
        answers.*question.answer = *value;
    }
    return answers;
}
