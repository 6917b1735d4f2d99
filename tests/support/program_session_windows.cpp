#include <windows.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "program_session.hpp"

namespace {

namespace fs = std::filesystem;

// The build tree as a Windows program under Wine sees it: through drive Z:.
std::wstring program_path()
{
    std::wstring path = fs::path(GRISALTURAS_PROGRAM).wstring();
    if (path.starts_with(L"/")) {
        path.insert(0, L"Z:");
    }
    for (auto& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

std::wstring quoted(const std::wstring& word)
{
    return L"\"" + word + L"\"";
}

HANDLE open_inherited(const fs::path& file, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE handle = ::CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + file.string());
    }
    return handle;
}

// What the program wrote, with its text-mode line ends read back as "\n".
std::string read_text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lines.push_back(text[i]);
        }
    }
    return lines;
}

void type(HANDLE pipe, std::string_view input)
{
    DWORD written = 0;
    if (::WriteFile(pipe, input.data(), static_cast<DWORD>(input.size()), &written, nullptr) == 0 ||
        written != input.size()) {
        throw std::runtime_error("cannot type the answers");
    }
}

BOOL WINAPI let_pass(DWORD)
{
    return TRUE;
}

// Ctrl-C, as typed at the program's console: only a process attached to that console can send it.
void type_ctrl_c(DWORD program)
{
    (void)::FreeConsole();
    (void)::SetConsoleCtrlHandler(let_pass, TRUE);  // the test, attached for a moment, is not interrupted
    if (::AttachConsole(program) == 0 || ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) == 0) {
        throw std::runtime_error("cannot type Ctrl-C: error " + std::to_string(::GetLastError()));
    }
    (void)::FreeConsole();
}

}  // namespace

// Standard input, output and error are files: the program runs to its end unattended.
RunResult run_program(const fs::path& working_directory, std::string_view input, const RunOptions& options)
{
    static int runs = 0;
    const fs::path base = fs::temp_directory_path() /
                          ("grisalturas-run-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++runs));
    std::ofstream(base.string() + ".in", std::ios::binary) << input;

    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE typing = nullptr;  // where the numbers are typed later
    if (options.meanwhile) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        if (::CreatePipe(&in, &typing, &inherit, 0) == 0 ||
            ::SetHandleInformation(typing, HANDLE_FLAG_INHERIT, 0) == 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        type(typing, input);
    } else {
        in = open_inherited(base.string() + ".in", GENERIC_READ, OPEN_EXISTING);
    }
    const HANDLE out = open_inherited(base.string() + ".out", GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = open_inherited(base.string() + ".err", GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = quoted(program_path());
    for (const auto& argument : options.arguments) {
        command += L" " + quoted(fs::path(argument).wstring());
    }
    PROCESS_INFORMATION process{};
    // Wine on a busy machine now and then fails to start a process that the next try starts.
    bool started = false;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started =
            ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, options.ctrl_c ? CREATE_NEW_CONSOLE : 0,
                             nullptr, working_directory.c_str(), &startup, &process) != 0;
        if (!started) {
            error = ::GetLastError();
            ::Sleep(200);
        }
    }
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) {
        throw std::runtime_error("cannot start the program: error " + std::to_string(error));
    }
    RunResult result;
    constexpr DWORD patience_ms = 60000;
    constexpr DWORD glance_ms = 5;
    bool killed = false;
    for (DWORD waited = 0; ::WaitForSingleObject(process.hProcess, glance_ms) != WAIT_OBJECT_0; waited += glance_ms) {
        if (typing != nullptr && read_text(base.string() + ".out").find("First gray tone") != std::string::npos) {
            options.meanwhile();
            type(typing, options.numbers);
            ::CloseHandle(std::exchange(typing, nullptr));
        }
        if (options.ctrl_c && !killed && options.kill_when && options.kill_when()) {
            type_ctrl_c(process.dwProcessId);
            killed = true;
        } else if (waited >= patience_ms || (!options.ctrl_c && options.kill_when && options.kill_when())) {
            ::TerminateProcess(process.hProcess, 255);  // as "End task" does; or it hung: the result says so
            ::WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    if (typing != nullptr) {
        ::CloseHandle(typing);
    }
    DWORD exit_code = 0;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    result.exit_status = static_cast<int>(exit_code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.out = read_text(base.string() + ".out");
    result.err = read_text(base.string() + ".err");
    for (const char* suffix : {".in", ".out", ".err"}) {
        std::error_code ignored;
        fs::remove(base.string() + suffix, ignored);
    }
    return result;
}
