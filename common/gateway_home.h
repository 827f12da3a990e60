#pragma once
// The gateway's default home directory, under the user's home directory; both programs use it
// when DRALMIK_HOME is not defined.
namespace dralmik {

inline constexpr const char* kDefaultGatewayHomeSuffix = "/Library/Application Support/Dralmik Gateway";

}  // namespace dralmik
