#include "app/shell/entry.h"

#include <algorithm>

#include "app/login/login_agent.h"
#include "app/login/login_item_command.h"
#include "app/shell/app_delegate.h"
#include "common/fail.h"

namespace dralmik {

int applicationMain(Platform& platform) {
    const std::vector<std::string> cli = platform.processInfo().arguments();

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

    Application& application = platform.application();
    auto delegate = std::make_shared<AppDelegate>(platform);
    application.setDelegate(delegate);
    application.setActivationPolicy(ActivationPolicy::Regular);
    application.run();
    return 0;
}

}  // namespace dralmik
