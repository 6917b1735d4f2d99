// The dialogue with the user: texts and prompts on one stream, answers from
// another, and every failure, whether it ends the run or not, on a third.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

#include "dialogue/answer_input.hpp"
#include "text/failure.hpp"
#include "text/user_text.hpp"

class Console {
public:
    // A question refused this often in a row is not asked again: no person
    // at a terminal, nor any answer file, gets there.
    static constexpr int most_refusals = 100;

    // Each answer is decoded, and each failure written, as `user` says the user's text is.
    Console(AnswerInput& in, UserText& user, std::FILE* out, std::FILE* err);

    // Writes the text and flushes it, so that it is on screen before the next answer is awaited.
    Status say(std::string_view text);

    // Writes the prompt and reads a word answer. `subject` names the answer in
    // messages. An answer longer than `longest_answer` is a failure too.
    Outcome<std::string> ask_word(std::string_view prompt, std::string_view subject);

    // Writes the prompt and reads an integer answer until one is a 32-bit
    // integer that `accepts` takes. A token that is no such integer is
    // refused with a report, and a value that `accepts` refuses with
    // `refusal`, if any; each try consumes a token.
    Outcome<std::int32_t> ask_integer(std::string_view prompt, std::string_view subject, bool (*accepts)(std::int32_t),
                                      const char* refusal);

    // A "grisalturas: what: why" line on the failures stream.
    void report(const Failure& failure);

private:
    const AnswerInput& answers_;  // what in_ reads, and how its reads went
    std::istream in_;
    UserText& user_;
    std::FILE* out_;
    std::FILE* err_;
    bool prompt_left_open_ = false;  // a prompt whose answer never came ends the output
};
