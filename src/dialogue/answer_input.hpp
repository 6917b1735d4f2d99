// Standard input as the answers' bytes. Answer files come from editors and
// shells that may mark their encoding at the start: a UTF-8 mark is skipped,
// and text marked as UTF-16 (either byte order) is read as the same UTF-8
// words. A read that fails keeps the system's reason.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>

#include "text/user_text.hpp"

class AnswerInput : public std::streambuf {
public:
    // Reads at most `size` bytes into `buffer` and returns how many: 0 at the
    // end of input, or when the read fails, with the system's reason in `error`.
    using Read = std::function<std::size_t(char* buffer, std::size_t size, std::string& error)>;

    // `ends_at_ctrl_z`: a Ctrl-Z character ends the input, as it does for
    // text read by Windows programs.
    explicit AnswerInput(Read read, bool ends_at_ctrl_z = false);

    // Why the input could not be read; empty at a plain end of input.
    [[nodiscard]] const std::string& error() const { return error_; }

protected:
    int_type underflow() override;

private:
    enum class Encoding { undecided, bytes, utf16_little_endian, utf16_big_endian };

    // Reads raw bytes after those kept from the last read; false at the end.
    bool read_more();
    // Whether the bytes read so far are a mark's first bytes, and not yet all of it.
    [[nodiscard]] bool may_begin_a_mark() const;
    void decide_encoding();
    // Decodes what was read into the answers' bytes.
    std::size_t decode(bool at_end);

    Read read_;
    bool ends_at_ctrl_z_;
    bool ended_ = false;
    Encoding encoding_ = Encoding::undecided;
    static constexpr std::size_t raw_capacity = 4096;
    std::array<char, raw_capacity> raw_{};
    std::size_t raw_size_ = 0;
    std::size_t raw_start_ = 0;
    // One UTF-16 unit of two bytes becomes at most three bytes of UTF-8.
    std::array<char, raw_capacity / 2 * 3 + 4> text_{};
    std::string error_;
};

// Where the answers come from: standard input, read as characters where it
// is a Windows console, whose answers are then UTF-8 for `user`.
AnswerInput& answer_input(UserText& user);
