#include "strace_posix.hpp"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "old_table.hpp"
#include "workspace.hpp"

namespace fs = std::filesystem;

bool strace_works()
{
    return emulator().empty() &&
           std::system("strace -qq -o /dev/null true >/dev/null 2>&1") == 0;  // NOLINT(cert-env33-c)
}

RunOptions traced(const std::vector<std::string>& arguments)
{
    RunOptions options;
    // The leak checker cannot work under ptrace.
    options.wrapper = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq", "-f"};
    options.wrapper.insert(options.wrapper.end(), arguments.begin(), arguments.end());
    return options;
}

RunOptions injecting(const std::string& injection)
{
    return traced({"-o", "/dev/null", "-e", "inject=" + injection});
}

std::vector<std::string> traced_calls(const fs::path& log)
{
    std::vector<std::string> calls;
    std::istringstream lines(Workspace::read(log));
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of("0123456789 "));
        if (line.find('(') != std::string::npos && !line.starts_with("+++") && !line.starts_with("---")) {
            calls.push_back(line);
        }
    }
    return calls;
}

std::string call_name(const std::string& call)
{
    return call.substr(0, call.find('('));
}

int occurrence(const std::vector<std::string>& calls, std::size_t index)
{
    const std::string name = call_name(calls[index]);
    return static_cast<int>(std::count_if(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                                          [&](const std::string& call) { return call_name(call) == name; }));
}

std::vector<std::pair<std::string, int>> kill_points(const std::vector<std::string>& calls)
{
    const auto answered =
        std::find_if(calls.begin(), calls.end(), [](const std::string& call) { return call.starts_with("read(0,"); });
    std::map<std::string, std::pair<int, int>> kinds;
    for (auto call = answered == calls.end() ? answered : answered + 1; call != calls.end(); ++call) {
        const int nth = occurrence(calls, static_cast<std::size_t>(call - calls.begin()));
        kinds.try_emplace(call_name(*call), nth, nth).first->second.second = nth;
    }
    std::vector<std::pair<std::string, int>> points;
    for (const auto& [name, nths] : kinds) {
        points.emplace_back(name, nths.first);
        if (nths.second != nths.first) {
            points.emplace_back(name, nths.second);
        }
    }
    const auto linked = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        return call.starts_with("linkat(") && call.find("\".grisalturas-") != std::string::npos &&
               call.ends_with("= 0");
    });
    bool renamed = false;
    for (auto call = linked; call != calls.end() && !renamed; ++call) {
        points.emplace_back(call_name(*call), occurrence(calls, static_cast<std::size_t>(call - calls.begin())));
        renamed = call->starts_with("rename");
    }
    return points;
}

std::string injection_at(const std::vector<std::string>& calls, const std::vector<std::string>& markers,
                         const std::string& error)
{
    const auto marked = std::find_if(calls.begin(), calls.end(), [&](const std::string& call) {
        return std::all_of(markers.begin(), markers.end(),
                           [&](const std::string& marker) { return call.find(marker) != std::string::npos; });
    });
    if (marked == calls.end()) {
        return {};
    }
    return "inject=" + call_name(*marked) + ":error=" + error +
           ":when=" + std::to_string(occurrence(calls, static_cast<std::size_t>(marked - calls.begin())));
}

std::string without_unnamed_file(const std::vector<std::string>& calls)
{
    return injection_at(calls, {"O_TMPFILE"}, "EOPNOTSUPP");
}

std::string injection_in_run(const std::string& input, const std::vector<std::string>& markers,
                             const std::string& error)
{
    const WithOldTable workspace;
    const fs::path log = workspace.root() / "trace";
    (void)run_program(workspace.root(), input, traced({"-o", log.string()}));
    return injection_at(traced_calls(log), markers, error);
}

std::string named_file_injection(const std::string& input)
{
    return injection_in_run(input, {"O_TMPFILE"}, "EOPNOTSUPP");
}
