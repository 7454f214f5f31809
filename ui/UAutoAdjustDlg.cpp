#include "ui/UAutoAdjustDlg.h"

#include <cmath>
#include <vector>

#include "analysis/UAudioAnalyser.h"
#include "analysis/UVolumeAdjust.h"
#include "base/UCodePage.h"
#include "playlist/UPlayList.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UAnalysisProgressDlg.h"
#include "win/UDialogs.h"

namespace {

const int ClientWidth = 376;
const int ClientHeight = 352;

const TIntegerKey& LevelKey(TAdjustMode mode)
{
    switch (mode) {
        case TAdjustMode::Average:
            return ConfigKey::AverageSample;
        case TAdjustMode::Loudness:
            return ConfigKey::Loudness;
        default:
            return ConfigKey::MaxSample;
    }
}

// An entry counts as measured for the mode when its own tree holds this key:
// the peak stands for both sample levels, which are always stored together.
const TIntegerKey& MeasuredKey(TAdjustMode mode)
{
    return mode == TAdjustMode::Loudness ? ConfigKey::Loudness : ConfigKey::MaxSample;
}

}  // namespace

std::optional<double> AdjustLevel(TSetting& fileTree, TAdjustMode mode)
{
    const TIntegerKey& key = LevelKey(mode);
    for (TSetting* level = &fileTree; level; level = level->Parent()) {
        if (!KeyIsSet(*level, key)) continue;
        const int value = ReadKey(fileTree, key, 0);
        // Loudness is logarithmic: as an amplitude, the ratio of two levels
        // is 10^((r - b) / 20), the gain that brings b down to r.
        if (mode == TAdjustMode::Loudness) return std::pow(10.0, value / 2000.0);
        return value;
    }
    return std::nullopt;
}

TAutoAdjustDlg::TAutoAdjustDlg(HWND owner, TPlayList& list) : FList(list)
{
    // No WS_CLIPCHILDREN: the group box around the radio buttons relies on
    // the form painting its background.
    CreateHandle(TCreateParams::Dialog("TAutoAdjustDlg", "音量自動調整", ClientWidth, ClientHeight, owner));
    DialogKeys = true;
    CenterOnScreen();

    const HWND form = Handle();
    TRadioGroupArgs mode(form, 8, 2, 262, 88);
    mode.Items = {"最大音量で調整", "平均音量で調整", "ラウドネスで調整 (LUFS)"};
    AdjustModeGroup = std::make_unique<TRadioGroup>(mode);
    MaxAdjustRadio = AdjustModeGroup->Button(0);
    AvgAdjustRadio = AdjustModeGroup->Button(1);
    LoudnessAdjustRadio = AdjustModeGroup->Button(2);
    AdjustModeGroup->SetItemIndex(0);
    AdjustModeGroup->OnClick = [this] { AdjustModeGroupClick(); };

    Label1 = std::make_unique<TLabel>(TControlArgs(form, 8, 98, 262, 16, "基準曲"));
    BaseTrackCmb = std::make_unique<TComboBox>(TControlArgs(form, 8, 116, 262, 200));
    FileListChkLst = std::make_unique<TCheckListBox>(TControlArgs(form, 8, 146, 262, ClientHeight - 154));

    auto button = [&](const char* caption, int top, UINT id, DWORD style) {
        TControlArgs b(form, ClientWidth - 98, top, 90, 25, caption);
        b.Id = id;
        b.Style = style;
        return std::make_unique<TButton>(b);
    };
    OKBtn = button("開始", 8, IDOK, BS_DEFPUSHBUTTON);
    DisadjustBtn = button("調整無効化", 40, 0, 0);
    CancelBtn = button("閉じる", 72, IDCANCEL, 0);
    OKBtn->OnClick = [this] { OKBtnClick(); };
    DisadjustBtn->OnClick = [this] { DisadjustBtnClick(); };
    CancelBtn->OnClick = [this] { CancelBtnClick(); };
    OnClose = [this](TCloseAction&) { Abandon(); };
    OnShown = [this] {
        if (OnShow) OnShow(*this);
    };
    ShowMessage = [this](const std::string& text, UINT flags) {
        return ShowMessageBox(Handle(), text, {}, flags);
    };

    FProgress = std::make_unique<TAnalysisProgressDlg>();
    FAnalyser = std::make_unique<TAudioAnalyser>();
    FProgress->Follow(*FAnalyser);
    FProgress->SetParentWindow(form);
    FAnalyser->OnAnalysed = [this](TAudioAnalyser&) { StoreResults(); };
    FAnalyser->OnFinished = [this](TAudioAnalyser&) { NextFile(); };

    BaseTrackCmb->Add("");
    for (int i = 0; i < FList.FileCount(); ++i) {
        TMediaFile& entry = FList.Files(i);
        BaseTrackCmb->Add(entry.DisplayName());
        FileListChkLst->Add(entry.DisplayName());
    }
    CheckUnmeasured(TAdjustMode::Peak);
}

void TAutoAdjustDlg::CheckUnmeasured(TAdjustMode mode)
{
    FCheckedFor = mode;
    for (int i = 0; i < FList.FileCount(); ++i)
        FileListChkLst->SetChecked(i, !KeyIsSet(FList.Files(i).Setting(), MeasuredKey(mode)));
}

// Peak and average share their ticks; loudness has its own, since files
// measured before it was known have levels but no loudness. A run in
// progress keeps the ticks it started with.
void TAutoAdjustDlg::AdjustModeGroupClick()
{
    const TAdjustMode mode = Mode();
    if (!FMeasuring && (mode == TAdjustMode::Loudness) != (FCheckedFor == TAdjustMode::Loudness))
        CheckUnmeasured(mode);
}

TAutoAdjustDlg::~TAutoAdjustDlg() { Abandon(); }

int TAutoAdjustDlg::ShowModal()
{
    struct TAbandonAfter {
        TAutoAdjustDlg& Dlg;
        ~TAbandonAfter() { Dlg.Abandon(); }
    } after{*this};
    TForm::ShowModal();
    return mrCancel;
}

TAdjustMode TAutoAdjustDlg::Mode() const
{
    switch (AdjustModeGroup->ItemIndex()) {
        case 1:
            return TAdjustMode::Average;
        case 2:
            return TAdjustMode::Loudness;
        default:
            return TAdjustMode::Peak;
    }
}

void TAutoAdjustDlg::Abandon()
{
    if (!FAnalyser) return;
    FAnalyser->OnAnalysed = nullptr;
    FAnalyser->OnFinished = nullptr;
    if (FMeasuring) {
        FMeasuring = false;
        FAnalyser->StopAnalysis();
    }
}

void TAutoAdjustDlg::OKBtnClick()
{
    OKBtn->SetEnabled(false);
    FMeasuring = true;
    FIndex = 0;
    AnalyseNext();
}

void TAutoAdjustDlg::AnalyseNext()
{
    try {
        const int n = FList.FileCount();
        for (;;) {
            while (FIndex < n && !FileListChkLst->Checked(FIndex)) ++FIndex;
            if (FIndex >= n) {
                ComputeAdjustment();
                return;
            }
            // A file that cannot be opened is skipped; its levels stay.
            if (FAnalyser->OpenForAnalysis(CodePage::ToWide(FList.Files(FIndex).Path()))) {
                FAnalyser->StartAnalysis();
                return;  // on with NextFile when this file ends
            }
            ++FIndex;
        }
    } catch (...) {
        // A failing graph ends the run; the dialog can start again.
        FMeasuring = false;
        OKBtn->SetEnabled(true);
        throw;
    }
}

void TAutoAdjustDlg::NextFile()
{
    if (!FMeasuring) return;
    ++FIndex;
    AnalyseNext();
}

void TAutoAdjustDlg::StoreResults()
{
    if (!FMeasuring || FIndex >= FList.FileCount()) return;
    TSetting& tree = FList.Files(FIndex).Setting();
    WriteKey(tree, ConfigKey::MaxSample, FAnalyser->GetMaxSample());
    WriteKey(tree, ConfigKey::AverageSample, FAnalyser->GetAverageSample());
    // A file too short or too quiet for a gated loudness has none, whatever
    // an earlier measurement of it found: an old value would describe other
    // contents than those just measured.
    if (const std::optional<int> loudness = FAnalyser->GetLoudness())
        WriteKey(tree, ConfigKey::Loudness, *loudness);
    else
        RemoveKey(tree, ConfigKey::Loudness);
}

void TAutoAdjustDlg::ComputeAdjustment()
{
    FMeasuring = false;
    const TAdjustMode mode = Mode();
    std::vector<std::optional<double>> levels;
    for (int i = 0; i < FList.FileCount(); ++i) levels.push_back(AdjustLevel(FList.Files(i).Setting(), mode));
    // The blank first item (or none) asks for the quietest entry.
    const int reference = BaseTrackCmb->ItemIndex() > 0 ? BaseTrackCmb->ItemIndex() - 1 : -1;
    const std::vector<TBaseVolume> volumes = ComputeBaseVolumes(levels, reference);
    for (int i = 0; i < FList.FileCount(); ++i) {
        TSetting& tree = FList.Files(i).Setting();
        if (volumes[i].Action == TBaseVolume::Set)
            WriteKey(tree, ConfigKey::BaseVolume, volumes[i].Value);
        else if (volumes[i].Action == TBaseVolume::Remove)
            RemoveKey(tree, ConfigKey::BaseVolume);
    }
    OKBtn->SetEnabled(true);
    ShowMessage("Complete!", MB_OK);
}

void TAutoAdjustDlg::DisadjustBtnClick()
{
    for (int i = 0; i < FList.FileCount(); ++i) RemoveKey(FList.Files(i).Setting(), ConfigKey::BaseVolume);
    ShowMessage("ボリューム調整を無効にしました", MB_OK | MB_ICONINFORMATION);
}

void TAutoAdjustDlg::CancelBtnClick()
{
    Abandon();
    ModalResult = mrCancel;
}
