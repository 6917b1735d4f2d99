#include "table_file/table_lookup.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "system/file_system.hpp"

namespace {

constexpr int most_links = 40;  // as Linux follows at most

// A folder held on the way, and the path that reached it, links replaced
// by what they hold, for messages.
struct Spot {
    Descriptor folder;
    std::string path;
};

bool same_file(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

class Walk {
public:
    explicit Walk(const TablePath& table) : table_(table) {}

    // Reaches the file at `path` from `from` (see start), following links on
    // the way and at it; `own`: the table's own path; `linked`: a link's.
    Outcome<FoundTable> reach_path(const Spot* from, std::string_view path, bool own, bool linked);

private:
    Failure failed(int error_number) const { return os_failure("cannot create " + table_.label, error_number); }

    // Goes from `at` through every folder of `path`, which is the table's own
    // path where `own`. Links are followed.
    Status enter(Spot& at, std::string_view path, bool own);

    // Goes from `at` into its entry `name`.
    Status step(Spot& at, const std::string& name, std::string_view own_prefix);

    // Reaches the file `name` in the folder `at`, following links at it.
    Outcome<FoundTable> reach(Spot at, const std::string& name, bool linked);

    // Reads the link `name` in `at`, held as `held`, once the system and the
    // rule for root have let it be followed; `followed` is what the system
    // finds through it.
    Outcome<std::string> read_link(const Spot& at, const std::string& name, const Descriptor& held,
                                   const struct stat& link, int& followed_error, struct stat& followed);

    // Starts a walk over `path`: at the root for an absolute one, or else
    // at `from`, or the working folder where `from` is none.
    Outcome<Spot> start(const Spot* from, std::string_view path) const;

    const TablePath& table_;
    int links_left_ = most_links;
};

Outcome<Spot> Walk::start(const Spot* from, std::string_view path) const
{
    const bool absolute = path.starts_with('/');
    Spot spot;
    if (!absolute && from != nullptr) {
        spot.folder = Descriptor(::fcntl(from->folder.get(), F_DUPFD_CLOEXEC, 0));
        spot.path = from->path;
    } else {
        struct stat status {};
        if (const int error_number = look_at(AT_FDCWD, absolute ? "/" : ".", spot.folder, status)) {
            return failed(error_number);
        }
        if (!absolute) {
            spot.path.push_back('.');
        }
    }
    if (!spot.folder) {
        return failed(errno);
    }
    return spot;
}

Status Walk::enter(Spot& at, std::string_view path, bool own)
{
    for (std::size_t begin = 0; begin < path.size();) {
        const std::size_t end = std::min(path.find('/', begin), path.size());
        const std::string name(path.substr(begin, end - begin));
        if (!name.empty() && name != ".") {
            if (auto done = step(at, name, own ? path.substr(0, end) : std::string_view()); !done) {
                return done;
            }
        }
        begin = end + 1;
    }
    return {};
}

Status Walk::step(Spot& at, const std::string& name, std::string_view own_prefix)
{
    Descriptor held;
    struct stat status {};
    if (const int error_number = look_at(at.folder.get(), name.c_str(), held, status)) {
        const auto missing = [&](const Place& folder) { return folder.path == own_prefix; };
        if (error_number == ENOENT && !own_prefix.empty()) {
            if (auto failure = table_.missing_folder(missing)) {
                return *failure;
            }
        }
        return failed(error_number);
    }
    if (S_ISDIR(status.st_mode)) {
        at.folder = std::move(held);
        at.path.append("/").append(name);
        return {};
    }
    if (!S_ISLNK(status.st_mode)) {
        return failed(ENOTDIR);
    }
    int followed_error = 0;
    struct stat followed {};
    const auto target = read_link(at, name, held, status, followed_error, followed);
    if (!target) {
        return target.error();
    }
    if (followed_error != 0) {
        return failed(followed_error);
    }
    auto next = start(&at, *target);
    if (!next) {
        return next.error();
    }
    if (auto done = enter(*next, *target, false); !done) {
        return done;
    }
    struct stat reached {};
    if (::fstat(next->folder.get(), &reached) != 0) {
        return failed(errno);
    }
    if (!same_file(reached, followed)) {
        return failed(EAGAIN);  // the link changed while it was followed
    }
    at = std::move(*next);
    return {};
}

Outcome<std::string> Walk::read_link(const Spot& at, const std::string& name, const Descriptor& held,
                                     const struct stat& link, int& followed_error, struct stat& followed)
{
    if (::geteuid() == 0 && link.st_uid != 0) {
        return Failure{"cannot create " + table_.label, "it is a link of another user, which root does not follow"};
    }
    if (--links_left_ < 0) {
        return failed(ELOOP);
    }
    // The system follows it first, with its own rules.
    followed_error = ::fstatat(at.folder.get(), name.c_str(), &followed, 0) == 0 ? 0 : errno;
    std::string target(static_cast<std::size_t>(link.st_size) + 1, '\0');
    // Read from the link itself where it is held: the one whose owner was seen.
    const ssize_t length = held ? ::readlinkat(held.get(), "", target.data(), target.size())
                                : ::readlinkat(at.folder.get(), name.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) == target.size()) {
        return failed(length < 0 ? errno : EAGAIN);  // EAGAIN: it grew
    }
    target.resize(static_cast<std::size_t>(length));
    return target;
}

Outcome<FoundTable> Walk::reach(Spot at, const std::string& name, bool linked)
{
    if (name.empty() || name == "." || name == "..") {
        return failed(EISDIR);
    }
    FoundTable found;
    struct stat status {};
    if (const int error_number = look_at(at.folder.get(), name.c_str(), found.held, status)) {
        if (error_number != ENOENT) {
            return failed(error_number);
        }
    } else if (S_ISLNK(status.st_mode)) {
        // Followed, so that the file it leads to is replaced and the link stays.
        int followed_error = 0;
        struct stat followed {};
        const auto target = read_link(at, name, found.held, status, followed_error, followed);
        if (!target) {
            return target.error();
        }
        if (followed_error != 0 && followed_error != ENOENT) {
            return failed(followed_error);
        }
        auto reached = reach_path(&at, *target, false, true);
        if (reached && (reached->status.has_value() != (followed_error == 0) ||
                        (reached->status && !same_file(*reached->status, followed)))) {
            return failed(EAGAIN);  // the link changed while it was followed
        }
        return reached;
    } else {
        found.status = status;
    }
    if (linked) {
        found.linked_folder = at.path;
    }
    found.folder = std::move(at.folder);
    found.name = name;
    return found;
}

Outcome<FoundTable> Walk::reach_path(const Spot* from, std::string_view path, bool own, bool linked)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    auto at = start(from, folder);
    if (!at) {
        return at.error();
    }
    if (auto done = enter(*at, folder, own); !done) {
        return done.error();
    }
    return reach(std::move(*at), std::string(path.substr(slash + 1)), linked);
}

}  // namespace

Outcome<FoundTable> find_table(const TablePath& table)
{
    return Walk(table).reach_path(nullptr, table.path, true, false);
}
