#include "ui/UPlayConfigDlg.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UPlayConfigRules.h"
#include "win/UApplication.h"

// --- The dialogs' display-mode list ----------------------------------------------

namespace {

std::mutex ModeListLock;
std::shared_ptr<const TDisplayModeList> ModeList;
std::function<std::unique_ptr<TDisplayModeList>()> ModeSource;

}  // namespace

std::shared_ptr<const TDisplayModeList> DialogModeList()
{
    std::lock_guard<std::mutex> g(ModeListLock);
    return ModeList;
}

void SetDialogModeSource(std::function<std::unique_ptr<TDisplayModeList>()> source)
{
    std::lock_guard<std::mutex> g(ModeListLock);
    ModeSource = std::move(source);
}

void ResetDialogModeList()
{
    std::lock_guard<std::mutex> g(ModeListLock);
    ModeList.reset();
}

TDiplayModeCreator::TDiplayModeCreator(std::function<void()> onTerminate)
{
    std::function<std::unique_ptr<TDisplayModeList>()> source;
    {
        std::lock_guard<std::mutex> g(ModeListLock);
        source = ModeSource;
    }
    // The thread touches nothing but the new list until it publishes it.
    FThread = std::thread([source, onTerminate] {
        std::unique_ptr<TDisplayModeList> list;
        try {
            list = source ? source() : std::make_unique<TDisplayModeList>();
        } catch (...) {
            list.reset();  // no list this time; the next dialog tries again
        }
        if (list) {
            std::lock_guard<std::mutex> g(ModeListLock);
            if (!ModeList) ModeList = std::move(list);
        }
        if (Application) Application->Post(onTerminate);
    });
}

TDiplayModeCreator::~TDiplayModeCreator() { WaitFor(); }

void TDiplayModeCreator::WaitFor()
{
    if (FThread.joinable()) FThread.join();
}

// --- Small parts -------------------------------------------------------------------

namespace {

// Up/down buttons without a buddy; each click is a step of its own.
class TUpDownButtons : public TControl {
public:
    explicit TUpDownButtons(const TControlArgs& args)
    {
        Create(UPDOWN_CLASSA, args, UDS_ARROWKEYS);
        SendMessageA(Handle(), UDM_SETRANGE32, 0, 100);
        SendMessageA(Handle(), UDM_SETPOS32, 0, 50);
    }
    std::function<void(bool up)> OnClick;
    bool Notify(NMHDR& header, LRESULT& result) override
    {
        if (header.code != static_cast<UINT>(UDN_DELTAPOS)) return false;
        const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
        result = TRUE;  // the control's own position never moves
        if (OnClick && change.iDelta != 0) OnClick(change.iDelta > 0);
        return true;
    }
};

// A tree that cannot be collapsed. A collapse is refused; where the control
// goes on regardless (Wine's does), the item is expanded again at once.
class TFixedTree : public TTreeView {
public:
    explicit TFixedTree(const TControlArgs& args) : TTreeView(args)
    {
        const LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE);
        SetWindowLongPtrA(Handle(), GWL_STYLE, style & ~static_cast<LONG_PTR>(TVS_HASBUTTONS));
    }
    bool Notify(NMHDR& header, LRESULT& result) override
    {
        // Both character sets carry the action and the item at the same place.
        const auto& tv = reinterpret_cast<const NMTREEVIEWA&>(header);
        if (header.code == TVN_ITEMEXPANDINGA || header.code == TVN_ITEMEXPANDINGW) {
            result = (tv.action & TVE_COLLAPSE) ? TRUE : FALSE;
            return true;
        }
        if (header.code == TVN_ITEMEXPANDEDA || header.code == TVN_ITEMEXPANDEDW) {
            if (tv.action & TVE_COLLAPSE)
                PostMessageA(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(tv.itemNew.hItem));
            result = 0;
            return true;
        }
        return TTreeView::Notify(header, result);
    }
};

// Reads the level alone: its parent link is cut while this lives.
class TDetachedLevel {
public:
    explicit TDetachedLevel(TSetting& setting) : FSetting(setting), FParent(setting.Parent())
    {
        FSetting.SetParent(nullptr);
    }
    ~TDetachedLevel() { FSetting.SetParent(FParent); }

private:
    TSetting& FSetting;
    TSetting* FParent;
};

const int ClientWidth = 562;
const int ClientHeight = 400;
const int ValueLeft = 172;  // where the value controls of a row begin on a page

enum { PageCommon = 0, PageFullScreen = 1, PageWindow = 2 };

// The number in a spin edit without limits; 0 when the text is none.
int32_t PositionValue(const TSpinEdit& spin)
{
    const std::string text = spin.Text();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return 0;
    return static_cast<int32_t>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

void EnableButtons(TRadioGroup& group, bool enabled)
{
    for (int i = 0; i < group.Count(); ++i) EnableWindow(group.Button(i), enabled);
}

}  // namespace

struct TPlayConfigDlg::TFlagRow {
    TCheckBox* Chk;
    TRadioGroup* Group;
    const TFlagKey* Key;
    bool Inverted;  // "オン" stores false
    bool AbsentOn;  // "オン" when the level does not hold the key
    int Page;
};

// --- The dialog --------------------------------------------------------------------

TPlayConfigDlg::TPlayConfigDlg(HWND owner, TSetting& setting)
    : FSetting(setting), FAlive(std::make_shared<TPlayConfigDlg*>(this))
{
    if (!DialogModeList()) {
        std::weak_ptr<TPlayConfigDlg*> alive = FAlive;
        FCreator = std::make_unique<TDiplayModeCreator>([alive] {
            if (auto self = alive.lock()) (*self)->ModeListReady();
        });
    }

    TCreateParams p = TCreateParams::Dialog("TPlayConfigDlg", "設定", ClientWidth, ClientHeight, owner);
    p.Style |= WS_CLIPCHILDREN;
    p.ExStyle |= WS_EX_CONTROLPARENT;
    CreateHandle(p);
    DialogKeys = true;
    CenterOnScreen();

    PageTree = std::make_unique<TFixedTree>(TControlArgs(Handle(), 8, 8, 164, 346));
    TPageHostArgs pages(Handle(), 180, 8, 374, 346);
    pages.HideTabs = true;
    Pages = std::make_unique<TPageHost>(pages);
    CreateCommonPage(Pages->AddPage("共通"));
    CreateFullScreenPage(Pages->AddPage("フルスクリーン"));
    CreateWindowPage(Pages->AddPage("ウインドウ"));
    Pages->SetActivePage(PageCommon);

    HTREEITEM root = PageTree->Add(nullptr, "共通", PageCommon);
    PageTree->Add(root, "フルスクリーンモード", PageFullScreen);
    PageTree->Add(root, "ウインドウモード", PageWindow);
    PageTree->Expand(root);
    PageTree->Select(root);
    PageTree->OnChange = [this](LPARAM page) {
        Pages->SetActivePage(static_cast<int>(page));
        UpdateControls();
    };

    auto button = [&](const char* caption, int left, UINT id, DWORD style) {
        TControlArgs b(Handle(), left, ClientHeight - 34, 85, 26, caption);
        b.Id = id;
        b.Style = style;
        return std::make_unique<TButton>(b);
    };
    OKBtn = button("OK", ClientWidth - 186, IDOK, BS_DEFPUSHBUTTON);
    CancelBtn = button("キャンセル", ClientWidth - 93, IDCANCEL, 0);
    OKBtn->OnClick = [this] { ModalResult = mrOK; };
    CancelBtn->OnClick = [this] { ModalResult = mrCancel; };
    OnShown = [this] {
        if (OnShow) OnShow(*this);
    };

    if (auto modes = DialogModeList()) {
        FModes = modes;
        FillModeList();
    }
    Load();
    UpdateControls();
    if (Application) FIdleHandler = Application->AddIdleHandler([this] { UpdateControls(); });
}

TPlayConfigDlg::~TPlayConfigDlg()
{
    if (FIdleHandler && Application) Application->RemoveIdleHandler(FIdleHandler);
    FAlive.reset();
    FCreator.reset();  // waits for a worker still running
}

int TPlayConfigDlg::ShowModal() { return TForm::ShowModal() == mrOK ? mrOK : mrCancel; }

// A row's check box at the left of the page.
namespace {
std::unique_ptr<TCheckBox> RowCheck(HWND page, int top, const char* caption)
{
    return std::make_unique<TCheckBox>(TCheckBoxArgs(page, 8, top, ValueLeft - 10, 20, caption));
}

std::unique_ptr<TRadioGroup> PairGroup(HWND page, int top, int height, const char* first, const char* second)
{
    TRadioGroupArgs a(page, ValueLeft, top, 188, height);
    a.Items = {first, second};
    a.Columns = 2;
    a.ItemHeight = 18;
    return std::make_unique<TRadioGroup>(a);
}

std::unique_ptr<TSpinEdit> Spin(HWND page, int left, int top, int width, int min, int max)
{
    TSpinEditArgs a(page, left, top, width, 22);
    a.Min = min;
    a.Max = max;
    a.Value = min > 0 ? min : 0;
    return std::make_unique<TSpinEdit>(a);
}

std::unique_ptr<TLabel> Label(HWND page, int left, int top, int width, const char* text)
{
    return std::make_unique<TLabel>(TControlArgs(page, left, top, width, 16, text));
}
}  // namespace

void TPlayConfigDlg::CreateCommonPage(HWND page)
{
    struct TDef {
        std::unique_ptr<TCheckBox>* Chk;
        std::unique_ptr<TRadioGroup>* Group;
        const char* Caption;
        const TFlagKey* Key;
        bool Inverted;
    };
    const TDef rows[] = {
        {&FullScreenChk, &FullScreenGroup, "フルスクリーン再生", &ConfigKey::FullScreen, false},
        {&StopSaverChk, &StopSaverGroup, "スクリーンセーバー抑制", &ConfigKey::StopScreenSaver, false},
        {&ShowMovieWindowChk, &ShowMovieWindowGroup, "常に動画ウインドウ表示", &ConfigKey::ShowMovieWindow,
         false},
        {&HideControlWindowChk, &HideControlWindowGroup, "メインウインドウ非表示",
         &ConfigKey::ShowControllWindow, true},
        {&RandomChk, &RandomGroup, "ランダム再生", &ConfigKey::Random, false},
        {&RepeatChk, &RepeatGroup, "リピート再生", &ConfigKey::Repeat, false},
        {nullptr, nullptr, "ボリューム", nullptr, false},
        {&MuteChk, &MuteGroup, "ミュート", &ConfigKey::Mute, false},
    };
    int top = 4;
    for (const TDef& d : rows) {
        if (!d.Chk) {
            VolumeChk = RowCheck(page, top + 10, d.Caption);
            VolumeEdit = std::make_unique<TEdit>(TControlArgs(page, ValueLeft, top + 8, 80, 22));
            VolumeEdit->OnChange = [this] { VolumeEditChange(); };
            auto ud = std::make_unique<TUpDownButtons>(TControlArgs(page, ValueLeft + 80, top + 8, 16, 22));
            ud->OnClick = [this](bool up) { VolumeUpDown(up); };
            VolumeUD = std::move(ud);
            FStatics.push_back(Label(page, ValueLeft + 102, top + 11, 20, "%"));
        } else {
            *d.Chk = RowCheck(page, top + 10, d.Caption);
            *d.Group = PairGroup(page, top, 38, "オン", "オフ");
            // Shown when the level does not hold the key: the key's default;
            // for the inverted row "オフ" (the main window shown).
            FFlagRows.push_back({d.Chk->get(), d.Group->get(), d.Key, d.Inverted,
                                 !d.Inverted && d.Key->Default.value_or(false), PageCommon});
        }
        top += 40;
    }
}

void TPlayConfigDlg::CreateFullScreenPage(HWND page)
{
    FullScreenStretchChk = RowCheck(page, 14, "解像度にあわせて伸縮");
    FUllScreenStretchGroup = PairGroup(page, 4, 38, "オン", "オフ");
    FFlagRows.push_back({FullScreenStretchChk.get(), FUllScreenStretchGroup.get(),
                         &ConfigKey::FullScreenStretchImage, false, true, PageFullScreen});
    FullScreenKeepAspectChk = RowCheck(page, 54, "縦横比保持");
    FullScreenKeepAspectGroup = PairGroup(page, 44, 38, "オン", "オフ");
    FFlagRows.push_back({FullScreenKeepAspectChk.get(), FullScreenKeepAspectGroup.get(),
                         &ConfigKey::FullScreenKeepAspect, false, true, PageFullScreen});

    DisplayModeChk = RowCheck(page, 94, "解像度");
    DisplayModeGroup = PairGroup(page, 84, 164, "自動", "固定");
    DisplayModeLabel = Label(page, ValueLeft + 10, 126, 168, "解像度、色数");
    DisplayModeCmb = std::make_unique<TComboBox>(TControlArgs(page, ValueLeft + 10, 144, 168, 220));
    DisplayModeCmb->OnChange = [this] { FillRates(); };
    RefreshRateLabel = Label(page, ValueLeft + 10, 180, 168, "リフレッシュレート");
    RefreshRateCmb = std::make_unique<TComboBox>(TControlArgs(page, ValueLeft + 10, 198, 168, 160));
}

void TPlayConfigDlg::CreateWindowPage(HWND page)
{
    WindowStretchImageChk = RowCheck(page, 14, "ウインドウにあわせて伸縮");
    WindowStretchImageGroup = PairGroup(page, 4, 38, "オン", "オフ");
    FFlagRows.push_back({WindowStretchImageChk.get(), WindowStretchImageGroup.get(),
                         &ConfigKey::WindowStretchImage, false, false, PageWindow});
    WindowKeepAspectRatioChk = RowCheck(page, 54, "縦横比保持");
    WindowKeepAspectRaioGroup = PairGroup(page, 44, 38, "オン", "オフ");
    FFlagRows.push_back({WindowKeepAspectRatioChk.get(), WindowKeepAspectRaioGroup.get(),
                         &ConfigKey::WindowKeepAspect, false, true, PageWindow});

    StretchRatioChk = RowCheck(page, 88, "拡大率");
    StretchRatioSpin = Spin(page, ValueLeft, 86, 70, 10, 1000);
    UDACCEL step = {0, 10};
    SendMessageA(StretchRatioSpin->UpDown(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    FStatics.push_back(Label(page, ValueLeft + 74, 89, 20, "%"));

    WindowPositionChk = RowCheck(page, 128, "ウインドウ表示位置");
    WindowPositionGroup = PairGroup(page, 118, 72, "画面中央", "固定");
    WindowPositionLeftLabel = Label(page, ValueLeft + 10, 163, 30, "左端");
    WindowPositionLeftSpin = Spin(page, ValueLeft + 40, 160, 52, INT_MIN, INT_MAX);
    WindowPositionTopLabel = Label(page, ValueLeft + 98, 163, 30, "上端");
    WindowPositionTopSpin = Spin(page, ValueLeft + 128, 160, 52, INT_MIN, INT_MAX);

    TopMostChk = RowCheck(page, 206, "最前面表示");
    TopMostGroup = PairGroup(page, 196, 38, "オン", "オフ");
    FFlagRows.push_back(
        {TopMostChk.get(), TopMostGroup.get(), &ConfigKey::TopMost, false, false, PageWindow});

    LayerWaitChk = RowCheck(page, 244, "半透明化待ち時間");
    LayerWaitSpn = Spin(page, ValueLeft, 242, 70, 0, 10000);
    FStatics.push_back(Label(page, ValueLeft + 74, 245, 50, "ミリ秒"));
    LayerParcentageChk = RowCheck(page, 276, "半透明時透過率");
    LayerParcentageSpn = Spin(page, ValueLeft, 274, 70, 0, 100);
    FStatics.push_back(Label(page, ValueLeft + 74, 277, 20, "%"));
}

void TPlayConfigDlg::Load()
{
    TDetachedLevel alone(FSetting);
    for (const TFlagRow& row : FFlagRows) {
        row.Chk->SetChecked(KeyIsSet(FSetting, *row.Key));
        const bool value = ReadKey(FSetting, *row.Key, row.Inverted ? !row.AbsentOn : row.AbsentOn);
        row.Group->SetItemIndex(value != row.Inverted ? 0 : 1);
    }

    VolumeChk->SetChecked(KeyIsSet(FSetting, ConfigKey::BaseVolume));
    SetVolumeText(PlayConfig::FormatVolume(ReadKey(FSetting, ConfigKey::BaseVolume) * 100.0));

    DisplayModeChk->SetChecked(
        KeyIsSet(FSetting, ConfigKey::FullScreenAutoDetect) ||
        (KeyIsSet(FSetting, ConfigKey::FullScreenWidth) && KeyIsSet(FSetting, ConfigKey::FullScreenHeight)));
    DisplayModeGroup->SetItemIndex(ReadKey(FSetting, ConfigKey::FullScreenAutoDetect) ? 0 : 1);
    FPendingMode.Width = ReadKey(FSetting, ConfigKey::FullScreenWidth);
    FPendingMode.Height = ReadKey(FSetting, ConfigKey::FullScreenHeight);
    FPendingMode.RefreshRate = ReadKey(FSetting, ConfigKey::FullScreenRefreshRate);
    FPendingMode.BitPerPixel = ReadKey(FSetting, ConfigKey::FullScreenBitPerPixel, 0);  // any depth
    if (FModes)
        SelectMode(FPendingMode.Width, FPendingMode.Height, FPendingMode.RefreshRate,
                   FPendingMode.BitPerPixel);

    StretchRatioChk->SetChecked(KeyIsSet(FSetting, ConfigKey::StretchRatio));
    StretchRatioSpin->SetValue(ReadKey(FSetting, ConfigKey::StretchRatio));
    WindowPositionChk->SetChecked(KeyIsSet(FSetting, ConfigKey::PlayCenter) ||
                                  KeyIsSet(FSetting, ConfigKey::MovieLeft) ||
                                  KeyIsSet(FSetting, ConfigKey::MovieTop));
    WindowPositionGroup->SetItemIndex(ReadKey(FSetting, ConfigKey::PlayCenter) ? 0 : 1);
    WindowPositionLeftSpin->SetValue(ReadKey(FSetting, ConfigKey::MovieLeft, 0));
    WindowPositionTopSpin->SetValue(ReadKey(FSetting, ConfigKey::MovieTop, 0));
    LayerWaitChk->SetChecked(KeyIsSet(FSetting, ConfigKey::LayerWait));
    LayerWaitSpn->SetValue(ReadKey(FSetting, ConfigKey::LayerWait));
    LayerParcentageChk->SetChecked(KeyIsSet(FSetting, ConfigKey::LayerAlpha));
    FShownAlpha = ReadKey(FSetting, ConfigKey::LayerAlpha);
    LayerParcentageSpn->SetValue(PlayConfig::AlphaToPercent(FShownAlpha));
}

void TPlayConfigDlg::Save()
{
    for (const TFlagRow& row : FFlagRows) {
        if (row.Page != PageCommon) continue;
        if (row.Chk->Checked())
            WriteKey(FSetting, *row.Key, (row.Group->ItemIndex() == 0) != row.Inverted);
        else
            RemoveKey(FSetting, *row.Key);
    }
    if (VolumeChk->Checked()) {
        // Only a volume the edit accepted; any other text (a stored gain
        // above 1 shown as it is) leaves the level's value alone.
        double percent;
        if (PlayConfig::ParseVolume(VolumeEdit->Text(), percent))
            WriteKey(FSetting, ConfigKey::BaseVolume, percent / 100.0);
    } else {
        RemoveKey(FSetting, ConfigKey::BaseVolume);
    }

    for (const TFlagRow& row : FFlagRows) {
        if (row.Page != PageFullScreen) continue;
        if (row.Chk->Checked())
            WriteKey(FSetting, *row.Key, row.Group->ItemIndex() == 0);
        else
            RemoveKey(FSetting, *row.Key);
    }
    if (DisplayModeChk->Checked()) {
        // The five keys go together: without a listed mode to take them
        // from (the list not built yet, or empty) the level keeps its own.
        const int index = DisplayModeCmb->ItemIndex();
        if (FModes && index >= 0 && static_cast<size_t>(index) < FModes->Count()) {
            const TDisplayMode& mode = (*FModes)[static_cast<size_t>(index)];
            const int rate = RefreshRateCmb->ItemIndex();
            WriteKey(FSetting, ConfigKey::FullScreenAutoDetect, DisplayModeGroup->ItemIndex() == 0);
            WriteKey(FSetting, ConfigKey::FullScreenWidth, mode.Width);
            WriteKey(FSetting, ConfigKey::FullScreenHeight, mode.Height);
            WriteKey(FSetting, ConfigKey::FullScreenBitPerPixel, mode.BitsPerPixel);
            WriteKey(FSetting, ConfigKey::FullScreenRefreshRate,
                     rate >= 0 && static_cast<size_t>(rate) < FRates.size() ? FRates[rate] : 0);
        }
    } else {
        RemoveKey(FSetting, ConfigKey::FullScreenAutoDetect);
        RemoveKey(FSetting, ConfigKey::FullScreenWidth);
        RemoveKey(FSetting, ConfigKey::FullScreenHeight);
        RemoveKey(FSetting, ConfigKey::FullScreenBitPerPixel);
        RemoveKey(FSetting, ConfigKey::FullScreenRefreshRate);
    }

    for (const TFlagRow& row : FFlagRows) {
        if (row.Page != PageWindow || row.Key == &ConfigKey::TopMost) continue;
        if (row.Chk->Checked())
            WriteKey(FSetting, *row.Key, row.Group->ItemIndex() == 0);
        else
            RemoveKey(FSetting, *row.Key);
    }
    if (StretchRatioChk->Checked())
        WriteKey(FSetting, ConfigKey::StretchRatio, StretchRatioSpin->Value());
    else
        RemoveKey(FSetting, ConfigKey::StretchRatio);
    if (WindowPositionChk->Checked()) {
        WriteKey(FSetting, ConfigKey::PlayCenter, WindowPositionGroup->ItemIndex() == 0);
        WriteKey(FSetting, ConfigKey::MovieLeft, PositionValue(*WindowPositionLeftSpin));
        WriteKey(FSetting, ConfigKey::MovieTop, PositionValue(*WindowPositionTopSpin));
    } else {
        RemoveKey(FSetting, ConfigKey::PlayCenter);
        RemoveKey(FSetting, ConfigKey::MovieLeft);
        RemoveKey(FSetting, ConfigKey::MovieTop);
    }
    if (TopMostChk->Checked())
        WriteKey(FSetting, ConfigKey::TopMost, TopMostGroup->ItemIndex() == 0);
    else
        RemoveKey(FSetting, ConfigKey::TopMost);
    if (LayerWaitChk->Checked())
        WriteKey(FSetting, ConfigKey::LayerWait, LayerWaitSpn->Value());
    else
        RemoveKey(FSetting, ConfigKey::LayerWait);
    if (LayerParcentageChk->Checked())
        WriteKey(FSetting, ConfigKey::LayerAlpha,
                 PlayConfig::PercentToAlpha(LayerParcentageSpn->Value(), FShownAlpha));
    else
        RemoveKey(FSetting, ConfigKey::LayerAlpha);
}

void TPlayConfigDlg::UpdateControls()
{
    auto flagRows = [this](int page) {
        for (const TFlagRow& row : FFlagRows)
            if (row.Page == page) EnableButtons(*row.Group, row.Chk->Checked());
    };
    switch (Pages->ActivePage()) {
        case PageCommon:
            flagRows(PageCommon);
            VolumeEdit->SetEnabled(VolumeChk->Checked());
            VolumeUD->SetEnabled(VolumeChk->Checked());
            break;
        case PageFullScreen: {
            flagRows(PageFullScreen);
            const bool listed = FModes != nullptr;
            DisplayModeChk->SetEnabled(listed);
            const bool on = listed && DisplayModeChk->Checked();
            EnableButtons(*DisplayModeGroup, on);
            DisplayModeLabel->SetEnabled(on);
            DisplayModeCmb->SetEnabled(on);
            RefreshRateLabel->SetEnabled(on);
            RefreshRateCmb->SetEnabled(on);
            break;
        }
        case PageWindow: {
            flagRows(PageWindow);
            StretchRatioSpin->SetEnabled(StretchRatioChk->Checked());
            EnableWindow(StretchRatioSpin->UpDown(), StretchRatioChk->Checked());
            const bool position = WindowPositionChk->Checked();
            EnableButtons(*WindowPositionGroup, position);
            for (TSpinEdit* spin : {WindowPositionLeftSpin.get(), WindowPositionTopSpin.get()}) {
                spin->SetEnabled(position);
                EnableWindow(spin->UpDown(), position);
            }
            WindowPositionLeftLabel->SetEnabled(position);
            WindowPositionTopLabel->SetEnabled(position);
            LayerWaitSpn->SetEnabled(LayerWaitChk->Checked());
            EnableWindow(LayerWaitSpn->UpDown(), LayerWaitChk->Checked());
            LayerParcentageSpn->SetEnabled(LayerParcentageChk->Checked());
            EnableWindow(LayerParcentageSpn->UpDown(), LayerParcentageChk->Checked());
            break;
        }
    }
}

void TPlayConfigDlg::SetVolumeText(const std::string& text)
{
    FLastVolumeText = text;
    FSettingVolume = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FSettingVolume};
    VolumeEdit->SetText(text);
}

void TPlayConfigDlg::VolumeEditChange()
{
    if (FSettingVolume) return;
    const std::string text = VolumeEdit->Text();
    double percent;
    if (PlayConfig::ParseVolume(text, percent)) {
        FLastVolumeText = text;
        return;
    }
    SetVolumeText(FLastVolumeText);
    throw Exception(PlayConfig::VolumeRangeMessage);
}

void TPlayConfigDlg::VolumeUpDown(bool up) { SetVolumeText(PlayConfig::StepVolume(VolumeEdit->Text(), up)); }

void TPlayConfigDlg::FillModeList()
{
    DisplayModeCmb->Clear();
    if (!FModes) return;
    for (const TDisplayMode& mode : FModes->Items()) DisplayModeCmb->Add(PlayConfig::ModeText(mode));
}

void TPlayConfigDlg::SelectMode(int32_t width, int32_t height, int32_t rate, int32_t bits)
{
    if (!FModes || FModes->Count() == 0) return;
    DisplayModeCmb->SetItemIndex(PlayConfig::SelectModeIndex(*FModes, width, height, bits));
    FillRates();
    RefreshRateCmb->SetItemIndex(PlayConfig::SelectRateIndex(FRates, rate));
}

void TPlayConfigDlg::FillRates()
{
    RefreshRateCmb->Clear();
    FRates.clear();
    const int index = DisplayModeCmb->ItemIndex();
    if (!FModes || index < 0 || static_cast<size_t>(index) >= FModes->Count()) return;
    FRates = FModes->RefreshRatesOf((*FModes)[static_cast<size_t>(index)]);
    RefreshRateCmb->Add("デフォルト");
    for (size_t i = 1; i < FRates.size(); ++i) RefreshRateCmb->Add(std::to_string(FRates[i]) + " Hz");
    RefreshRateCmb->SetItemIndex(0);
}

void TPlayConfigDlg::ModeListReady()
{
    FCreator.reset();
    if (FModes) return;
    FModes = DialogModeList();
    if (!FModes) return;
    FillModeList();
    SelectMode(FPendingMode.Width, FPendingMode.Height, FPendingMode.RefreshRate, FPendingMode.BitPerPixel);
    UpdateControls();
}

int ShowPlayConfigDialog(HWND owner, TSetting& setting, const std::string& caption, bool topMost,
                         const std::function<void(bool on)>& setTopMost,
                         const std::function<void(TPlayConfigDlg&)>& onShow)
{
    struct TTopMostBack {
        bool On;
        const std::function<void(bool)>& Set;
        ~TTopMostBack()
        {
            if (On && Set) Set(true);
        }
    } back{topMost, setTopMost};
    if (topMost && setTopMost) setTopMost(false);
    TPlayConfigDlg dlg(owner, setting);
    dlg.SetCaption(caption);
    dlg.OnShow = onShow;
    const int result = dlg.ShowModal();
    if (result == mrOK) dlg.Save();
    return result;
}
