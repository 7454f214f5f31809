// Reelo.exe used the way a person uses it. The program runs in a fresh
// program folder in the prefix's desktop; this process types and clicks
// through SendInput, and reads back only what any other program can: window
// texts, the states of buttons and check boxes, and the files Reelo writes.
// (Menus and the owner-data file list cannot be read from another process.)
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/UFileSystem.h"
#include "playlist/UPlayList.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/ui/TestSupport.h"
#include "ui/UMainForm.h"

namespace {

std::wstring Wide(const std::string& s)
{
    std::wstring w;
    for (char c : s) w += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return w;
}

bool Checked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// --- input, as the keyboard and the mouse give it -------------------------------------

void Send(std::vector<INPUT> in)
{
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    Sleep(120);
}

INPUT KeyInput(WORD vk, bool up)
{
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return i;
}

// A key with modifiers held (VK_CONTROL, VK_MENU, VK_SHIFT).
void Press(WORD vk, std::initializer_list<WORD> mods = {})
{
    std::vector<INPUT> in;
    for (WORD m : mods) in.push_back(KeyInput(m, false));
    in.push_back(KeyInput(vk, false));
    in.push_back(KeyInput(vk, true));
    for (WORD m : mods) in.push_back(KeyInput(m, true));
    Send(in);
}

void Type(const std::string& text)
{
    std::vector<INPUT> in;
    for (char c : text)
        for (bool up : {false, true}) {
            INPUT i = {};
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = static_cast<unsigned char>(c);
            i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            in.push_back(i);
        }
    Send(in);
}

POINT LastClick;  // for the log

// The pointer to a screen point, with a button pressed or let go there.
// Every event carries its point: under Wine a late motion report of an
// earlier position can move the pointer between separate events.
void Mouse(POINT p, DWORD button = 0)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    INPUT i = {};
    i.type = INPUT_MOUSE;
    i.mi.dx = (p.x * 65535 + (cx - 1) / 2) / (cx - 1);
    i.mi.dy = (p.y * 65535 + (cy - 1) / 2) / (cy - 1);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | button;
    Send({i});
}

// A left click at a screen point, once the pointer is seen there.
void ClickAt(POINT p)
{
    LastClick = p;
    Mouse(p);
    WaitFor(
        [&] {
            POINT at;
            GetCursorPos(&at);
            return std::abs(at.x - p.x) <= 1 && std::abs(at.y - p.y) <= 1;
        },
        2000);
    Mouse(p, MOUSEEVENTF_LEFTDOWN);
    Mouse(p, MOUSEEVENTF_LEFTUP);
}

// A left click at the centre of a window (or at x, y of its client area).
void Click(HWND w, int x = -1, int y = -1)
{
    RECT r;
    GetClientRect(w, &r);
    POINT p{x >= 0 ? x : r.right / 2, y >= 0 ? y : r.bottom / 2};
    ClientToScreen(w, &p);
    ClickAt(p);
}

// A press at a screen point, moved by (dx, dy) before it is let go.
void Drag(POINT from, int dx, int dy)
{
    Mouse(from);
    Mouse(from, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 4; ++step) Mouse({from.x + dx * step / 4, from.y + dy * step / 4});
    Mouse({from.x + dx, from.y + dy}, MOUSEEVENTF_LEFTUP);
}

// A point on a window's title bar, away from its buttons.
POINT TitleBar(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    return {r.left + (r.right - r.left) / 3,
            r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

// --- the program ---------------------------------------------------------------------------

// The user brings a window to the front before typing into it.
void Focus(HWND w)
{
    if (GetForegroundWindow() == w) return;
    SetForegroundWindow(w);
    if (WaitFor([&] { return GetForegroundWindow() == w; }, 3000)) return;
    // A click on the title bar, as a person would do.
    ClickAt(TitleBar(w));
    WaitFor([&] { return GetForegroundWindow() == w; }, 3000);
}

// Does act until done holds: input sent while the window was not yet
// active can go astray, as it can for a person, who then tries again. The
// wait is long so that a slow but successful first try is not repeated (many
// of the actions are toggles).
bool Do(const std::function<void()>& act, const std::function<bool()>& done, int waitMs = 15000,
        int line = __builtin_LINE())
{
    for (int i = 0; i < 3; ++i) {
        act();
        if (WaitFor(done, waitMs)) return true;
        // Where the input went, for the log.
        GUITHREADINFO gi = {};
        gi.cbSize = sizeof gi;
        GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), nullptr), &gi);
        char active[64] = {}, focus[64] = {}, under[64] = {};
        GetClassNameA(gi.hwndActive, active, sizeof active);
        GetClassNameA(gi.hwndFocus, focus, sizeof focus);
        GetClassNameA(WindowFromPoint(LastClick), under, sizeof under);
        fprintf(stderr,
                "(line %d: no effect after %d ms, trying again; active %s, focus %s, last click on %s)\n",
                line, waitMs, active, focus, under);
    }
    return false;
}

// Marks the start of a step in the log, with the seconds since the first.
void Step(const char* what)
{
    static const DWORD start = GetTickCount();
    fprintf(stderr, "[%5.1f s] %s\n", (GetTickCount() - start) / 1000.0, what);
}

// A child button of a window by its caption; with row set, the one whose
// top is nearest to that screen row (the "オン" of a settings row).
HWND ChildButton(HWND parent, const std::string& caption, int row = -1)
{
    struct TArgs {
        const std::string* Caption;
        int Row;
        HWND Found;
        int Distance;
    } a{&caption, row, nullptr, 1 << 30};
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM lp) -> BOOL {
            auto& a = *reinterpret_cast<TArgs*>(lp);
            char c[32] = {};
            GetClassNameA(h, c, sizeof c);
            if (_stricmp(c, "Button") != 0 || WindowText(h) != *a.Caption || !IsWindowVisible(h)) return TRUE;
            RECT r;
            GetWindowRect(h, &r);
            const int d = a.Row < 0 ? 0 : std::abs(static_cast<int>(r.top) - a.Row);
            if (d < a.Distance) {
                a.Found = h;
                a.Distance = d;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&a));
    return a.Found;
}

// In a playback settings dialog: the row's override box and its "オン".
void SetOn(HWND dialog, const std::string& row)
{
    HWND box = ChildButton(dialog, row);
    ASSERT_NE(nullptr, box) << row;
    ASSERT_TRUE(Do([&] { Click(box); }, [&] { return Checked(box); })) << row;
    RECT r;
    GetWindowRect(box, &r);
    HWND on = ChildButton(dialog, "オン", r.top);
    ASSERT_NE(nullptr, on) << row;
    ASSERT_TRUE(Do([&] { Click(on); }, [&] { return Checked(on); })) << row;
}

// The index of a list name in the list combo box (its items read as UTF-16).
int ComboIndex(HWND combo, const std::string& name)
{
    for (int i = 0, n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) >= 255) continue;
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        if (Wide(name) == text) return i;
    }
    return 0;
}

struct EndToEnd : ::testing::Test {
    TTempDir root{"reelo-e2e"};
    std::string program = root.Path() + "Reelo\\";
    std::string media;

    void SetUp() override
    {
        ASSERT_TRUE(CopyProgram(program)) << BuildPath("bin");
        FileSystem::ForceDirectories(root.Path() + "media");
        media = FileSystem::ResolveLongPath(root.Path() + "media") + "\\";
        ASSERT_TRUE(
            CopyFileA(BuildPath("e2e-media/movie.avi").c_str(), (media + "movie.avi").c_str(), FALSE));
    }
    // A mono 16-bit WAV of a square wave of that amplitude; its levels.
    TWavLevels Wav(const std::string& name, int seconds, int amplitude)
    {
        std::vector<int> samples(8000 * seconds);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 20) % 2 ? amplitude : -amplitude / 2;
        return WriteTestWav(Wide(media + name), 1, 16, 8000, samples);
    }
};

TEST_F(EndToEnd, APersonUsesThePlayer)
{
    Wav("a.wav", 4, 8000);
    Wav("b.wav", 3, 8000);
    const TWavLevels c = Wav("c.wav", 2, 12000), d = Wav("d.wav", 2, 3000);
    RECT bounds = {};
    {
        // 1. First start with files on the command line; play, skip, stop.
        Step("1. first start, play, skip, stop");
        TReelo reelo(program, "\"" + media + "a.wav\" \"" + media + "b.wav\" \"" + media + "movie.avi\"");
        HWND main = reelo.WaitWindow("TMainForm", "Reelo");
        ASSERT_NE(nullptr, main);
        HWND combo = GetDlgItem(main, idListCmb), files = GetDlgItem(main, idFileListBox),
             playing = GetDlgItem(main, idPlayingLabel), time = GetDlgItem(main, idTimeLabel),
             seek = GetDlgItem(main, idFrameBar), bar = GetDlgItem(main, idMediaController);
        HWND randomChk = ChildButton(main, "Random"), repeatChk = ChildButton(main, "Repeat"),
             fullChk = ChildButton(main, "全画面"), topChk = ChildButton(main, "最前面");
        ASSERT_TRUE(randomChk && repeatChk && fullChk && topChk);
        auto count = [&] { return SendMessageA(files, LB_GETCOUNT, 0, 0); };
        auto key = [&](WORD vk, std::initializer_list<WORD> mods = {}) {
            return [=] {
                Focus(main);
                Press(vk, mods);
            };
        };
        auto menu = [&](char top, char item) {
            return [=] {
                Focus(main);
                Press(top, {VK_MENU});
                Press(item);
            };
        };
        auto shows = [&](auto&&... args) { return [&, args...] { return reelo.Find(args...) != nullptr; }; };
        auto gone = [](HWND& h) { return [&h] { return !IsWindow(h) || !IsWindowVisible(h); }; };
        auto playButtonShown = [&] { return !SendMessageA(bar, TB_ISBUTTONHIDDEN, btPlay, 0); };
        auto stop = [&] { return Do(key('S', {VK_CONTROL}), playButtonShown); };
        ASSERT_TRUE(WaitFor([&] { return count() == 3; }));
        ASSERT_TRUE(Do(key('P', {VK_CONTROL}), [&] {
            return WindowText(playing) == "a" && !playButtonShown();
        })) << WindowText(playing);
        EXPECT_TRUE(WaitFor([&] {
            return WindowText(time) != "00:00" && SendMessageA(seek, TBM_GETPOS, 0, 0) > 0;
        })) << WindowText(time);
        EXPECT_TRUE(Do(key(VK_RIGHT, {VK_CONTROL}), [&] { return WindowText(playing) == "b"; }))
            << WindowText(playing);
        EXPECT_TRUE(stop());

        // 3. Full screen on the video and back; top-most on and off.
        Step("3. full screen, top-most");
        ASSERT_TRUE(Do(key(VK_RIGHT, {VK_CONTROL}), [&] { return WindowText(playing) == "movie"; }))
            << WindowText(playing);
        ASSERT_TRUE(Do(key('P', {VK_CONTROL}), shows("TPlayWindow")));
        HWND movie = reelo.Find("TPlayWindow");
        auto screenSized = [&] {
            RECT r;
            GetWindowRect(movie, &r);
            return r.left <= 0 && r.top <= 0 && r.right >= GetSystemMetrics(SM_CXSCREEN) &&
                   r.bottom >= GetSystemMetrics(SM_CYSCREEN);
        };
        auto topMost = [&] { return (GetWindowLongA(movie, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
        EXPECT_TRUE(Do(key(VK_RETURN, {VK_MENU}), [&] { return Checked(fullChk) && screenSized(); }));
        EXPECT_TRUE(Do(key(VK_RETURN, {VK_MENU}), [&] { return !Checked(fullChk) && !screenSized(); }));
        EXPECT_TRUE(Do(key('T', {VK_CONTROL}), [&] { return Checked(topChk) && topMost(); }));
        EXPECT_TRUE(Do(key('T', {VK_CONTROL}), [&] { return !Checked(topChk) && !topMost(); }));
        EXPECT_TRUE(stop());

        // 2. The temporary list named (a temporary list keeps no settings of
        // its own), a new list filled from the open-file dialog; each list's
        // own random and repeat come back after switching lists.
        Step("2. lists and their settings");
        auto nameList = [&](WORD vk, const std::string& name) {
            ASSERT_TRUE(Do(key(vk, {VK_CONTROL}), shows("TInputBox")));
            HWND input = reelo.Find("TInputBox");
            ASSERT_TRUE(Do(
                [&] {
                    Focus(input);
                    Press(VK_HOME);
                    Press(VK_END, {VK_SHIFT});
                    Type(name);
                    Press(VK_RETURN);
                },
                [&] { return WindowText(combo) == name; }))
                << WindowText(combo);
        };
        ASSERT_NO_FATAL_FAILURE(nameList('A', "List1"));
        ASSERT_NO_FATAL_FAILURE(nameList('N', "List2"));
        for (const char* name : {"c.wav", "d.wav"}) {
            const LRESULT before = count();
            ASSERT_TRUE(Do(menu('L', 'A'), shows("#32770")));
            HWND open = reelo.Find("#32770");
            ASSERT_TRUE(Do(
                [&] {
                    Focus(open);
                    Type(media + name);
                    Press(VK_RETURN);
                },
                gone(open)));
            ASSERT_TRUE(WaitFor([&] { return count() == before + 1; }));
        }
        // The current list's settings dialog: the row's override on.
        auto listSetting = [&](const std::string& list, const std::string& row) {
            ASSERT_TRUE(Do(menu('C', 'L'), shows("TPlayConfigDlg", list + "の設定")));
            HWND dlg = reelo.Find("TPlayConfigDlg");
            ASSERT_NO_FATAL_FAILURE(SetOn(dlg, row));
            ASSERT_TRUE(Do([&] { Click(ChildButton(dlg, "OK")); }, gone(dlg)));
        };
        auto selectList = [&](const std::string& name) {
            return Do(
                [&] {
                    Focus(main);
                    Click(combo);  // drops the list down
                    WaitFor([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 3000);
                    Press(VK_HOME);
                    for (int i = 0; i < ComboIndex(combo, name); ++i) Press(VK_DOWN);
                    Press(VK_RETURN);
                },
                [&] { return WindowText(combo) == name; });
        };
        // Random shown, repeat not: List2's own; the other way round: the first list's.
        auto list2Shown = [&] { return count() == 2 && Checked(randomChk) && !Checked(repeatChk); };
        auto firstShown = [&] { return count() == 3 && !Checked(randomChk) && Checked(repeatChk); };
        ASSERT_NO_FATAL_FAILURE(listSetting("List2", "ランダム再生"));
        EXPECT_TRUE(WaitFor([&] { return Checked(randomChk); }));
        ASSERT_TRUE(selectList("List1"));
        EXPECT_TRUE(WaitFor([&] { return count() == 3 && !Checked(randomChk); }));
        ASSERT_NO_FATAL_FAILURE(listSetting("List1", "リピート再生"));
        EXPECT_TRUE(WaitFor(firstShown));
        ASSERT_TRUE(selectList("List2"));
        EXPECT_TRUE(WaitFor(list2Shown));
        ASSERT_TRUE(selectList("List1"));
        EXPECT_TRUE(WaitFor(firstShown));
        ASSERT_TRUE(selectList("List2"));
        EXPECT_TRUE(WaitFor(list2Shown));
        EXPECT_TRUE(stop());  // a list chosen starts playing

        // 4. Repeat on in the global settings: List2's last track is
        // followed by its first.
        Step("4. global repeat");
        ASSERT_TRUE(Do(menu('C', 'A'), shows("TPlayConfigDlg", "グローバルの設定")));
        HWND globalDlg = reelo.Find("TPlayConfigDlg");
        ASSERT_NO_FATAL_FAILURE(SetOn(globalDlg, "リピート再生"));
        ASSERT_TRUE(Do([&] { Click(ChildButton(globalDlg, "OK")); }, gone(globalDlg)));
        EXPECT_TRUE(WaitFor([&] { return Checked(repeatChk); }));
        // In order, for this run only.
        ASSERT_TRUE(Do([&] { Click(randomChk); }, [&] { return !Checked(randomChk); }));
        const int line = static_cast<int>(SendMessageA(files, LB_GETITEMHEIGHT, 0, 0));
        ASSERT_TRUE(Do([&] { Click(files, 20, line + line / 2); },
                       [&] { return SendMessageA(files, LB_GETCURSEL, 0, 0) == 1; }));  // "d"
        EXPECT_TRUE(Do(key('P', {VK_CONTROL}), [&] {
            return WindowText(playing) == "d" && !playButtonShown();
        })) << WindowText(playing);
        EXPECT_TRUE(WaitFor([&] { return WindowText(playing) == "c"; })) << WindowText(playing);
        EXPECT_TRUE(stop());

        // 5. The list measured by the auto-adjust dialog.
        Step("5. auto-adjust");
        ASSERT_TRUE(Do(menu('L', 'C'), shows("TAutoAdjustDlg")));
        HWND adjust = reelo.Find("TAutoAdjustDlg");
        ASSERT_TRUE(Do([&] { Click(ChildButton(adjust, "開始")); }, shows("#32770"), 60000));
        HWND complete = reelo.WaitMessageBox("Complete!", 5000);
        ASSERT_NE(nullptr, complete) << ChildTexts(reelo.Find("#32770"));
        ASSERT_TRUE(Do(
            [&] {
                Focus(complete);
                Press(VK_RETURN);
            },
            gone(complete)));
        ASSERT_TRUE(Do([&] { Click(ChildButton(adjust, "閉じる")); }, gone(adjust)));

        // 6. Into the tray and back through the tray's left menu (0x4C8 is
        // what the shell sends for a press on the icon).
        Step("6. tray");
        ASSERT_TRUE(Do(key(VK_F4, {VK_CONTROL}), [&] { return !IsWindowVisible(main); }));
        HWND tray = reelo.Find("TTaskTrayHandle", "", true);
        ASSERT_NE(nullptr, tray);
        ASSERT_TRUE(Do(
            [&] {
                if (reelo.Find("#32768")) Press(VK_ESCAPE);
                PostMessageA(tray, 0x4C8, 1, WM_LBUTTONDOWN);
                WaitFor(shows("#32768"), 10000);
                Sleep(GetDoubleClickTime() + 200);  // a choice, not a double-click
                Press('V');
            },
            [&] { return IsWindowVisible(main); }));

        // 7. Moved by its title bar, then "終了" from the file menu.
        Step("7. moved, quit");
        Focus(main);
        RECT before;
        GetWindowRect(main, &before);
        ASSERT_TRUE(Do([&] { Drag(TitleBar(main), 40, 30); },
                       [&] {
                           GetWindowRect(main, &bounds);
                           return bounds.left != before.left && bounds.top != before.top;
                       }));
        ASSERT_TRUE(Do(menu('F', 'X'), [&] { return reelo.WaitExit(0) != 0xFFFFFFFF; }));
        ASSERT_EQ(0u, reelo.WaitExit());
    }

    // What was written: the settings and the measured levels.
    Step("files written");
    TSetting config;
    config.LoadFromFile(program + "config.ini");
    EXPECT_EQ("List2", ReadKey(config, ConfigKey::Recent));
    EXPECT_TRUE(ReadKey(config, ConfigKey::Repeat));
    TPlayList list2("List2", program);
    list2.LoadFromFile(program + "List2.lst");
    ASSERT_EQ(2, list2.FileCount());
    EXPECT_TRUE(ReadKey(list2.Setting(), ConfigKey::Random));
    for (int i = 0; i < 2; ++i) {
        const TWavLevels& expected = i == 0 ? c : d;
        EXPECT_EQ(expected.Max, ReadKey(list2.Files(i).Setting(), ConfigKey::MaxSample, -1)) << i;
        EXPECT_EQ(expected.Average, ReadKey(list2.Files(i).Setting(), ConfigKey::AverageSample, -1)) << i;
    }

    TPlayList list1("List1", program);
    list1.LoadFromFile(program + "List1.lst");
    EXPECT_EQ(3, list1.FileCount());
    EXPECT_TRUE(ReadKey(list1.Setting(), ConfigKey::Repeat));

    // The next start comes back as it was left.
    Step("next start");
    TReelo again(program, "");
    HWND main = again.WaitWindow("TMainForm", "Reelo");
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitFor([&] {
        return WindowText(GetDlgItem(main, idListCmb)) == "List2" &&
               SendMessageA(GetDlgItem(main, idFileListBox), LB_GETCOUNT, 0, 0) == 2;
    }));
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(bounds.left, r.left);
    EXPECT_EQ(bounds.top, r.top);
    EXPECT_EQ(bounds.right, r.right);
    EXPECT_EQ(bounds.bottom, r.bottom);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, again.WaitExit());
}

}  // namespace
