#include "app/shell/entry.h"

#include <algorithm>
#include <cstdio>

#include "app/login/login_agent.h"
#include "app/login/login_item_command.h"
#include "app/shell/app_delegate.h"
#include "common/fail.h"

namespace dralmik {

namespace {

constexpr const char* kUsage =
    "Usage: Dralmik LLM Gateway [--background]\n"
    "       Dralmik LLM Gateway --login-item register|unregister|status <agent.plist>\n"
    "\n"
    "Starts the gateway and shows its page; a second start shows the running copy's window.\n"
    "  --background   start with only the tray icon, as at login\n"
    "  --login-item   manage the start at login without starting the application\n"
    "  --help         show this text\n"
    "  --version      show the version\n";

}  // namespace

int applicationMain(Platform& platform) {
    const std::vector<std::string> cli = platform.processInfo().arguments();

    // Asking for help or the version touches nothing: not the running copy, not the gateway.
    if (cli.size() == 2 && (cli[1] == "--help" || cli[1] == "--version")) {
        const std::string text = cli[1] == "--help" ? kUsage : std::string("Dralmik LLM Gateway ") + DRALMIK_VERSION + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return 0;
    }

    if (cli.size() == 4 && cli[1] == "--login-item") {
        if (!platform.system().isAtLeast(kServiceManagedLoginSystem)) fail("login items need macOS 13 or later");
        loginItemCommand(platform.appService(), cli[2], cli[3]);
    }

    // A second copy hands over to the one that runs: a start at login only exits, any other
    // start asks the running copy to show its window.
    if (auto identifier = platform.bundle().bundleIdentifier()) {
        SingleInstance& instance = platform.singleInstance();
        if (!instance.claimPrimary(*identifier)) {
            if (std::find(cli.begin(), cli.end(), "--background") == cli.end()) instance.reopenPrimary();
            return 0;
        }
    }

    // The only copy: its gateway child starts now and comes up while the toolkit and the web
    // engine do; the launch sequence takes it over. A process that ends before then stops it.
    auto delegate = std::make_shared<AppDelegate>(platform);
    delegate->startGatewayAhead();
    if (!platform.bringUpUserInterface()) {
        delegate->applicationWillTerminate();
        return 1;
    }

    Application& application = platform.application();
    application.setDelegate(delegate);
    application.setActivationPolicy(ActivationPolicy::Regular);
    application.run();
    return 0;
}

}  // namespace dralmik
