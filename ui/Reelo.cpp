// Program entry of Reelo.
#include <windows.h>
#include <ole2.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "settings/USetting.h"
#include "win/UApplication.h"
#include "ui/UCommandLine.h"
#include "ui/UDummyMainForm.h"
#include "ui/UMainForm.h"

namespace {
// OLE for the GUI thread (a single-threaded apartment), before any window.
struct TOleInit {
    TOleInit() { OleInitialize(nullptr); }
    ~TOleInit() { OleUninitialize(); }
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ GetTickCount());
    TOleInit ole;
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TDummyMainForm> dummy;
    std::unique_ptr<TMainForm> mainForm;
    try {
        app = std::make_unique<TApplication>();
        dummy = std::make_unique<TDummyMainForm>();
        app->MainForm = dummy.get();
        std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
        if (!args.empty()) args.erase(args.begin());
        mainForm = std::make_unique<TMainForm>(std::move(args));
    } catch (const std::exception& e) {
        // A failure while the main window is being built ends the process.
        MessageBoxA(nullptr, e.what(), "Reelo", MB_OK | MB_ICONHAND);
        return 1;
    } catch (...) {
        MessageBoxA(nullptr, "不明なエラーが発生しました", "Reelo", MB_OK | MB_ICONHAND);
        return 1;
    }
    app->Run();
    mainForm.reset();  // saves the settings (errors are shown by the application)
    dummy.reset();
    return 0;
}
