// Shared set-up for the sending tests: a simulated desktop as the current one, a
// scripted prompt, fresh window lists and hooks whose clock moves only when the code
// under test yields.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "framework/prompt.h"
#include "platform/desktop/simulated_desktop.h"
#include "send/account_source.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/windows.h"

namespace corvix::send::testing {

// Accounts held in a list: the watched ones in list order, look-up by id.
class ListAccounts : public AccountSource {
  public:
    std::vector<vault::PasRecord> accounts;
    std::vector<vault::PasRecord> watchedAccounts() override {
        std::vector<vault::PasRecord> out;
        for (const auto& a : accounts)
            if (a.Watch) out.push_back(a);
        return out;
    }
    bool accountById(int32_t id, vault::PasRecord& out) override {
        for (const auto& a : accounts)
            if (a.PAS_ID == id) {
                out = a;
                return true;
            }
        return false;
    }
    void remove(int32_t id) {
        std::erase_if(accounts, [&](const vault::PasRecord& a) { return a.PAS_ID == id; });
    }
};

inline vault::PasRecord account(int32_t id, std::string window, std::string action,
                                std::string text = "") {
    vault::PasRecord a;
    a.PAS_ID = id;
    a.Name = "user" + std::to_string(id);
    a.Password = "pw" + std::to_string(id);
    a.TargetWindow = std::move(window);
    a.TargetWindowText = std::move(text);
    a.Action = std::move(action);
    a.Watch = 1;
    return a;
}

// No desktop at all: without this, the process-wide desktop falls back to $DISPLAY.
class NoDisplay {
  public:
    NoDisplay() {
        if (const char* d = std::getenv("DISPLAY")) saved_ = d, had_ = true;
        unsetenv("DISPLAY");
        desktop::setCurrentDesktop(nullptr);
    }
    ~NoDisplay() {
        if (had_) setenv("DISPLAY", saved_.c_str(), 1);
        desktop::setCurrentDesktop(nullptr);
    }

  private:
    std::string saved_;
    bool had_ = false;
};

class SendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop::setCurrentDesktop(&desk);
        framework::setPrompt(&prompt);
        resetWindowLists();
        resetSendHooks();
        keySender().Init("[]");
        SendHooks& h = sendHooks();
        h.now = [this] { return moment; };
        h.yield = [this] {
            ++yields;
            moment += yieldStep;
            if (onYield) onYield();
        };
        h.postIconize = [this] {
            iconizedAtYield = yields;
            ++iconizes;
        };
        h.today = [] { return std::string("06/12/2026"); };
        h.mayType = [this] { return loggedOn; };
    }
    void TearDown() override {
        desktop::setCurrentDesktop(nullptr);
        framework::setPrompt(nullptr);
        resetSendHooks();
        resetWindowLists();
    }

    desktop::SimulatedDesktop desk;
    framework::ScriptedPrompt prompt;
    double moment = 80000.5;         // a day and noon
    double yieldStep = 1.0 / 86400;  // every yield lets one second pass
    int yields = 0;
    int iconizes = 0;
    int iconizedAtYield = -1;
    bool loggedOn = true;
    std::function<void()> onYield;
};

}  // namespace corvix::send::testing
