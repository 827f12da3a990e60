#pragma once
// Starting the menu-bar icon at login: the service-managed agent, or on older systems a
// launch-agent file in the user's folder.
#include <string>
#include <string_view>

namespace dralmik {

inline constexpr const char* kLoginAgentPlistName = "com.dralmik.gateway.app-login.plist";
// Under the user's home directory.
inline constexpr const char* kLegacyAgentFolder = "/Library/LaunchAgents";
inline constexpr const char* kLegacyAgentFileName = "/com.dralmik.gateway-app.plist";

// The launch-agent document that starts the executable with "--background" at login.
std::string legacyAgentDocument(std::string_view executablePath);

}  // namespace dralmik
