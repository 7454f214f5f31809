#include "win/UDialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "base/UException.h"
#include "base/ULeadByte.h"
#include "win/UApplication.h"
#include "win/UForm.h"

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

void HookForTests(OPENFILENAMEA& ofn)
{
    if (!FileDialogShownHook) return;
    ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLESIZING;
    ofn.lpfnHook = FileDialogHook;
}

// What the open and the save dialog share; the strings and the buffer must
// outlive the dialog.
OPENFILENAMEA FileDialogParams(HWND owner, const std::string& title, const std::string& filter,
                               std::vector<char>& buffer, const std::string& initialDir)
{
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner ? owner : GetActiveWindow();
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    return ofn;
}

}  // namespace

std::vector<std::string> OpenFilesDialog(HWND owner, const std::string& title, const std::string& filter,
                                         const std::string& initialDir)
{
    std::vector<char> buffer(64 * 1024, '\0');
    OPENFILENAMEA ofn = FileDialogParams(owner, title, filter, buffer, initialDir);
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    HookForTests(ofn);
    if (!GetOpenFileNameA(&ofn)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) throw Exception("選択されたファイルが多すぎます");
        return {};
    }
    return SplitOpenFileNames(buffer.data());
}

std::string SaveFileDialog(HWND owner, const std::string& title, const std::string& filter,
                           const std::string& defaultExt, const std::string& fileName,
                           const std::string& initialDir)
{
    std::vector<char> buffer(4096, '\0');
    fileName.copy(buffer.data(), std::min(fileName.size(), buffer.size() - 1));
    OPENFILENAMEA ofn = FileDialogParams(owner, title, filter, buffer, initialDir);
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    HookForTests(ofn);
    if (!GetSaveFileNameA(&ofn)) return {};
    return buffer.data();
}

namespace {

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data) SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialDir)
{
    char display[MAX_PATH] = {};
    BROWSEINFOA bi = {};
    bi.hwndOwner = owner ? owner : GetActiveWindow();
    bi.pszDisplayName = display;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = initialDir.empty() ? 0 : reinterpret_cast<LPARAM>(initialDir.c_str());
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&bi);
    if (!pidl) return {};
    char path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(pidl, path);
    CoTaskMemFree(pidl);
    return ok ? std::string(path) : std::string();
}
