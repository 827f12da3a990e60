#pragma once
// The running process as POSIX shows it: the command line given to main, the environment in
// environ (read afresh on each call) less the variables the process set for itself alone, and
// the home-directory rule of bundle_paths.h.
#include "platform/process_info.h"

namespace dralmik::posix {

class PosixProcessInfo : public ProcessInfo {
public:
    PosixProcessInfo(int argc, const char* const* argv);

    std::vector<std::string> arguments() const override { return arguments_; }
    // An entry defined with an empty value is present; an entry without "=" or without a name is
    // left out; when a name occurs twice the first one counts, as it does for getenv().
    std::map<std::string, std::string> environment() const override;
    // Variables the process set in its own environment for itself alone (the web engine's
    // settings): environment(), which is what its children get, leaves them out.
    void setOwnVariables(std::vector<std::string> names) { ownVariables_ = std::move(names); }
    std::string homeDirectory() const override;
    double systemUptime() const override;

private:
    std::vector<std::string> arguments_;
    std::vector<std::string> ownVariables_;
};

}  // namespace dralmik::posix
