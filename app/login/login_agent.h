#pragma once
// Starting the menu-bar icon at login: the service-managed agent, or on older systems a
// launch-agent file in the user's folder.
#include <string>
#include <string_view>

#include "platform/system.h"

namespace dralmik {

// The first system that manages login items for the application; older ones take the file.
inline constexpr SystemVersion kServiceManagedLoginSystem{13, 0};

inline constexpr const char* kLoginAgentPlistName = "com.dralmik.gateway.app-login.plist";
// Under the user's home directory.
inline constexpr const char* kLegacyAgentFolder = "/Library/LaunchAgents";
inline constexpr const char* kLegacyAgentFileName = "/com.dralmik.gateway-app.plist";

// The launch-agent document that starts the executable with "--background" at login.
std::string legacyAgentDocument(std::string_view executablePath);

}  // namespace dralmik
