// TEnvConfigDialog ("環境設定"): the environment settings of the global
// store: multi-user mode and its settings folder, the playlist folder, how
// full screen treats the display mode and the other windows, and whether
// every start is a player of its own. Nothing of it takes effect before the
// program is started again.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/UControls.h"
#include "win/UForm.h"

class TSetting;

class TEnvConfigDialog : public TForm {
public:
    // global: the global store. pendingConfigDir: the settings folder chosen
    // in this dialog earlier in the run (empty: none); configDir: the
    // settings folder in use; defaultUserDir: the per-user default folder,
    // which the dialog shows as an empty field.
    TEnvConfigDialog(HWND owner, TSetting& global, const std::string& pendingConfigDir,
                     const std::string& configDir, const std::string& defaultUserDir);
    ~TEnvConfigDialog() override;

    // Modal: mrOK (after the folders were checked) or mrCancel.
    int ShowModal();
    // Writes the values to the global store and, in multi-user mode, the
    // settings folder to the registry (after mrOK).
    void Save();
    // The settings folder field, which becomes the pending settings folder.
    std::string ConfPathText() const { return ConfPathEdit->Text(); }
    // The enabling rules (run whenever the loop is idle).
    void UpdateControls();
    // OK: asks about missing folders; true when the dialog may close.
    bool Validate();

    // In tab order.
    std::unique_ptr<TButton> OKBtn, CancelBtn;
    std::unique_ptr<TCheckBox> MultiUserChk;
    std::unique_ptr<TLabel> ConfPathLabel;
    std::unique_ptr<TEdit> ConfPathEdit;
    std::unique_ptr<TButton> ConfPathRefBtn, PlayListPathRefBtn;
    std::unique_ptr<TEdit> PlayListPathEdit;
    std::unique_ptr<TCheckBox> NoDisplayChangeChk, ForceWindowPosRestoreChk;
    // "複数起動を許可": the global value "MultipleInstances".
    std::unique_ptr<TCheckBox> MultipleInstancesChk;

    // Message boxes and the folder browser (the system's, unless replaced
    // as tests do). BrowseFolder returns the chosen folder, or "" when the
    // user cancelled.
    std::function<int(const std::string& text, UINT flags)> ShowMessage;
    std::function<std::string(const std::string& title)> BrowseFolder;
    // Once the modal dialog is on the screen.
    std::function<void(TEnvConfigDialog&)> OnShow;

private:
    bool AskToCreate(const std::string& folder);

    TSetting& FGlobal;
    std::vector<std::unique_ptr<TLabel>> FStatics;
    int FIdleHandler = 0;
};

// The main window's command: shows the dialog and, on OK, saves it and
// takes its settings folder field as the pending settings folder. Returns
// true on OK.
bool ShowEnvConfigDialog(HWND owner, TSetting& global, std::string& pendingConfigDir,
                         const std::string& configDir, const std::string& defaultUserDir,
                         const std::function<void(TEnvConfigDialog&)>& onShow = nullptr);
