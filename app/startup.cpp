#include "app/startup.h"

#include "app/query_wizard_texts.h"

#include "framework/error_manager.h"
#include "framework/list_output.h"
#include "framework/settings_store.h"
#include "framework/threads.h"
#include "framework/vault_managers.h"
#include "libs/rubrica/rubrica.h"
#include "runtime/list_decorator.h"
#include "send/key_sender.h"
#include "vault/upgrade_registration.h"
#include "vault/vault_key.h"

namespace corvix::app {

namespace {
std::string& helpFileStorage() {
    static std::string name;
    return name;
}
bool& upgradeFlag() {
    static bool done = false;
    return done;
}

// Runs one step: its hook when there is one, else records it as skipped.
template <class F, class... A>
void step(StartupReport& r, const char* name, const F& hook, A&&... args) {
    if (!hook) {
        r.skipped.push_back(name);
        return;
    }
    r.steps.push_back(name);
    hook(std::forward<A>(args)...);
}
}  // namespace

const std::string& helpFile() {
    return helpFileStorage();
}
void setHelpFile(std::string name) {
    helpFileStorage() = std::move(name);
}

bool upgradesRegistered() {
    return upgradeFlag();
}
void resetUpgradesRegisteredForTests() {
    upgradeFlag() = false;
}

StartupHooks programHooks() {
    StartupHooks h;
    h.createManagers = [] { framework::createVaultManagers(); };
    h.initKeySender = [](std::string_view delimiters) { send::keySender().Init(delimiters); };
    h.registerUpgrades = [] { vault::registerTablesWithUpgradeLibrary(); };
    h.clearWindowLists = [] { framework::ThreadRegistry::instance().reset(); };
    h.destroyManagers = [] { framework::destroyVaultManagers(); };
    h.setQueryWizardTexts = [] { setQueryWizardTexts(); };
    h.initReportWizard = [] {
        rubrica::REPWIZINIT();
        // The libraries' lists print and export like the program's own.
        runtime::setListDecorator([](QAbstractItemView* list, const std::string& title) {
            framework::attachListOutput(list, title,
                                        [list] { return framework::modelSource(list); });
        });
    };
    return h;
}

int runProgram(const StartupHooks& hooks, StartupReport* report) {
    StartupReport local;
    StartupReport& r = report ? *report : local;

    vault::BuildVaultKey();
    r.steps.push_back("vault key");

    setHelpFile("Corvix.hlp");
    r.steps.push_back("help file");

    framework::ErrorManager errors;  // loads the message table
    framework::ErrorManager* previousErrors = framework::setErrorManager(&errors);
    r.steps.push_back("error manager");

    framework::SettingsStore settings;
    settings.Init("corvix.INI");
    framework::SettingsStore* previousSettings = framework::setSettingsStore(&settings);
    r.steps.push_back("settings store");

    step(r, "managers", hooks.createManagers);
    step(r, "key sender", hooks.initKeySender, std::string_view("[]"));
    if (!upgradeFlag()) {
        step(r, "upgrade registration", hooks.registerUpgrades);
        if (hooks.registerUpgrades) upgradeFlag() = true;
    }
    step(r, "report wizard", hooks.initReportWizard);
    step(r, "query wizard texts", hooks.setQueryWizardTexts);

    if (hooks.runMainFrame) {
        r.steps.push_back("main frame");
        r.frameResult = hooks.runMainFrame();
    } else {
        r.skipped.push_back("main frame");
    }

    // Shutdown, in reverse.
    settings.Kill();
    framework::setSettingsStore(previousSettings);
    r.steps.push_back("close settings store");
    step(r, "clear window lists", hooks.clearWindowLists);
    step(r, "destroy managers", hooks.destroyManagers);
    framework::setErrorManager(previousErrors);
    r.steps.push_back("close error manager");
    return 0;
}

}  // namespace corvix::app
