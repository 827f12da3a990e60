// Dralmik LLM Gateway on the Linux desktop.
#include <cstdio>
#include <unistd.h>

#include "app/shell/entry.h"
#include "platform/gtk/gtk_platform.h"

int main(int argc, char** argv) {
    dralmik::gtk::GtkPlatform platform(argc, argv);
    const int status = dralmik::applicationMain(platform);
    // The process ends here without running destructors: the gateway child's reader threads
    // and the web engine's objects may still be in use, and nothing needs tearing down.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}
