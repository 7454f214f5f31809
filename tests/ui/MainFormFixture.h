// The main window constructed in-process: an application with a hidden dummy
// main form, the program folder under a temporary folder, and the errors that
// reach the application's handler collected.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/UFileSystem.h"
#include "settings/USetting.h"
#include "tests/ui/TestSupport.h"
#include "ui/UConfigLocation.h"
#include "ui/UDummyMainForm.h"
#include "ui/UMainForm.h"
#include "win/UApplication.h"

struct MainFormFixture : ::testing::Test {
    TTempDir root;
    std::string program = root.Path() + "prog\\";
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TDummyMainForm> dummy;
    std::unique_ptr<TMainForm> form;
    std::vector<std::string> errors;

    void SetUp() override
    {
        FileSystem::ForceDirectories(program);
        OleInitialize(nullptr);
        app = std::make_unique<TApplication>();
        app->OnException = [this](const std::exception& e) { errors.push_back(e.what()); };
        dummy = std::make_unique<TDummyMainForm>();
        app->MainForm = dummy.get();
        ConfigDir = program;
    }
    void TearDown() override
    {
        form.reset();
        dummy.reset();
        app.reset();
        OleUninitialize();
    }
    // A main window of its own, in single-user mode unless userDir differs
    // from the program folder.
    std::unique_ptr<TMainForm> NewForm(std::vector<std::string> args, const std::string& userDir)
    {
        return std::make_unique<TMainForm>(
            std::move(args), TConfigFolders{program, [userDir] { return userDir; }, [] { return ""; }});
    }
    // Replaces `form`.
    void Create(std::vector<std::string> args = {})
    {
        form.reset();
        form = NewForm(std::move(args), program);
    }
};
