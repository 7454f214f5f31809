// Shared set-up of the controller tests: COM, the application object, a main
// window, a play list in a temporary folder and the one-second media.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "playback/UController.h"
#include "settings/UConfigKeys.h"
#include "tests/media/MediaTestSupport.h"
#include "win/UApplication.h"
#include "win/UForm.h"

class TTestMainForm : public TForm {
public:
    TTestMainForm()
    {
        TCreateParams p;
        p.Caption = "Main";
        CreateHandle(p);
    }
};

// The generated media as a Windows path in code page 932 (the build tree seen through Z:).
inline std::string MediaPath(const std::string& name)
{
    const char* bin = std::getenv("REELO_BINARY_DIR");
    std::string path = "Z:" + std::string(bin ? bin : "") + "/controller-media/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string TempListFolder()
{
    char buffer[MAX_PATH];
    GetTempPathA(MAX_PATH, buffer);
    std::string dir = std::string(buffer) + "reelo-controller-test\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

inline int ScreenSaverActive()
{
    BOOL v = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &v, 0);
    return v ? 1 : 0;
}

// The graph's audio volume in hundredths of a decibel (1 when there is none).
inline long GraphVolume(TController& c)
{
    TComPtr<IBasicAudio> audio;
    IMediaControl* graph = c.GetMovieWindow().GetGraph();
    if (graph) graph->QueryInterface(IID_IBasicAudio, audio.PutVoid());
    long v = 1;
    if (audio) audio->get_Volume(&v);
    return v;
}

class ControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        App = new TApplication();
        // An error reaching the application's handler fails the test instead of showing a box.
        App->OnException = [](const std::exception& e) { ADD_FAILURE() << "unhandled: " << e.what(); };
    }
    static void TearDownTestSuite()
    {
        delete App;
        App = nullptr;
        CoUninitialize();
    }

    void SetUp() override
    {
        MainForm = std::make_unique<TTestMainForm>();
        Controller = std::make_unique<TController>();
        ConnectMainForm();
        List = std::make_unique<TPlayList>("ControllerTest", TempListFolder());
    }
    void TearDown() override
    {
        Controller.reset();
        List.reset();
        MainForm.reset();
        PumpFor(50);
    }

    // The main window follows the controller's wish, as the real one does.
    void ConnectMainForm()
    {
        Controller->MainWindowShown = [this] { return MainForm->Visible(); };
        Controller->OnMainWindowWanted = [this](bool show) { MainForm->SetVisible(show); };
    }

    // Counts the ends of media while passing them on to the controller.
    void CountCompletions()
    {
        TPlayWindow& w = Controller->GetMovieWindow();
        auto original = w.OnComplete;
        w.OnComplete = [this, original] {
            Completed.push_back(Controller->CurrentIndex());
            original();
        };
    }

    static TApplication* App;
    std::unique_ptr<TTestMainForm> MainForm;
    std::unique_ptr<TController> Controller;
    std::unique_ptr<TPlayList> List;
    std::vector<int> Completed;  // the index that had ended, per end of media
};

inline TApplication* ControllerTest::App = nullptr;
