#include "common/fail.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/write_all.h"

namespace dralmik {

void fail(std::string_view message) {
    std::string line(message);
    line += '\n';
    writeAll(STDERR_FILENO, line);
    std::exit(1);
}

}  // namespace dralmik
