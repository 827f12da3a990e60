#pragma once
// Decoding of the child's output, one pipe read at a time. A read can end anywhere, also in the
// middle of a character, so a chunk that ends inside a multi-byte sequence hands its incomplete
// tail (at most 3 bytes) on to the next chunk instead of losing the character. Validity is
// strict UTF-8: overlong forms, surrogates (U+D800-U+DFFF) and values above U+10FFFF are
// invalid, as are stray continuation bytes and the bytes 0xC0, 0xC1 and 0xF5-0xFF.
//
// Nothing is ever dropped: each maximal subpart of an ill-formed sequence (the longest start of
// a well-formed sequence that is there, or else one byte) becomes one U+FFFD, as Unicode
// recommends, and the rest of the read is decoded as usual. So a log line with one Latin-1
// byte costs one character, never the read that also holds the address.
#include <cstddef>
#include <string>
#include <string_view>

namespace dralmik {

class Utf8ChunkDecoder {
public:
    // The text of one read, completed at the front by the tail the previous read left over.
    // A carried tail that this read does not complete becomes one U+FFFD, and the read is then
    // decoded as if nothing had come before it. Empty when the read only began a character.
    std::string decode(std::string_view bytes);

    // End of file: an incomplete tail can never be completed. Returns it as one U+FFFD (empty
    // when nothing was carried) and starts afresh.
    std::string finish();

private:
    char tail_[4] = {};  // at most 3 carried bytes; room for the completed character
    std::size_t tailSize_ = 0;
};

}  // namespace dralmik
