// The tests' way into the main window, which keeps its parts and handlers to
// itself: Probe(form).View() is what it shows (actions, menus, controls),
// the rest its owned parts and the handlers the tests call directly (their
// actions run through View().SomeAction.Execute()).
#pragma once

#include <string>
#include <vector>

#include "ui/UMainForm.h"

struct TMainFormProbe {
    TMainForm& Form;

    TMainFormView& View() { return Form; }
    TController& Controller() { return *Form.Controller; }
    TPlayLists& PlayLists() { return *Form.PlayLists; }
    TTrayIcon& TrayIcon() { return Form.TrayIcon; }

    void PlayCommand() { Form.PlayCommand(); }
    void StopCommand() { Form.StopCommand(); }
    void SelectPlayList(int index) { Form.SelectPlayList(index); }
    void RefreshPlayListViews() { Form.RefreshPlayListViews(); }
    void SaveCurrentPlayList() { Form.SaveCurrentPlayList(); }
    void SaveChanges() { Form.SaveChanges(); }
    void DropOnFileList(const std::vector<std::string>& files) { Form.DropOnFileList(files); }
    void DropOnMovieWindow(const std::vector<std::string>& files) { Form.DropOnMovieWindow(files); }
    // Menu items without an action.
    void PlayCenterMenuClick() { Form.PlayCenterMenuClick(); }
    void StretchAutoMenuClick() { Form.StretchAutoMenuClick(); }
    void ChooseStretchRatio(int percent) { Form.ChooseStretchRatio(percent); }
    void D2Click() { Form.D2Click(); }
    void GUIC1Click() { Form.GUIC1Click(); }
    void ExportM3U8MenuClick() { Form.ExportM3U8MenuClick(); }
};

inline TMainFormProbe Probe(TMainForm& form) { return {form}; }
