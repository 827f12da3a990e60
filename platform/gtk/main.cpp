// Dralmik LLM Gateway on the Linux desktop.
#include <unistd.h>

#include <cstdio>

#include "app/shell/entry.h"
#include "common/launch_timeline.h"
#include "platform/gtk/platform.h"

int main(int argc, char** argv) {
    dralmik::launchStep("main");
    dralmik::gtk::Platform platform(argc, argv);
    const int status = dralmik::applicationMain(platform);
    // The process ends here without running destructors: the gateway child's reader threads
    // and the web engine's objects may still be in use, and nothing needs tearing down.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}
