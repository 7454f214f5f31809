#include "ui/UAnalysisProgressDlg.h"

#include "analysis/UAudioAnalyser.h"
#include "base/UCodePage.h"

TAnalysisProgressDlg::TAnalysisProgressDlg()
{
    TCreateParams p;
    p.ClassName = "TAnalysisProgressDlg";
    p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    p.ExStyle = WS_EX_DLGMODALFRAME;
    p.ClientWidth = 400;
    p.ClientHeight = 110;
    CreateHandle(p);
    CenterOnScreen();

    TControlArgs label(Handle(), 12, 12, 376, 20);
    label.Style = SS_PATHELLIPSIS;
    FileLabel = std::make_unique<TLabel>(label);
    TProgressBarArgs bar(Handle(), 12, 38, 376, 20);
    bar.Style = PBS_SMOOTH;
    ProgressBar = std::make_unique<TProgressBar>(bar);
    TControlArgs cancel(Handle(), 298, 72, 90, 26, "Cancel");
    cancel.Id = IDCANCEL;
    CancelBtn = std::make_unique<TButton>(cancel);
    CancelBtn->OnClick = [this] { Cancel(); };
    // Closing by the title bar hides the window (it lives on with its
    // analyser) and then cancels the file like the button; the owner may
    // start the next file, which shows the window again.
    OnClose = [this](TCloseAction& action) {
        action = TCloseAction::None;
        Hide();
        Cancel();
    };
}

void TAnalysisProgressDlg::Cancel()
{
    if (OnCancel) OnCancel();
}

void TAnalysisProgressDlg::SetParentWindow(HWND parent)
{
    SetWindowLongPtrA(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parent));
}

void TAnalysisProgressDlg::SetFileName(const std::wstring& fileName)
{
    const std::string name = CodePage::FromWide(fileName);
    SetCaption(name);
    FileLabel->SetText(name);
}

void TAnalysisProgressDlg::Follow(TAudioAnalyser& analyser)
{
    analyser.OnProgressOpened = [this](const std::wstring& fileName) {
        SetFileName(fileName);
        SetProgress(0);
    };
    analyser.OnProgressShown = [this](bool show) { show ? Show() : Hide(); };
    analyser.OnProgress = [this](int percent) { SetProgress(percent); };
    OnCancel = [&analyser] { analyser.StopAnalysis(); };
}
