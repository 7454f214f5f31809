#include "win/UDialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "base/UCodePage.h"
#include "base/UException.h"
#include "base/ULeadByte.h"
#include "win/UApplication.h"
#include "win/UForm.h"
#include "win/ULateLibrary.h"

void (*InputQueryShownHook)(HWND box) = nullptr;
void (*FileDialogShownHook)(HWND dialog) = nullptr;

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    if (!owner) owner = GetActiveWindow();
    return MessageBoxString(owner, text, caption.empty() ? Application->Title : caption, flags);
}

namespace {

class TInputBox : public TForm {
public:
    TInputBox(const std::string& caption, const std::string& prompt, const std::string& value)
    {
        CreateHandle(TCreateParams::Dialog("TInputBox", caption, 300, 110, GetActiveWindow()));
        DialogKeys = true;
        CreateControl(Handle(), "STATIC", prompt, SS_LEFT, 10, 10, 280, 20);
        Edit = CreateControl(Handle(), "EDIT", value, ES_AUTOHSCROLL | WS_TABSTOP, 10, 34, 280, 22, 100,
                             WS_EX_CLIENTEDGE);
        CreateControl(Handle(), "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 130, 74, 75, 25, IDOK);
        CreateControl(Handle(), "BUTTON", "キャンセル", BS_PUSHBUTTON | WS_TABSTOP, 215, 74, 75, 25,
                      IDCANCEL);
        CenterOnScreen();
        OnCommand = [this](UINT id, UINT code, HWND) {
            if ((id == IDOK || id == IDCANCEL) && (code == BN_CLICKED || code == 0))
                ModalResult = static_cast<int>(id);
        };
        OnShow = [this] {
            SetFocus(Edit);
            SendMessageA(Edit, EM_SETSEL, 0, -1);
        };
        OnShown = [this] {
            if (InputQueryShownHook) InputQueryShownHook(Handle());
        };
    }
    HWND Edit = nullptr;
};

}  // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    TInputBox box(caption, prompt, value);
    if (box.ShowModal() != mrOK) return false;
    value = GetWindowTextString(box.Edit);
    return true;
}

std::vector<std::string> SplitOpenFileNames(const char* buffer)
{
    std::vector<std::string> files;
    if (!buffer || !*buffer) return files;
    const std::string first = buffer;
    const char* p = buffer + first.size() + 1;
    if (!*p) {
        files.push_back(first);  // one file: its full path
        return files;
    }
    // Does the folder end with a "\" of its own (a root such as "C:\")?
    bool delimited = false;
    for (size_t i = 0; i < first.size(); ++i) {
        if (IsLeadByte932(static_cast<unsigned char>(first[i])) && i + 1 < first.size())
            ++i;
        else
            delimited = first[i] == '\\' && i + 1 == first.size();
    }
    const std::string folder = delimited ? first : first + "\\";
    for (; *p; p += std::strlen(p) + 1) files.push_back(folder + p);
    return files;
}

namespace {

// Only with a test hook: the dialog tells it when it is up.
UINT_PTR CALLBACK FileDialogHook(HWND child, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE && FileDialogShownHook)
        FileDialogShownHook(GetParent(child));
    return 0;
}

void HookForTests(OPENFILENAMEW& ofn)
{
    if (!FileDialogShownHook) return;
    ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLESIZING;
    ofn.lpfnHook = FileDialogHook;
}

// comdlg32.dll (with what it pulls in) is loaded with the first file dialog
// rather than at start.
struct TFileDialogs {
    decltype(&GetOpenFileNameW) Open;
    decltype(&GetSaveFileNameW) Save;
    decltype(&CommDlgExtendedError) LastError;
};

const TFileDialogs& FileDialogs()
{
    // The names only, unevaluated: taking their addresses would import them.
    static const TFileDialogs functions{
        LateFunction<decltype(&GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW", TLibraryPlace::System),
        LateFunction<decltype(&GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW", TLibraryPlace::System),
        LateFunction<decltype(&CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError",
                                                      TLibraryPlace::System)};
    if (!functions.Open || !functions.Save || !functions.LastError)
        throw Exception("ファイルの選択ダイアログを開けませんでした");
    return functions;
}

// The texts a file dialog is given, wide: names in their real form. They
// must outlive the dialog.
struct TWideTexts {
    std::wstring Title, Filter, InitialDir, DefaultExt;
};

// What the open and the save dialog share.
OPENFILENAMEW FileDialogParams(HWND owner, const TWideTexts& texts, std::vector<wchar_t>& buffer)
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner ? owner : GetActiveWindow();
    ofn.lpstrFilter = texts.Filter.empty() ? nullptr : texts.Filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = texts.Title.empty() ? nullptr : texts.Title.c_str();
    ofn.lpstrInitialDir = texts.InitialDir.empty() ? nullptr : texts.InitialDir.c_str();
    ofn.lpstrDefExt = texts.DefaultExt.empty() ? nullptr : texts.DefaultExt.c_str();
    return ofn;
}

TWideTexts WideTexts(const std::string& title, const std::string& filter, const std::string& initialDir,
                     const std::string& defaultExt = {})
{
    // The filter's pairs are separated by zero bytes, which convert as they are.
    return {CodePage::ToWide(title), CodePage::ToWide(filter), CodePage::ToWide(initialDir),
            CodePage::ToWide(defaultExt)};
}

}  // namespace

std::vector<std::string> OpenFilesDialog(HWND owner, const std::string& title, const std::string& filter,
                                         const std::string& initialDir)
{
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    const TWideTexts texts = WideTexts(title, filter, initialDir);
    OPENFILENAMEW ofn = FileDialogParams(owner, texts, buffer);
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    HookForTests(ofn);
    const TFileDialogs& dialogs = FileDialogs();
    if (!dialogs.Open(&ofn)) {
        if (dialogs.LastError() == FNERR_BUFFERTOOSMALL) throw Exception("選択されたファイルが多すぎます");
        return {};
    }
    // The folder and the names, each ended by a zero, up to the empty one;
    // converted as one text, the zeros stay where they are.
    size_t end = 0;
    while (end + 1 < buffer.size() && (buffer[end] || buffer[end + 1])) ++end;
    const std::string names = CodePage::FromWide(std::wstring_view(buffer.data(), end + 1));
    return SplitOpenFileNames(names.c_str());
}

std::string SaveFileDialog(HWND owner, const std::string& title, const std::string& filter,
                           const std::string& defaultExt, const std::string& fileName,
                           const std::string& initialDir)
{
    std::vector<wchar_t> buffer(4096, L'\0');
    const std::wstring offered = CodePage::ToWide(fileName);
    offered.copy(buffer.data(), std::min(offered.size(), buffer.size() - 1));
    const TWideTexts texts = WideTexts(title, filter, initialDir, defaultExt);
    OPENFILENAMEW ofn = FileDialogParams(owner, texts, buffer);
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    HookForTests(ofn);
    if (!FileDialogs().Save(&ofn)) return {};
    return CodePage::FromWide(buffer.data());
}

namespace {

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialDir)
{
    wchar_t display[MAX_PATH] = {};
    const std::wstring wideTitle = CodePage::ToWide(title), wideInitial = CodePage::ToWide(initialDir);
    BROWSEINFOW bi = {};
    bi.hwndOwner = owner ? owner : GetActiveWindow();
    bi.pszDisplayName = display;
    bi.lpszTitle = wideTitle.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = wideInitial.empty() ? 0 : reinterpret_cast<LPARAM>(wideInitial.c_str());
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    if (!pidl) return {};
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(pidl, path);
    CoTaskMemFree(pidl);
    return ok ? CodePage::FromWide(path) : std::string();
}
