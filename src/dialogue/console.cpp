#include "dialogue/console.hpp"

#include <cerrno>
#include <optional>
#include <utility>

#include "dialogue/answers.hpp"
#include "system/terminal_output.hpp"
#include "text/printable.hpp"

Console::Console(AnswerInput& in, UserText& user, std::FILE* out, std::FILE* err)
    : answers_(in), in_(&in), user_(user), out_(out), err_(err)
{
    // Memory that runs out while an answer is read ends the run, as anywhere
    // else, instead of reading as the end of input.
    in_.exceptions(std::ios::badbit);
}

Status Console::say(std::string_view text)
{
    if (const int error_number = write_output(out_, text)) {
        return os_failure("cannot write to standard output", error_number);
    }
    return {};
}

Outcome<std::string> Console::ask_word(std::string_view prompt, std::string_view subject)
{
    if (auto done = say(prompt); !done) {
        return done.error();
    }
    auto word = read_word(in_, longest_answer);
    if (!word) {
        // The prompt waits on its line for an answer that will not come.
        prompt_left_open_ = true;
        const std::string why =
            answers_.error().empty() ? "end of input" : "cannot read standard input: " + answers_.error();
        return Failure{"no answer for the " + std::string(subject), why};
    }
    if (word->empty()) {
        std::string why = "no answer in ";
        why.append(std::to_string(longest_blank >> 20)).append(" MiB of white space");
        return Failure{std::string(subject), why};
    }
    if (word->size() > longest_answer) {
        return Failure{std::string(subject), "longer than " + std::to_string(longest_answer) + " bytes"};
    }
    return answer_text(*word, user_);
}

Outcome<std::int32_t> Console::ask_integer(std::string_view prompt, std::string_view subject,
                                           bool (*accepts)(std::int32_t), const char* refusal)
{
    for (int refused = 0; refused < most_refusals; ++refused) {
        auto token = ask_word(prompt, subject);
        if (!token) {
            return token.error();
        }
        const auto value = parse_integer(*token);
        if (value && accepts(*value)) {
            return *value;
        }
        if (!value) {
            // A refused token is quoted back, but not at any length.
            constexpr std::size_t longest_quote = 40;
            std::string why = "\"";
            why.append(printable(*token, longest_quote))
                .append("\" is not a whole number from -2147483648 to 2147483647");
            report({std::string(subject), why});
        } else if (refusal != nullptr) {
            report({std::string(subject), refusal});
        }
    }
    return Failure{std::string(subject), std::to_string(most_refusals) + " answers in a row refused"};
}

void Console::report(const Failure& failure)
{
    // Shown at a terminal, the failure starts a line of its own, not the
    // prompt's, wherever standard output goes on to the screen (through tee,
    // say); an empty line before it where the prompt went to a file instead.
    std::string line = std::exchange(prompt_left_open_, false) && terminal_columns(err_) > 0 ? "\n" : "";
    // Whole, even where an answer quoted in it holds a NUL character.
    line.append("grisalturas: ").append(failure.what).append(": ").append(failure.why).append("\n");
    write_message(err_, line, user_);
}
