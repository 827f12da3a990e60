// Line splitting, trimming, single-line judgement and the incremental scanner's awkward cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gateway/scanner.h"
#include "reference_scan.h"

namespace dralmik {
namespace {

using Lines = std::vector<std::string>;

const char* const kLineBreaks[] = {"\n", "\v", "\f", "\r", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};

// U+0009 and every Zs code point.
const char* const kSpaces[] = {"\t",           " ",            "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80",
                               "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85",
                               "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",
                               "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};

std::optional<std::string> text(const std::optional<Url>& url) {
    if (!url) return std::nullopt;
    return url->string();
}

TEST(SplitLines, EveryLineBreakEndsALine) {
    for (const char* br : kLineBreaks) {
        EXPECT_EQ(splitLines(std::string("one") + br + "two"), (Lines{"one", "two"})) << "break " << br;
    }
}

TEST(SplitLines, EmptyPiecesAreNoLines) {
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("\n\r\n\v"), Lines{});
    EXPECT_EQ(splitLines("\r\na\r\n\r\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitLines("\xE2\x80\xA8\xC2\x85x\xE2\x80\xA9\f"), Lines{"x"});
}

TEST(SplitLines, LastPieceWithoutBreakIsALine) {
    EXPECT_EQ(splitLines("first\nlast"), (Lines{"first", "last"}));
    EXPECT_EQ(splitLines("only"), Lines{"only"});
}

TEST(SplitLines, LinesKeepTheirText) {
    EXPECT_EQ(splitLines("  padded \t\n\xC2\xA0nbsp"), (Lines{"  padded \t", "\xC2\xA0nbsp"}));
}

TEST(SplitLines, CharactersSharingBytesWithBreaksDoNotSplit) {
    // U+0145 ends in 0x85, U+0084 and U+00C5 neighbour U+0085, U+2027 and U+202A neighbour
    // U+2028/U+2029, U+2828 ends in 0xA8, U+1F328 ends in 0xA8, U+0E85 ends in 0x85.
    const std::string lookalikes =
        "\xC5\x85 \xC2\x84 \xC3\x85 \xE2\x80\xA7 \xE2\x80\xAA \xE2\xA0\xA8 \xF0\x9F\x8C\xA8 \xE0\xBA\x85";
    EXPECT_EQ(splitLines(lookalikes), Lines{lookalikes});
}

TEST(Trim, RemovesTabAndEverySpaceSeparatorAtBothEnds) {
    for (const char* space : kSpaces) {
        const std::string padded = std::string(space) + space + "a" + space + "b" + space;
        EXPECT_EQ(trimLineWhitespace(padded), std::string("a") + space + "b") << "space " << space;
    }
    EXPECT_EQ(trimLineWhitespace(" \t\xE3\x80\x80 "), "");
    EXPECT_EQ(trimLineWhitespace(""), "");
}

TEST(Trim, KeepsWhatIsNoSpaceSeparator) {
    // U+200B zero width space and U+FEFF are format characters, U+180E no longer a space,
    // U+0085 a control, U+205E and U+200B neighbour the set, U+3001 follows U+3000.
    for (const char* kept : {"\xE2\x80\x8B", "\xEF\xBB\xBF", "\xE1\xA0\x8E", "\xC2\x85", "\xE2\x81\x9E",
                             "\xE3\x80\x81", "\xE2\x80\xB0", "\xC2\xA1", "\r"}) {
        const std::string line = std::string(kept) + "x" + kept;
        EXPECT_EQ(trimLineWhitespace(line), line) << "kept " << kept;
    }
    // A character ending in 0xA0 is not a no-break space (U+0120 is C4 A0).
    EXPECT_EQ(trimLineWhitespace("x\xC4\xA0"), "x\xC4\xA0");
}

TEST(AnnouncedUrl, TakesEitherPrefixWithSurroundingWhitespaceRemoved) {
    EXPECT_EQ(text(announcedUrl("http://localhost:8080/")), "http://localhost:8080/");
    EXPECT_EQ(text(announcedUrl("\t https://localhost:443/app?x=1#top \xE2\x80\xAF")),
              "https://localhost:443/app?x=1#top");
}

TEST(AnnouncedUrl, RejectsNearMisses) {
    for (const char* line : {"Listening on http://localhost:8080", "http://LOCALHOST:8080", "HTTP://localhost:8080",
                             "http://localhost/8080", "http://localhost", "http://127.0.0.1:8080",
                             "http://localhost.example:8080", "ftp://localhost:21", "http://localhost: 8080",
                             "http://localhost:8080/a b", "http://localhost:[", "\xE2\x80\x8Bhttp://localhost:1"}) {
        EXPECT_EQ(text(announcedUrl(line)), std::nullopt) << line;
    }
}

// The scanner fed by hand, each step checked against the rescan of the same output.
class Feed {
public:
    std::optional<std::string> add(std::string_view chunk) {
        output_ += chunk;
        auto got = text(scanner_.scan(output_));
        EXPECT_EQ(got, text(testing::referenceScan(output_))) << "output: " << output_;
        return got;
    }
    void restart() {
        output_.clear();
        scanner_.reset();
    }

private:
    std::string output_;
    OutputScanner scanner_;
};

TEST(OutputScanner, FirstUrlLineWinsAndStays) {
    Feed feed;
    EXPECT_EQ(feed.add("starting\nhttps://localhost:2/\nhttp://localhost:1/\n"), "https://localhost:2/");
    EXPECT_EQ(feed.add("http://localhost:3/\n"), "https://localhost:2/");
}

TEST(OutputScanner, OpenLineIsJudgedInItsCurrentForm) {
    Feed feed;
    EXPECT_EQ(feed.add("log\nhttp://localhost:80"), "http://localhost:80");
    // Grown into text that no longer parses, the line no longer announces.
    EXPECT_EQ(feed.add("80 ready"), std::nullopt);
    EXPECT_EQ(feed.add("\nhttp://localhost:9/"), "http://localhost:9/");
}

TEST(OutputScanner, LineCompletedByALaterChunkIsJudgedWhole) {
    Feed feed;
    EXPECT_EQ(feed.add("http"), std::nullopt);
    EXPECT_EQ(feed.add("://localhost:"), "http://localhost:");
    EXPECT_EQ(feed.add("[::1]\n"), std::nullopt);
    EXPECT_EQ(feed.add("http://localhost:5/\n"), "http://localhost:5/");
}

TEST(OutputScanner, ChunkEndingAfterCarriageReturn) {
    Feed feed;
    EXPECT_EQ(feed.add("booting\r"), std::nullopt);
    EXPECT_EQ(feed.add("\nhttp://localhost:7/\r"), "http://localhost:7/");
    EXPECT_EQ(feed.add("\n"), "http://localhost:7/");
}

TEST(OutputScanner, MultiByteBreakCutBetweenCalls) {
    for (const char* br : {"\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
        const std::string line = std::string("http://localhost:4/") + br + "tail";
        for (std::size_t cut = 1; cut < line.size(); ++cut) {
            Feed feed;
            feed.add(line.substr(0, cut));
            EXPECT_EQ(feed.add(line.substr(cut)), "http://localhost:4/") << "cut at " << cut;
        }
    }
}

TEST(OutputScanner, ResetStartsOver) {
    Feed feed;
    EXPECT_EQ(feed.add("http://localhost:1/\n"), "http://localhost:1/");
    feed.restart();
    EXPECT_EQ(feed.add("failed\n"), std::nullopt);
    EXPECT_EQ(feed.add("https://localhost:2/"), "https://localhost:2/");
}

TEST(OutputScanner, ShorterOutputIsANewOutput) {
    OutputScanner scanner;
    EXPECT_EQ(text(scanner.scan("noise\nhttp://localhost:1/\n")), "http://localhost:1/");
    EXPECT_EQ(text(scanner.scan("x\n")), std::nullopt);
}

}  // namespace
}  // namespace dralmik
