#include "ui/UEnvConfigDialog.h"

#include "base/UCodePage.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UConfigLocation.h"
#include "win/UApplication.h"
#include "win/UDialogs.h"

namespace {

const int ClientWidth = 398;
const int ClientHeight = 286;

struct TRegKey {
    HKEY Handle = nullptr;
    ~TRegKey()
    {
        if (Handle) RegCloseKey(Handle);
    }
};

}  // namespace

TEnvConfigDialog::TEnvConfigDialog(HWND owner, TSetting& global, const std::string& pendingConfigDir,
                                   const std::string& configDir, const std::string& defaultUserDir)
    : FGlobal(global)
{
    CreateHandle(TCreateParams::Dialog("TEnvConfigDialog", "環境設定", ClientWidth, ClientHeight, owner));
    DialogKeys = true;
    CenterOnScreen();

    const HWND form = Handle();
    auto args = [form](int left, int top, int width, int height, const char* text = "", UINT id = 0) {
        TControlArgs a(form, left, top, width, height, text);
        a.Id = id;
        return a;
    };
    auto check = [&](int top, const char* text) {
        return std::make_unique<TCheckBox>(TCheckBoxArgs(form, 8, top, ClientWidth - 16, 20, text));
    };
    // Created in tab order.
    TControlArgs ok = args(ClientWidth - 186, ClientHeight - 33, 85, 25, "OK", IDOK);
    ok.Style = BS_DEFPUSHBUTTON;
    OKBtn = std::make_unique<TButton>(ok);
    CancelBtn =
        std::make_unique<TButton>(args(ClientWidth - 93, ClientHeight - 33, 85, 25, "キャンセル", IDCANCEL));
    MultiUserChk = check(8, "マルチユーザーモード");
    ConfPathLabel = std::make_unique<TLabel>(args(24, 32, 280, 16, "設定ファイル保存フォルダ"));
    ConfPathEdit = std::make_unique<TEdit>(args(24, 50, 282, 22));
    ConfPathRefBtn = std::make_unique<TButton>(args(312, 49, 78, 24, "参照"));
    FStatics.push_back(std::make_unique<TLabel>(args(8, 86, 280, 16, "プレイリスト保存フォルダ")));
    PlayListPathRefBtn = std::make_unique<TButton>(args(312, 103, 78, 24, "参照"));
    PlayListPathEdit = std::make_unique<TEdit>(args(8, 104, 298, 22));
    NoDisplayChangeChk = check(140, "全画面表示は拡大のみ");
    ForceWindowPosRestoreChk = check(164, "全画面復帰時に全てのウインドウ表示位置を戻す");
    MultipleInstancesChk = check(188, "複数起動を許可");
    FStatics.push_back(std::make_unique<TLabel>(
        args(8, 222, ClientWidth - 16, 16, "※設定を反映するには一端終了してください。")));

    ShowMessage = [this](const std::string& text, UINT flags) {
        return ShowMessageBox(Handle(), text, {}, flags);
    };
    BrowseFolder = [this](const std::string& title) { return ::BrowseForFolder(Handle(), title); };
    OKBtn->OnClick = [this] {
        if (Validate()) ModalResult = mrOK;
    };
    CancelBtn->OnClick = [this] { ModalResult = mrCancel; };
    ConfPathRefBtn->OnClick = [this] {
        const std::string folder = BrowseFolder("設定ファイル保存フォルダの選択");
        if (!folder.empty()) ConfPathEdit->SetText(folder);
    };
    PlayListPathRefBtn->OnClick = [this] {
        const std::string folder = BrowseFolder("プレイリスト保存フォルダの選択");
        if (!folder.empty()) PlayListPathEdit->SetText(folder);
    };
    OnShown = [this] {
        if (OnShow) OnShow(*this);
    };

    // Loading.
    TSettingKey root(FGlobal, "\\");
    MultiUserChk->SetChecked(ReadKey(FGlobal, ConfigKey::MultiUser, false));
    if (MultiUserChk->Checked()) {
        // The per-user default folder is shown as an empty field.
        if (!pendingConfigDir.empty())
            ConfPathEdit->SetText(pendingConfigDir);
        else if (!FileName::SameFileName(FileName::IncludeTrailingPathDelimiter(configDir),
                                         FileName::IncludeTrailingPathDelimiter(defaultUserDir)))
            ConfPathEdit->SetText(configDir);
    }
    PlayListPathEdit->SetText(ReadKey(FGlobal, ConfigKey::PlayListDir, ""));
    NoDisplayChangeChk->SetChecked(!ReadKey(FGlobal, ConfigKey::ChangeDisplayMode, true));
    ForceWindowPosRestoreChk->SetChecked(ReadKey(FGlobal, ConfigKey::ForceWindowPosRestore, false));
    MultipleInstancesChk->SetChecked(ReadKey(FGlobal, ConfigKey::MultipleInstances));

    UpdateControls();
    if (Application) FIdleHandler = Application->AddIdleHandler([this] { UpdateControls(); });
}

TEnvConfigDialog::~TEnvConfigDialog()
{
    if (FIdleHandler && Application) Application->RemoveIdleHandler(FIdleHandler);
}

int TEnvConfigDialog::ShowModal() { return TForm::ShowModal() == mrOK ? mrOK : mrCancel; }

void TEnvConfigDialog::UpdateControls()
{
    const bool multiUser = MultiUserChk->Checked();
    ConfPathEdit->SetEnabled(multiUser);
    ConfPathRefBtn->SetEnabled(multiUser);
    ConfPathLabel->SetEnabled(multiUser);
    ForceWindowPosRestoreChk->SetEnabled(!NoDisplayChangeChk->Checked());
}

bool TEnvConfigDialog::AskToCreate(const std::string& folder)
{
    if (folder.empty() || FileSystem::DirectoryExists(folder)) return true;
    switch (ShowMessage(folder + " は存在しません。作成しますか？", MB_YESNOCANCEL | MB_ICONWARNING)) {
        case IDYES:
            FileSystem::ForceDirectories(folder);  // a failure leaves the dialog open
            return true;
        case IDNO:
            return true;
        default:
            return false;
    }
}

bool TEnvConfigDialog::Validate()
{
    if (MultiUserChk->Checked() && !AskToCreate(ConfPathEdit->Text())) return false;
    return AskToCreate(PlayListPathEdit->Text());
}

void TEnvConfigDialog::Save()
{
    {
        TSettingKey root(FGlobal, "\\");
        WriteKey(FGlobal, ConfigKey::MultiUser, MultiUserChk->Checked());
        WriteKey(FGlobal, ConfigKey::ChangeDisplayMode, !NoDisplayChangeChk->Checked());
        WriteKey(FGlobal, ConfigKey::ForceWindowPosRestore, ForceWindowPosRestoreChk->Checked());
        WriteKey(FGlobal, ConfigKey::PlayListDir, PlayListPathEdit->Text());
        WriteKey(FGlobal, ConfigKey::MultipleInstances, MultipleInstancesChk->Checked());
    }
    // The registry holds the settings folder of multi-user mode only; a key
    // that cannot be opened or made is passed over.
    if (!MultiUserChk->Checked()) return;
    const std::string folder = ConfPathEdit->Text();
    TRegKey key;
    if (folder.empty()) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_SET_VALUE, &key.Handle) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(key.Handle, RegistryPathValue);
        return;
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key.Handle, nullptr) != ERROR_SUCCESS)
        return;
    // Written wide, in the folder's real form (an older build reads it in the
    // code page, as before, for every folder the code page can hold).
    const std::wstring wide = CodePage::ToWide(folder);
    RegSetValueExW(key.Handle, CodePage::ToWide(RegistryPathValue).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

bool ShowEnvConfigDialog(HWND owner, TSetting& global, std::string& pendingConfigDir,
                         const std::string& configDir, const std::string& defaultUserDir,
                         const std::function<void(TEnvConfigDialog&)>& onShow)
{
    TEnvConfigDialog dlg(owner, global, pendingConfigDir, configDir, defaultUserDir);
    dlg.OnShow = onShow;
    if (dlg.ShowModal() != mrOK) return false;
    dlg.Save();
    pendingConfigDir = dlg.ConfPathText();
    return true;
}
