#include "app/gateway/utf8.h"

#include <cstdint>
#include <cstring>

namespace dralmik {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// What a lead byte allows: the sequence's length and the range of its second byte. The
// narrowed ranges after 0xE0, 0xED, 0xF0 and 0xF4 are what shut out overlong forms, surrogates
// and values above U+10FFFF. Length 0: the byte can begin no sequence.
struct Lead {
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
};

Lead leadOf(unsigned char byte) {
    Lead lead;
    if (byte >= 0xC2 && byte <= 0xDF) {
        lead.length = 2;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lead.length = 3;
        if (byte == 0xE0) lead.low = 0xA0;
        if (byte == 0xED) lead.high = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lead.length = 4;
        if (byte == 0xF0) lead.low = 0x90;
        if (byte == 0xF4) lead.high = 0x8F;
    }
    return lead;
}

// Whether byte may stand at position k (1 and up) of a sequence begun by lead.
bool continues(const Lead& lead, std::size_t k, unsigned char byte) {
    return k == 1 ? (byte >= lead.low && byte <= lead.high) : (byte >= 0x80 && byte <= 0xBF);
}

}  // namespace

std::string Utf8ChunkDecoder::decode(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::string text;
    text.reserve(tailSize_ + size + 8);
    std::size_t i = 0;

    // First finish (or give up on) the character the previous read began.
    if (tailSize_ > 0) {
        const Lead lead = leadOf(static_cast<unsigned char>(tail_[0]));
        std::size_t k = tailSize_;
        while (k < lead.length && i < size && continues(lead, k, data[i])) tail_[k++] = static_cast<char>(data[i++]);
        if (k == lead.length) {
            text.append(tail_, k);
            tailSize_ = 0;
        } else if (i == size) {
            tailSize_ = k;  // still unfinished: wait for the next read
            return text;
        } else {
            text += kReplacement;  // broken by data[i], which is decoded afresh below
            tailSize_ = 0;
        }
    }

    std::size_t run = i;  // start of the well-formed bytes not yet copied
    while (i < size) {
        // Log output is mostly ASCII: skip it eight bytes at a time.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= size) break;
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        const Lead lead = leadOf(data[i]);
        std::size_t k = 1;
        while (k < lead.length && i + k < size && continues(lead, k, data[i + k])) ++k;
        if (lead.length != 0 && k == lead.length) {
            i += k;
            continue;
        }
        text.append(bytes.substr(run, i - run));
        if (lead.length != 0 && i + k == size) {
            // Cut off by the end of the read with every byte still allowed: carry it.
            tailSize_ = k;
            std::memcpy(tail_, data + i, k);
            return text;
        }
        // The maximal subpart is the k bytes that still fitted (the lead alone when none did).
        text += kReplacement;
        i += k;
        run = i;
    }
    text.append(bytes.substr(run, size - run));
    return text;
}

std::string Utf8ChunkDecoder::finish() {
    if (tailSize_ == 0) return {};
    tailSize_ = 0;
    return std::string(kReplacement);
}

}  // namespace dralmik
