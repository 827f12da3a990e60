#include "common/fail.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/write_all.h"

namespace dralmik {

void logLine(std::string_view message) {
    std::string line(message);
    line += '\n';
    writeAll(STDERR_FILENO, line);
}

void fail(std::string_view message) {
    logLine(message);
    std::exit(1);
}

}  // namespace dralmik
