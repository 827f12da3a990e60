// The incremental scanner and the chunk decoder against plain references, on thousands of
// random outputs cut into random chunks. Fixed seeds: a failure reproduces, and the message
// names the case.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "app/gateway/scanner.h"
#include "app/gateway/utf8.h"
#include "reference_scan.h"

namespace dralmik {
namespace {

std::optional<std::string> text(const std::optional<Url>& url) {
    if (!url) return std::nullopt;
    return url->string();
}

class OutputGenerator {
public:
    explicit OutputGenerator(std::uint32_t seed) : random_(seed) {}

    // Lines of every kind, joined by every kind of line break, sometimes by none at all.
    std::string output() {
        std::string out;
        const int lines = pick(0, 12);
        for (int i = 0; i < lines; ++i) {
            if (chance(20)) out += padding();
            out += line();
            if (chance(20)) out += padding();
            out += separator();
        }
        return out;
    }

    // Cuts on character boundaries (for the scanner alone) or anywhere (through the decoder).
    std::vector<std::string> chunks(const std::string& text, bool anywhere) {
        std::vector<std::string> pieces;
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = std::min(text.size(), at + pick(1, chance(50) ? 4 : 40));
            if (!anywhere) {
                while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
            }
            pieces.push_back(text.substr(at, end - at));
            at = end;
        }
        return pieces;
    }

private:
    std::string line() {
        static const char* const urls[] = {
            "http://localhost:8080",   "http://localhost:3000/",      "https://localhost:8443/app",
            "http://localhost:1/?q=1", "https://localhost:2/#frag",   "http://localhost:",
            "https://localhost:65535", "http://localhost:9/a/b?c=d&e"};
        static const char* const nearMisses[] = {
            "http://LOCALHOST:8080",       "HTTPS://localhost:8443",  "http://localhost/",
            "http://localhost",            "https://localhost",       "http://127.0.0.1:8080",
            "Listening on http://localhost:8080", "> https://localhost:1", "http://localhost: 8080",
            "http://localhost:[",          "https://localhost:80 80", "http://localhost:8080/\xC3\xA9",
            "http:/localhost:1",           "http://localhost:1/a b",  "\xE2\x80\x8Bhttp://localhost:1",
            "http://localhost:1\"",        "https//localhost:3",      "ws://localhost:4"};
        static const char* const logs[] = {
            "[info] starting gateway",        "loading models \xE2\x80\xA6",   "warn: na\xC3\xAFve cache",
            "\xC5\x85 \xE2\x80\xA7 \xE2\xA0\xA8 \xF0\x9F\x8C\xA8 lookalikes", "error: EADDRINUSE 8080",
            "\xF0\x9F\x9A\x80 ready soon",    "x",                             "GET /health 200"};
        switch (pick(0, 9)) {
            case 0:
            case 1:
                return urls[pick(0, std::size(urls) - 1)];
            case 2:
            case 3:
            case 4:
                return nearMisses[pick(0, std::size(nearMisses) - 1)];
            default:
                return logs[pick(0, std::size(logs) - 1)];
        }
    }

    std::string padding() {
        static const char* const spaces[] = {"\t",           " ",            "\xC2\xA0",     "\xE1\x9A\x80",
                                             "\xE2\x80\x80", "\xE2\x80\x85", "\xE2\x80\x8A", "\xE2\x80\xAF",
                                             "\xE2\x81\x9F", "\xE3\x80\x80"};
        std::string pad;
        for (int n = pick(1, 3); n > 0; --n) pad += spaces[pick(0, std::size(spaces) - 1)];
        return pad;
    }

    std::string separator() {
        static const char* const breaks[] = {"\n", "\v", "\f", "\r", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};
        if (chance(8)) return "";  // the next line continues this one
        if (chance(15)) return "\r\n";
        std::string out = breaks[pick(0, std::size(breaks) - 1)];
        if (chance(10)) out += breaks[pick(0, std::size(breaks) - 1)];
        return out;
    }

    std::size_t pick(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random_);
    }
    bool chance(int percent) { return static_cast<int>(pick(0, 99)) < percent; }

    std::mt19937 random_;
};

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
    return out;
}

TEST(Differential, ScannerAnswersLikeAFullRescanAfterEveryChunk) {
    OutputGenerator generate(20240601);
    OutputScanner scanner;  // one scanner for all cases: reset() must really start over
    int found = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::string whole = generate.output();
        scanner.reset();
        std::string output;
        // Odd rounds also cut inside characters and line breaks: the scanner must not rely on
        // whole characters.
        for (const std::string& chunk : generate.chunks(whole, round % 2 == 1)) {
            output += chunk;
            const auto expected = text(testing::referenceScan(output));
            ASSERT_EQ(text(scanner.scan(output)), expected)
                << "round " << round << ", output so far: " << printable(output);
        }
        if (text(testing::referenceScan(output))) ++found;
    }
    // The generator must give both outcomes plenty of times, or the comparison proves little.
    EXPECT_GT(found, 1000);
    EXPECT_LT(found, 5000);
}

TEST(Differential, DecodedChunksRebuildTheOutputAndScanLikeARescan) {
    OutputGenerator generate(7);
    for (int round = 0; round < 4000; ++round) {
        const std::string whole = generate.output();
        Utf8ChunkDecoder decoder;
        OutputScanner scanner;
        std::string output;
        for (const std::string& chunk : generate.chunks(whole, true)) {
            output += decoder.decode(chunk);
            ASSERT_TRUE(whole.starts_with(output)) << "round " << round;
            ASSERT_EQ(text(scanner.scan(output)), text(testing::referenceScan(output)))
                << "round " << round << ", output so far: " << printable(output);
        }
        ASSERT_EQ(output, whole) << "round " << round;
    }
}

// A strict decoder written the long way: the code point's value, then the rules on it.
enum class Verdict { valid, unfinished, invalid };

Verdict judgeSequence(const std::string& s, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    std::uint32_t value;
    if (lead < 0x80) {
        length = 1;
        return Verdict::valid;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07;
    } else {
        return Verdict::invalid;
    }
    if (at + length > s.size()) {
        // Unfinished only if some continuation could still make a valid character: try the
        // edges of every range the rules distinguish.
        for (unsigned char fill : {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF}) {
            std::string completed = s.substr(at);
            while (completed.size() < length) completed += static_cast<char>(fill);
            std::size_t ignored;
            if (judgeSequence(completed, 0, ignored) == Verdict::valid) return Verdict::unfinished;
            for (unsigned char second : {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF}) {
                std::string other = s.substr(at);
                if (other.size() == 1) other += static_cast<char>(second);
                while (other.size() < length) other += static_cast<char>(fill);
                if (judgeSequence(other, 0, ignored) == Verdict::valid) return Verdict::unfinished;
            }
        }
        return Verdict::invalid;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return Verdict::invalid;
        value = (value << 6) | (byte(at + k) & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return Verdict::invalid;
    }
    return Verdict::valid;
}

// What the decoder should answer, chunk by chunk, from the carried bytes and the chunk: an
// ill-formed sequence is replaced by one U+FFFD for its longest start that some continuation
// could still complete (or for its first byte when none could).
std::string referenceDecode(std::string& carried, const std::string& chunk) {
    const std::string text = carried + chunk;
    carried.clear();
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length;
        switch (judgeSequence(text, at, length)) {
            case Verdict::valid:
                out += text.substr(at, length);
                at += length;
                break;
            case Verdict::unfinished:
                carried = text.substr(at);
                return out;
            case Verdict::invalid: {
                std::size_t part = 1;
                for (std::size_t m = std::min<std::size_t>(4, text.size() - at); m >= 2 && part == 1; --m) {
                    std::size_t ignored;
                    if (judgeSequence(text.substr(at, m), 0, ignored) == Verdict::unfinished) part = m;
                }
                out += "\xEF\xBF\xBD";
                at += part;
                break;
            }
        }
    }
    return out;
}

TEST(Differential, DecoderAgreesWithACodePointDecoderOnArbitraryBytes) {
    std::mt19937 random(99);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    // Mostly well-formed text with a few bytes that may break it; a bias towards the bytes
    // where the rules change.
    static const unsigned char interesting[] = {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                                0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
    static const char* const characters[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\x9F\xBF",
                                             "\xF4\x8F\xBF\xBF"};
    int replaced = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (int n = pick(0, 24); n > 0; --n) {
            if (pick(0, 15) == 0) {
                bytes += static_cast<char>(interesting[pick(0, std::size(interesting) - 1)]);
            } else {
                bytes += characters[pick(0, std::size(characters) - 1)];
            }
        }
        Utf8ChunkDecoder decoder;
        std::string carried, output;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::string chunk = bytes.substr(at, pick(1, 7));
            at += chunk.size();
            const std::string expected = referenceDecode(carried, chunk);
            if (expected.find("\xEF\xBF\xBD") != std::string::npos) ++replaced;
            const std::string decoded = decoder.decode(chunk);
            ASSERT_EQ(decoded, expected) << "round " << round << ", chunk " << printable(chunk) << " of "
                                         << printable(bytes);
            output += decoded;
        }
        // End of file: what is still carried is one replacement; a lone continuation then
        // proves it is gone.
        const std::string rest = decoder.finish();
        ASSERT_EQ(rest, carried.empty() ? "" : "\xEF\xBF\xBD") << "round " << round;
        output += rest;
        ASSERT_EQ(decoder.decode("\x80"), "\xEF\xBF\xBD");
        // Where the reads were cut changes nothing.
        Utf8ChunkDecoder whole;
        std::string atOnce = whole.decode(bytes);
        atOnce += whole.finish();
        ASSERT_EQ(atOnce, output) << "round " << round << ": " << printable(bytes);
    }
    EXPECT_GT(replaced, 1000);
}

}  // namespace
}  // namespace dralmik
