// M3U/M3U8 lists in the main window, in-process: the current list written
// through the save dialog and read back through the open dialog and the
// command line; lists dropped on the file list and the movie window; what
// cannot be taken reported once, in one message.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <memory>
#include <string>
#include <vector>

#include "base/UCodePage.h"
#include "base/UFileName.h"
#include "tests/ui/MainFormFixture.h"
#include "tests/ui/MainFormProbe.h"
#include "win/UDialogs.h"

namespace {

// The name the next file dialog gets before OK is pressed.
std::string NextFileName;
void AnswerFileDialog(HWND dialog)
{
    // The name box: cmb13 in the newer dialog, edt1 in the older; the real name.
    SetDlgItemTextW(dialog, cmb13, CodePage::ToWide(NextFileName).c_str());
    SetDlgItemTextW(dialog, edt1, CodePage::ToWide(NextFileName).c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

struct M3UInMainWindow : MainFormFixture {
    void SetUp() override
    {
        MainFormFixture::SetUp();
        FileDialogShownHook = AnswerFileDialog;
    }
    void TearDown() override
    {
        FileDialogShownHook = nullptr;
        MainFormFixture::TearDown();
    }
    std::vector<std::string> Paths()
    {
        std::vector<std::string> paths;
        TPlayList& list = *Probe(*form).Controller().CurrentList();
        for (int i = 0; i < list.FileCount(); ++i) paths.push_back(list.Files(i).Path());
        return paths;
    }
};

TEST_F(M3UInMainWindow, ExportedListComesBackAndWhatCannotBeTakenIsReported)
{
    FileSystem::ForceDirectories(root.Path() + "media");
    const std::string dir = FileSystem::ResolveLongPath(root.Path() + "media") + "\\";
    // 表, ソ and 能 end in the byte 0x5C.
    std::vector<std::string> names = {dir + "表示\\ソフト.avi", dir + "能.mp3", dir + "a b.wav"};
    Create({});
    for (const std::string& n : names) Probe(*form).Controller().CurrentList()->Add(n);
    const std::string exported = dir + "書き出し.m3u8";
    NextFileName = exported;
    Probe(*form).ExportM3U8MenuClick();
    EXPECT_EQ(0u, ReadTextFile(exported).find("#EXTM3U\r\n#EXTINF:-1,"));

    // Added through the open dialog: the entries, in order, not the list file.
    while (Probe(*form).Controller().CurrentList()->FileCount() > 0)
        Probe(*form).Controller().CurrentList()->Delete(0);
    Probe(*form).View().FileAddAction.Execute();
    EXPECT_EQ(names, Paths());
    EXPECT_EQ(3, Probe(*form).View().FileListBox->Count());

    // Dropped with a damaged list and one holding a URL, a file URI that
    // names nothing and a name code page 932 cannot hold: the damaged one
    // adds nothing, the rest is added, and one message says what was left out.
    const std::string bad = dir + "bad.m3u", mixed = dir + "mixed.m3u8";
    WriteTextFile(bad, std::string("#EXTM3U\r\n\x01\x02\x03\r\n", 13));
    WriteTextFile(mixed, "http://example.invalid/a.mp3\n\xED\x95\x9C.mp3\nfile:///C:/%FF.mp3\nrel.wav\n");
    Probe(*form).DropOnFileList({bad, mixed, dir + "x.avi"});
    names.insert(names.end(), {dir + "<U+D55C>.mp3", dir + "rel.wav", dir + "x.avi"});
    EXPECT_EQ(names, Paths());
    EXPECT_TRUE(errors.empty());  // not before the drop is over
    app->ProcessMessages();
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find(bad)) << errors[0];
    EXPECT_NE(std::string::npos, errors[0].find("1 件のファイル")) << errors[0];
    EXPECT_NE(std::string::npos, errors[0].find("1 件の URL")) << errors[0];

    // On the movie window, a list that gives nothing makes no new list.
    const int lists = Probe(*form).PlayLists().Count();
    Probe(*form).DropOnMovieWindow({bad});
    app->ProcessMessages();
    EXPECT_EQ(lists, Probe(*form).PlayLists().Count());
    EXPECT_EQ(2u, errors.size());

    // From the command line.
    Create({exported});
    EXPECT_EQ("Temporary 2", Probe(*form).Controller().CurrentList()->Name());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3), Paths());
    app->ProcessMessages();
    EXPECT_EQ(2u, errors.size());
}

// Names code page 932 cannot hold, in a folder of such a name: a UTF-8 list
// chosen in the open dialog adds them (not "Beyonce.wav" beside them), an
// export under such a name comes back from the command line.
TEST_F(M3UInMainWindow, NamesOutsideTheCodePage)
{
    FileSystem::ForceDirectories(root.Path() + "<U+2661>");
    const std::string dir = FileSystem::ResolveLongPath(root.Path() + "<U+2661>") + "\\";
    ASSERT_EQ("<U+2661>", FileName::ExtractFileName(dir.substr(0, dir.size() - 1)));
    std::vector<std::string> names;
    std::string text = "#EXTM3U\n", utf8;
    for (const char* name :
         {"Beyonc<U+00E9>.wav", "<U+00A5>100.wav", "<U+D55C><U+AD6D>.wav", "<U+301C>wave.wav"}) {
        names.push_back(dir + name);
        WriteWav(names.back(), 1);
        ASSERT_TRUE(CodePage::ToUtf8(name, utf8));
        text += utf8 + "\n";
    }
    WriteWav(dir + "Beyonce.wav", 1);
    WriteTextFile(dir + "<U+2661>.m3u8", text);
    Create({});
    NextFileName = dir + "<U+2661>.m3u8";
    Probe(*form).View().FileAddAction.Execute();
    EXPECT_EQ(names, Paths());

    NextFileName = dir + "<U+00E9> 2.m3u8";
    Probe(*form).ExportM3U8MenuClick();
    ASSERT_TRUE(PathExists(NextFileName));
    Create({NextFileName});
    EXPECT_EQ(names, Paths());
    app->ProcessMessages();
    EXPECT_TRUE(errors.empty()) << errors[0];
}

}  // namespace
