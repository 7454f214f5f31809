// Reelo.exe as a real process, copied into a temporary program folder (its
// config.ini goes there): first start, restoring the bounds, a malformed
// settings file, multi-user mode with and without the registry value, the
// command line's visibility option, files played from the command line, a
// named list coming back, a damaged recent list, the seek bar, broken media
// among good files, the ends without a normal exit, later starts handing
// their files to the player, and the media keys.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/ui/TestSupport.h"
#include "base/UCodePage.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "playlist/UPlayList.h"
#include "ui/UMainForm.h"
#include "ui/USingleInstance.h"

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::unique_ptr<TSetting> ReadConfig(const std::string& dir)
{
    auto s = std::make_unique<TSetting>();
    s->LoadFromFile(dir + "config.ini");
    return s;
}

void WriteConfig(const std::string& dir, void (*fill)(TSetting&))
{
    TSetting s;
    fill(s);
    FileSystem::ForceDirectories(dir);
    s.SaveToFile(dir + "config.ini");
}

struct ReeloProcess : ::testing::Test {
    TTempDir root{"reelo-proc"};
    std::string program = root.Path() + "ソフト\\";  // ソ = 0x83 0x5C

    void SetUp() override { ASSERT_TRUE(CopyProgram(program)) << BuildPath("bin"); }
};

TEST_F(ReeloProcess, FirstStartWritesConfigAndNextStartRestoresBounds)
{
    {
        TReelo reelo(program, "");
        HWND main = reelo.MainWindow();
        ASSERT_NE(nullptr, main);
        EXPECT_TRUE(IsWindowVisible(main));
        char caption[64] = {};
        GetWindowTextA(main, caption, sizeof(caption));
        EXPECT_STREQ("Reelo", caption);
        RECT r;
        GetWindowRect(main, &r);
        EXPECT_EQ(502, r.left);
        EXPECT_EQ(400, r.top);
        // Moved by the user before closing.
        SetWindowPos(main, nullptr, 40, 50, 520, 410, SWP_NOZORDER | SWP_NOACTIVATE);
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, reelo.WaitExit());
    }
    ASSERT_TRUE(PathExists(program + "config.ini"));
    auto saved = ReadConfig(program);
    EXPECT_TRUE(ReadKey(*saved, ConfigKey::RestoreWindowPosition, false));
    EXPECT_EQ(40, ReadKey(*saved, ConfigKey::BoundsLeft));
    EXPECT_EQ(50, ReadKey(*saved, ConfigKey::BoundsTop));
    EXPECT_EQ(520, ReadKey(*saved, ConfigKey::BoundsWidth));
    EXPECT_EQ(410, ReadKey(*saved, ConfigKey::BoundsHeight));

    TReelo again(program, "");
    HWND main = again.MainWindow();
    ASSERT_NE(nullptr, main);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(40, r.left);
    EXPECT_EQ(50, r.top);
    EXPECT_EQ(520, r.right - r.left);
    EXPECT_EQ(410, r.bottom - r.top);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, again.WaitExit());
}

TEST_F(ReeloProcess, MalformedConfigEndsStartWithTheFormatMessage)
{
    WriteTextFile(program + "config.ini", "\\\t0\t0\t\r\n\tx\r\n");
    TReelo reelo(program, "");
    HWND box = reelo.WaitMessageBox("line:");
    ASSERT_NE(nullptr, box);
    const std::string text = ChildTexts(box);
    EXPECT_NE(std::string::npos, text.find("ファイルフォーマットが不正です")) << text;
    EXPECT_NE(std::string::npos, text.find("line:2")) << text;
    EXPECT_EQ(nullptr, reelo.Find("TMainForm", {}, true));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, reelo.WaitExit());
}

TEST_F(ReeloProcess, MultiUserWithTheRegistryFolder)
{
    TRegistryPathGuard registry;
    std::string chosen = root.Path() + "表示設定\\";
    registry.Set(FileName::ExcludeTrailingPathDelimiter(chosen));
    WriteConfig(program, [](TSetting& s) {
        WriteKey(s, ConfigKey::MultiUser, true);
        WriteKey(s, ConfigKey::Recent, "program");
    });
    FileSystem::ForceDirectories(chosen);
    WriteTextFile(chosen + "config.ini", ReadTextFile(program + "config.ini"));
    {
        TSetting s;
        s.LoadFromFile(chosen + "config.ini");
        WriteKey(s, ConfigKey::RestoreWindowPosition, true);
        WriteKey(s, ConfigKey::BoundsLeft, 60);
        WriteKey(s, ConfigKey::BoundsTop, 70);
        WriteKey(s, ConfigKey::BoundsWidth, 480);
        WriteKey(s, ConfigKey::BoundsHeight, 390);
        s.SaveToFile(chosen + "config.ini");
    }
    TReelo reelo(program, "");
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(60, r.left);
    EXPECT_EQ(70, r.top);
    SetWindowPos(main, nullptr, 61, 71, 480, 390, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
    EXPECT_EQ(61, ReadKey(*ReadConfig(chosen), ConfigKey::BoundsLeft));
    auto prog = ReadConfig(program);  // the program folder's file is left alone
    EXPECT_FALSE(KeyIsSet(*prog, ConfigKey::BoundsLeft));
    EXPECT_TRUE(ReadKey(*prog, ConfigKey::MultiUser));
}

TEST_F(ReeloProcess, MultiUserWithoutTheRegistryValueUsesTheUserFolder)
{
    TRegistryPathGuard registry;
    registry.Remove();
    TUserFolderGuard userFolder;
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::MultiUser, true); });
    // A file on the command line: its list is made before anything made the user folder.
    const std::string file = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\a.wav";
    WriteWav(file, 1);
    // "/V-": the window starts hidden (tray mode); closing it still ends the program.
    TReelo reelo(program, "/V- " + Quoted(file));
    HWND main = reelo.MainWindow(false);
    ASSERT_NE(nullptr, main);
    EXPECT_FALSE(IsWindowVisible(main));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
    ASSERT_TRUE(PathExists(userFolder.Path() + "config.ini"));
    EXPECT_TRUE(ReadKey(*ReadConfig(userFolder.Path()), ConfigKey::RestoreWindowPosition, false));
    EXPECT_FALSE(KeyIsSet(*ReadConfig(program), ConfigKey::RestoreWindowPosition));
    TPlayList saved("Temporary", userFolder.Path());
    saved.LoadFromFile(userFolder.Path() + "Temporary.lst");
    EXPECT_EQ(1, saved.FileCount());
}

TEST_F(ReeloProcess, FilesAndAFolderFromTheCommandLinePlayInOrder)
{
    // Both folder names hold 0x5C trail bytes (ソ = 83 5C, 表 = 95 5C).
    const std::string folder = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\表示";
    FileSystem::ForceDirectories(folder);
    std::vector<std::string> files;
    for (const char* name : {"表示1", "表示2", "表示3"}) {
        files.push_back(folder + "\\" + name + ".wav");
        WriteWav(files.back(), 1);
    }
    {
        TReelo reelo(program, "/A " + Quoted(files[0]) + " " + Quoted(files[1]) + " " + Quoted(files[2]) +
                                  " " + Quoted(folder));
        HWND main = reelo.MainWindow();
        ASSERT_NE(nullptr, main);
        EXPECT_EQ(3, SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0));
        EXPECT_EQ("表示1", TReelo::Text(main, idPlayingLabel, "表示1", 10000));
        // While it plays the bar shows pause in place of play.
        HWND bar = GetDlgItem(main, idMediaController);
        for (int waited = 0; waited < 5000 && !SendMessageA(bar, TB_ISBUTTONHIDDEN, btPlay, 0); waited += 50)
            Sleep(50);
        EXPECT_TRUE(SendMessageA(bar, TB_ISBUTTONHIDDEN, btPlay, 0));
        EXPECT_FALSE(SendMessageA(bar, TB_ISBUTTONHIDDEN, btPause, 0));
        EXPECT_EQ("100%", TReelo::Text(main, idVolumeLabel));
        EXPECT_EQ("表示2", TReelo::Text(main, idPlayingLabel, "表示2", 10000));
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, reelo.WaitExit());
    }
    EXPECT_EQ("Temporary", ReadKey(*ReadConfig(program), ConfigKey::Recent));
    TPlayList saved("Temporary", program);
    saved.LoadFromFile(program + "Temporary.lst");
    ASSERT_EQ(3, saved.FileCount());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(files[i], saved.Files(i).Path());
    ASSERT_EQ(1, saved.DirectoryCount());
    EXPECT_EQ(folder, FileName::ExcludeTrailingPathDelimiter(saved.Directories(0).Path()));
}

FILETIME WriteTime(const std::string& file)
{
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
}

// Ends without a normal exit: a forced end 12 s after a start with three
// files (written once within seconds, an unchanged list not again), then the
// next start, which shows them, ends with the session just after the window
// was moved.
TEST_F(ReeloProcess, ChangesSurviveAForcedEndAndTheEndOfTheSession)
{
    const std::string folder = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1));
    std::string args;
    for (const char* name : {"\\表示1.wav", "\\表示2.wav", "\\表示3.wav"}) {
        WriteWav(folder + name, 1);
        args += Quoted(folder + name) + " ";
    }
    {
        TReelo reelo(program, args);
        ASSERT_NE(nullptr, reelo.MainWindow());
        Sleep(6000);
        const FILETIME first = WriteTime(program + "Temporary.lst");
        Sleep(6000);
        const FILETIME last = WriteTime(program + "Temporary.lst");
        EXPECT_EQ(0, CompareFileTime(&first, &last));
    }
    TReelo reelo(program, "");
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Temporary", TReelo::Text(main, idListCmb));
    EXPECT_EQ(3, SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0));
    SetWindowPos(main, nullptr, 33, 44, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(reelo.EndSession());
    EXPECT_EQ(33, ReadKey(*ReadConfig(program), ConfigKey::BoundsLeft));
}

TEST_F(ReeloProcess, NamedListComesBackAtTheNextStart)
{
    const std::string file = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\a.wav";
    WriteWav(file, 1);
    {
        TReelo reelo(program, "/PTest " + Quoted(file));
        HWND main = reelo.MainWindow();
        ASSERT_NE(nullptr, main);
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, reelo.WaitExit());
    }
    ASSERT_TRUE(PathExists(program + "Test.lst"));
    TReelo reelo(program, "");
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Test", TReelo::Text(main, idListCmb));
    EXPECT_EQ(1, SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
}

TEST_F(ReeloProcess, DamagedRecentListIsReportedAndKept)
{
    const std::string damaged = "\\\t0\t0\t\r\n\tx\r\n";
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::Recent, "Bad"); });
    WriteTextFile(program + "Bad.lst", damaged);
    TReelo reelo(program, "");
    HWND box = reelo.WaitMessageBox("Bad.lst");
    ASSERT_NE(nullptr, box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Bad", TReelo::Text(main, idListCmb));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
    EXPECT_EQ(damaged, ReadTextFile(program + "Bad.lst.bad"));
}

int Seconds(const std::string& label)
{
    return std::stoi(label.substr(0, label.find(':'))) * 60 + std::stoi(label.substr(label.find(':') + 1));
}

// A press left of the channel puts the thumb at 0 and the timer leaves it
// there while it is held; the seek to 0 comes on release, not on the press.
TEST_F(ReeloProcess, SeekBarSeeksOnRelease)
{
    const std::string file =
        FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\long.wav";
    WriteWav(file, 60);
    TReelo reelo(program, "/A " + Quoted(file));
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    HWND bar = GetDlgItem(main, idFrameBar);
    for (int waited = 0; waited < 20000 && Seconds(TReelo::Text(main, idTimeLabel)) < 3; waited += 100)
        Sleep(100);
    ASSERT_GE(Seconds(TReelo::Text(main, idTimeLabel)), 3);
    ASSERT_TRUE(IsWindowEnabled(bar));
    ASSERT_GT(SendMessageA(bar, TBM_GETPOS, 0, 0), 0);

    PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 10));
    Sleep(2500);
    EXPECT_EQ(0, SendMessageA(bar, TBM_GETPOS, 0, 0));  // held: the timer left it
    const int before = Seconds(TReelo::Text(main, idTimeLabel));
    EXPECT_GE(before, 3);  // nor did it refresh the time
    PostMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(0, 10));
    Sleep(1500);
    // Sought on release: at most a second or two played since.
    EXPECT_LE(Seconds(TReelo::Text(main, idTimeLabel)), 2);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
}

// Broken files on the command line (as Explorer passes a file it opens)
// among good ones: each is reported and passed over, the program stays. The
// first report shows while the list plays on, and what fails meanwhile comes
// in one more box. Five failures in a row end playing.
TEST_F(ReeloProcess, BrokenFilesAreReportedAndPassedOver)
{
    std::string args = "/A";
    for (const char* name :
         {"empty.mp3", "tone-a.wav", "noise.wav", "cut-short.avi", "text.mp3", "tone-b.wav"})
        args += " " + Quoted(ControllerMedia(name));
    for (int i = 1; i <= 5; ++i) {
        WriteTextFile(program + "empty" + std::to_string(i) + ".mp3", "");
        args += " " + Quoted(program + "empty" + std::to_string(i) + ".mp3");
    }
    TReelo reelo(program, args + " " + Quoted(ControllerMedia("tone-a.wav")));
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    std::vector<std::string> reports;
    HWND last = nullptr;
    for (int waited = 0, open = 0; waited < 60000; waited += 100, open += 100, Sleep(100)) {
        const std::vector<HWND> boxes = reelo.Boxes();
        ASSERT_GE(1u, boxes.size());  // never a box per file
        if (boxes.empty() && reports.size() == 2) break;
        if (boxes.empty()) continue;
        if (boxes[0] != last) {
            // The text is filled in while the box initialises.
            HWND box = reelo.WaitMessageBox(".mp3", 5000);
            reports.push_back(ChildTexts(box ? box : boxes[0]));
            last = boxes[0];
            open = 0;
        }
        if (reports.size() > 1 || open >= 15000) PostMessageA(last, WM_COMMAND, IDOK, 0);
    }
    ASSERT_EQ(2u, reports.size());
    EXPECT_NE(std::string::npos, reports[0].find("empty.mp3")) << reports[0];
    for (const char* part : {"noise.wav", "text.mp3", "empty5.mp3", "停止"})
        EXPECT_NE(std::string::npos, reports[1].find(part)) << reports[1];
    for (const std::string& r : reports) EXPECT_EQ(std::string::npos, r.find("tone-")) << r;
    EXPECT_EQ("empty5", TReelo::Text(main, idPlayingLabel));  // the last entry never played
    EXPECT_EQ(12, SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
}

// --- one player per session, media keys ------------------------------------------

int FileCount(HWND main)
{
    return static_cast<int>(SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0));
}

bool IsPlaying(HWND main)
{
    return SendMessageA(GetDlgItem(main, idMediaController), TB_ISBUTTONHIDDEN, btPlay, 0) != 0;
}

int MainWindowCount()
{
    int n = 0;
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, "TMainForm", nullptr)) != nullptr;)
        n += IsWindowVisible(h) ? 1 : 0;
    return n;
}

// The player in the tray takes a later start's files, relative to that
// start's folder, plays them and comes out to the front; the start ends. A
// start without arguments only brings it forward (playing goes on). What
// else reaches its window is refused and does it no harm.
TEST_F(ReeloProcess, ALaterStartHandsItsCommandLineToThePlayer)
{
    const std::string folder = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\表示";
    FileSystem::ForceDirectories(folder);
    WriteWav(folder + "\\曲.wav", 30);
    TReelo first(program, "/V-");
    HWND main = first.MainWindow(false);
    ASSERT_TRUE(main && !IsWindowVisible(main));
    HWND player = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        return (player = FindWindowExA(HWND_MESSAGE, nullptr, TCommandLineReceiver::ClassName, nullptr)) !=
               nullptr;
    }));
    const unsigned char odd[9] = {}, oneText[12] = {1, 2, 3, 4, 5, 6, 7, 8, 'a', 0, 0, 0};
    const ULONG_PTR tag = 0x52656C31;  // a start's, with data that is not a start's
    for (COPYDATASTRUCT bad : {COPYDATASTRUCT{0, 12, (void*)oneText}, COPYDATASTRUCT{tag, 9, (void*)odd},
                               COPYDATASTRUCT{tag, 12, (void*)oneText}, COPYDATASTRUCT{tag, 100, nullptr}}) {
        DWORD_PTR answer = 99;
        SendMessageTimeoutA(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&bad), SMTO_NORMAL, 5000,
                            &answer);
        EXPECT_EQ(0u, answer);
    }

    const DWORD started = GetTickCount();
    TReelo second(program, "/A 曲.wav", folder);
    EXPECT_EQ(0u, second.WaitExit());
    fprintf(stderr, "(the second start ended after %lu ms)\n", GetTickCount() - started);
    EXPECT_EQ("曲", TReelo::Text(main, idPlayingLabel, "曲", 10000));
    EXPECT_TRUE(
        WaitFor([&] { return IsPlaying(main) && IsWindowVisible(main) && GetForegroundWindow() == main; }));
    EXPECT_EQ("Temporary 2", TReelo::Text(main, idListCmb));
    EXPECT_EQ(1, FileCount(main));

    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }));
    TReelo third(program, "");
    EXPECT_EQ(0u, third.WaitExit());
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(main); }));
    EXPECT_TRUE(IsPlaying(main));
    EXPECT_EQ(1, MainWindowCount());
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, first.WaitExit());
}

// Explorer's "open" on twelve selected files: one process per file, all at
// once. One of them is the player; the others end; one list holds the twelve.
TEST_F(ReeloProcess, TwelveStartsTogetherMakeOneList)
{
    const std::string dir = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\";
    std::vector<std::string> files;
    std::vector<std::unique_ptr<TReelo>> starts;
    for (int i = 1; i <= 12; ++i) {
        files.push_back(dir + "曲" + std::to_string(i) + ".wav");
        WriteWav(files.back(), 2);
    }
    const DWORD t0 = GetTickCount();
    for (const std::string& f : files) starts.push_back(std::make_unique<TReelo>(program, "/A " + Quoted(f)));
    fprintf(stderr, "(twelve processes started in %lu ms)\n", GetTickCount() - t0);
    auto running = [&] {
        std::vector<TReelo*> left;
        for (auto& s : starts)
            if (s->Running()) left.push_back(s.get());
        return left;
    };
    ASSERT_TRUE(WaitFor([&] { return running().size() == 1; }, 30000)) << running().size();
    TReelo& player = *running()[0];
    HWND main = player.MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitFor([&] { return FileCount(main) == 12; })) << FileCount(main);
    EXPECT_EQ(1, MainWindowCount());
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, player.WaitExit());
    for (auto& s : starts) EXPECT_EQ(0u, s->WaitExit(0));
}

// The next-track key while another program's window is active: the player
// takes it once and leaves the focus where it was. The same keys as
// application commands in its windows (a child of the main window, the
// movie window), and a press that comes both ways at once, taken once.
TEST_F(ReeloProcess, NextTrackKeyWhileAnotherWindowIsActive)
{
    const std::string dir = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\";
    std::string args = "/A";
    for (const char* name : {"a", "b", "c"}) {
        WriteWav(dir + name + ".wav", 30);
        args += " " + Quoted(dir + name + ".wav");
    }
    TReelo reelo(program, args);
    HWND main = reelo.MainWindow();
    ASSERT_NE(nullptr, main);
    ASSERT_EQ("a", TReelo::Text(main, idPlayingLabel, "a", 10000));
    HWND other = CreateWindowExA(0, "Edit", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    auto pump = [] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return false;
    };
    EXPECT_TRUE(WaitFor([&] {
        pump();
        SetForegroundWindow(other);
        return GetForegroundWindow() == other;
    }));
    INPUT key[2] = {};
    for (INPUT& k : key) {
        k.type = INPUT_KEYBOARD;
        k.ki.wVk = VK_MEDIA_NEXT_TRACK;
    }
    key[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, key, sizeof(INPUT));
    EXPECT_EQ("b", TReelo::Text(main, idPlayingLabel, "b", 10000));
    for (int i = 0; i < 30; ++i) Sleep(50), pump();
    EXPECT_EQ("b", TReelo::Text(main, idPlayingLabel));  // not taken twice
    EXPECT_EQ(other, GetForegroundWindow());
    DestroyWindow(other);

    auto command = [](HWND to, int c) {
        SendMessageA(to, WM_APPCOMMAND, 0, MAKELPARAM(0, c | FAPPCOMMAND_KEY));
    };
    command(GetDlgItem(main, idFileListBox), APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_EQ("c", TReelo::Text(main, idPlayingLabel, "c", 10000));
    HWND movie = reelo.WaitWindow("TPlayWindow", {}, true);
    ASSERT_NE(nullptr, movie);
    command(movie, APPCOMMAND_MEDIA_PLAY_PAUSE);
    EXPECT_TRUE(WaitFor([&] { return !IsPlaying(main); }));
    Sleep(500);
    SendInput(2, key, sizeof(INPUT));
    command(main, APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_EQ("a", TReelo::Text(main, idPlayingLabel, "a", 10000));
    for (int i = 0; i < 30; ++i) Sleep(50), pump();
    EXPECT_EQ("a", TReelo::Text(main, idPlayingLabel));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, reelo.WaitExit());
}

// "MultipleInstances" on: a second start is a player of its own. And a
// player that takes nothing (here: a start showing the settings file's
// error, from another program folder) does not swallow a start: after a
// few seconds that start runs on its own.
TEST_F(ReeloProcess, StartsThatRunOnTheirOwn)
{
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::MultipleInstances, true); });
    {
        TReelo first(program, ""), second(program, "");
        HWND a = first.MainWindow(), b = second.MainWindow();
        ASSERT_TRUE(a && b);
        EXPECT_EQ(2, MainWindowCount());
        for (HWND h : {a, b}) PostMessageA(h, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, first.WaitExit());
        EXPECT_EQ(0u, second.WaitExit());
    }
    const std::string broken = root.Path() + "broken\\";
    FileSystem::ForceDirectories(broken);
    ASSERT_TRUE(CopyFileA((program + "Reelo.exe").c_str(), (broken + "Reelo.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((program + "TsFilter.dll").c_str(), (broken + "TsFilter.dll").c_str(), FALSE));
    WriteTextFile(broken + "config.ini", "\\\t0\t0\t\r\n\tx\r\n");
    WriteConfig(program, [](TSetting&) {});
    TReelo stuck(broken, "");
    HWND box = stuck.WaitMessageBox("ファイルフォーマットが不正です");
    ASSERT_NE(nullptr, box);
    const DWORD t0 = GetTickCount();
    TReelo later(program, "");
    HWND main = later.MainWindow();
    const DWORD waited = GetTickCount() - t0;
    ASSERT_NE(nullptr, main);
    EXPECT_GE(waited, 4500u);
    EXPECT_LT(waited, 15000u);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, stuck.WaitExit());
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, later.WaitExit());
}

// A music folder as users have it, names code page 932 cannot hold: given on
// the command line all six are added, and the one named plays (a second
// long), not the look-alike beside it (a minute); they are saved and back at
// the next start, and a later start hands such a name over. The program
// folder and the multi-user settings folder have such names too.
TEST_F(ReeloProcess, NamesOutsideTheCodePage)
{
    const std::string programDir = root.Path() + "<U+2661>\\", config = root.Path() + "設定<U+00E9>\\";
    FileSystem::ForceDirectories(programDir);
    for (const char* f : {"Reelo.exe", "TsFilter.dll"})
        ASSERT_TRUE(FileSystem::CopyToNew(program + f, programDir + f));
    TRegistryPathGuard registry;
    registry.Set(FileName::ExcludeTrailingPathDelimiter(config));
    WriteConfig(programDir, [](TSetting& s) { WriteKey(s, ConfigKey::MultiUser, true); });
    const std::string dir =
        FileSystem::ResolveLongPath(FileName::ExcludeTrailingPathDelimiter(programDir)) + "\\";
    std::vector<std::string> files;
    std::string args = "/A";
    for (const char* name :
         {"Beyonc<U+00E9>", "plain", "<U+00A5>100", "<U+D55C><U+AD6D>", "<U+301C>wave", "<U+2661>"}) {
        files.push_back(dir + name + ".wav");
        WriteWav(files.back(), files.size() == 1 ? 1 : 30);
        args += " " + Quoted(files.back());
    }
    WriteWav(dir + "Beyonce.wav", 60);
    {
        TReelo reelo(programDir, args);
        HWND main = reelo.MainWindow();
        ASSERT_NE(nullptr, main);
        EXPECT_EQ(6, FileCount(main));
        EXPECT_EQ("plain", TReelo::Text(main, idPlayingLabel, "plain", 15000));
        EXPECT_TRUE(reelo.Boxes().empty());
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, reelo.WaitExit());
    }
    ASSERT_TRUE(PathExists(config + "config.ini"));
    EXPECT_FALSE(KeyIsSet(*ReadConfig(programDir), ConfigKey::Recent));
    TPlayList saved("Temporary", config);
    saved.LoadFromFile(config + "Temporary.lst");
    ASSERT_EQ(6, saved.FileCount());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(files[i], saved.Files(i).Path());

    TReelo again(programDir, "");
    HWND main = again.MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Temporary", TReelo::Text(main, idListCmb));
    EXPECT_EQ(6, FileCount(main));
    TReelo later(programDir, "/A " + Quoted(files[5]));
    EXPECT_EQ(0u, later.WaitExit());
    EXPECT_TRUE(WaitFor([&] { return FileCount(main) == 1; }));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, again.WaitExit());
    // The temporary list of the handed-over start is the one saved.
    TPlayList handed("Temporary", config);
    handed.LoadFromFile(config + "Temporary.lst");
    ASSERT_EQ(1, handed.FileCount());
    EXPECT_EQ(files[5], handed.Files(0).Path());
}

}  // namespace
