// The progress window of the level analyser: the file being measured (also
// the caption), a smooth progress bar 0..100 and a Cancel button. Non-modal;
// closing it by the title bar hides it and cancels like the button. It
// lives as long as its analyser and follows it (Follow).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "win/UControls.h"
#include "win/UForm.h"

class TAudioAnalyser;

class TAnalysisProgressDlg : public TForm {
public:
    TAnalysisProgressDlg();

    HWND GetCancelButton() const { return CancelBtn->Handle(); }
    // The window the dialog stays above (its owner); null for none.
    void SetParentWindow(HWND parent);
    // Caption and file label.
    void SetFileName(const std::wstring& fileName);
    void SetProgress(int percent) { ProgressBar->SetPosition(percent); }
    int GetProgress() const { return ProgressBar->Position(); }

    // The Cancel button or closing the window.
    std::function<void()> OnCancel;

    // Shows the analyser's progress from now on; Cancel stops it. The
    // analyser must not outlive the dialog while it follows it.
    void Follow(TAudioAnalyser& analyser);

private:
    void Cancel();
    std::unique_ptr<TLabel> FileLabel;
    std::unique_ptr<TProgressBar> ProgressBar;
    std::unique_ptr<TButton> CancelBtn;
};
