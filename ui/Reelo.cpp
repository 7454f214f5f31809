// Program entry of Reelo.
#include <windows.h>
#include <ole2.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "win/UApplication.h"
#include "ui/UCommandLine.h"
#include "ui/UDummyMainForm.h"
#include "ui/UMainForm.h"
#include "ui/UMediaKeys.h"
#include "ui/USingleInstance.h"
#include "win/UScreenText.h"

namespace {
// OLE for the GUI thread (a single-threaded apartment), before any window.
struct TOleInit {
    TOleInit() { OleInitialize(nullptr); }
    ~TOleInit() { OleUninitialize(); }
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The first start of the session is the player; a later one hands its
    // command line over and ends, unless the settings want a player per start.
    TPlayerLock lock;
    if (!lock.Owned() && !MultipleInstancesAllowed() && HandOverCommandLine(lock) == THandOver::Taken)
        return 0;

    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ GetTickCount());
    TOleInit ole;
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TDummyMainForm> dummy;
    std::unique_ptr<TMainForm> mainForm;
    std::vector<std::string> args = SplitCommandLine(CommandLineText(GetCommandLineW()));
    if (!args.empty()) args.erase(args.begin());
    try {
        app = std::make_unique<TApplication>();
        dummy = std::make_unique<TDummyMainForm>();
        app->MainForm = dummy.get();
        mainForm = std::make_unique<TMainForm>(args);
    } catch (const std::exception& e) {
        // A failure while the main window is being built ends the process.
        MessageBoxString(nullptr, e.what(), "Reelo", MB_OK | MB_ICONHAND);
        return 1;
    } catch (...) {
        MessageBoxA(nullptr, "不明なエラーが発生しました", "Reelo", MB_OK | MB_ICONHAND);
        return 1;
    }
    std::unique_ptr<TCommandLineReceiver> receiver;
    std::unique_ptr<TMediaKeys> mediaKeys;
    try {
        TMainForm& form = *mainForm;
        if (lock.Owned()) receiver = std::make_unique<TCommandLineReceiver>(form.PlayerHooks(), args);
        mediaKeys = std::make_unique<TMediaKeys>([&form](TMediaKey key) { form.MediaKey(key); });
        form.SetAppCommandHandler(
            [keys = mediaKeys.get()](int command) { return keys->AppCommand(command); });
    } catch (...) {
        app->HandleCurrentException();  // the player goes on without them
    }
    app->Run();
    // Later starts are not taken from here on; they wait for the lock,
    // which goes once the settings are saved.
    receiver.reset();
    mainForm->SetAppCommandHandler(nullptr);
    mediaKeys.reset();
    mainForm.reset();  // saves the settings (errors are shown by the application)
    dummy.reset();
    return 0;
}
