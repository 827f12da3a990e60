// The chunk decoder: tails carried across reads, strict validity, what is dropped and when.
#include <gtest/gtest.h>

#include <string>

#include "app/gateway/utf8.h"

namespace dralmik {
namespace {

using Decoded = std::optional<std::string>;

TEST(Utf8ChunkDecoder, WholeCharactersPassUnchanged) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("plain ascii, long enough for the word loop\n"),
              "plain ascii, long enough for the word loop\n");
    EXPECT_EQ(decoder.decode(""), "");
    // The edges of every length and of the ranges around the surrogates.
    const std::string edges =
        "\x7F \xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
    EXPECT_EQ(decoder.decode(edges), edges);
    EXPECT_EQ(decoder.decode(std::string("nul \0 inside", 12)), std::string("nul \0 inside", 12));
}

TEST(Utf8ChunkDecoder, TailIsCarriedToTheNextChunk) {
    // Every cut through a 2-, 3- and 4-byte character, with text on both sides.
    for (const std::string ch : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
        const std::string whole = "ab" + ch + "cd";
        for (std::size_t cut = 3; cut < 2 + ch.size(); ++cut) {
            Utf8ChunkDecoder decoder;
            EXPECT_EQ(decoder.decode(whole.substr(0, cut)), "ab");
            EXPECT_EQ(decoder.decode(whole.substr(cut)), ch + "cd") << "cut at " << cut;
        }
    }
}

TEST(Utf8ChunkDecoder, TailIsCarriedAcrossSeveralChunks) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("x\xF0"), "x");
    EXPECT_EQ(decoder.decode("\x9F"), "");
    EXPECT_EQ(decoder.decode("\x98"), "");
    EXPECT_EQ(decoder.decode("\x80y\xE2\x82"), "\xF0\x9F\x98\x80y");
    EXPECT_EQ(decoder.decode("\xAC"), "\xE2\x82\xAC");
}

TEST(Utf8ChunkDecoder, InvalidSequenceDropsTheWholeChunk) {
    const char* const invalid[] = {
        "\x80",              // continuation without a lead
        "\xBF",              //
        "\xC0\x80",          // overlong NUL
        "\xC1\xBF",          // overlong U+007F
        "\xE0\x80\x80",      // overlong three bytes
        "\xE0\x9F\xBF",      //
        "\xF0\x80\x80\x80",  // overlong four bytes
        "\xF0\x8F\xBF\xBF",  //
        "\xED\xA0\x80",      // surrogates
        "\xED\xBF\xBF",      //
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",  //
        "\xFF",              //
        "\xFE",              //
        "\xE2\x82\x41",      // cut short by ASCII
        "\xC2\xC2\x80",      // cut short by a lead
        "\xF0\x9F\x98\x80\x80",  // one continuation too many
    };
    for (const char* bad : invalid) {
        Utf8ChunkDecoder decoder;
        EXPECT_EQ(decoder.decode(std::string("good text before ") + bad + " and after"), std::nullopt) << bad;
        EXPECT_EQ(decoder.decode("next"), "next") << "after " << bad;
    }
}

TEST(Utf8ChunkDecoder, BeginningThatCanNeverCompleteIsInvalidNotATail) {
    for (const char* bad : {"\xE0\x80", "\xE0\x9F", "\xED\xA0", "\xF0\x8F", "\xF4\x90", "\xF5", "\xC0", "\xC1"}) {
        Utf8ChunkDecoder decoder;
        EXPECT_EQ(decoder.decode(std::string("ok") + bad), std::nullopt) << bad;
    }
}

TEST(Utf8ChunkDecoder, InvalidChunkDropsTheCarriedTail) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("a\xE2\x82"), "a");
    EXPECT_EQ(decoder.decode("b\xFF"), std::nullopt);
    // Were the tail still there, this would complete it.
    EXPECT_EQ(decoder.decode("\xAC"), std::nullopt);
    EXPECT_EQ(decoder.decode("c"), "c");
}

TEST(Utf8ChunkDecoder, TailThatTheNextChunkBreaksDropsBoth) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("\xE2"), "");
    EXPECT_EQ(decoder.decode("A long line of text"), std::nullopt);
    EXPECT_EQ(decoder.decode("B"), "B");
}

TEST(Utf8ChunkDecoder, FinishDropsAnIncompleteTail) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("last words\xF0\x9F\x98"), "last words");
    decoder.finish();
    EXPECT_EQ(decoder.decode("\x80"), std::nullopt);
    EXPECT_EQ(decoder.decode("fresh"), "fresh");
    decoder.finish();
    EXPECT_EQ(decoder.decode("\xC3\xA9"), "\xC3\xA9");
}

}  // namespace
}  // namespace dralmik
