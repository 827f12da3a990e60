#pragma once
// What both programs say on standard error: a line, with its line feed, in one write; and the
// one error exit, that line and then exit status 1.
#include <string_view>

namespace dralmik {

void logLine(std::string_view message);

[[noreturn]] void fail(std::string_view message);

}  // namespace dralmik
