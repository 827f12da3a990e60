#pragma once
// What the process knows about itself. The core relies on: arguments() with the program path
// first; environment() as a map from name to value (a name defined with an empty value is
// present); homeDirectory() as the user's home directory path; systemUptime() in seconds, from
// a clock that only goes forward (not the wall clock).
#include <map>
#include <string>
#include <vector>

namespace dralmik {

class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;
    virtual std::vector<std::string> arguments() const = 0;
    virtual std::map<std::string, std::string> environment() const = 0;
    virtual std::string homeDirectory() const = 0;
    virtual double systemUptime() const = 0;
};

}  // namespace dralmik
