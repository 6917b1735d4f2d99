#include "system/signal_cleanup.hpp"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "system/quiet_thread.hpp"
#include "system/signal_registry.hpp"

namespace {

// Every signal that ends a process unless it is caught, SIGABRT and SIGSYS
// included, which others send too (kill -ABRT, a sandbox that refuses a
// call); not those that only a fault of the program raises (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGTRAP), which debuggers and sanitizers must see
// as they are. SIGPIPE is ignored from the start: a closed output is reported.
constexpr int ending_signals[] = {
    SIGHUP,    SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGSYS, SIGABRT,
// and those that only some systems have
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

// The progress line goes as the program erases it on that terminal, with
// the ^C or ^Z that the terminal may have echoed over it.
void erase_progress_line()
{
    if (const LineToErase line = line_to_erase(); line.terminal >= 0) {
        (void)!::write(line.terminal, line.bytes, line.size);
    }
}

extern "C" void clean_up_and_die(int signal_number)
{
    erase_progress_line();
    if (const FileToRemove file = file_to_remove(); file.name != nullptr) {
        ::unlinkat(file.folder, file.name, 0);
    }
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    (void)::sigaction(signal_number, &default_action, nullptr);
    (void)::raise(signal_number);  // delivered, with its default effect, once this handler returns
}

// Ctrl-Z: the line goes before the run stops, and comes back at its next
// rewrite once the run goes on.
extern "C" void erase_and_stop(int)
{
    const int saved_errno = errno;
    erase_progress_line();
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    struct sigaction ours {};
    (void)::sigaction(SIGTSTP, &default_action, &ours);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    (void)::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    // The run stops here, and goes on from here when continued; at once in a
    // process group that nobody could continue, where the system drops it.
    (void)::raise(SIGTSTP);
    (void)::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    (void)::sigaction(SIGTSTP, &ours, nullptr);
    errno = saved_errno;
}

// Calls `act` with each ending signal.
template <class Act>
void for_each_ending_signal(Act act)
{
    for (const int signal_number : ending_signals) {
        act(signal_number);
    }
#ifdef SIGRTMIN
    // The real-time signals too; those below SIGRTMIN belong to the C library.
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        act(signal_number);
    }
#endif
}

sigset_t ending_signal_set()
{
    sigset_t set;
    sigemptyset(&set);
    for_each_ending_signal([&](int signal_number) { sigaddset(&set, signal_number); });
    return set;
}

}  // namespace

void install_cleanup_handlers()
{
    struct sigaction action {};
    action.sa_handler = clean_up_and_die;
    action.sa_mask = ending_signal_set();
    const auto unless_ignored = [](int signal_number, const struct sigaction& handling) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(signal_number, &handling, nullptr);
        }
    };
    for_each_ending_signal([&](int signal_number) { unless_ignored(signal_number, action); });
    // A stop returns to what was interrupted, which goes on as it was.
    struct sigaction stop = action;
    stop.sa_handler = erase_and_stop;
    stop.sa_flags = SA_RESTART;
    unless_ignored(SIGTSTP, stop);
    // A table past the file size limit fails its write with EFBIG, and is
    // reported, instead of killing the program.
    (void)::signal(SIGXFSZ, SIG_IGN);
}

SignalsHeld::SignalsHeld() : SignalsHeld(ending_signal_set()) {}

SignalsHeld::SignalsHeld(const sigset_t& set)
{
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

std::thread start_quiet_thread(std::function<void()> work)
{
    // A new thread starts with the signals its creator holds back.
    sigset_t all;
    sigfillset(&all);
    const SignalsHeld held(all);
    return std::thread(std::move(work));
}
