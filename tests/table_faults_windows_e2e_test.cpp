// What only Windows shows: a process ended outright, what a replaced table
// keeps, and names in the users' own languages, of any length, however they
// reach the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "expected_dialogue.hpp"
#include "file_security_windows.hpp"
#include "folder_link_windows.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

TEST(Kills, WhileWritingLeaveTheOldTableAndNothingElse)
{
    // Ended outright, as "End task" does, or by Ctrl-C, after which every host reports a failed run.
    for (const auto& [ctrl_c, status] : {std::pair{false, 255}, std::pair{true, 130}}) {
        const WithOldTable workspace;
        bool writing = false;
        RunOptions options;
        options.ctrl_c = ctrl_c;
        options.kill_when = [&] {
            for (const auto& entry : fs::directory_iterator(workspace.maps())) {
                std::error_code unknown;
                if (entry.path().filename() != "sierra_tab.txt" && entry.file_size(unknown) > 0) {
                    writing = true;
                }
            }
            return writing;
        };
        const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 19999999 1 0", options);  // 358 MB
        EXPECT_TRUE(writing) << "killed while the rows were written";
        EXPECT_EQ(run.exit_status, status) << (ctrl_c ? "Ctrl-C" : "End task");
        expect_old_table_kept(workspace);
    }
}

TEST(FolderLinks, RetargetedDuringTheNumbersLeaveTheOtherTableAndWriteWhereTheNamesLed)
{
    const struct {
        const wchar_t* link;
        std::string folder;
    } links[] = {
        {L"C:\\images", "maps"},              // c:\images, a junction to another disk
        {L"C:\\images\\disk", "disk\\maps"},  // a folder link on the way to the folder named
    };
    if (!FolderLink::can_be_made()) {
        GTEST_SKIP() << "folder links are made as Wine makes them";
    }
    for (const auto& c : links) {
        const Elsewhere named("grisalturas-named-");
        const Elsewhere other("grisalturas-other-");
        const fs::path other_table = other.path / "maps" / "sierra_tab.txt";
        Workspace::write(other_table, old_table);
        ASSERT_NE(::SetFileAttributesW(other_table.c_str(), FILE_ATTRIBUTE_HIDDEN), 0);
        const Workspace workspace;
        if (c.link == workspace.root() / "images") {
            fs::remove_all(c.link);
        }
        const FolderLink link(c.link);
        ASSERT_TRUE(link.point_to(named.path));
        RunOptions options;
        options.meanwhile = [&] { ASSERT_TRUE(link.point_to(other.path)); };
        options.numbers = "0 1 10 20 5 1";
        const RunResult run = run_program(workspace.root(), c.folder + " sierra\n", options);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(Workspace::read(named.path / "maps" / "sierra_tab.txt"), expected::plain_table);
        EXPECT_EQ(Workspace::read(other_table), old_table);
        EXPECT_EQ(::GetFileAttributesW(other_table.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
        for (const Elsewhere* disk : {&named, &other}) {
            EXPECT_EQ(std::distance(fs::directory_iterator(disk->path / "maps"), fs::directory_iterator()), 1);
        }
    }
}

TEST(TableInUse, IsRefusedBeforeAnyNumberAndKept)
{
    const WithOldTable workspace;
    // Held as a spreadsheet holds a workbook: others may read and write it, but not rename over it.
    const HANDLE held =
        ::CreateFileW(workspace.table("sierra").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RunResult run = run_program(workspace.root(), expected::plain_answers);
    ::CloseHandle(held);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(run.err.starts_with("grisalturas: cannot replace " + expected::sierra_label +
                                    ": it is open in another program: "))
        << run.err;
    EXPECT_EQ(run.out, expected::up_to_the_names);
    expect_old_table_kept(workspace);
}

TEST(ReplacedTable, KeepsTheAttributesOfTheOldOne)
{
    const WithOldTable workspace;
    const fs::path table = workspace.table("sierra");
    const DWORD given = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    ASSERT_NE(::SetFileAttributesW(table.c_str(), given), 0);
    const DWORD kept = ::GetFileAttributesW(table.c_str()) & given;  // Wine keeps no content-indexing mark
    ASSERT_EQ(kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const RunResult run = run_program(workspace.root(), expected::plain_answers);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Workspace::read(table), expected::plain_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
    // Marked as changed for backups, as any table written.
    const DWORD attributes = ::GetFileAttributesW(table.c_str());
    EXPECT_EQ(attributes & (given | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), kept | FILE_ATTRIBUTE_ARCHIVE);
}

TEST(ReplacedTable, ThatIsReadOnlyIsRefusedBeforeAnyNumberAndKept)
{
    const WithOldTable workspace;
    const fs::path table = workspace.table("sierra");
    ASSERT_NE(::SetFileAttributesW(table.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0);
    const RunResult run = run_program(workspace.root(), expected::plain_answers);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(run.err.starts_with("grisalturas: cannot create " + expected::sierra_label + ": ")) << run.err;
    EXPECT_EQ(run.out, expected::up_to_the_names);
    EXPECT_EQ(::GetFileAttributesW(table.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    ASSERT_NE(::SetFileAttributesW(table.c_str(), FILE_ATTRIBUTE_NORMAL), 0);  // so that the workspace can go
    expect_old_table_kept(workspace);
}

TEST(ReplacedTable, KeepsTheAccessListOfTheOldOne)
{
    const WithOldTable workspace;
    const fs::path table = workspace.table("sierra");
    // Shared for writing with everyone, where the folder gives others no more than reading.
    set_access_list(table, L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;BU)(A;;FRFW;;;WD)");
    const std::wstring given = access_list(table);
    const fs::path fresh = workspace.maps() / "fresh.txt";
    Workspace::write(fresh, "");
    const std::wstring inherited = access_list(fresh);
    fs::remove(fresh);
    if (given == inherited) {
        GTEST_SKIP() << "this system keeps no access list given to a file";
    }
    const RunResult run = run_program(workspace.root(), expected::plain_answers);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Workspace::read(table), expected::plain_table);
    EXPECT_EQ(access_list(table), given);
}

// The bytes of `text` in the ANSI code page, as an answer file saved in it holds them.
std::string ansi(const std::wstring& text)
{
    std::string bytes(4 * text.size(), '\0');
    bytes.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                                bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                                                nullptr)));
    return bytes;
}

TEST(Names, InTheUsersLanguagesReachTheirFolderPipedAsUtf8OrAnsi)
{
    const std::string utf8_answers =
        "Monta\xc3\xb1"
        "a se\xc3\xb1"
        "al 0 1 10 20 5 1";
    const std::string ansi_answers = ansi(L"Monta\u00f1a se\u00f1al 0 1 10 20 5 1");
    for (const auto& answers : {utf8_answers, ansi_answers}) {
        const Workspace workspace;
        const fs::path folder = workspace.root() / "images" / L"Monta\u00f1a";
        fs::create_directory(folder);
        const RunResult run = run_program(workspace.root(), answers);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Workspace::read(folder / L"se\u00f1al_tab.txt"), expected::plain_table);
    }
    // A message names a missing folder as the user typed it.
    const struct {
        std::string answers;
        std::string name;
    } missing[] = {
        {"Regi\xc3\xb3n sierra 0 1 10 20 5 1", "Regi\xc3\xb3n"},
        {ansi(L"Regi\u00f3n sierra 0 1 10 20 5 1"), ansi(L"Regi\u00f3n")},
    };
    for (const auto& c : missing) {
        const Workspace workspace;
        const RunResult run = run_program(workspace.root(), c.answers);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_TRUE(run.err.starts_with("grisalturas: cannot create c:\\images\\" + c.name + "\\sierra_tab.txt: "))
            << run.err;
    }
}

TEST(Names, MakePathsLongerThanTheOldLimitOfTheSystem)
{
    const Workspace workspace;
    const std::string outer(200, 'o');
    const std::string inner(100, 'i');
    fs::create_directories(workspace.root() / "images" / outer / inner);
    const RunResult run = run_program(workspace.root(), outer + "\\" + inner + " sierra 0 1 10 20 5 1");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Workspace::read(workspace.root() / "images" / outer / inner / "sierra_tab.txt"), expected::plain_table);
    // Only the system's own calls, with the prefix that lifts the limit, remove it again.
    const std::wstring long_outer = L"\\\\?\\C:\\images\\" + fs::path(outer).wstring();
    const std::wstring long_inner = long_outer + L"\\" + fs::path(inner).wstring();
    EXPECT_NE(::DeleteFileW((long_inner + L"\\sierra_tab.txt").c_str()), 0);
    EXPECT_NE(::RemoveDirectoryW(long_inner.c_str()), 0);
    EXPECT_NE(::RemoveDirectoryW(long_outer.c_str()), 0);
}

}  // namespace
