#include "progress.hpp"

#include <unistd.h>

#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto quiet = std::chrono::seconds(1);            // a table done sooner shows nothing
constexpr auto interval = std::chrono::milliseconds(250);  // between two rewrites of the line

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

std::string progress_line(std::int64_t done, std::int64_t total, Clock::duration elapsed)
{
    std::string line = "grisalturas: " + grouped(done) + " of " + grouped(total) + " rows (" +
                       std::to_string(total > 0 ? done * 100 / total : 100) + "%)";
    if (done > 0) {
        // At the pace so far: an estimate, where floating point cannot overflow.
        const double spent = std::chrono::duration<double>(elapsed).count();
        const double left = spent * static_cast<double>(total - done) / static_cast<double>(done);
        line += ", about " + duration(static_cast<std::int64_t>(std::ceil(left))) + " left";
    }
    return line;
}

Progress::Progress(std::FILE* stream, std::int64_t total)
    : terminal_(stream != nullptr && ::isatty(::fileno(stream)) != 0 ? stream : nullptr),
      total_(total),
      start_(Clock::now()),
      next_(start_ + quiet)
{
}

Progress::~Progress()
{
    // The screen ends as the dialogue left it.
    if (shown_ != 0) {
        show(std::string());
    }
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
    show(progress_line(done, total_, now - start_));
}

void Progress::show(const std::string& line)
{
    // Blanks over what is left of a longer line; nothing to do if the terminal fails.
    std::string text = "\r" + line;
    if (line.size() < shown_) {
        text.append(shown_ - line.size(), ' ').append("\r").append(line);
    }
    shown_ = line.size();
    (void)std::fputs(text.c_str(), terminal_);
    (void)std::fflush(terminal_);
}
