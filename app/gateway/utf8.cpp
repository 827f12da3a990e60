#include "app/gateway/utf8.h"

#include <cstdint>
#include <cstring>

namespace dralmik {

namespace {

enum class Shape { complete, unfinished, invalid };

struct Check {
    Shape shape;
    std::size_t end;  // where the complete characters end
};

// Walks the bytes once. A multi-byte sequence is judged by its lead byte, which fixes the
// length and the allowed range of the second byte; the narrowed ranges after 0xE0, 0xED, 0xF0
// and 0xF4 are what shut out overlong forms, surrogates and values above U+10FFFF. A sequence
// cut off by the end of the bytes is "unfinished" only if every byte it has is still allowed.
Check check(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        // Log output is mostly ASCII: skip it eight bytes at a time.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= size) break;
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return {Shape::invalid, i};
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= size) return {Shape::unfinished, i};
            const unsigned char byte = data[i + k];
            const bool allowed = k == 1 ? (byte >= low && byte <= high) : (byte >= 0x80 && byte <= 0xBF);
            if (!allowed) return {Shape::invalid, i};
        }
        i += length;
    }
    return {Shape::complete, size};
}

}  // namespace

std::optional<std::string> Utf8ChunkDecoder::decode(std::string_view bytes) {
    std::string text;
    text.reserve(tailSize_ + bytes.size());
    text.append(tail_, tailSize_);
    text.append(bytes);
    tailSize_ = 0;

    const Check result = check(text);
    if (result.shape == Shape::invalid) return std::nullopt;
    if (result.shape == Shape::unfinished) {
        // At most three bytes: a fourth would have finished or broken the sequence.
        tailSize_ = text.size() - result.end;
        std::memcpy(tail_, text.data() + result.end, tailSize_);
        text.resize(result.end);
    }
    return text;
}

void Utf8ChunkDecoder::finish() { tailSize_ = 0; }

}  // namespace dralmik
