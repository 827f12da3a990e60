#include "common/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace dralmik {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

}  // namespace dralmik
