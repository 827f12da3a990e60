#pragma once
// Writing a whole buffer to a file descriptor: a short write (a full pipe, a signal) goes on
// with the rest rather than losing it. POSIX only, for both programs.
#include <string_view>

namespace dralmik {

// False when a write fails (errno then tells why); true once every byte is written.
bool writeAll(int fd, std::string_view bytes);

}  // namespace dralmik
