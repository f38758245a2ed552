// What every window test needs: a QApplication (offscreen), a scratch working directory
// holding the vault and the settings file, a scripted prompt, a fresh error manager, the
// thread registry reset, and the program's table managers.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/settings_store.h"
#include "framework/threads.h"
#include "framework/vault_managers.h"
#include "framework/window_manager.h"

namespace corvix::gui_test {

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs script once on the next window of procedure that opens (modal windows are
    // driven from inside their event loop).
    void onOpen(const std::string& procedure,
                std::function<void(framework::WindowManager&)> script);
    int opened(const std::string& procedure) const;  // windows of that name opened so far

    void addCategory(const std::string& name);
    void addAccount(const std::string& category, const std::string& description);
    std::vector<std::string> categories();                        // in key order, from the table
    std::vector<std::pair<std::string, std::string>> accounts();  // (description, category)

    // Titles and texts of every message shown so far.
    std::vector<std::string> titles() const;
    const framework::ScriptedPrompt::Asked* lastAsked() const;

    std::filesystem::path dir_, previousDir_;
    framework::ScriptedPrompt prompt_;
    framework::Prompt* previousPrompt_ = nullptr;
    std::unique_ptr<framework::ErrorManager> errors_;
    framework::ErrorManager* previousErrors_ = nullptr;
    framework::SettingsStore settings_;
    framework::SettingsStore* previousSettings_ = nullptr;
    std::unique_ptr<framework::VaultManagers> m_;
    std::vector<int> exitCodes_;
    std::vector<std::pair<std::string, std::function<void(framework::WindowManager&)>>> scripts_;
    std::vector<std::string> openedNames_;
};

// Types text into a widget with real key events.
void type(QWidget* w, const QString& text);

}  // namespace corvix::gui_test
