#include <gtest/gtest.h>

#include "common/url.h"

namespace dralmik {
namespace {

using std::nullopt;
using std::optional;
using std::string;

struct Parts {
    const char* text;
    optional<string> scheme;
    optional<string> host;
};

void expectParts(const Parts& c) {
    SCOPED_TRACE(c.text);
    auto url = Url::parse(c.text);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->string(), c.text);
    EXPECT_EQ(url->scheme(), c.scheme);
    EXPECT_EQ(url->host(), c.host);
}

TEST(UrlTest, AnnouncedGatewayAddressesKeepEveryPart) {
    for (const Parts& c : std::initializer_list<Parts>{
             {"http://localhost:8080/x?y#z", "http", "localhost"},
             {"https://localhost:8443/", "https", "localhost"},
             {"http://localhost:", "http", "localhost"},  // an empty port is allowed
             {"http://localhost:1/path/to/page?token=a%20b&x=1", "http", "localhost"},
             {"http://user:pw@localhost:9/", "http", "localhost"},
         }) {
        expectParts(c);
    }
}

TEST(UrlTest, SchemeAndHostAreKeptAsWritten) {
    expectParts({"HTTP://LocalHost:1/", "HTTP", "LocalHost"});
    expectParts({"Dralmik://Quit", "Dralmik", "Quit"});
}

TEST(UrlTest, AbsentHostIsToldApartFromAnEmptyOne) {
    expectParts({"dralmik:retry", "dralmik", nullopt});
    expectParts({"dralmik:///x", "dralmik", ""});
    expectParts({"dralmik://", "dralmik", ""});
    expectParts({"dralmik://quit", "dralmik", "quit"});
    expectParts({"mailto:someone@example.com", "mailto", nullopt});
    expectParts({"about:blank", "about", nullopt});
}

TEST(UrlTest, IpLiteralHostsComeWithoutBrackets) {
    expectParts({"http://[::1]:8080/", "http", "::1"});
    expectParts({"http://[fe80::1:2]/", "http", "fe80::1:2"});
    expectParts({"http://127.0.0.1:3000/", "http", "127.0.0.1"});
}

TEST(UrlTest, RelativeReferencesParseWithoutScheme) {
    expectParts({"/status", nullopt, nullopt});
    expectParts({"page.html?x=1#top", nullopt, nullopt});
    expectParts({"//localhost:1/x", nullopt, "localhost"});
    expectParts({"#fragment", nullopt, nullopt});
    expectParts({"", nullopt, nullopt});  // the empty reference is a valid one
}

TEST(UrlTest, TextTheGrammarRejectsHasNoValue) {
    for (const char* text : {
             "http://local host:1/",
             " http://localhost:1/",
             "http://localhost:1/ ",
             "http://localhost:1/a b",
             "http://localhost:1/\t",
             "http://localhost:abc/",
             "http://localhost:1/%zz",
             "http://localhost:1/%4",
             "http://[::1/",
             "http://::1/",
             "http://localhost:1/ä",
             "http://localhost:1/<script>",
             "1http://localhost:1/",
             "http://localhost:1/#a#b",
             "http://localhost:1/\"",
         }) {
        EXPECT_FALSE(Url::parse(text).has_value()) << text;
    }
    // The whole text must be taken: nothing after an embedded NUL is ignored.
    EXPECT_FALSE(Url::parse(std::string_view("http://localhost:1/\0evil", 24)).has_value());
}

TEST(UrlTest, EqualityIsByText) {
    EXPECT_EQ(Url::parse("http://localhost:1/"), Url::parse("http://localhost:1/"));
    EXPECT_NE(Url::parse("http://localhost:1/"), Url::parse("http://LOCALHOST:1/"));
}

}  // namespace
}  // namespace dralmik
