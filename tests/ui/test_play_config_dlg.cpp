// The playback settings dialog driven through its controls: what a level
// shows, what Save writes and removes, the volume and translucency rules,
// and the mode list that a worker thread delivers after the dialog opened.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <future>
#include <string>
#include <vector>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "tests/media/MediaTestSupport.h"
#include "ui/UPlayConfigDlg.h"
#include "win/UApplication.h"

namespace {

std::vector<TDisplayMode> FakeModes()
{
    return {{640, 480, 16, 60}, {640, 480, 32, 60}, {640, 480, 32, 75}, {320, 240, 8, 0}, {800, 600, 32, 60}};
}

// A session with a fake display whose modes are ready at once, and the
// errors the application would show.
struct TSession {
    TApplication App;
    std::vector<std::string> Errors;
    explicit TSession(bool readyModes = true)
    {
        App.OnException = [this](const std::exception& e) { Errors.push_back(e.what()); };
        ResetDialogModeList();
        if (readyModes) {
            SetDialogModeSource([] { return std::make_unique<TDisplayModeList>(FakeModes()); });
            TPlayConfigDlg warmUp(nullptr, Empty);
            EXPECT_TRUE(PumpUntil([] { return DialogModeList() != nullptr; }, 5000));
        }
    }
    ~TSession() { SetDialogModeSource(nullptr); }
    TSetting Empty;
};

bool On(TRadioGroup& group) { return group.ItemIndex() == 0; }
bool Enabled(HWND h) { return IsWindowEnabled(h) != FALSE; }

void ShowPage(TPlayConfigDlg& dlg, int page)
{
    HTREEITEM root = TreeView_GetRoot(dlg.PageTree->Handle());
    HTREEITEM item = page == 0 ? root : TreeView_GetChild(dlg.PageTree->Handle(), root);
    if (page == 2) item = TreeView_GetNextSibling(dlg.PageTree->Handle(), item);
    dlg.PageTree->Select(item);
    ASSERT_EQ(page, dlg.Pages->ActivePage());
}

// The up/down buttons beside the volume, as a click on them notifies.
void VolumeStep(TPlayConfigDlg& dlg, bool up)
{
    NMUPDOWN change = {};
    change.hdr.hwndFrom = dlg.VolumeUD->Handle();
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = up ? 1 : -1;
    SendMessageA(GetParent(dlg.VolumeUD->Handle()), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&change));
}

// Every key of the table that the tree itself holds.
std::vector<std::string> OwnKeys(TSetting& s)
{
    std::vector<std::string> keys;
    for (const TKeyInfo& k : ConfigKeyTable())
        if (s.Exists(k.Path())) keys.push_back(k.Path());
    return keys;
}

}  // namespace

TEST(PlayConfigDlg, ALevelThatSetsNothing)
{
    TSession s;
    TSetting global, level;
    level.SetParent(&global);
    WriteKey(global, ConfigKey::FullScreen, true);  // read alone, the level shows the built-in value
    WriteKey(global, ConfigKey::LayerAlpha, 0);
    bool shown = false, topMost = true;
    std::vector<bool> topMostCalls;
    const int result = ShowPlayConfigDialog(
        nullptr, level, "グローバルの設定", topMost, [&](bool on) { topMostCalls.push_back(on); },
        [&](TPlayConfigDlg& d) {
            shown = true;
            EXPECT_EQ(std::vector<bool>{false}, topMostCalls);  // off while the dialog shows
            EXPECT_EQ("グローバルの設定", d.Caption());
            RECT rc;
            GetClientRect(d.Handle(), &rc);
            EXPECT_EQ(562, rc.right);
            EXPECT_EQ(400, rc.bottom);
            EXPECT_EQ(&global, level.Parent());
            EXPECT_EQ(0, GetWindowLongA(d.PageTree->Handle(), GWL_STYLE) & TVS_HASBUTTONS);
            HTREEITEM root = TreeView_GetRoot(d.PageTree->Handle());
            EXPECT_EQ(3, TreeView_GetCount(d.PageTree->Handle()));
            SendMessageA(d.PageTree->Handle(), WM_KEYDOWN, VK_LEFT, 0);  // the user collapses the root
            PumpFor(50);
            EXPECT_TRUE(TreeView_GetItemState(d.PageTree->Handle(), root, TVIS_EXPANDED) & TVIS_EXPANDED);

            for (TCheckBox* c :
                 {d.FullScreenChk.get(), d.VolumeChk.get(), d.HideControlWindowChk.get(),
                  d.DisplayModeChk.get(), d.WindowPositionChk.get(), d.LayerParcentageChk.get()})
                EXPECT_FALSE(c->Checked());
            EXPECT_FALSE(On(*d.FullScreenGroup));
            EXPECT_FALSE(On(*d.HideControlWindowGroup));
            EXPECT_EQ("100.0", d.VolumeEdit->Text());
            EXPECT_FALSE(d.VolumeEdit->Enabled());
            EXPECT_FALSE(Enabled(d.FullScreenGroup->Button(0)));
            EXPECT_TRUE(d.FullScreenGroup->Enabled());  // the group box itself stays enabled

            ShowPage(d, 1);
            EXPECT_TRUE(On(*d.FUllScreenStretchGroup));
            EXPECT_TRUE(On(*d.DisplayModeGroup));
            EXPECT_EQ("640x480, 32bit", d.DisplayModeCmb->Item(d.DisplayModeCmb->ItemIndex()));
            ASSERT_EQ(3, d.RefreshRateCmb->Count());
            EXPECT_EQ("デフォルト", d.RefreshRateCmb->Item(0));
            EXPECT_EQ("75 Hz", d.RefreshRateCmb->Item(2));
            EXPECT_EQ(0, d.RefreshRateCmb->ItemIndex());
            EXPECT_TRUE(d.DisplayModeChk->Enabled());
            EXPECT_FALSE(d.DisplayModeCmb->Enabled());

            ShowPage(d, 2);
            EXPECT_EQ(100, d.StretchRatioSpin->Value());
            EXPECT_EQ(50, d.LayerParcentageSpn->Value());
            EXPECT_TRUE(On(*d.WindowPositionGroup));
            EXPECT_FALSE(d.LayerParcentageSpn->Enabled());
            d.LayerParcentageChk->SetChecked(true);
            Application->DoIdle();
            EXPECT_TRUE(d.LayerParcentageSpn->Enabled());
            d.LayerParcentageChk->SetChecked(false);
            SendMessageA(d.OKBtn->Handle(), BM_CLICK, 0, 0);
        });
    EXPECT_TRUE(shown);
    EXPECT_EQ(mrOK, result);
    EXPECT_EQ((std::vector<bool>{false, true}), topMostCalls);
    EXPECT_TRUE(OwnKeys(level).empty());
    EXPECT_EQ(2u, OwnKeys(global).size());
    EXPECT_TRUE(s.Errors.empty());
}

TEST(PlayConfigDlg, SaveWritesTheCheckedAndRemovesTheUncheckedFromThisLevelOnly)
{
    TSession s;
    TSetting global, level;
    level.SetParent(&global);
    for (TSetting* t : {&global, &level}) {
        WriteKey(*t, ConfigKey::FullScreen, true);
        WriteKey(*t, ConfigKey::StretchRatio, 200);
        WriteKey(*t, ConfigKey::MovieLeft, 30);
    }
    WriteKey(level, ConfigKey::BaseVolume, 0.955);
    WriteKey(level, ConfigKey::LayerAlpha, 127);
    WriteKey(level, ConfigKey::ShowControllWindow, true);
    WriteKey(level, ConfigKey::FullScreenWidth, 640);  // a saved mode only at other depths
    WriteKey(level, ConfigKey::FullScreenHeight, 480);
    WriteKey(level, ConfigKey::FullScreenBitPerPixel, 24);
    WriteKey(level, ConfigKey::FullScreenRefreshRate, 60);
    WriteKey(level, ConfigKey::FullScreenAutoDetect, false);

    TPlayConfigDlg d(nullptr, level);
    EXPECT_TRUE(d.FullScreenChk->Checked());
    EXPECT_TRUE(d.WindowPositionChk->Checked());  // Left alone is enough
    EXPECT_EQ(30, d.WindowPositionLeftSpin->Value());
    EXPECT_TRUE(On(*d.WindowPositionGroup));
    EXPECT_TRUE(d.DisplayModeChk->Checked());
    EXPECT_EQ(0, d.DisplayModeCmb->ItemIndex());  // the first item
    EXPECT_FALSE(On(*d.DisplayModeGroup));
    EXPECT_EQ(50, d.LayerParcentageSpn->Value());
    EXPECT_EQ("95.5", d.VolumeEdit->Text());

    d.FullScreenChk->SetChecked(false);
    d.HideControlWindowGroup->SetItemIndex(0);  // "オン": the main window hidden
    VolumeStep(d, true);
    EXPECT_EQ("100.0", d.VolumeEdit->Text());
    d.VolumeEdit->SetText("5.5");
    VolumeStep(d, false);
    EXPECT_EQ("0.0", d.VolumeEdit->Text());
    d.VolumeEdit->SetText("42.5");
    d.VolumeEdit->SetText("150");
    EXPECT_EQ("42.5", d.VolumeEdit->Text());
    EXPECT_EQ(std::vector<std::string>{"0から100までの実数値を指定してください"}, s.Errors);
    d.WindowPositionGroup->SetItemIndex(1);
    d.WindowPositionTopSpin->SetText("-20");
    d.Save();

    EXPECT_FALSE(KeyIsSet(level, ConfigKey::FullScreen));
    EXPECT_TRUE(ReadKey(global, ConfigKey::FullScreen));
    EXPECT_FALSE(ReadKey(level, ConfigKey::ShowControllWindow, true));
    EXPECT_DOUBLE_EQ(0.425, ReadKey(level, ConfigKey::BaseVolume));
    EXPECT_EQ(127, ReadKey(level, ConfigKey::LayerAlpha));  // 50 % untouched: the alpha as it was
    EXPECT_EQ(200, ReadKey(level, ConfigKey::StretchRatio));
    EXPECT_FALSE(ReadKey(level, ConfigKey::PlayCenter));
    EXPECT_EQ(30, ReadKey(level, ConfigKey::MovieLeft, 0));
    EXPECT_EQ(-20, ReadKey(level, ConfigKey::MovieTop, 0));
    EXPECT_FALSE(ReadKey(level, ConfigKey::FullScreenAutoDetect));
    EXPECT_EQ(320, ReadKey(level, ConfigKey::FullScreenWidth));
    EXPECT_EQ(8, ReadKey(level, ConfigKey::FullScreenBitPerPixel));
    EXPECT_EQ(0, ReadKey(level, ConfigKey::FullScreenRefreshRate));
    EXPECT_FALSE(KeyIsSet(level, ConfigKey::TopMost));

    // 0 % and 100 %; unchecking removes the row's keys from this level only.
    d.LayerParcentageSpn->SetValue(0);
    d.Save();
    EXPECT_EQ(255, ReadKey(level, ConfigKey::LayerAlpha));
    d.LayerParcentageSpn->SetValue(100);
    d.WindowPositionChk->SetChecked(false);
    d.StretchRatioChk->SetChecked(false);
    d.Save();
    EXPECT_EQ(0, ReadKey(level, ConfigKey::LayerAlpha));
    for (const TIntegerKey* k : {&ConfigKey::StretchRatio, &ConfigKey::MovieLeft, &ConfigKey::MovieTop})
        EXPECT_FALSE(KeyIsSet(level, *k));
    EXPECT_FALSE(KeyIsSet(level, ConfigKey::PlayCenter));
    EXPECT_EQ(200, ReadKey(global, ConfigKey::StretchRatio));
    EXPECT_EQ(30, ReadKey(global, ConfigKey::MovieLeft, 0));

    // A level that cannot be read is linked to its parent again all the same.
    TSetting damaged;
    damaged.SetParent(&global);
    damaged.WriteString(ConfigKey::Mute.Path(), "abc");
    EXPECT_THROW(TPlayConfigDlg(nullptr, damaged), ESettingError);
    EXPECT_EQ(&global, damaged.Parent());
}

TEST(PlayConfigDlg, ModesArriveAfterTheDialogOpened)
{
    TSession s(false);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    SetDialogModeSource([released] {
        released.wait();
        return std::make_unique<TDisplayModeList>(FakeModes());
    });
    TSetting level;
    WriteKey(level, ConfigKey::FullScreenAutoDetect, true);
    WriteKey(level, ConfigKey::FullScreenWidth, 800);
    WriteKey(level, ConfigKey::FullScreenHeight, 600);
    WriteKey(level, ConfigKey::FullScreenRefreshRate, 60);
    {
        TPlayConfigDlg d(nullptr, level);
        ShowPage(d, 1);
        EXPECT_TRUE(d.DisplayModeChk->Checked());
        EXPECT_FALSE(d.DisplayModeChk->Enabled());
        EXPECT_FALSE(d.DisplayModeCmb->Enabled());
        EXPECT_EQ(0, d.DisplayModeCmb->Count());
        // Saving now keeps all five keys of the level as they are.
        d.Save();
        EXPECT_EQ(800, ReadKey(level, ConfigKey::FullScreenWidth));
        EXPECT_EQ(60, ReadKey(level, ConfigKey::FullScreenRefreshRate));
        EXPECT_FALSE(KeyIsSet(level, ConfigKey::FullScreenBitPerPixel));

        release.set_value();
        ASSERT_TRUE(PumpUntil([&] { return d.DisplayModeCmb->Count() == 5; }, 5000));
        Application->DoIdle();
        EXPECT_TRUE(d.DisplayModeChk->Enabled());
        EXPECT_TRUE(d.DisplayModeCmb->Enabled());
        EXPECT_EQ("800x600, 32bit", d.DisplayModeCmb->Item(d.DisplayModeCmb->ItemIndex()));
        EXPECT_EQ("60 Hz", d.RefreshRateCmb->Item(d.RefreshRateCmb->ItemIndex()));
        d.Save();
        EXPECT_EQ(32, ReadKey(level, ConfigKey::FullScreenBitPerPixel));
        EXPECT_EQ(60, ReadKey(level, ConfigKey::FullScreenRefreshRate));
    }
    // Later dialogs get the list at once.
    TPlayConfigDlg later(nullptr, level);
    EXPECT_EQ(5, later.DisplayModeCmb->Count());
    EXPECT_TRUE(s.Errors.empty());
}
