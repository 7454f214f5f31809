// TAutoAdjustDlg ("音量自動調整"): measures the ticked entries of a play list
// with the level analyser, several files at once (one analysis graph per
// core), stores each one's peak and mean level and its integrated loudness in
// its file tree, in list order as if measured one after another, and then
// gives every entry a base volume so that none is louder than the reference
// (a chosen track, or the quietest one) by the measure chosen: peak, average
// or loudness. "調整無効化" removes the base volumes of the whole list again.
//
// However the dialog closes ("閉じる", Esc, the title bar, destruction), the
// running measurement is abandoned and nothing more is measured or written.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/UCheckListBox.h"
#include "win/UControls.h"
#include "win/UForm.h"

class TAudioAnalyser;
class TAnalysisProgressDlg;
class TPlayList;
class TSetting;

// Which level a list is adjusted by.
enum class TAdjustMode { Peak, Average, Loudness };

// The entry's level for the mode as read through its file tree (file,
// playlist, global), as a linear amplitude (a loudness L in hundredths of
// LU gives 10^(L / 2000)); nullopt when no level of the chain holds it.
std::optional<double> AdjustLevel(TSetting& fileTree, TAdjustMode mode);

class TAutoAdjustDlg : public TForm {
public:
    TAutoAdjustDlg(HWND owner, TPlayList& list);
    ~TAutoAdjustDlg() override;

    // Modal; always mrCancel (the dialog has no OK result).
    int ShowModal();

    std::unique_ptr<TRadioGroup> AdjustModeGroup;  // MaxAdjustRadio, AvgAdjustRadio, LoudnessAdjustRadio
    HWND MaxAdjustRadio = nullptr;
    HWND AvgAdjustRadio = nullptr;
    HWND LoudnessAdjustRadio = nullptr;
    std::unique_ptr<TLabel> Label1;
    std::unique_ptr<TComboBox> BaseTrackCmb;  // a blank item, then one per entry
    std::unique_ptr<TCheckListBox> FileListChkLst;
    std::unique_ptr<TButton> OKBtn, DisadjustBtn, CancelBtn;

    TAdjustMode Mode() const;
    // True from "開始" until the adjustment is computed.
    bool Measuring() const { return FMeasuring; }
    TAnalysisProgressDlg& ProgressDlg() { return *FProgress; }
    // How many files are measured at once (at least 1); the number of
    // processors unless changed before "開始".
    int MaxGraphs = 1;

    void OKBtnClick();
    void DisadjustBtnClick();
    void CancelBtnClick();

    // Shows a message box (MessageBoxA owned by the dialog unless replaced,
    // as tests do).
    std::function<int(const std::string& text, UINT flags)> ShowMessage;
    // Once the modal dialog is on the screen.
    std::function<void(TAutoAdjustDlg&)> OnShow;

private:
    // Ticks the entries whose own tree lacks the measure of the mode.
    void CheckUnmeasured(TAdjustMode mode);
    void AdjustModeGroupClick();
    // One analysis graph and the file it measures.
    struct TSlot {
        std::unique_ptr<TAudioAnalyser> Analyser;
        int Job = -1;  // into FJobs; -1 when idle
        int Percent = 0;
    };
    // A ticked entry and, once it has ended, what was measured (nothing
    // when it could not be opened, failed or was cancelled).
    struct TJob {
        int Entry = 0;
        bool Ended = false;
        bool Measured = false;
        int MaxSample = 0, AverageSample = 0;
        std::optional<int> Loudness;
    };
    TSlot& AddSlot();
    // Starts the next files on the idle graphs; computes the adjustment once
    // every file has ended.
    void AnalyseNext();
    void Measured(TSlot& slot);
    void Ended(TSlot& slot);
    // Writes the results that follow the last one stored without a gap.
    void StoreResults();
    void ShowProgress();
    void CancelFiles();
    void ComputeAdjustment();
    // Ends the running files; nothing more is measured or written.
    void Abandon();
    void StopAll();

    TPlayList& FList;
    std::unique_ptr<TAnalysisProgressDlg> FProgress;
    std::vector<std::unique_ptr<TSlot>> FSlots;  // freed before the progress window
    std::vector<TJob> FJobs;
    size_t FStarted = 0;  // jobs handed to a graph
    size_t FStored = 0;   // jobs whose results are written
    size_t FEnded = 0;
    bool FMeasuring = false;
    bool FCancelling = false;
    int FShownJob = -1;                           // the job whose file the progress window names
    TAdjustMode FCheckedFor = TAdjustMode::Peak;  // the mode the ticks were last set for
};
