#include "ui/UAutoAdjustDlg.h"

#include <algorithm>
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

    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    MaxGraphs = system.dwNumberOfProcessors > 1 ? static_cast<int>(system.dwNumberOfProcessors) : 1;
    FProgress = std::make_unique<TAnalysisProgressDlg>();
    FProgress->SetParentWindow(form);
    FProgress->OnCancel = [this] { CancelFiles(); };

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

TAutoAdjustDlg::TSlot& TAutoAdjustDlg::AddSlot()
{
    FSlots.push_back(std::make_unique<TSlot>());
    TSlot& slot = *FSlots.back();
    slot.Analyser = std::make_unique<TAudioAnalyser>();
    slot.Analyser->OnProgress = [this, &slot](int percent) {
        slot.Percent = percent;
        ShowProgress();
    };
    slot.Analyser->OnAnalysed = [this, &slot](TAudioAnalyser&) { Measured(slot); };
    slot.Analyser->OnFinished = [this, &slot](TAudioAnalyser&) { Ended(slot); };
    return slot;
}

void TAutoAdjustDlg::Abandon()
{
    if (FMeasuring) {
        FMeasuring = false;
        StopAll();
    }
    if (FProgress) FProgress->Hide();
}

void TAutoAdjustDlg::StopAll()
{
    for (auto& slot : FSlots)
        if (slot->Job >= 0) slot->Analyser->StopAnalysis();
}

void TAutoAdjustDlg::OKBtnClick()
{
    OKBtn->SetEnabled(false);
    FJobs.clear();
    for (int i = 0; i < FList.FileCount(); ++i)
        if (FileListChkLst->Checked(i)) FJobs.push_back(TJob{i});
    FStarted = FStored = FEnded = 0;
    FShownJob = -1;
    FMeasuring = true;
    const size_t graphs = std::min(static_cast<size_t>(std::max(MaxGraphs, 1)), FJobs.size());
    while (FSlots.size() < graphs) AddSlot();
    AnalyseNext();
}

void TAutoAdjustDlg::AnalyseNext()
{
    try {
        const size_t graphs = static_cast<size_t>(std::max(MaxGraphs, 1));
        for (size_t k = 0; k < FSlots.size() && k < graphs; ++k) {
            TSlot& slot = *FSlots[k];
            while (FMeasuring && slot.Job < 0 && FStarted < FJobs.size()) {
                const int job = static_cast<int>(FStarted++);
                // A file that cannot be opened is skipped; its levels stay.
                if (slot.Analyser->OpenForAnalysis(CodePage::ToWide(FList.Files(FJobs[job].Entry).Path()))) {
                    slot.Job = job;
                    slot.Percent = 0;
                    slot.Analyser->StartAnalysis();
                } else {
                    FJobs[job].Ended = true;
                    ++FEnded;
                }
            }
        }
        if (!FMeasuring) return;
        StoreResults();
        if (FEnded == FJobs.size()) {
            ComputeAdjustment();
            return;
        }
        ShowProgress();
    } catch (...) {
        // A failing graph ends the run; the dialog can start again.
        FMeasuring = false;
        StopAll();
        FProgress->Hide();
        OKBtn->SetEnabled(true);
        throw;
    }
}

void TAutoAdjustDlg::Measured(TSlot& slot)
{
    if (!FMeasuring || slot.Job < 0) return;
    TJob& job = FJobs[static_cast<size_t>(slot.Job)];
    job.Measured = true;
    job.MaxSample = slot.Analyser->GetMaxSample();
    job.AverageSample = slot.Analyser->GetAverageSample();
    job.Loudness = slot.Analyser->GetLoudness();
}

// A file ended, measured or not: its graph takes the next one.
void TAutoAdjustDlg::Ended(TSlot& slot)
{
    if (slot.Job < 0) return;
    const size_t job = static_cast<size_t>(slot.Job);
    slot.Job = -1;
    if (!FMeasuring) return;
    FJobs[job].Ended = true;
    ++FEnded;
    if (!FCancelling) AnalyseNext();
}

// Cancel ends every file being measured at once, without a result; the
// files not yet started follow as before.
void TAutoAdjustDlg::CancelFiles()
{
    if (!FMeasuring) return;
    FCancelling = true;
    StopAll();
    FCancelling = false;
    AnalyseNext();
}

// The results are written in list order, each as soon as every earlier
// ticked file has ended, so the list changes as if the files had been
// measured one after another.
void TAutoAdjustDlg::StoreResults()
{
    for (; FStored < FJobs.size() && FJobs[FStored].Ended; ++FStored) {
        const TJob& job = FJobs[FStored];
        if (!job.Measured || job.Entry >= FList.FileCount()) continue;
        TSetting& tree = FList.Files(job.Entry).Setting();
        WriteKey(tree, ConfigKey::MaxSample, job.MaxSample);
        WriteKey(tree, ConfigKey::AverageSample, job.AverageSample);
        // A file too short or too quiet for a gated loudness has none,
        // whatever an earlier measurement of it found: an old value would
        // describe other contents than those just measured.
        if (job.Loudness)
            WriteKey(tree, ConfigKey::Loudness, *job.Loudness);
        else
            RemoveKey(tree, ConfigKey::Loudness);
    }
}

// The earliest file still being measured, and the progress over all files
// of the run.
void TAutoAdjustDlg::ShowProgress()
{
    if (!FMeasuring || FJobs.empty()) return;
    const TSlot* first = nullptr;
    long long done = static_cast<long long>(FEnded) * 100;
    for (const auto& slot : FSlots) {
        if (slot->Job < 0) continue;
        done += slot->Percent;
        if (!first || slot->Job < first->Job) first = slot.get();
    }
    if (!first) {
        FProgress->Hide();
        return;
    }
    if (first->Job != FShownJob) {
        FShownJob = first->Job;
        FProgress->SetFileName(
            CodePage::ToWide(FList.Files(FJobs[static_cast<size_t>(FShownJob)].Entry).Path()));
    }
    FProgress->SetProgress(static_cast<int>(done / static_cast<long long>(FJobs.size())));
    if (!FProgress->Visible()) FProgress->Show();
}

void TAutoAdjustDlg::ComputeAdjustment()
{
    FMeasuring = false;
    FShownJob = -1;
    FProgress->Hide();
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
