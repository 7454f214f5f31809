// The thin Win32 layer with real windows: forms, modal results, actions on
// menus and check boxes, idle processing, timers, the exception handler and
// the input box.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/UCodePage.h"
#include "base/UException.h"
#include "win/UAction.h"
#include "win/UApplication.h"
#include "win/UControls.h"
#include "win/UDialogs.h"
#include "win/UDropTarget.h"
#include "win/UForm.h"
#include "win/UMenu.h"
#include "win/UTimer.h"

namespace {

class TTestForm : public TForm {
public:
    explicit TTestForm(const char* caption = "テスト")
    {
        TCreateParams p;
        p.ClassName = "TTestForm";
        p.Caption = caption;
        p.Left = 10;
        p.Top = 10;
        CreateHandle(p);
    }
};

class UiLayer : public ::testing::Test {
protected:
    void SetUp() override { app = std::make_unique<TApplication>(); }
    void TearDown() override
    {
        app.reset();
        // Drop what a terminated loop left behind (the quit message).
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    std::unique_ptr<TApplication> app;
};

TEST_F(UiLayer, ShowHideEventsAndCloseHides)
{
    TTestForm form;
    int shown = 0, hidden = 0;
    form.OnShow = [&] { ++shown; };
    form.OnHide = [&] { ++hidden; };
    form.Show();
    EXPECT_TRUE(form.Visible());
    form.Hide();
    EXPECT_FALSE(form.Visible());
    form.Show();
    form.Close();  // default close action of a form that is not the main form: hide
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(2, shown);
    EXPECT_EQ(2, hidden);
    EXPECT_EQ("テスト", form.Caption());
    EXPECT_FALSE(app->Terminated());
}

TEST_F(UiLayer, ClosingTheMainFormTerminates)
{
    TTestForm form;
    app->MainForm = &form;
    bool asked = false;
    form.OnClose = [&](TCloseAction&) { asked = true; };
    form.Close();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(app->Terminated());
    app->MainForm = nullptr;
}

// A form's accelerators work through the message loop, for keys sent to
// the form or to one of its controls, and only for its own windows.
TEST_F(UiLayer, AcceleratorsOfAFormRunItsCommands)
{
    TTestForm form, other("other");
    std::vector<UINT> codes;
    TCommand command([&](UINT code) { codes.push_back(code); });
    form.SetAccelerators({{FVIRTKEY, VK_F5, static_cast<WORD>(command.Id())}});
    TEdit edit(TControlArgs(form.Handle(), 0, 0, 80, 20));
    for (HWND to : {form.Handle(), edit.Handle(), other.Handle()}) PostMessageA(to, WM_KEYDOWN, VK_F5, 0);
    app->ProcessMessages();
    EXPECT_EQ((std::vector<UINT>{1, 1}), codes);  // 1: from an accelerator
}

TEST_F(UiLayer, ShowModalReturnsTheResultAndDisablesOtherWindows)
{
    TTestForm owner("owner");
    owner.Show();
    TTestForm dialog("dialog");
    bool ownerDisabled = false;
    TTimer timer(20);
    timer.OnTimer = [&] {
        ownerDisabled = !IsWindowEnabled(owner.Handle());
        dialog.ModalResult = mrYes;
    };
    EXPECT_EQ(mrYes, dialog.ShowModal());
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    EXPECT_FALSE(dialog.Visible());

    // Closing the modal form gives Cancel.
    timer.OnTimer = [&] { PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(mrCancel, dialog.ShowModal());
}

TEST_F(UiLayer, ActionStateShowsOnMenuItemsAndCheckBoxes)
{
    TTestForm form;
    TAction action;
    int runs = 0;
    action.OnExecute = [&] { ++runs; };
    TMenu menu(false);
    TMenu& sub = menu.AddSubmenu("表示(&V)");
    TMenuItem& item = sub.Add("最前面表示(&T)", action, Ctrl('T'));
    TMenu popup(true);
    TMenuItem& popupItem = popup.Add("最前面表示(&T)", action);
    TCheckBoxArgs args(form.Handle(), 10, 10, 100, 24, "TopMost");
    args.Auto = false;
    TCheckBox box(args);
    action.Link(box);

    action.SetChecked(true);
    EXPECT_TRUE(item.Checked());
    EXPECT_TRUE(popupItem.Checked());
    EXPECT_EQ(BST_CHECKED, SendMessageA(box.Handle(), BM_GETCHECK, 0, 0));

    // A click on the check box runs the action; the mark follows the action only.
    SendMessageA(box.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, runs);
    EXPECT_EQ(BST_CHECKED, SendMessageA(box.Handle(), BM_GETCHECK, 0, 0));
    item.Click();
    EXPECT_EQ(2, runs);

    action.SetEnabled(false);
    EXPECT_FALSE(item.Enabled());
    EXPECT_FALSE(popupItem.Enabled());
    EXPECT_FALSE(IsWindowEnabled(box.Handle()));
    item.Click();
    EXPECT_FALSE(action.Execute());
    EXPECT_EQ(2, runs);

    // The shortcut is shown in the caption and becomes an accelerator.
    char text[64] = {};
    GetMenuStringA(sub.Handle(), item.Id, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ("最前面表示(&T)\tCtrl+T", text);
    auto accel = menu.Accelerators();
    ASSERT_EQ(1u, accel.size());
    EXPECT_EQ('T', accel[0].key);
    EXPECT_EQ(FVIRTKEY | FCONTROL, accel[0].fVirt);
    EXPECT_EQ(item.Id, accel[0].cmd);
}

TEST_F(UiLayer, IdleHandlersRunWhenTheQueueIsEmpty)
{
    TTestForm form;
    form.Show();
    TAction action;
    TActionList list;
    list.Add(action);
    bool active = false;
    list.Active = [&] { return active; };
    int updates = 0;
    action.OnUpdate = [&] { ++updates; };
    TTimer wake(10);  // the loop waits for messages between idle runs
    int idles = 0;
    app->AddIdleHandler([&] {
        if (++idles == 2) app->Terminate();
        active = true;  // the list is inactive during the first idle
    });
    app->Run();
    EXPECT_EQ(2, idles);
    EXPECT_EQ(1, updates);
}

TEST_F(UiLayer, UncaughtExceptionIsShownAndTheLoopGoesOn)
{
    TTestForm form;
    std::vector<std::string> shown;
    app->OnException = [&](const std::exception& e) { shown.push_back(e.what()); };
    TCommand failing([](UINT) { throw Exception("失敗しました"); });
    int ticks = 0;
    TTimer timer(10);
    timer.OnTimer = [&] {
        if (++ticks == 1) throw Exception("タイマー");
        PostMessageA(form.Handle(), WM_COMMAND, failing.Id(), 0);
        if (ticks == 3) app->Terminate();
    };
    app->Run();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ("タイマー", shown[0]);
    EXPECT_EQ("失敗しました", shown[1]);
}

TEST_F(UiLayer, TimerIntervalAndEnabledFlag)
{
    int ticks = 0;
    TTimer timer(10, false);
    timer.OnTimer = [&] { ++ticks; };
    TTimer stop(150);
    stop.OnTimer = [&] { app->Terminate(); };
    app->Run();
    EXPECT_EQ(0, ticks);
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    timer.OnTimer = [&] {
        if (++ticks == 3) app->Terminate();
    };
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    app = std::make_unique<TApplication>();
    app->Run();
    EXPECT_EQ(3, ticks);
}

HWND PressButton(HWND box, int id)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    return box;
}

TEST_F(UiLayer, InputQueryOkAndCancel)
{
    InputQueryShownHook = [](HWND box) {
        SetWindowTextA(GetDlgItem(box, 100), "新しいリスト");
        PressButton(box, IDOK);
    };
    std::string value = "Music";
    EXPECT_TRUE(InputQuery("リスト名", "名前:", value));
    EXPECT_EQ("新しいリスト", value);

    InputQueryShownHook = [](HWND box) {
        SetWindowTextA(GetDlgItem(box, 100), "捨てる");
        PressButton(box, IDCANCEL);
    };
    EXPECT_FALSE(InputQuery("リスト名", "名前:", value));
    EXPECT_EQ("新しいリスト", value);
    InputQueryShownHook = nullptr;
}

}  // namespace

// A data object holding one CF_HDROP, as the shell hands it over: the
// names in the code page, or wide in their real form.
class THDropData : public IDataObject {
public:
    explicit THDropData(const std::vector<std::string>& files, bool wide = false)
    {
        std::string names;
        for (auto& f : files) {
            const std::wstring w = CodePage::ToWide(f) + L'\0';
            names += wide ? std::string(reinterpret_cast<const char*>(w.c_str()), w.size() * 2) : f + '\0';
        }
        FDrop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 2);
        auto* df = static_cast<DROPFILES*>(GlobalLock(FDrop));
        df->pFiles = sizeof(DROPFILES);
        df->fWide = wide;
        memcpy(df + 1, names.data(), names.size());
        GlobalUnlock(FDrop);
    }
    ~THDropData() { GlobalFree(FDrop); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** o) override
    {
        *o = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override
    {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = OleDuplicateData(FDrop, CF_HDROP, 0);
        m->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override
    {
        return f->cfFormat == CF_HDROP && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    HGLOBAL FDrop;
};

TEST_F(UiLayer, DropTargetHandsOverTheDroppedFileNames)
{
    std::vector<std::string> dropped;
    auto* target = new TDropTarget([&](const std::vector<std::string>& files, POINTL) { dropped = files; });
    THDropData data({"C:\\ソフト\\表示.avi", "D:\\music"});
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    POINTL pt = {0, 0};
    ASSERT_EQ(S_OK, target->DragEnter(&data, 0, pt, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    ASSERT_EQ(S_OK, target->Drop(&data, 0, pt, &effect));
    EXPECT_EQ((std::vector<std::string>{"C:\\ソフト\\表示.avi", "D:\\music"}), dropped);
    // Names the code page cannot hold come escaped, never as look-alikes.
    const std::vector<std::string> real = {"C:\\Beyonc<U+00E9>.wav", "C:\\<U+2661>\\<U+00A5>100.wav"};
    THDropData wide(real, true);
    target->DragEnter(&wide, 0, pt, &effect);
    target->Drop(&wide, 0, pt, &effect);
    EXPECT_EQ(real, dropped);

    // Only files are taken.
    struct TTextOnly : THDropData {
        using THDropData::THDropData;
        HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    } text({"x"});
    dropped.clear();
    target->DragEnter(&text, 0, pt, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    target->Drop(&text, 0, pt, &effect);
    EXPECT_TRUE(dropped.empty());
    target->Release();
}
