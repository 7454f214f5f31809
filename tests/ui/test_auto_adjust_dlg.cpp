// The auto-adjust dialog driven through its controls with real analysis
// graphs: WAV files written here with known peaks and loudness are measured,
// stored and turned into base volumes; several files measured at once store
// the same as one after another; Cancel skips the files being measured;
// closing writes nothing more.
#include <cmath>
#include <string>
#include <vector>

#include "base/UCodePage.h"
#include "playlist/UPlayList.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/playlist/TempFolder.h"
#include "ui/UAnalysisProgressDlg.h"
#include "ui/UAutoAdjustDlg.h"
#include "win/UApplication.h"

namespace {

auto* const ComEnv = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

std::wstring Widen(const std::string& s) { return CodePage::ToWide(s); }

// Half a second of mono 16-bit sound whose largest magnitude is peak: a
// sawtooth (square when flat) of alternating sign.
TWavLevels WriteWav(const std::string& path, int peak, bool flat)
{
    std::vector<int> samples;
    for (int i = 0; i < 11025; ++i) {
        const int v = flat ? (i % 50 == 49 ? peak : peak / 2) : peak * (i % 50 + 1) / 50;
        samples.push_back(i % 2 ? -v : v);
    }
    return WriteTestWav(Widen(path), 1, 16, 22050, samples);
}

// A 1 kHz sine on both channels of 48 kHz 16-bit stereo, its peak at dbfs:
// its loudness is dbfs LUFS.
void WriteSine(const std::string& path, double dbfs, double seconds)
{
    std::vector<int> samples;
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    for (int i = 0; i < static_cast<int>(seconds * 48000); ++i) {
        const int v =
            static_cast<int>(std::lround(amplitude * std::sin(2 * 3.14159265358979 * 1000 * i / 48000)));
        samples.insert(samples.end(), {v, v});
    }
    WriteTestWav(Widen(path), 2, 16, 48000, samples);
}

struct TSession {
    TApplication App;
    std::vector<std::string> Messages;

    void Attach(TAutoAdjustDlg& dlg)
    {
        dlg.ShowMessage = [this](const std::string& text, UINT flags) {
            Messages.push_back(text + (flags & MB_ICONINFORMATION ? " (i)" : ""));
            return IDOK;
        };
    }
    bool WaitComplete(size_t count = 1)
    {
        return PumpUntil([&] { return Messages.size() >= count; }, 20000);
    }
};

bool Has(TPlayList& list, int i, const TIntegerKey& key) { return KeyIsSet(list.Files(i).Setting(), key); }
int Level(TPlayList& list, int i, const TIntegerKey& key)
{
    return ReadKey(list.Files(i).Setting(), key, -1);
}
double Volume(TPlayList& list, int i)
{
    return ReadKey(list.Files(i).Setting(), ConfigKey::BaseVolume, -1.0);
}

void Click(TButton& button) { SendMessageA(button.Handle(), BM_CLICK, 0, 0); }

}  // namespace

TEST(AutoAdjustDlg, MeasuresStoresAndAdjusts)
{
    TSession s;
    TTempFolder tmp;
    const TWavLevels a = WriteWav(tmp.Path() + "a.wav", 10000, false);
    const TWavLevels b = WriteWav(tmp.Path() + "b.wav", 20000, true);
    const TWavLevels c = WriteWav(tmp.Path() + "c.wav", 5000, false);
    ASSERT_EQ(20000, b.Max);
    TPlayList list("adjust", tmp.Path());
    for (const char* name : {"a.wav", "b.wav", "c.wav", "gone.wav", "never.wav"})
        list.AddFile(tmp.Path() + name);
    WriteKey(list.Files(2).Setting(), ConfigKey::BaseVolume, 0.9);
    // A file that cannot be opened keeps the levels it has.
    WriteKey(list.Files(3).Setting(), ConfigKey::MaxSample, 7000);
    WriteKey(list.Files(3).Setting(), ConfigKey::AverageSample, 3000);
    // An entry never measured keeps its base volume and is no reference.
    WriteKey(list.Files(4).Setting(), ConfigKey::BaseVolume, 0.8);

    {
        TAutoAdjustDlg dlg(nullptr, list);
        s.Attach(dlg);
        EXPECT_EQ("音量自動調整", dlg.Caption());
        ASSERT_EQ(6, dlg.BaseTrackCmb->Count());
        EXPECT_EQ("", dlg.BaseTrackCmb->Item(0));
        EXPECT_EQ("gone", dlg.BaseTrackCmb->Item(4));
        ASSERT_EQ(5, dlg.FileListChkLst->Count());
        EXPECT_EQ("never", dlg.FileListChkLst->Item(4));
        for (int i = 0; i < 5; ++i) EXPECT_EQ(i != 3, dlg.FileListChkLst->Checked(i)) << i;
        EXPECT_EQ(BST_CHECKED, SendMessageA(dlg.MaxAdjustRadio, BM_GETCHECK, 0, 0));
        dlg.FileListChkLst->SetChecked(3, true);
        dlg.FileListChkLst->SetChecked(4, false);

        Click(*dlg.OKBtn);
        EXPECT_FALSE(dlg.OKBtn->Enabled());
        ASSERT_TRUE(s.WaitComplete());
        EXPECT_EQ(std::vector<std::string>{"Complete!"}, s.Messages);
        EXPECT_TRUE(dlg.OKBtn->Enabled());
        EXPECT_FALSE(dlg.ProgressDlg().Visible());

        const TWavLevels* measured[] = {&a, &b, &c};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(measured[i]->Max, Level(list, i, ConfigKey::MaxSample)) << i;
            EXPECT_EQ(measured[i]->Average, Level(list, i, ConfigKey::AverageSample)) << i;
        }
        EXPECT_EQ(7000, Level(list, 3, ConfigKey::MaxSample));
        EXPECT_EQ(3000, Level(list, 3, ConfigKey::AverageSample));
        EXPECT_FALSE(Has(list, 4, ConfigKey::MaxSample));
        // Peak mode, the quietest (5000) as reference.
        EXPECT_DOUBLE_EQ(0.5, Volume(list, 0));
        EXPECT_DOUBLE_EQ(0.25, Volume(list, 1));
        EXPECT_FALSE(KeyIsSet(list.Files(2).Setting(), ConfigKey::BaseVolume));
        EXPECT_NEAR(5000.0 / 7000.0, Volume(list, 3), 1e-12);
        EXPECT_DOUBLE_EQ(0.8, Volume(list, 4));

        // Nothing ticked: computed at once from the stored levels. The
        // loudest as reference: no entry is louder, every base volume goes.
        for (int i = 0; i < 5; ++i) dlg.FileListChkLst->SetChecked(i, false);
        dlg.BaseTrackCmb->SetItemIndex(2);
        Click(*dlg.OKBtn);
        EXPECT_EQ(2u, s.Messages.size());
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(KeyIsSet(list.Files(i).Setting(), ConfigKey::BaseVolume)) << i;
        EXPECT_DOUBLE_EQ(0.8, Volume(list, 4));

        // Average mode, the blank item: the quietest average is the reference.
        SendMessageA(dlg.AvgAdjustRadio, BM_CLICK, 0, 0);
        dlg.BaseTrackCmb->SetItemIndex(0);
        Click(*dlg.OKBtn);
        const double r = c.Average;
        EXPECT_NEAR(r / a.Average, Volume(list, 0), 1e-12);
        EXPECT_NEAR(r / b.Average, Volume(list, 1), 1e-12);
        EXPECT_FALSE(KeyIsSet(list.Files(2).Setting(), ConfigKey::BaseVolume));
        EXPECT_NEAR(r / 3000.0, Volume(list, 3), 1e-12);

        Click(*dlg.DisadjustBtn);
        EXPECT_EQ("ボリューム調整を無効にしました (i)", s.Messages.back());
        for (int i = 0; i < 5; ++i)
            EXPECT_FALSE(KeyIsSet(list.Files(i).Setting(), ConfigKey::BaseVolume)) << i;
    }
    // Opened again: what was measured is no longer ticked.
    TAutoAdjustDlg again(nullptr, list);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i == 4, again.FileListChkLst->Checked(i)) << i;
}

// A name code page 932 cannot hold is measured under its own name, not as
// the look-alike beside it.
TEST(AutoAdjustDlg, NamesOutsideTheCodePage)
{
    TSession s;
    TTempFolder tmp;
    const TWavLevels real = WriteWav(tmp.Path() + "Beyonc<U+00E9>.wav", 10000, false);
    WriteWav(tmp.Path() + "Beyonce.wav", 20000, false);
    TPlayList list("adjust", tmp.Path());
    list.AddFile(tmp.Path() + "Beyonc<U+00E9>.wav");
    TAutoAdjustDlg dlg(nullptr, list);
    s.Attach(dlg);
    Click(*dlg.OKBtn);
    ASSERT_TRUE(s.WaitComplete());
    EXPECT_EQ(std::vector<std::string>{"Complete!"}, s.Messages);
    EXPECT_EQ(real.Max, Level(list, 0, ConfigKey::MaxSample));
}

TEST(AutoAdjustDlg, CancelSkipsAFileAndClosingWritesNothingMore)
{
    TSession s;
    TTempFolder tmp;
    WriteWav(tmp.Path() + "a.wav", 10000, false);
    const TWavLevels b = WriteWav(tmp.Path() + "b.wav", 20000, false);
    auto makeList = [&](const char* name) {
        auto list = std::make_unique<TPlayList>(name, tmp.Path());
        list->AddFile(tmp.Path() + "a.wav");
        list->AddFile(tmp.Path() + "b.wav");
        return list;
    };

    // Cancel in the progress window abandons the files being measured, all
    // of them at once; the files not yet started follow.
    auto list = makeList("cancel");
    list->AddFile(tmp.Path() + "b.wav");
    {
        TAutoAdjustDlg dlg(nullptr, *list);
        s.Attach(dlg);
        dlg.MaxGraphs = 2;
        Click(*dlg.OKBtn);
        ASSERT_TRUE(dlg.ProgressDlg().Visible());
        EXPECT_EQ(tmp.Path() + "a.wav", dlg.ProgressDlg().Caption());
        SendMessageA(dlg.ProgressDlg().GetCancelButton(), BM_CLICK, 0, 0);
        ASSERT_TRUE(s.WaitComplete());
        EXPECT_FALSE(Has(*list, 0, ConfigKey::MaxSample));
        EXPECT_FALSE(Has(*list, 1, ConfigKey::MaxSample));
        EXPECT_EQ(b.Max, Level(*list, 2, ConfigKey::MaxSample));
    }

    // "閉じる" while the first file runs, in the modal loop.
    list = makeList("close");
    s.Messages.clear();
    {
        TAutoAdjustDlg dlg(nullptr, *list);
        s.Attach(dlg);
        dlg.OnShow = [](TAutoAdjustDlg& d) {
            Click(*d.OKBtn);
            EXPECT_TRUE(d.Measuring());
            Click(*d.CancelBtn);
        };
        EXPECT_EQ(mrCancel, dlg.ShowModal());
        EXPECT_FALSE(dlg.ProgressDlg().Visible());
        PumpFor(1500);
    }
    // Closed by the title bar (or Esc) while a file runs.
    auto third = makeList("title");
    {
        TAutoAdjustDlg dlg(nullptr, *third);
        s.Attach(dlg);
        dlg.Show();
        Click(*dlg.OKBtn);
        SendMessageA(dlg.Handle(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(dlg.Measuring());
        PumpFor(1500);
    }
    EXPECT_TRUE(s.Messages.empty());
    for (TPlayList* l : {list.get(), third.get()})
        for (int i = 0; i < 2; ++i) {
            EXPECT_FALSE(Has(*l, i, ConfigKey::MaxSample)) << i;
            EXPECT_FALSE(KeyIsSet(l->Files(i).Setting(), ConfigKey::BaseVolume)) << i;
        }
}

TEST(AutoAdjustDlg, AdjustsByLoudness)
{
    TSession s;
    TTempFolder tmp;
    WriteSine(tmp.Path() + "m23.wav", -23, 2.0);
    WriteSine(tmp.Path() + "m33.wav", -33, 2.0);
    WriteSine(tmp.Path() + "m18.wav", -18, 2.0);
    WriteSine(tmp.Path() + "short.wav", -20, 0.3);  // shorter than one 400 ms block
    TPlayList list("loudness", tmp.Path());
    for (const char* name : {"m23.wav", "m33.wav", "m18.wav", "short.wav", "never.wav"})
        list.AddFile(tmp.Path() + name);
    WriteKey(list.Files(0).Setting(), ConfigKey::MaxSample, 2000);  // measured before loudness was
    WriteKey(list.Files(3).Setting(), ConfigKey::Loudness, -1500);  // from other contents
    WriteKey(list.Files(4).Setting(), ConfigKey::BaseVolume, 0.8);

    TAutoAdjustDlg dlg(nullptr, list);
    s.Attach(dlg);
    EXPECT_FALSE(dlg.FileListChkLst->Checked(0));
    // Loudness mode ticks the entries without a loudness of their own.
    SendMessageA(dlg.LoudnessAdjustRadio, BM_CLICK, 0, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i != 3, dlg.FileListChkLst->Checked(i)) << i;
    dlg.FileListChkLst->SetChecked(3, true);
    dlg.FileListChkLst->SetChecked(4, false);
    Click(*dlg.OKBtn);
    ASSERT_TRUE(s.WaitComplete());

    const int expected[] = {-2300, -3300, -1800};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(expected[i], Level(list, i, ConfigKey::Loudness), 10) << i;
    EXPECT_FALSE(Has(list, 3, ConfigKey::Loudness));  // re-measured: no gated result, the old one goes
    EXPECT_TRUE(Has(list, 3, ConfigKey::MaxSample));
    // The quietest as reference: louder entries are brought down to it.
    auto gain = [&](int r, int b) {
        return std::pow(10.0,
                        (Level(list, r, ConfigKey::Loudness) - Level(list, b, ConfigKey::Loudness)) / 2000.0);
    };
    EXPECT_NEAR(gain(1, 0), Volume(list, 0), 1e-12);
    EXPECT_FALSE(KeyIsSet(list.Files(1).Setting(), ConfigKey::BaseVolume));
    EXPECT_NEAR(gain(1, 2), Volume(list, 2), 1e-12);
    EXPECT_NEAR(0.3162, Volume(list, 0), 0.004);  // 10 LU lower
    EXPECT_DOUBLE_EQ(0.8, Volume(list, 4));       // no loudness: left as it was

    // The -23 track as reference, nothing measured again.
    for (int i = 0; i < 5; ++i) dlg.FileListChkLst->SetChecked(i, false);
    dlg.BaseTrackCmb->SetItemIndex(1);
    Click(*dlg.OKBtn);
    EXPECT_FALSE(KeyIsSet(list.Files(0).Setting(), ConfigKey::BaseVolume));
    EXPECT_FALSE(KeyIsSet(list.Files(1).Setting(), ConfigKey::BaseVolume));
    EXPECT_NEAR(gain(0, 2), Volume(list, 2), 1e-12);
}

// Several graphs at once store exactly what one graph does, in the same
// order, although a long first file ends after the short ones behind it; the
// progress window names the earliest file still measured.
TEST(AutoAdjustDlg, FilesMeasuredAtOnceStoreAsOneAfterAnother)
{
    TSession s;
    TTempFolder tmp;
    WriteSine(tmp.Path() + "long.wav", -20, 60.0);
    WriteSine(tmp.Path() + "s1.wav", -30, 1.0);
    WriteWav(tmp.Path() + "s2.wav", 12000, false);
    WriteSine(tmp.Path() + "s3.wav", -16, 0.3);
    std::string saved[2];
    for (int graphs : {1, 3}) {
        TPlayList list("same", tmp.Path());
        for (const char* name : {"long.wav", "s1.wav", "gone.wav", "s2.wav", "s3.wav", "long.wav"})
            list.AddFile(tmp.Path() + name);
        WriteKey(list.Files(4).Setting(), ConfigKey::Loudness, -1500);
        WriteKey(list.Files(2).Setting(), ConfigKey::MaxSample, 100);
        TAutoAdjustDlg dlg(nullptr, list);
        s.Attach(dlg);
        s.Messages.clear();
        dlg.MaxGraphs = graphs;
        SendMessageA(dlg.LoudnessAdjustRadio, BM_CLICK, 0, 0);
        for (int i = 0; i < list.FileCount(); ++i) dlg.FileListChkLst->SetChecked(i, true);
        Click(*dlg.OKBtn);
        ASSERT_TRUE(dlg.ProgressDlg().Visible());
        EXPECT_EQ(tmp.Path() + "long.wav", dlg.ProgressDlg().Caption());
        // Until the first file is stored, nothing behind it is, and the
        // progress window names it.
        bool inOrder = true;
        ASSERT_TRUE(PumpUntil(
            [&] {
                if (!Has(list, 0, ConfigKey::Loudness) && s.Messages.empty())
                    inOrder = inOrder && !Has(list, 1, ConfigKey::MaxSample) &&
                              !Has(list, 3, ConfigKey::MaxSample) &&
                              dlg.ProgressDlg().Caption() == tmp.Path() + "long.wav";
                return !s.Messages.empty();
            },
            30000));
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(100, Level(list, 2, ConfigKey::MaxSample));
        EXPECT_FALSE(Has(list, 4, ConfigKey::Loudness));
        EXPECT_NEAR(-2000, Level(list, 5, ConfigKey::Loudness), 10);
        const std::string file = tmp.Path() + "saved" + std::to_string(graphs) + ".lst";
        list.SaveToFile(file);
        saved[graphs > 1] = TTempFolder::ReadFile(file);
    }
    EXPECT_FALSE(saved[0].empty());
    EXPECT_EQ(saved[0], saved[1]);
}
