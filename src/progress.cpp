#include "progress.hpp"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <string_view>

#include "standard_streams.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto quiet = std::chrono::seconds(1);            // a table done sooner shows nothing
constexpr auto interval = std::chrono::milliseconds(250);  // between two rewrites of the line
constexpr int fewest_columns = 20;
constexpr std::string_view prefix = "grisalturas: ";

// The descriptor of the terminal while a line is on it, and the line's
// length, for a signal handler.
std::atomic<int> showing_on{-1};
std::atomic<std::size_t> showing_length{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<std::size_t>::is_always_lock_free,
              "read from a signal handler");

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

int progress_line_terminal()
{
    return showing_on.load();
}

std::size_t progress_line_length()
{
    return showing_length.load();
}

Progress::Progress(std::FILE* stream, std::int64_t total)
    : terminal_(stream != nullptr && terminal_columns(stream) != 0 ? stream : nullptr),
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
    // Measured each time: the terminal may have been made narrower since.
    const int columns = terminal_columns(terminal_);
    show(columns < fewest_columns ? std::string()
                                  : progress_line(done, total_, now - start_, static_cast<std::size_t>(columns - 1)));
}

void Progress::show(const std::string& line)
{
    if (line.empty() && shown_ == 0) {
        return;
    }
    // Blanks over what is left of a longer line; nothing to do if the terminal fails.
    std::string text = "\r" + line;
    if (line.size() < shown_) {
        text.append(shown_ - line.size(), ' ').append("\r").append(line);
    }
    shown_ = line.size();
    (void)std::fputs(text.c_str(), terminal_);
    (void)std::fflush(terminal_);
    showing_length.store(shown_);
    showing_on.store(shown_ != 0 ? ::fileno(terminal_) : -1);
}
