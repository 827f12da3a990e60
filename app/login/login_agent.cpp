#include "app/login/login_agent.h"

#include "app/gateway/status_page.h"
#include "app/shell/app_delegate.h"

namespace dralmik {

namespace {

constexpr std::string_view kLegacyHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "  <key>Label</key><string>com.dralmik.gateway-app</string>\n"
    "  <key>ProgramArguments</key>\n"
    "  <array><string>";

constexpr std::string_view kLegacyTail =
    "</string><string>--background</string></array>\n"
    "  <key>RunAtLoad</key><true/>\n"
    "  <key>LimitLoadToSessionType</key><string>Aqua</string>\n"
    "</dict>\n"
    "</plist>\n";

}  // namespace

std::string legacyAgentDocument(std::string_view executablePath) {
    std::string document(kLegacyHead);
    document += escapeMarkup(executablePath);
    document += kLegacyTail;
    return document;
}

void AppDelegate::keepIconAtLogin(bool enable) {
    Files& files = platform_.files();
    const std::string legacyFolder = platform_.processInfo().homeDirectory() + kLegacyAgentFolder;
    const std::string legacyPath = legacyFolder + kLegacyAgentFileName;

    if (platform_.system().isAtLeast(kServiceManagedLoginSystem)) {
        files.removeFile(legacyPath);
        auto service = platform_.appService().agentService(kLoginAgentPlistName);
        if (enable) {
            if (service->status() != AgentStatus::Enabled) service->registerService();
        } else {
            service->unregisterService();
        }
        return;
    }

    if (!enable) {
        files.removeFile(legacyPath);
        return;
    }
    std::optional<std::string> executable = platform_.bundle().executablePath();
    if (!executable) return;
    const std::string document = legacyAgentDocument(*executable);
    if (files.readTextFile(legacyPath) == document) return;
    files.createDirectories(legacyFolder);
    files.writeFileAtomically(legacyPath, document);
}

}  // namespace dralmik
