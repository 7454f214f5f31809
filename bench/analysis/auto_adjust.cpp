// Measures every file of a folder the way the auto-adjust dialog does: a
// play list of them in the dialog, "開始", until its "Complete!". Prints the
// seconds from the click to the message, then one line per entry with what
// was stored: "<seconds>" and "<name> <max> <average> <loudness>".
//   auto_adjust.exe FOLDER [GRAPHS]   (GRAPHS: files measured at once,
//                                      default one per processor)
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "playlist/UPlayList.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UAutoAdjustDlg.h"
#include "win/UApplication.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(s.size() - 1);
    return s;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: auto_adjust FOLDER [GRAPHS]\n");
        return 2;
    }
    std::string folder = Narrow(argv[1]);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.wav").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do names.push_back(found.cFileName);
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        std::fprintf(stderr, "auto_adjust: no WAV files in %s\n", folder.c_str());
        return 1;
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 1;
    {
        TApplication app;
        int errors = 0;
        app.OnException = [&](const std::exception& e) {
            ++errors;
            std::fprintf(stderr, "auto_adjust: %s\n", e.what());
        };
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const std::string listDir = std::string(temp) + "reelo-auto-adjust\\";
        CreateDirectoryA(listDir.c_str(), nullptr);
        TPlayList list("AutoAdjust", listDir);
        for (const std::string& name : names) list.AddFile(folder + name);

        TAutoAdjustDlg dlg(nullptr, list);
        if (argc > 2) dlg.MaxGraphs = _wtoi(argv[2]);
        bool complete = false;
        dlg.ShowMessage = [&](const std::string&, UINT) {
            complete = true;
            return IDOK;
        };
        for (int i = 0; i < list.FileCount(); ++i) dlg.FileListChkLst->SetChecked(i, true);
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        SendMessageA(dlg.OKBtn->Handle(), BM_CLICK, 0, 0);
        MSG msg;
        while (!complete && !errors && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        QueryPerformanceCounter(&t1);
        if (complete) {
            std::printf("%.3f\n", double(t1.QuadPart - t0.QuadPart) / f.QuadPart);
            for (int i = 0; i < list.FileCount(); ++i) {
                TSetting& tree = list.Files(i).Setting();
                std::printf("%s %d %d %d\n", names[static_cast<size_t>(i)].c_str(),
                            ReadKey(tree, ConfigKey::MaxSample, -1),
                            ReadKey(tree, ConfigKey::AverageSample, -1),
                            ReadKey(tree, ConfigKey::Loudness, -1));
            }
            rc = errors ? 1 : 0;
        }
    }
    CoUninitialize();
    return rc;
}
