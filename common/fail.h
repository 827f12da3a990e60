#pragma once
// The one error exit of both programs: the message and a line feed on standard error, in one
// write, then exit status 1.
#include <string_view>

namespace dralmik {

[[noreturn]] void fail(std::string_view message);

}  // namespace dralmik
