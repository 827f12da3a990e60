#pragma once
// Decoding of the child's output, one pipe read at a time. A read can end anywhere, also in the
// middle of a character, so a chunk that ends inside a multi-byte sequence hands its incomplete
// tail (at most 3 bytes) on to the next chunk instead of losing the character. Validity is
// strict UTF-8: overlong forms, surrogates (U+D800-U+DFFF) and values above U+10FFFF are
// invalid, as are stray continuation bytes and the bytes 0xC0, 0xC1 and 0xF5-0xFF.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dralmik {

class Utf8ChunkDecoder {
public:
    // The text of one read, completed at the front by the tail the previous read left over.
    // No value when the bytes (together with that tail) hold an invalid sequence: then the
    // whole chunk is dropped and the carried tail with it. An empty text is a valid answer
    // (a chunk that only began a character).
    std::optional<std::string> decode(std::string_view bytes);

    // End of file: an incomplete tail can never be completed and is dropped.
    void finish();

private:
    char tail_[3] = {};
    std::size_t tailSize_ = 0;
};

}  // namespace dralmik
