// The progress window of the level analyser: the file being measured, a
// progress bar 0..100 and a Cancel button. Non-modal; closing it cancels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class TAudioAnalyser;

class TAnalysisProgressDlg {
public:
    TAnalysisProgressDlg();
    ~TAnalysisProgressDlg();
    TAnalysisProgressDlg(const TAnalysisProgressDlg&) = delete;
    TAnalysisProgressDlg& operator=(const TAnalysisProgressDlg&) = delete;

    HWND GetHandle() const { return Handle; }
    HWND GetCancelButton() const { return CancelBtn; }
    // The window the dialog stays above (its owner); null for none.
    void SetParentWindow(HWND parent);
    // Caption and file label.
    void SetFileName(const std::wstring& fileName);
    void SetProgress(int percent);
    int GetProgress() const;
    void Show();
    void Hide();
    bool IsShown() const;

    // The Cancel button or closing the window.
    std::function<void()> OnCancel;

    // Shows the analyser's progress from now on; Cancel stops it. The
    // analyser must not outlive the dialog while it follows it.
    void Follow(TAudioAnalyser& analyser);

private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND Handle = nullptr;
    HWND FileLabel = nullptr;
    HWND ProgressBar = nullptr;
    HWND CancelBtn = nullptr;
};
