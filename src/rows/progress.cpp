#include "rows/progress.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "system/signal_registry.hpp"
#include "system/terminal_output.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto quiet = std::chrono::seconds(1);            // a table done sooner shows nothing
constexpr auto interval = std::chrono::milliseconds(250);  // between two rewrites of the line
constexpr int fewest_columns = 20;
constexpr std::string_view prefix = "grisalturas: ";

// The longest line shown: far more than the longest form ever needs.
constexpr std::size_t longest_line = 160;

// Blanks over a line of `length` from its start, and back to its start.
std::string blanks_over(std::size_t length)
{
    std::string bytes(length + 2, ' ');
    bytes.front() = '\r';
    bytes.back() = '\r';
    return bytes;
}

std::string grouped(std::int64_t number)
{
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return digits;
}

std::string duration(std::int64_t seconds)
{
    if (seconds < 60) {
        return std::to_string(seconds) + " s";
    }
    if (seconds < 3600) {
        return std::to_string((seconds + 30) / 60) + " min";
    }
    return std::to_string((seconds + 1800) / 3600) + " h";
}

}  // namespace

std::string progress_line(std::int64_t done, std::int64_t total, Clock::duration elapsed, std::size_t width)
{
    const std::string percent = std::to_string(total > 0 ? done * 100 / total : 100) + "%";
    std::string left;
    if (done > 0) {
        // At the pace so far: an estimate, where floating point cannot overflow.
        const double spent = std::chrono::duration<double>(elapsed).count();
        const double seconds = spent * static_cast<double>(total - done) / static_cast<double>(done);
        left = ", about " + duration(static_cast<std::int64_t>(std::ceil(seconds))) + " left";
    }
    const std::string counts = grouped(done) + " of " + grouped(total) + " rows (" + percent + ")";
    for (const std::string& shown : {counts + left, percent + left, percent}) {
        if (shown.size() + prefix.size() <= width) {
            return std::string(prefix).append(shown);
        }
    }
    return {};
}

Progress::Progress(std::FILE* stream, std::int64_t total)
    : terminal_(stream != nullptr && terminal_columns(stream) != 0 ? stream : nullptr),
      escapes_(terminal_takes_escapes()),
      total_(total),
      start_(Clock::now()),
      next_(start_ + quiet)
{
}

Progress::~Progress()
{
    // The screen ends as the dialogue left it.
    show(std::string());
}

void Progress::update(std::int64_t done)
{
    if (terminal_ == nullptr) {
        return;
    }
    const auto now = Clock::now();
    if (now < next_) {
        return;
    }
    next_ = now + interval;
    // In the background the terminal is the shell's: the line went as the
    // run stopped, and is drawn again once the run is brought back.
    if (!in_foreground(terminal_)) {
        shown_ = 0;
        erase_on_signal(-1, {});
        return;
    }
    // Measured each time: the terminal may have been made narrower since.
    const int columns = terminal_columns(terminal_);
    width_ = columns >= fewest_columns ? std::min(static_cast<std::size_t>(columns) - 1, longest_line) : 0;
    show(width_ != 0 ? progress_line(done, total_, now - start_, width_) : std::string());
}

void Progress::show(const std::string& line)
{
    if (line.empty() && shown_ == 0) {
        return;
    }
    const int terminal = ::fileno(terminal_);
    std::string text = "\r" + line;
    if (escapes_) {
        // The cursor waits at the line's start: where a narrower terminal has
        // reflowed the old line onto several rows, its start stays under the
        // cursor, and its other rows go with the rest of the screen.
        text.append("\033[J\r");
        erase_on_signal(terminal, "\r\033[J");
    } else {
        // Blanks over what is left of a longer line, and for a signal over
        // either line, should it come while this one is written, and the ^C
        // that the terminal echoes after it, where the row has room.
        if (line.size() < shown_) {
            text.append(shown_ - line.size(), ' ').append("\r").append(line);
        }
        erase_on_signal(terminal, blanks_over(std::min(std::max(shown_, line.size()) + 2, std::max(width_, shown_))));
    }
    shown_ = line.size();
    // Nothing to do if the terminal fails.
    (void)write_output(terminal_, text);
    if (shown_ == 0) {
        erase_on_signal(-1, {});
    } else if (!escapes_) {
        erase_on_signal(terminal, blanks_over(std::min(shown_ + 2, width_)));
    }
}
