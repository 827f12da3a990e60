#include "common/fail.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace dralmik {

void fail(std::string_view message) {
    std::string line(message);
    line += '\n';
    // One write; a short write (a full pipe, a signal) finishes the rest rather than losing it.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    std::exit(1);
}

}  // namespace dralmik
