#include "console.hpp"

#include <cerrno>
#include <optional>

#include "answers.hpp"
#include "system_text.hpp"

namespace {

// A refused token is quoted back, but not at any length.
std::string shortened(const std::string& token)
{
    constexpr std::size_t longest = 40;
    return token.size() <= longest ? token : token.substr(0, longest) + "...";
}

}  // namespace

Status Console::say(std::string_view text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size() || std::fflush(out_) != 0) {
        return os_failure("cannot write to standard output", errno != 0 ? errno : EIO);
    }
    return std::nullopt;
}

Outcome<std::string> Console::ask_word(std::string_view prompt, std::string_view subject)
{
    if (auto failure = say(prompt)) {
        return *failure;
    }
    auto word = read_word(in_, longest_answer);
    if (!word) {
        const char* why = in_.bad() ? "cannot read standard input" : "end of input";
        return Failure{"no answer for the " + std::string(subject), why};
    }
    if (word->size() > longest_answer) {
        return Failure{std::string(subject), "longer than " + std::to_string(longest_answer) + " bytes"};
    }
    return answer_text(*word);
}

Outcome<std::int32_t> Console::ask_integer(std::string_view prompt, std::string_view subject)
{
    for (;;) {
        auto token = ask_word(prompt, subject);
        if (!token.ok()) {
            return token.failure();
        }
        if (auto value = parse_integer(token.value())) {
            return *value;
        }
        std::string why = "\"";
        why.append(shortened(token.value())).append("\" is not a whole number from -2147483648 to 2147483647");
        remark({std::string(subject), why});
    }
}

void Console::remark(const Failure& failure)
{
    // Whole, even where an answer quoted in it holds a NUL character.
    const std::string line = "grisalturas: " + failure.what + ": " + failure.why + "\n";
    write_message(err_, line);
}
