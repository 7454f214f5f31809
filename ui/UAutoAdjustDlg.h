// TAutoAdjustDlg ("音量自動調整"): measures the ticked entries of a play list
// one after another with the level analyser, stores each one's peak and mean
// level and its integrated loudness in its file tree, and then gives every
// entry a base volume so that none is louder than the reference (a chosen
// track, or the quietest one) by the measure chosen: peak, average or
// loudness. "調整無効化" removes the base volumes of the whole list again.
//
// However the dialog closes ("閉じる", Esc, the title bar, destruction), the
// running measurement is abandoned and nothing more is measured or written.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

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
    void AnalyseNext();
    void NextFile();
    void StoreResults();
    void ComputeAdjustment();
    // Stops listening to the analyser and ends its running file.
    void Abandon();

    TPlayList& FList;
    std::unique_ptr<TAnalysisProgressDlg> FProgress;
    std::unique_ptr<TAudioAnalyser> FAnalyser;  // freed before the progress window
    int FIndex = 0;
    bool FMeasuring = false;
    TAdjustMode FCheckedFor = TAdjustMode::Peak;  // the mode the ticks were last set for
};
