// The tray icon against the Wine prefix's shell, with its real hidden window.
// Mouse notifications are sent to that window the way the shell sends them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "tray/UTaskTrayIcon.h"
#include "tray/UTrayIcon.h"
#include "win/UApplication.h"
#include "win/UMenu.h"

namespace {

using Calls = std::vector<DWORD>;

// Records the shell calls and passes them on to the real shell; Fail may
// report one as failed (with an error code) after passing it on or not.
struct TShellLog {
    Calls Log;
    std::function<bool(DWORD message, NOTIFYICONDATAA* data, DWORD& error)> Fail;

    TTaskTrayIcon& Icon;
    explicit TShellLog(TTaskTrayIcon& icon) : Icon(icon)
    {
        icon.ShellNotify = [this](DWORD message, NOTIFYICONDATAA* data) -> BOOL {
            Log.push_back(message);
            DWORD error = 0;
            if (Fail && Fail(message, data, error)) {
                SetLastError(error);
                return FALSE;
            }
            return Shell_NotifyIconA(message, data);
        };
        icon.SetIcon(LoadIconA(nullptr, IDI_APPLICATION));
    }
    ~TShellLog() { Icon.ShellNotify = nullptr; }
};

std::string Repeat(const std::string& s, int n)
{
    std::string r;
    while (n-- > 0) r += s;
    return r;
}

// Removes the icon from the shell behind its owner's back.
bool DeleteBehindItsBack(const TTaskTrayIcon& icon)
{
    NOTIFYICONDATAA copy = icon.Data();
    return Shell_NotifyIconA(NIM_DELETE, &copy);
}

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<TApplication>();
        app->OnException = [this](const std::exception& e) { errors.push_back(e.what()); };
    }
    std::unique_ptr<TApplication> app;
    std::vector<std::string> errors;
};

TEST_F(TrayIcon, ShellAddsModifiesAndDeletesTheIcon)
{
    TTaskTrayIcon icon;
    icon.SetTip("Reelo");
    TShellLog shell(icon);
    ASSERT_TRUE(icon.AddIcon());
    EXPECT_TRUE(icon.AddIcon());  // already there: no second call

    const NOTIFYICONDATAA& d = icon.Data();
    ASSERT_TRUE(icon.NewShell());
    EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, d.cbSize);
    EXPECT_EQ(1u, d.uID);
    EXPECT_EQ(7u, d.uFlags);
    EXPECT_EQ(0x4C8u, d.uCallbackMessage);
    EXPECT_EQ(static_cast<DWORD>(NIS_SHAREDICON), d.dwState);
    EXPECT_STREQ("Reelo", d.szTip);

    // A top-level window (not message-only): it must hear the taskbar's broadcasts.
    HWND h = icon.Handle();
    ASSERT_EQ(h, d.hWnd);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof(cls));
    EXPECT_STREQ("TTaskTrayHandle", cls);
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(h, GA_PARENT));

    EXPECT_NO_THROW(icon.ModifyIcon());
    EXPECT_TRUE(icon.DeleteIcon());
    EXPECT_TRUE(icon.DeleteIcon());
    EXPECT_NO_THROW(icon.ModifyIcon());  // not registered: adds
    EXPECT_TRUE(icon.Registered());
    EXPECT_EQ((Calls{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD}), shell.Log);

    icon.DeleteIcon();
    icon.SetIcon(nullptr);
    EXPECT_FALSE(icon.AddIcon()) << "no icon handle: nothing to add";
}

TEST_F(TrayIcon, TipIsCutAtACharacterBoundary)
{
    TTaskTrayIcon icon;
    const std::string a = "あ";        // two bytes in code page 932
    icon.SetTip("x" + Repeat(a, 63));  // exactly 127 bytes: kept whole
    EXPECT_EQ("x" + Repeat(a, 63), icon.Tip());
    icon.SetTip("xy" + Repeat(a, 63));  // 128: the last character would be split
    EXPECT_EQ("xy" + Repeat(a, 62), icon.Tip());
    icon.SetTip(Repeat("z", 200));
    EXPECT_EQ(Repeat("z", 127), icon.Tip());
    icon.SetBalloonTitle("t" + Repeat(a, 32));  // 65 bytes into 63
    EXPECT_EQ("t" + Repeat(a, 31), std::string(icon.Data().szInfoTitle));

    // The shell is given the real characters of escaped names, as many
    // UTF-16 units as it has room for, never half a surrogate pair.
    icon.SetTip("<U+D55C><U+AD6D>.wav");
    EXPECT_STREQ(L"\uD55C\uAD6D.wav", icon.ShellData().szTip);
    icon.SetTip("x" + Repeat("<U+1F3B5>", 63));  // 127 units: kept whole
    EXPECT_EQ(127u, std::wcslen(icon.ShellData().szTip));
    icon.SetTip("xy" + Repeat("<U+1F3B5>", 63));  // 128: the last pair goes
    EXPECT_EQ(126u, std::wcslen(icon.ShellData().szTip));
}

TEST_F(TrayIcon, AddRetriesOnlyWhileTheShellTimesOut)
{
    struct TCase {
        const char* Name;
        std::function<bool(DWORD, NOTIFYICONDATAA*, DWORD&)> Fail;
        bool Added;
        size_t Waits, Adds;
        bool Raises;
    };
    const TCase cases[] = {
        {"timed out, but the shell took the icon: the modify succeeds",
         [](DWORD m, NOTIFYICONDATAA* d, DWORD& e) {
             e = ERROR_TIMEOUT;
             return m == NIM_ADD && Shell_NotifyIconA(m, d);
         },
         true, 1, 1, false},
        {"time-outs throughout: five retries, then no icon and no error",
         [](DWORD m, NOTIFYICONDATAA*, DWORD& e) {
             e = ERROR_TIMEOUT;
             return m != NIM_DELETE;
         },
         false, 5, 6, false},
        {"any other error: raised at once",
         [](DWORD, NOTIFYICONDATAA*, DWORD& e) {
             e = ERROR_ACCESS_DENIED;
             return true;
         },
         false, 0, 1, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTaskTrayIcon icon;
        TShellLog shell(icon);
        shell.Fail = c.Fail;
        Calls waits;
        icon.Wait = [&](DWORD ms) { waits.push_back(ms); };
        std::string error;
        try {
            EXPECT_EQ(c.Added, icon.AddIcon());
        } catch (const ENotifyIconError& e) {
            error = e.what();
        }
        EXPECT_EQ(c.Raises ? "タスクトレイにアイコンを登録できません。" : "", error);
        EXPECT_EQ(c.Added, icon.Registered());
        EXPECT_EQ(Calls(c.Waits, 2000), waits);
        EXPECT_EQ(c.Adds, static_cast<size_t>(std::count(shell.Log.begin(), shell.Log.end(), NIM_ADD)));
    }
}

TEST_F(TrayIcon, VanishedIconRaisesAndComesBackWithTheTaskbar)
{
    TTaskTrayIcon icon;
    TShellLog shell(icon);
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_TRUE(icon.AddIcon());
    ASSERT_TRUE(DeleteBehindItsBack(icon));
    try {
        icon.ModifyIcon();
        ADD_FAILURE() << "no error raised";
    } catch (const ENotifyIconError& e) {
        EXPECT_STREQ("タスクトレイのアイコンを変更できません。", e.what());
    }

    // A restarted taskbar gets the icon again; a broadcast while the icon
    // is still there changes nothing and reports no error.
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(icon.Registered());
    EXPECT_TRUE(DeleteBehindItsBack(icon)) << "the shell has the icon again";
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(icon.Registered());

    // An icon that was deleted stays away.
    icon.DeleteIcon();
    shell.Log.clear();
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(shell.Log.empty());
}

TEST_F(TrayIcon, NotificationsBecomeMenusAndEvents)
{
    TMenu left(true), right(true);
    TTrayIcon tray;
    tray.SetTipHelp("Reelo");
    tray.LButtonPopupMenu = &left;
    tray.RButtonPopupMenu = &right;
    std::vector<TMenu*> popups;
    tray.PopupHook = [&](TMenu& menu, POINT) {
        popups.push_back(&menu);
        return 0u;
    };
    std::vector<std::string> events;
    const char* names[] = {"L", "R", "M"};
    tray.OnDblClick = [&] { events.push_back("dbl"); };
    tray.OnMouseDown = [&](TMouseButton b, UINT, POINT) {
        events.push_back(names[int(b)] + std::string("down"));
    };
    tray.OnMouseUp = [&](TMouseButton b, UINT, POINT) {
        events.push_back(names[int(b)] + std::string("up"));
    };

    EXPECT_EQ(nullptr, tray.TaskTrayIcon().Handle()) << "nothing made before it shows";
    tray.SetVisible(true);
    ASSERT_TRUE(tray.TaskTrayIcon().Registered());
    EXPECT_STREQ("Reelo", tray.TaskTrayIcon().Data().szTip);
    HWND h = tray.TaskTrayIcon().Handle();
    for (UINT m : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK})
        SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, m);
    tray.AutoPopup = false;
    for (UINT m : {WM_RBUTTONDOWN, WM_MBUTTONDOWN}) SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, m);
    EXPECT_EQ((std::vector<TMenu*>{&right, &left}), popups);
    EXPECT_EQ((std::vector<std::string>{"Rup", "Lup", "dbl", "Rdown", "Mdown"}), events);
    EXPECT_EQ(1, SendMessageA(h, WM_QUERYENDSESSION, 0, 0));

    // A handler's exception reaches the application's handler, not Windows.
    tray.OnDblClick = [] { throw ENotifyIconError("テスト"); };
    SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(std::vector<std::string>{"テスト"}, errors);

    tray.SetTipHelp("停止");
    EXPECT_STREQ("停止", tray.TaskTrayIcon().Data().szTip);
    tray.SetVisible(false);
    EXPECT_FALSE(tray.TaskTrayIcon().Registered());
}

// The left menu opens on the first press of a double-click: a choice made
// right after that press, where it was, is the second click and redisplays;
// a later choice, or one from the right menu, runs its command.
TEST_F(TrayIcon, SecondClickOfADoubleClickIsNoChoice)
{
    TMenu left(true), right(true);
    std::vector<std::string> events;
    const UINT quitLeft = left.Add("終了(&X)", [&] { events.push_back("quit"); }).Id;
    const UINT quitRight = right.Add("終了(&X)", [&] { events.push_back("quit"); }).Id;
    TTrayIcon tray;
    tray.LButtonPopupMenu = &left;
    tray.RButtonPopupMenu = &right;
    tray.OnDblClick = [&] { events.push_back("dbl"); };
    DWORD delay = 0;
    tray.PopupHook = [&](TMenu& menu, POINT) {
        Sleep(delay);
        return &menu == &left ? quitLeft : quitRight;
    };
    tray.SetVisible(true);
    HWND h = tray.TaskTrayIcon().Handle();
    SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, WM_LBUTTONDOWN);
    EXPECT_EQ(std::vector<std::string>{"dbl"}, events);
    SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, WM_RBUTTONDOWN);
    EXPECT_EQ((std::vector<std::string>{"dbl", "quit"}), events);
    delay = GetDoubleClickTime() + 100;
    SendMessageA(h, WM_TASKTRAY_NOTIFY, 1, WM_LBUTTONDOWN);
    EXPECT_EQ((std::vector<std::string>{"dbl", "quit", "quit"}), events);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
