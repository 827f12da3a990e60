#include "app/shell/entry.h"

#include <algorithm>

#include "app/login/login_item_command.h"
#include "app/shell/app_delegate.h"
#include "common/fail.h"

namespace dralmik {

namespace {

// The reopen event a second copy sends to the running one: class 'aevt', id 'rapp', an
// automatic return id, any transaction, no reply awaited, five seconds to deliver.
constexpr ReopenEvent kReopenEvent{0x61657674, 0x72617070, -1, 0, 1, 5.0};

}  // namespace

int applicationMain(Platform& platform) {
    const std::vector<std::string> cli = platform.processInfo().arguments();

    if (cli.size() == 4 && cli[1] == "--login-item") {
        if (!platform.system().isAtLeast(13, 0)) fail("login items need macOS 13 or later");
        loginItemCommand(platform.appService(), cli[2], cli[3]);
    }

    const int me = platform.processInfo().processIdentifier();

    if (auto identifier = platform.bundle().bundleIdentifier()) {
        RunningCopies& copies = platform.runningCopies();
        for (const RunningApplication& running : copies.runningApplications(*identifier)) {
            if (running.processIdentifier == me || running.terminated) continue;
            if (std::find(cli.begin(), cli.end(), "--background") != cli.end()) return 0;
            copies.sendReopenEvent(running.processIdentifier, kReopenEvent);
            copies.activate(running.processIdentifier, kActivateIgnoringOtherApps);
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
