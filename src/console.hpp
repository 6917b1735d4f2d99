// The dialogue with the user: texts and prompts on one stream, answers from
// another, remarks that do not end the run on a third.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

#include "failure.hpp"

class Console {
public:
    Console(std::istream& in, std::FILE* out, std::FILE* err) : in_(in), out_(out), err_(err) {}

    // Writes the text and flushes it, so that it is on screen before the next answer is awaited.
    Status say(std::string_view text);

    // Writes the prompt and reads a word answer. `subject` names the answer in
    // messages. An answer longer than `longest_answer` is a failure too.
    Outcome<std::string> ask_word(std::string_view prompt, std::string_view subject);

    // Writes the prompt and reads an integer answer. A token that is not a
    // 32-bit integer is refused with a remark and the prompt is written again;
    // each try consumes a token, so only the end of input ends the asking.
    Outcome<std::int32_t> ask_integer(std::string_view prompt, std::string_view subject);

    // A "grisalturas: what: why" line on the remarks stream.
    void remark(const Failure& failure);

private:
    std::istream& in_;
    std::FILE* out_;
    std::FILE* err_;
};
