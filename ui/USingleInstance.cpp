#include "ui/USingleInstance.h"

#include <cstring>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UConfigLocation.h"
#include "win/UApplication.h"

namespace {

// WM_COPYDATA of a start: dwData is the tag; the data is the start's
// creation time (FILETIME, 8 bytes), then its current folder and its command
// line, each UTF-16 and ended by a 0.
constexpr ULONG_PTR HandOverTag = 0x52656C31;  // "Rel1"
constexpr DWORD MaxHandOverBytes = 1 << 20;
// The receiver's answers; 0: not now (the player is closing, or the data is not a start's).
constexpr LRESULT Taken = 1;
constexpr LRESULT OnItsOwn = 2;

// Starts this close together (arrival or creation) make one list.
constexpr DWORD TogetherMs = 500;
// While the player cannot take a command line (a dialog is up), it looks again this often.
constexpr DWORD RetryMs = 200;
constexpr UINT_PTR ApplyTimer = 1;

// Per session ("Local\"), and per user within it (a program run as another
// user in the same session has a player of its own).
std::wstring LockName()
{
    std::wstring name = L"Local\\Reelo.Player";
    wchar_t user[257] = {};
    DWORD size = 257;
    if (GetUserNameW(user, &size)) name += std::wstring(L".") + user;
    return name;
}

uint64_t Milliseconds(const FILETIME& t)
{
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
}

FILETIME ProcessCreationTime()
{
    FILETIME created = {}, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return created;
}

std::vector<BYTE> HandOverData()
{
    const FILETIME created = ProcessCreationTime();
    std::wstring folder(MAX_PATH, L'\0');
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]);
    if (n >= folder.size()) {
        folder.resize(n);
        n = GetCurrentDirectoryW(n, &folder[0]);
    }
    folder.resize(n < folder.size() ? n : 0);
    const std::wstring text = folder + L'\0' + GetCommandLineW() + L'\0';
    std::vector<BYTE> data(sizeof created + text.size() * sizeof(wchar_t));
    std::memcpy(data.data(), &created, sizeof created);
    std::memcpy(data.data() + sizeof created, text.data(), text.size() * sizeof(wchar_t));
    return data;
}

// The folder and the command line of a start's data; false for anything
// else that reached the window.
bool ReadHandOver(const COPYDATASTRUCT& cds, uint64_t& created, std::wstring& folder, std::wstring& line)
{
    if (cds.dwData != HandOverTag || !cds.lpData || cds.cbData < sizeof(FILETIME) + 2 * sizeof(wchar_t) ||
        cds.cbData > MaxHandOverBytes || (cds.cbData - sizeof(FILETIME)) % sizeof(wchar_t) != 0)
        return false;
    const BYTE* bytes = static_cast<const BYTE*>(cds.lpData);
    FILETIME time;
    std::memcpy(&time, bytes, sizeof time);
    std::wstring text((cds.cbData - sizeof time) / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], bytes + sizeof time, text.size() * sizeof(wchar_t));
    // Exactly two texts, each ended by its 0.
    const size_t end = text.find(L'\0');
    if (text.back() != L'\0' || end == text.size() - 1 || text.find(L'\0', end + 1) != text.size() - 1)
        return false;
    created = Milliseconds(time);
    folder = text.substr(0, end);
    line = text.substr(end + 1, text.size() - end - 2);
    return true;
}

// Whether the thread is in a menu or moving a window: the lists must not
// change under a menu that shows them.
bool InMenuOrMove()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE)) != 0;
}

}  // namespace

// --- the lock -------------------------------------------------------------------------

TPlayerLock::TPlayerLock()
{
    FMutex = CreateMutexW(nullptr, FALSE, LockName().c_str());
    if (FMutex)
        TryTake(0);
    else
        FOwned = true;
}

TPlayerLock::~TPlayerLock()
{
    if (!FMutex) return;
    if (FOwned) ReleaseMutex(FMutex);
    CloseHandle(FMutex);
}

bool TPlayerLock::TryTake(DWORD ms)
{
    if (!FOwned && FMutex) {
        // Abandoned: its owner ended without letting go (killed, or crashed).
        const DWORD r = WaitForSingleObject(FMutex, ms);
        FOwned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    return FOwned;
}

// --- a later start ----------------------------------------------------------------

bool MultipleInstancesAllowed()
{
    try {
        // The same files the player would load; config.ini is small.
        TSetting global;
        bool multiUser = false;
        LocateConfiguration(global, TConfigFolders::System(), multiUser);
        return ReadKey(global, ConfigKey::MultipleInstances);
    } catch (...) {
        return false;
    }
}

THandOver HandOverCommandLine(TPlayerLock& lock, DWORD timeoutMs)
{
    std::vector<BYTE> data = HandOverData();
    COPYDATASTRUCT cds = {HandOverTag, static_cast<DWORD>(data.size()), data.data()};
    wchar_t className[64] = {};
    MultiByteToWideChar(CP_ACP, 0, TCommandLineReceiver::ClassName, -1, className, 64);
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return THandOver::OnItsOwn;
        if (HWND player = FindWindowExW(HWND_MESSAGE, nullptr, className, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(player, &pid);
            AllowSetForegroundWindow(pid);  // so that it may come to the front
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG,
                                    timeoutMs - elapsed, &answer)) {
                if (answer == Taken) return THandOver::Taken;
                if (answer == OnItsOwn) return THandOver::OnItsOwn;
            }
        }
        // No player listening yet (it is starting), or it took nothing (it
        // is closing): wait for it, or for the lock to come free.
        if (lock.TryTake(50)) return THandOver::Owner;
    }
}

// --- the player -------------------------------------------------------------------

const char* const TCommandLineReceiver::ClassName = "TReeloPlayer";

TCommandLineReceiver::TCommandLineReceiver(TPlayerHooks hooks, const std::vector<std::string>& ownArgs)
    : FHooks(std::move(hooks)), FWindow(ClassName)
{
    FLast.Line = ParseCommandLineArgs(ownArgs);
    FLast.Empty = ownArgs.empty();
    FLast.Arrival = GetTickCount();
    FLast.Created = Milliseconds(ProcessCreationTime());
    FLastLine.AutoPlay = FLast.Line.AutoPlay;
    if (!FLast.Line.Paths.empty() || !FLast.Line.ListName.empty())
        FLastLine.ListName = FHooks.CurrentListName();
    FWindow.OnMessage = [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
        if (msg == WM_COPYDATA) {
            result = Receive(*reinterpret_cast<const COPYDATASTRUCT*>(lp));
            return true;
        }
        if (msg == WM_TIMER && wp == ApplyTimer) {
            KillTimer(FWindow.Handle(), ApplyTimer);
            ApplyWaiting();
            return true;
        }
        return false;
    };
}

TCommandLineReceiver::~TCommandLineReceiver() { FWindow.OnMessage = nullptr; }

bool TCommandLineReceiver::Together(const TStart& earlier, const TStart& later)
{
    // Explorer starts one process per file of a selection at once, but under
    // load they may reach us one by one: their creation times still tell.
    const uint64_t apart =
        later.Created > earlier.Created ? later.Created - earlier.Created : earlier.Created - later.Created;
    return later.Arrival - earlier.Arrival < TogetherMs || apart < TogetherMs;
}

LRESULT TCommandLineReceiver::Receive(const COPYDATASTRUCT& data)
{
    if (!Application || Application->Terminated() || !data.lpData) return 0;
    TStart s;
    std::wstring folder, line;
    if (!ReadHandOver(data, s.Created, folder, line)) return 0;
    if (FHooks.MultipleInstances && FHooks.MultipleInstances()) return OnItsOwn;
    // The same reading as the program's own command line; relative paths
    // belong to the folder the start was given them in.
    std::vector<std::string> args = SplitCommandLine(CommandLineText(line));
    if (!args.empty()) args.erase(args.begin());  // the program
    s.Empty = args.empty();
    s.Line = ParseCommandLineArgs(args);
    const std::string base = CommandLineText(folder);
    for (std::string& path : s.Line.Paths) path = AbsolutePath(path, base);
    s.Arrival = GetTickCount();
    // Forward at once, while the start's leave to take the foreground is
    // fresh (it may be gone by the time the command line is applied).
    const bool toFront = (!s.Line.Show || *s.Line.Show) && Ready();
    if (!FWaiting.empty() && Together(FWaiting.back().back(), s))
        FWaiting.back().push_back(std::move(s));
    else
        FWaiting.push_back({std::move(s)});
    // Applied once no other start has come for a while.
    SetTimer(FWindow.Handle(), ApplyTimer, TogetherMs, nullptr);
    if (toFront) {
        try {
            FHooks.BringToFront();
        } catch (...) {
            // Taken all the same; it comes forward when it is applied.
        }
    }
    return Taken;
}

bool TCommandLineReceiver::Ready() const
{
    return !FApplying && !Application->Terminated() && !InMenuOrMove() && (!FHooks.Ready || FHooks.Ready());
}

void TCommandLineReceiver::ApplyWaiting()
{
    while (!FWaiting.empty()) {
        const DWORD since = GetTickCount() - FWaiting.front().back().Arrival;
        if (since < TogetherMs) {
            SetTimer(FWindow.Handle(), ApplyTimer, TogetherMs - since, nullptr);
            return;
        }
        if (!Ready()) {
            SetTimer(FWindow.Handle(), ApplyTimer, RetryMs, nullptr);
            return;
        }
        const std::vector<TStart> group = std::move(FWaiting.front());
        FWaiting.erase(FWaiting.begin());
        FApplying = true;
        struct TDone {
            bool& Flag;
            ~TDone() { Flag = false; }
        } done{FApplying};
        try {
            Apply(group);
        } catch (...) {
            Application->HandleCurrentException();
        }
    }
}

void TCommandLineReceiver::Apply(const std::vector<TStart>& group)
{
    // The group's command lines as one; one that joins the last start goes
    // on in the list that one went into.
    const bool joins = !FLastLine.ListName.empty() && Together(FLast, group.front()) &&
                       FHooks.CurrentListName() == FLastLine.ListName;
    TCommandLine line;
    bool given = false;
    for (const TStart& s : group) {
        if (s.Empty) continue;
        line = given ? JoinCommandLines(std::move(line), s.Line) : s.Line;
        given = true;
    }
    FLast = group.back();
    if (given) {
        if (joins) line = JoinCommandLines(FLastLine, line);
        FHooks.ApplyCommandLine(CommandLineArgs(line));
        FLastLine = TCommandLine();
        FLastLine.AutoPlay = line.AutoPlay;
        if (!line.Paths.empty() || !line.ListName.empty()) FLastLine.ListName = FHooks.CurrentListName();
    }
    // A start with no arguments only brings the player to the front; /V-
    // keeps it in the tray.
    if (!line.Show || *line.Show) FHooks.BringToFront();
}
