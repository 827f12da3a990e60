// The chunk decoder: tails carried across reads, strict validity, what is replaced and when.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/gateway/scanner.h"
#include "app/gateway/utf8.h"

namespace dralmik {
namespace {

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

// Each maximal subpart of an ill-formed sequence (the start of a well-formed sequence that is
// there, else one byte) is one U+FFFD; the text around it is kept.
TEST(Utf8ChunkDecoder, InvalidSequencesBecomeOneReplacementPerMaximalSubpart) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<const char*, std::string> cases[] = {
        {"\x80", r},                       // continuation without a lead
        {"\xBF", r},                       //
        {"\xC0\x80", r + r},               // overlong NUL: 0xC0 begins nothing
        {"\xC1\xBF", r + r},               // overlong U+007F
        {"\xE0\x80\x80", r + r + r},       // overlong three bytes
        {"\xE0\x9F\xBF", r + r + r},       //
        {"\xF0\x80\x80\x80", r + r + r + r},  // overlong four bytes
        {"\xF0\x8F\xBF\xBF", r + r + r + r},  //
        {"\xED\xA0\x80", r + r + r},       // surrogates
        {"\xED\xBF\xBF", r + r + r},       //
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xF5\x80\x80\x80", r + r + r + r},  //
        {"\xFF", r},                       //
        {"\xFE", r},                       //
        {"\xE2\x82\x41", r + "A"},         // cut short by ASCII: one replacement for two bytes
        {"\xF0\x9F\x98\x41", r + "A"},     // and for three
        {"\xC2\xC2\x80", r + "\xC2\x80"},  // cut short by a lead, which then begins a character
        {"\xF0\x9F\x98\x80\x80", "\xF0\x9F\x98\x80" + r},  // one continuation too many
        {"\xE9t\xE9", r + "t" + r},        // Latin-1 text
        // The example Unicode gives for this practice.
        {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a" + r + r + r + "b" + r + "c" + r + r + "d"},
    };
    for (const auto& [bad, replaced] : cases) {
        Utf8ChunkDecoder decoder;
        EXPECT_EQ(decoder.decode(std::string("good text before ") + bad + " and after"),
                  "good text before " + replaced + " and after")
            << bad;
        EXPECT_EQ(decoder.decode("next"), "next") << "after " << bad;
    }
}

TEST(Utf8ChunkDecoder, BeginningThatCanNeverCompleteIsReplacedNotCarried) {
    const std::string r = "\xEF\xBF\xBD";
    for (const char* bad : {"\xE0\x80", "\xE0\x9F", "\xED\xA0", "\xF0\x8F", "\xF4\x90"}) {
        Utf8ChunkDecoder decoder;
        EXPECT_EQ(decoder.decode(std::string("ok") + bad), "ok" + r + r) << bad;
        EXPECT_EQ(decoder.finish(), "") << bad;
    }
    for (const char* bad : {"\xF5", "\xC0", "\xC1"}) {
        Utf8ChunkDecoder decoder;
        EXPECT_EQ(decoder.decode(std::string("ok") + bad), "ok" + r) << bad;
        EXPECT_EQ(decoder.finish(), "") << bad;
    }
}

// A carried tail that the next read does not complete is one U+FFFD; the read itself is
// decoded as it is, also when it is the one that holds the address.
TEST(Utf8ChunkDecoder, UnfinishedTailCostsOneReplacementNotTheNextRead) {
    const std::string r = "\xEF\xBF\xBD";
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("x\xE2"), "x");
    EXPECT_EQ(decoder.decode("A long line of text"), r + "A long line of text");
    EXPECT_EQ(decoder.decode("a\xF0\x9F"), "a");
    EXPECT_EQ(decoder.decode("\x98"), "");
    EXPECT_EQ(decoder.decode("\xC3\xA9"), r + "\xC3\xA9");  // broken by a lead that begins a character
    EXPECT_EQ(decoder.decode("a\xE2\x82"), "a");
    EXPECT_EQ(decoder.decode("b\xFF"), r + "b" + r);
    EXPECT_EQ(decoder.decode("\xAC"), r);  // were the tail still there, this would complete it
    EXPECT_EQ(decoder.decode("c"), "c");
}

TEST(Utf8ChunkDecoder, FinishReplacesAnIncompleteTail) {
    Utf8ChunkDecoder decoder;
    EXPECT_EQ(decoder.decode("last words\xF0\x9F\x98"), "last words");
    EXPECT_EQ(decoder.finish(), "\xEF\xBF\xBD");
    EXPECT_EQ(decoder.decode("\x80"), "\xEF\xBF\xBD");
    EXPECT_EQ(decoder.decode("fresh"), "fresh");
    EXPECT_EQ(decoder.finish(), "");
    EXPECT_EQ(decoder.decode("\xC3\xA9"), "\xC3\xA9");
}

// The read path as the application runs it: a bad byte in the read with the address, or an
// unfinished character before it, still lets the scanner find the address.
TEST(Utf8ChunkDecoder, AddressIsFoundDespiteBadBytesAroundIt) {
    const std::vector<std::vector<std::string>> runs = {
        {"opened caf\xE9.log\nhttp://localhost:8080/\n"},
        {"x\xE2", "\nhttp://localhost:8080/\n"},  // the tail is on the line the next read goes on
        {"log \xF0\x9F", "\x98\n", "http://localhost:8080/\n"},
    };
    for (const auto& reads : runs) {
        Utf8ChunkDecoder decoder;
        OutputScanner scanner;
        std::string output;
        std::optional<Url> url;
        for (const std::string& read : reads) {
            output += decoder.decode(read);
            url = scanner.scan(output);
        }
        ASSERT_TRUE(url) << reads.front();
        EXPECT_EQ(url->string(), "http://localhost:8080/");
    }
}

}  // namespace
}  // namespace dralmik
