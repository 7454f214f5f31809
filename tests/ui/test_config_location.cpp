// Where config.ini is read from and written to, paths as stored on disk, and
// the main window driven in-process.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/ui/MainFormFixture.h"
#include "tests/ui/MainFormProbe.h"
#include "tests/ui/TestSupport.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "win/UApplication.h"
#include "win/UDialogs.h"
#include "ui/UConfigLocation.h"
#include "ui/UDummyMainForm.h"
#include "ui/UMainForm.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"

namespace {

void WriteConfig(const std::string& dir, const std::function<void(TSetting&)>& fill)
{
    TSetting s;
    fill(s);
    FileSystem::ForceDirectories(dir);
    s.SaveToFile(dir + "config.ini");
}

std::unique_ptr<TSetting> ReadConfig(const std::string& dir)
{
    auto s = std::make_unique<TSetting>();
    s->LoadFromFile(dir + "config.ini");
    return s;
}

// Three folders standing for the program folder, the per-user default folder
// and the folder named in the registry.
struct Folders : ::testing::Test {
    TTempDir root;
    std::string program = root.Path() + "prog\\";
    std::string user = root.Path() + "user\\Pondel\\Reelo\\";
    std::string registry;  // empty: no registry value
    TConfigFolders folders{program, [this] { return user; }, [this] { return registry; }};
    TSetting global;
    bool multiUserAtLoad = true;

    void SetUp() override { FileSystem::ForceDirectories(program); }
};

TEST_F(Folders, NoFileAnywhereKeepsTheProgramFolder)
{
    EXPECT_EQ(program, LocateConfiguration(global, folders, multiUserAtLoad));
    EXPECT_FALSE(multiUserAtLoad);
    EXPECT_FALSE(ReadKey(global, ConfigKey::MultiUser));
}

TEST_F(Folders, SingleUserReadsOnlyTheProgramFolder)
{
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::BoundsLeft, 7); });
    WriteConfig(user, [](TSetting& s) { WriteKey(s, ConfigKey::BoundsLeft, 99); });
    EXPECT_EQ(program, LocateConfiguration(global, folders, multiUserAtLoad));
    EXPECT_FALSE(multiUserAtLoad);
    EXPECT_EQ(7, ReadKey(global, ConfigKey::BoundsLeft));
}

TEST_F(Folders, MultiUserOverlaysTheUserFileOnTheProgramFile)
{
    WriteConfig(program, [](TSetting& s) {
        WriteKey(s, ConfigKey::MultiUser, true);
        WriteKey(s, ConfigKey::BoundsLeft, 7);
        WriteKey(s, ConfigKey::BoundsTop, 8);
    });
    WriteConfig(user, [](TSetting& s) { WriteKey(s, ConfigKey::BoundsLeft, 99); });
    EXPECT_EQ(user, LocateConfiguration(global, folders, multiUserAtLoad));
    EXPECT_TRUE(multiUserAtLoad);
    EXPECT_EQ(99, ReadKey(global, ConfigKey::BoundsLeft));
    EXPECT_EQ(8, ReadKey(global, ConfigKey::BoundsTop));  // only the program file has it
}

TEST_F(Folders, MultiUserPrefersTheRegistryFolder)
{
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::MultiUser, true); });
    std::string chosen = root.Path() + "表示";  // no trailing delimiter, 0x5C trail byte
    registry = chosen;
    WriteConfig(chosen + "\\", [](TSetting& s) { WriteKey(s, ConfigKey::Recent, "Music"); });
    EXPECT_EQ(chosen + "\\", LocateConfiguration(global, folders, multiUserAtLoad));
    EXPECT_EQ("Music", ReadKey(global, ConfigKey::Recent));
}

TEST_F(Folders, MultiUserWithoutAnyUserFileKeepsTheProgramValues)
{
    WriteConfig(program, [](TSetting& s) {
        WriteKey(s, ConfigKey::MultiUser, true);
        WriteKey(s, ConfigKey::Recent, "Music");
    });
    EXPECT_EQ(user, LocateConfiguration(global, folders, multiUserAtLoad));
    EXPECT_EQ("Music", ReadKey(global, ConfigKey::Recent));
    // At exit the tree, with those values, goes to the per-user folder, which is created.
    EXPECT_EQ(user + "config.ini", SaveConfigurationTo(global, folders, user, true, ""));
    EXPECT_EQ("Music", ReadKey(*ReadConfig(user), ConfigKey::Recent));
}

TEST_F(Folders, MalformedFileRaisesTheFormatError)
{
    WriteTextFile(program + "config.ini", "\tx\r\n");
    try {
        LocateConfiguration(global, folders, multiUserAtLoad);
        FAIL() << "no error";
    } catch (const ESettingError& e) {
        EXPECT_EQ(0u, std::string(e.what()).rfind("ファイルフォーマットが不正です\r\nfile: ", 0)) << e.what();
    }
}

// The destination of the exit save: every row of the table.
TEST_F(Folders, SaveDestinationTable)
{
    std::string pending = root.Path() + "pending";
    struct Row {
        bool flag, atLoad;
        bool withPending;
        std::string expectDir;
        int programFlag;  // -1: program file not written by the flag
    } rows[] = {
        {false, false, false, program, -1},
        {false, false, true, program, -1},
        {false, true, true, program, 0},
        {true, true, false, registry.empty() ? root.Path() + "reg\\" : registry, -1},
        {true, true, true, pending + "\\", -1},
        {true, false, false, user, 1},
        {true, false, true, pending + "\\", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.flag) + std::to_string(r.atLoad) + std::to_string(r.withPending));
        RemoveTree(root.Path());
        FileSystem::ForceDirectories(program);
        WriteConfig(program, [&](TSetting& s) {
            WriteKey(s, ConfigKey::MultiUser, r.atLoad);
            WriteKey(s, ConfigKey::Recent, "program");
        });
        std::string configDir = r.atLoad ? root.Path() + "reg\\" : program;
        TSetting g;
        WriteKey(g, ConfigKey::MultiUser, r.flag);
        WriteKey(g, ConfigKey::Recent, "saved");
        std::string written =
            SaveConfigurationTo(g, folders, configDir, r.atLoad, r.withPending ? pending : "");
        EXPECT_EQ(r.expectDir + "config.ini", written);
        EXPECT_EQ("saved", ReadKey(*ReadConfig(r.expectDir), ConfigKey::Recent));
        auto prog = ReadConfig(program);
        if (r.programFlag >= 0) {
            EXPECT_EQ(r.programFlag == 1, ReadKey(*prog, ConfigKey::MultiUser));
            if (r.expectDir != program) {  // the rest of the program file stays as it was
                EXPECT_EQ("program", ReadKey(*prog, ConfigKey::Recent));
            }
        } else if (r.expectDir != program) {
            EXPECT_EQ(r.atLoad, ReadKey(*prog, ConfigKey::MultiUser));
            EXPECT_EQ("program", ReadKey(*prog, ConfigKey::Recent));
        }
    }
}

TEST_F(Folders, SwitchingOnInTheFirstRunCreatesTheProgramFile)
{
    TSetting g;
    WriteKey(g, ConfigKey::MultiUser, true);
    EXPECT_EQ(user + "config.ini", SaveConfigurationTo(g, folders, program, false, ""));
    ASSERT_TRUE(PathExists(program + "config.ini"));
    EXPECT_TRUE(ReadKey(*ReadConfig(program), ConfigKey::MultiUser));
    EXPECT_TRUE(ReadKey(*ReadConfig(user), ConfigKey::MultiUser));
    // The next start finds the flag and reads the per-user file.
    TSetting next;
    bool atLoad = false;
    EXPECT_EQ(user, LocateConfiguration(next, folders, atLoad));
    EXPECT_TRUE(atLoad);
}

TEST(RegistryFolder, ReadsThePathValueOfTheRealKey)
{
    TRegistryPathGuard guard;
    guard.Remove();
    EXPECT_EQ("", RegistryConfigDir());
    guard.Set("C:\\ユーザー\\表示");
    EXPECT_EQ("C:\\ユーザー\\表示", RegistryConfigDir());
    guard.Set("");
    EXPECT_EQ("", RegistryConfigDir());
}

TEST(RegistryFolder, UserDefaultFolderIsUnderApplicationData)
{
    std::string dir = UserDefaultConfigDir();
    std::string appData = GetAppDataDir();
    EXPECT_EQ(FileName::ExcludeTrailingPathDelimiter(appData) + "\\Pondel\\Reelo\\", dir);
}

TEST(ResolveLongPath, NamesAsStoredOnDiskWithJapaneseNamesAndCase)
{
    TTempDir tmp;
    std::string base = FileSystem::ResolveLongPath(FileName::ExcludeTrailingPathDelimiter(tmp.Path()));
    ASSERT_FALSE(base.empty());
    FileSystem::ForceDirectories(base + "\\ソフト\\Data");
    WriteTextFile(base + "\\ソフト\\Data\\表示.AVI", "x");
    EXPECT_EQ(base + "\\ソフト\\Data\\表示.AVI",
              FileSystem::ResolveLongPath(base + "\\ソフト\\data\\表示.avi"));
    EXPECT_EQ(base + "\\ソフト\\Data", FileSystem::ResolveLongPath(base + "\\ソフト\\DATA"));
    // A missing component anywhere gives the empty string.
    EXPECT_EQ("", FileSystem::ResolveLongPath(base + "\\ソフト\\Data\\無い.avi"));
    EXPECT_EQ("", FileSystem::ResolveLongPath(base + "\\ソ\\Data\\表示.avi"));
    // Wildcards do not pick some other entry.
    EXPECT_EQ("", FileSystem::ResolveLongPath(base + "\\ソフト\\Data\\*"));
    // A root or a bare name stays as it is.
    EXPECT_EQ("C:\\", FileSystem::ResolveLongPath("C:\\"));
    EXPECT_EQ("表示.avi", FileSystem::ResolveLongPath("表示.avi"));
    EXPECT_EQ("c:\\windows", [] {
        std::string s = FileSystem::ResolveLongPath("c:\\WINDOWS");
        for (char& ch : s) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        return s;
    }());
}

// The main window constructed in-process.
struct MainWindow : MainFormFixture {
    std::string user = root.Path() + "user\\";

    void SetUp() override
    {
        MainFormFixture::SetUp();
        FormCreateErrorHook = [](const std::string& text) { throw std::runtime_error(text); };
    }
    void TearDown() override
    {
        FormCreateErrorHook = nullptr;
        MainFormFixture::TearDown();
    }
    std::unique_ptr<TMainForm> Create(std::vector<std::string> args)
    {
        return NewForm(std::move(args), user);
    }
};

TEST_F(MainWindow, DesignedWindowAndFirstSave)
{
    auto form = Create({});
    EXPECT_EQ("Reelo", form->Caption());
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(IsWindowVisible(dummy->Handle()));
    EXPECT_EQ("DummyMainForm", dummy->Caption());
    EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT r = form->BoundsRect(), c;
    GetClientRect(form->Handle(), &c);
    EXPECT_EQ(502, r.left);
    EXPECT_EQ(400, r.top);
    EXPECT_EQ(472, c.right);
    EXPECT_EQ(344, c.bottom);
    EXPECT_EQ(program, ConfigDir);

    // Closing hides the window and ends the loop; it does not destroy it.
    form->Close();
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(Probe(*form).TrayIcon().Visible());
    form.reset();
    EXPECT_TRUE(errors.empty());
    auto saved = ReadConfig(program);
    EXPECT_TRUE(ReadKey(*saved, ConfigKey::RestoreWindowPosition, false));
    EXPECT_EQ(502, ReadKey(*saved, ConfigKey::BoundsLeft));
    EXPECT_EQ(400, ReadKey(*saved, ConfigKey::BoundsTop));
    EXPECT_EQ(r.right - r.left, ReadKey(*saved, ConfigKey::BoundsWidth));
    EXPECT_EQ(r.bottom - r.top, ReadKey(*saved, ConfigKey::BoundsHeight));
    EXPECT_EQ("Temporary", ReadKey(*saved, ConfigKey::Recent));
}

TEST_F(MainWindow, BoundsRestoredOnlyWhenAsked)
{
    WriteConfig(program, [](TSetting& s) {
        WriteKey(s, ConfigKey::RestoreWindowPosition, true);
        WriteKey(s, ConfigKey::BoundsLeft, 30);
        WriteKey(s, ConfigKey::BoundsTop, 40);
        WriteKey(s, ConfigKey::BoundsWidth, 500);
        WriteKey(s, ConfigKey::BoundsHeight, 420);
    });
    RECT r = Create({})->BoundsRect();
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(40, r.top);
    EXPECT_EQ(500, r.right - r.left);
    EXPECT_EQ(420, r.bottom - r.top);

    WriteConfig(program, [](TSetting& s) {
        WriteKey(s, ConfigKey::RestoreWindowPosition, false);
        WriteKey(s, ConfigKey::BoundsLeft, 30);
    });
    {
        auto form = Create({});
        EXPECT_EQ(502, form->BoundsRect().left);
        form->SetBounds(5, 6, 400, 300);
    }
    auto saved = ReadConfig(program);
    EXPECT_FALSE(ReadKey(*saved, ConfigKey::RestoreWindowPosition, true));
    EXPECT_EQ(30, ReadKey(*saved, ConfigKey::BoundsLeft));  // not written
}

TEST_F(MainWindow, CommandLineListsPathsAndVisibility)
{
    TTempDir media;
    std::string folder = FileSystem::ResolveLongPath(FileName::ExcludeTrailingPathDelimiter(media.Path()));
    WriteTextFile(folder + "\\表示.AVI", "x");
    {
        auto form = Create({"/V-", folder + "\\表示.avi", folder + "\\無い.avi"});
        EXPECT_FALSE(form->Visible());
        EXPECT_TRUE(Probe(*form).TrayIcon().Visible());
        TPlayList* list = Probe(*form).Controller().CurrentList();
        ASSERT_NE(nullptr, list);
        EXPECT_EQ("Temporary 2", list->Name());
        ASSERT_EQ(1, list->FileCount());  // the missing file is left out
        EXPECT_EQ(folder + "\\表示.AVI", list->Files(0).Path());
        EXPECT_FALSE(ReadKey(Probe(*form).Controller().GUISetting(), ConfigKey::ShowControllWindow, true));
        Probe(*form).GUIC1Click();
        EXPECT_FALSE(KeyIsSet(Probe(*form).Controller().GUISetting(), ConfigKey::ShowControllWindow));
    }
    {
        // "x /A": both are paths; the new temporary list stays empty, nothing plays.
        auto form = Create({"x", "/A"});
        EXPECT_TRUE(form->Visible());
        EXPECT_EQ("Temporary 2", Probe(*form).Controller().CurrentList()->Name());
        EXPECT_EQ(0, Probe(*form).Controller().CurrentList()->FileCount());
    }
    {
        auto form = Create({"/A", "/PMusic"});
        EXPECT_EQ("Music", Probe(*form).Controller().CurrentList()->Name());
        EXPECT_EQ(2, Probe(*form).PlayLists().Count());
        EXPECT_EQ("Music", Probe(*form).PlayLists().Items(1).Name());  // sorted after the temporary list
    }
    {
        // An existing list is selected, not created, whatever the case of its name.
        auto form = Create({"/Ptemporary"});
        EXPECT_EQ(2, Probe(*form).PlayLists().Count());  // Temporary, and Music from its file
        EXPECT_EQ("Temporary", Probe(*form).Controller().CurrentList()->Name());
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindow, FailureInFormCreateIsReportedAndTerminates)
{
    std::string reported;
    static std::string* sink;
    sink = &reported;
    FormCreateErrorHook = [](const std::string& text) { *sink = text; };
    // A list name that would put its file outside the playlist folder.
    auto form = Create({"/P..\\elsewhere"});
    EXPECT_NE(std::string::npos, reported.find("リスト名")) << reported;
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(-1, Probe(*form).PlayLists().FindPlayList("..\\elsewhere"));
}

TEST_F(MainWindow, SaveErrorIsShownAndShutdownGoesOn)
{
    auto form = Create({});
    // A file where the folder should be: the folder cannot be created.
    RemoveTree(program);
    WriteTextFile(FileName::ExcludeTrailingPathDelimiter(program), "x");
    form.reset();
    ASSERT_EQ(1u, errors.size());
    DeleteFileA(FileName::ExcludeTrailingPathDelimiter(program).c_str());
}

// A list that cannot be written keeps the settings from being saved no more
// than it keeps its failure from being told, once.
TEST_F(MainWindow, ExitSaveGoesOnPastAListItCannotWrite)
{
    auto form = Create({});
    ASSERT_TRUE(CreateDirectoryA((program + "Temporary.lst").c_str(), nullptr));  // in the list's way
    form.reset();
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("Temporary.lst")) << errors[0];
    EXPECT_EQ("Temporary", ReadKey(*ReadConfig(program), ConfigKey::Recent));
}

// Written at idle within seconds of the change: a temporary list as every
// save writes it, without its list-level settings, which it keeps in use.
TEST_F(MainWindow, ChangesAreWrittenAtIdleAndATemporaryListKeepsItsSettings)
{
    WriteWav(program + "a.wav", 1);
    auto form = Create({program + "a.wav"});
    TPlayList& list = *Probe(*form).Controller().CurrentList();
    WriteKey(list.Setting(), ConfigKey::Repeat, true);
    TPlayList saved("Temporary", program);
    for (int waited = 0; waited < 5000 && saved.FileCount() == 0; waited += 100) {
        Probe(*form).SaveChanges();
        Sleep(100);
        saved.SetLoaded(false);
        saved.LoadFromFile(program + "Temporary.lst");
    }
    EXPECT_EQ(1, saved.FileCount());
    EXPECT_FALSE(KeyIsSet(saved.Setting(), ConfigKey::Repeat));
    EXPECT_TRUE(ReadKey(list.Setting(), ConfigKey::Repeat, false));
}

}  // namespace

namespace {

// The text the next input box gets before OK is pressed.
std::string NextInput;
void AnswerInput(HWND box)
{
    SetWindowTextA(GetDlgItem(box, 100), NextInput.c_str());
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}
std::vector<std::string> Asked;
int NextAnswer = IDYES;
int Answer(const std::string& text, const std::string&, UINT)
{
    Asked.push_back(text);
    return NextAnswer;
}

TEST_F(MainWindow, ListCommandsNewRenameAndDelete)
{
    InputQueryShownHook = AnswerInput;
    MainFormAskHook = Answer;
    Asked.clear();
    auto form = Create({});
    TPlayLists& lists = Probe(*form).PlayLists();
    auto current = [&] { return Probe(*form).Controller().CurrentList()->Name(); };

    NextInput = "abc";
    Probe(*form).View().PlayListNewAction.Execute();
    EXPECT_EQ("abc", current());
    Probe(*form).Controller().CurrentList()->Add(program + "a.avi");
    // The same name again, replaced on Yes: a new empty list in its place.
    NextAnswer = IDYES;
    Probe(*form).View().PlayListNewAction.Execute();
    ASSERT_EQ(1u, Asked.size());
    EXPECT_EQ("プレイリスト abcはすでに存在します。置き換えますか？", Asked[0]);
    EXPECT_EQ(2, lists.Count());
    EXPECT_EQ(0, Probe(*form).Controller().CurrentList()->FileCount());

    NextInput = "ABC";  // the same name but for case: nothing happens
    Probe(*form).View().PlayListNameChangeAction.Execute();
    EXPECT_EQ("abc", current());
    NextInput = "xyz";
    Probe(*form).View().PlayListNameChangeAction.Execute();
    EXPECT_EQ("xyz", current());
    EXPECT_EQ(1, lists.FindPlayList("xyz"));

    // Deleting the current list makes the first one current and removes the file.
    Probe(*form).SaveCurrentPlayList();
    ASSERT_TRUE(PathExists(program + "xyz.lst"));
    NextAnswer = IDOK;
    Probe(*form).View().PlayListDeleteAction.Execute();
    EXPECT_FALSE(PathExists(program + "xyz.lst"));
    EXPECT_EQ("Temporary", current());
    ASSERT_EQ(1, lists.Count());
    // Deleting the only list leaves a fresh Temporary, and Temporary.lst goes too.
    Probe(*form).Controller().CurrentList()->Add(program + "b.avi");
    Probe(*form).SaveCurrentPlayList();
    ASSERT_TRUE(PathExists(program + "Temporary.lst"));
    TPlayList* before = Probe(*form).Controller().CurrentList();
    Probe(*form).View().PlayListDeleteAction.Execute();
    EXPECT_FALSE(PathExists(program + "Temporary.lst"));
    ASSERT_EQ(1, lists.Count());
    EXPECT_NE(before, Probe(*form).Controller().CurrentList());
    EXPECT_EQ("Temporary", current());
    EXPECT_EQ(0, Probe(*form).Controller().CurrentList()->FileCount());

    // A new list, a file added, another list selected and back: the file shows once.
    NextInput = "m";
    Probe(*form).View().PlayListNewAction.Execute();
    WriteWav(program + "c.wav", 1);
    Probe(*form).DropOnFileList({program + "c.wav"});
    Probe(*form).SelectPlayList(lists.FindPlayList("Temporary"));
    Probe(*form).SelectPlayList(lists.FindPlayList("m"));
    EXPECT_EQ(1, Probe(*form).Controller().CurrentList()->FileCount());
    EXPECT_EQ(1, Probe(*form).View().FileListBox->Count());
    EXPECT_EQ("c", Probe(*form).View().FileListBox->Item(0));
    // Files dropped on the movie window make a new temporary list, which plays.
    Probe(*form).DropOnMovieWindow({program + "c.wav"});
    EXPECT_EQ("Temporary 2", current());
    EXPECT_EQ(1, Probe(*form).Controller().CurrentList()->FileCount());
    EXPECT_TRUE(Probe(*form).Controller().Loaded());
    Probe(*form).StopCommand();

    // Names equal but for letter case are one list: taking one asks first.
    NextAnswer = IDNO;
    NextInput = "M";
    Asked.clear();
    Probe(*form).View().PlayListNewAction.Execute();
    Probe(*form).View().PlayListNameChangeAction.Execute();
    EXPECT_EQ(2u, Asked.size());
    EXPECT_EQ("Temporary 2", current());
    // A rename whose file cannot be moved leaves the list as it was.
    Probe(*form).SelectPlayList(lists.FindPlayList("m"));
    Probe(*form).StopCommand();
    FileSystem::ForceDirectories(program + "n.lst");
    NextInput = "n";
    EXPECT_THROW(Probe(*form).View().PlayListNameChangeAction.Execute(), EFileError);
    EXPECT_EQ("m", current());
    InputQueryShownHook = nullptr;
    MainFormAskHook = nullptr;
    EXPECT_TRUE(errors.empty());
}

// Backup and sync tools open files without sharing: such a list stays not
// loaded, is never saved over, and loads once the file is free.
TEST_F(MainWindow, ListFileHeldOpenIsNeitherLoadedNorSavedOver)
{
    WriteWav(program + "a.wav", 1);
    {
        TPlayList music("Music", program);
        music.Add(program + "a.wav");
        music.SaveToFile(program + "Music.lst");
    }
    const std::string bytes = ReadTextFile(program + "Music.lst");
    WriteConfig(program, [](TSetting& s) { WriteKey(s, ConfigKey::Recent, "Music"); });
    HANDLE held =
        CreateFileA((program + "Music.lst").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    auto form = Create({});
    EXPECT_EQ("Temporary", Probe(*form).Controller().CurrentList()->Name());
    app->ProcessMessages();
    EXPECT_EQ(1u, errors.size());
    const int music = Probe(*form).PlayLists().FindPlayList("Music");
    EXPECT_THROW(Probe(*form).SelectPlayList(music), EPlayListFileError);
    EXPECT_EQ(0, Probe(*form).View().ListCmb->ItemIndex());
    CloseHandle(held);
    Probe(*form).PlayLists().SaveList(Probe(*form).PlayLists().Items(music));
    EXPECT_EQ(bytes, ReadTextFile(program + "Music.lst"));
    Probe(*form).SelectPlayList(music);
    EXPECT_EQ(1, Probe(*form).Controller().CurrentList()->FileCount());
    Probe(*form).StopCommand();
}

}  // namespace
