// The environment dialog driven through its controls, with the real
// registry key saved and restored around each test.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "tests/ui/TestSupport.h"
#include "ui/UConfigLocation.h"
#include "ui/UEnvConfigDialog.h"
#include "win/UApplication.h"

namespace {

bool RegistryKeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Answers the dialog's questions in order and records them.
struct TAnswers {
    std::vector<int> Replies;
    std::vector<std::string> Asked;
    void Attach(TEnvConfigDialog& d)
    {
        d.ShowMessage = [this](const std::string& text, UINT) {
            Asked.push_back(text);
            const int reply = Replies.empty() ? IDCANCEL : Replies.front();
            if (!Replies.empty()) Replies.erase(Replies.begin());
            return reply;
        };
    }
};

}  // namespace

TEST(EnvConfigDialog, WhatTheFieldsShow)
{
    TApplication app;
    TRegistryPathGuard registry;
    registry.Set("C:\\registry-folder");
    TSetting global;
    const std::string userDir = "C:\\users\\me\\AppData\\Roaming\\Pondel\\Reelo\\";
    {
        TEnvConfigDialog d(nullptr, global, "", "C:\\elsewhere\\", userDir);
        EXPECT_EQ("環境設定", d.Caption());
        EXPECT_FALSE(d.MultiUserChk->Checked());
        EXPECT_EQ("", d.ConfPathText());
        EXPECT_FALSE(d.ConfPathEdit->Enabled());
        EXPECT_FALSE(d.ConfPathRefBtn->Enabled());
        EXPECT_FALSE(d.NoDisplayChangeChk->Checked());
        EXPECT_TRUE(d.ForceWindowPosRestoreChk->Enabled());
        EXPECT_FALSE(d.MultipleInstancesChk->Checked());
        // Tab order: the buttons first, then the fields from top to bottom.
        std::vector<HWND> order;
        for (HWND h = GetWindow(d.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
            if (GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP) order.push_back(h);
        EXPECT_EQ((std::vector<HWND>{d.OKBtn->Handle(), d.CancelBtn->Handle(), d.MultiUserChk->Handle(),
                                     d.ConfPathEdit->Handle(), d.ConfPathRefBtn->Handle(),
                                     d.PlayListPathRefBtn->Handle(), d.PlayListPathEdit->Handle(),
                                     d.NoDisplayChangeChk->Handle(), d.ForceWindowPosRestoreChk->Handle(),
                                     d.MultipleInstancesChk->Handle()}),
                  order);
    }
    WriteKey(global, ConfigKey::MultiUser, true);
    WriteKey(global, ConfigKey::ChangeDisplayMode, false);
    WriteKey(global, ConfigKey::ForceWindowPosRestore, true);
    WriteKey(global, ConfigKey::PlayListDir, "D:\\lists");
    WriteKey(global, ConfigKey::MultipleInstances, true);
    {
        // The default per-user folder shows as an empty field.
        TEnvConfigDialog d(nullptr, global, "", "c:\\USERS\\me\\appdata\\roaming\\pondel\\reelo\\", userDir);
        EXPECT_TRUE(d.MultiUserChk->Checked());
        EXPECT_EQ("", d.ConfPathText());
        EXPECT_TRUE(d.ConfPathEdit->Enabled());
        EXPECT_EQ("D:\\lists", d.PlayListPathEdit->Text());
        EXPECT_TRUE(d.NoDisplayChangeChk->Checked());
        EXPECT_TRUE(d.ForceWindowPosRestoreChk->Checked());
        EXPECT_FALSE(d.ForceWindowPosRestoreChk->Enabled());  // ticked, but disabled
        EXPECT_TRUE(d.MultipleInstancesChk->Checked());
        SendMessageA(d.NoDisplayChangeChk->Handle(), BM_CLICK, 0, 0);
        Application->DoIdle();
        EXPECT_TRUE(d.ForceWindowPosRestoreChk->Enabled());
    }
    EXPECT_EQ("C:\\elsewhere\\",
              TEnvConfigDialog(nullptr, global, "", "C:\\elsewhere\\", userDir).ConfPathText());
    EXPECT_EQ("E:\\chosen",
              TEnvConfigDialog(nullptr, global, "E:\\chosen", "C:\\elsewhere\\", userDir).ConfPathText());
}

TEST(EnvConfigDialog, OkAsksAboutMissingFoldersAndSaves)
{
    TApplication app;
    TRegistryPathGuard registry;
    registry.Remove();
    const bool keyExisted = RegistryKeyExists();
    TTempDir tmp;
    TSetting global;
    WriteKey(global, ConfigKey::ChangeDisplayMode, false);
    WriteKey(global, ConfigKey::ForceWindowPosRestore, true);
    std::string pending = "unchanged";

    // Cancel saves nothing anywhere.
    EXPECT_FALSE(ShowEnvConfigDialog(nullptr, global, pending, tmp.Path(), UserDefaultConfigDir(),
                                     [](TEnvConfigDialog& d) {
                                         SendMessageA(d.MultiUserChk->Handle(), BM_CLICK, 0, 0);
                                         d.ConfPathEdit->SetText("C:\\x");
                                         SendMessageA(d.CancelBtn->Handle(), BM_CLICK, 0, 0);
                                     }));
    EXPECT_EQ("unchanged", pending);
    EXPECT_FALSE(KeyIsSet(global, ConfigKey::MultiUser));
    EXPECT_EQ(keyExisted, RegistryKeyExists());

    const std::string conf = tmp.Path() + "設定\\深い";
    const std::string lists = tmp.Path() + "リスト";
    TAnswers answers;
    bool shown = false;
    EXPECT_TRUE(ShowEnvConfigDialog(
        nullptr, global, pending, tmp.Path(), UserDefaultConfigDir(), [&](TEnvConfigDialog& d) {
            shown = true;
            answers.Attach(d);
            std::vector<std::string> titles;
            d.BrowseFolder = [&](const std::string& title) {
                titles.push_back(title);
                return titles.size() == 1 ? conf : std::string();  // the second browser is cancelled
            };
            SendMessageA(d.MultiUserChk->Handle(), BM_CLICK, 0, 0);
            Application->DoIdle();  // the settings folder's controls come on
            SendMessageA(d.ConfPathRefBtn->Handle(), BM_CLICK, 0, 0);
            d.PlayListPathEdit->SetText(lists);
            SendMessageA(d.PlayListPathRefBtn->Handle(), BM_CLICK, 0, 0);
            EXPECT_EQ((std::vector<std::string>{"設定ファイル保存フォルダの選択",
                                                "プレイリスト保存フォルダの選択"}),
                      titles);
            EXPECT_EQ(lists, d.PlayListPathEdit->Text());
            // Cancel to the first question: the dialog stays.
            answers.Replies = {IDCANCEL};
            SendMessageA(d.OKBtn->Handle(), BM_CLICK, 0, 0);
            EXPECT_EQ(mrNone, d.ModalResult);
            // Yes creates the settings folder with its parents; No goes on.
            answers.Replies = {IDYES, IDNO};
            SendMessageA(d.OKBtn->Handle(), BM_CLICK, 0, 0);
        }));
    EXPECT_TRUE(shown);
    EXPECT_EQ((std::vector<std::string>{conf + " は存在しません。作成しますか？",
                                        conf + " は存在しません。作成しますか？",
                                        lists + " は存在しません。作成しますか？"}),
              answers.Asked);
    EXPECT_TRUE(PathExists(conf));
    EXPECT_FALSE(PathExists(lists));
    EXPECT_EQ(conf, pending);
    EXPECT_TRUE(ReadKey(global, ConfigKey::MultiUser));
    EXPECT_EQ(lists, ReadKey(global, ConfigKey::PlayListDir));  // saved though missing
    EXPECT_FALSE(ReadKey(global, ConfigKey::ChangeDisplayMode));
    EXPECT_TRUE(ReadKey(global, ConfigKey::ForceWindowPosRestore));  // kept while disabled
    EXPECT_EQ(conf, RegistryConfigDir());

    // Multi-user mode with the default folder (an empty field) removes
    // "Path"; an empty playlist folder passes without a question.
    answers.Asked.clear();
    EXPECT_TRUE(ShowEnvConfigDialog(nullptr, global, pending, tmp.Path(), UserDefaultConfigDir(),
                                    [&](TEnvConfigDialog& d) {
                                        answers.Attach(d);
                                        d.ConfPathEdit->SetText("");
                                        d.PlayListPathEdit->SetText("");
                                        SendMessageA(d.MultipleInstancesChk->Handle(), BM_CLICK, 0, 0);
                                        SendMessageA(d.OKBtn->Handle(), BM_CLICK, 0, 0);
                                    }));
    EXPECT_TRUE(answers.Asked.empty());
    EXPECT_EQ("", pending);
    EXPECT_TRUE(ReadKey(global, ConfigKey::MultipleInstances));
    EXPECT_TRUE(KeyIsSet(global, ConfigKey::PlayListDir));
    EXPECT_EQ("", ReadKey(global, ConfigKey::PlayListDir));
    EXPECT_TRUE(RegistryKeyExists());
    EXPECT_EQ("", RegistryConfigDir());

    // Multi-user mode off: the registry is not touched.
    registry.Set("C:\\kept");
    EXPECT_TRUE(ShowEnvConfigDialog(nullptr, global, pending, tmp.Path(), UserDefaultConfigDir(),
                                    [&](TEnvConfigDialog& d) {
                                        SendMessageA(d.MultiUserChk->Handle(), BM_CLICK, 0, 0);
                                        d.ConfPathEdit->SetText("");
                                        SendMessageA(d.OKBtn->Handle(), BM_CLICK, 0, 0);
                                    }));
    EXPECT_FALSE(ReadKey(global, ConfigKey::MultiUser));
    EXPECT_EQ("C:\\kept", RegistryConfigDir());
}
