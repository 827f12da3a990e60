// Starting the gateway, following its output and reporting how it ended.
#include "app/gateway/status_page.h"
#include "tests/unit/fixture.h"

namespace dralmik::testing {
namespace {

using Gateway = LaunchedApp;

const char* kCouldNotStart = "Dralmik LLM Gateway could not start";

TEST_F(Gateway, ChildIsTheBundledRuntimeWithTheGatewayScript) {
    launch();
    ASSERT_EQ(platform.launches.size(), 1u);
    const TaskSpec& spec = platform.launches[0];
    EXPECT_EQ(spec.executable, platform.resourceDir + "/runtime/node");
    EXPECT_EQ(spec.arguments,
              (std::vector<std::string>{platform.resourceDir + "/app/dist/main.js", "open", "--print"}));
    EXPECT_EQ(spec.environment.at("DRALMIK_HOME"), "/Users/ada/Library/Application Support/Dralmik Gateway");
    EXPECT_EQ(spec.environment.at("PATH"), "/usr/bin");
    EXPECT_TRUE(showsStatusPage("Starting Dralmik LLM Gateway"));
    EXPECT_EQ(statusDetail(), "This takes a few seconds.");
    EXPECT_EQ(platform.webView().html.find("dralmik://retry"), std::string::npos);
}

TEST_F(Gateway, AnExistingHomeIsPassedOnEvenWhenEmpty) {
    platform.env["DRALMIK_HOME"] = "";
    launch();
    EXPECT_EQ(platform.launches[0].environment.at("DRALMIK_HOME"), "");
}

TEST_F(Gateway, TheFirstAnnouncedAddressIsLoadedOnceWithItsSpacesTrimmed) {
    launch();
    platform.task().write("Listening on http://localhost:1/\n");  // not at the start: no candidate
    platform.task().write("http://localhost:2/ok?x=1\thttp://localhost:3/");  // one line, parses whole? no
    const size_t before = platform.webView().loads.size();
    platform.task().write("\n \t https://localhost:7777/path \u3000\nhttp://localhost:8888/\n");
    ASSERT_EQ(platform.webView().loads.size(), before + 1);
    EXPECT_EQ(platform.webView().loads.back(), "https://localhost:7777/path");
    EXPECT_EQ(platform.webView().lastTimeout, 60);

    platform.task().write("http://localhost:9999/\n");
    EXPECT_EQ(platform.webView().loads.size(), before + 1);
    EXPECT_EQ(platform.window().visible, true);
}

TEST_F(Gateway, ACharacterSplitAcrossReadsIsNotLost) {
    launch();
    const std::string line = "caf\xC3\xA9 ready\n";  // "café ready"
    platform.task().write(line.substr(0, 4));
    platform.task().write(line.substr(4));
    platform.task().exit(1);
    EXPECT_TRUE(showsStatusPage(kCouldNotStart));
    EXPECT_EQ(statusDetail(), "caf\xC3\xA9 ready");
}

// Neither a character the next read leaves unfinished nor a Latin-1 byte in the read costs
// the address that read holds.
TEST_F(Gateway, BadBytesCostCharactersNotTheAddress) {
    launch();
    const size_t before = platform.webView().loads.size();
    platform.task().write("x\xE2");
    platform.task().write("caf\xE9.log opened\nhttp://localhost:9999/\n");
    ASSERT_EQ(platform.webView().loads.size(), before + 1);
    EXPECT_EQ(platform.webView().loads.back(), "http://localhost:9999/");
}

TEST_F(Gateway, AnEarlyExitShowsTheLastLineAsWrittenWithARetryLink) {
    launch();
    platform.task().write("loading config\n   Error: port in use  \r\n\n");
    platform.task().exit(0);
    EXPECT_TRUE(platform.task().readingStopped);
    EXPECT_TRUE(showsStatusPage(kCouldNotStart));
    EXPECT_EQ(statusDetail(), "   Error: port in use  ");
    EXPECT_NE(platform.webView().html.find("href=\"dralmik://retry\""), std::string::npos);
}

TEST_F(Gateway, ASilentExitReportsItsStatus) {
    launch();
    platform.task().write("\n\r\n");
    platform.task().exit(3);
    EXPECT_EQ(statusDetail(), "The launcher exited without saying why (status 3).");
}

TEST_F(Gateway, AnExitAfterThePageIsShownChangesNothing) {
    launch();
    showGatewayPage();
    platform.task().exit(1);
    EXPECT_EQ(platform.webView().loads.back(), "http://localhost:4321/");
}

TEST_F(Gateway, MarkupInTheLastLineIsShownAsText) {
    launch();
    platform.task().write("<script>alert('x')</script> &lt;\n");
    platform.task().exit(2);
    EXPECT_EQ(statusDetail(), "&lt;script&gt;alert('x')&lt;/script&gt; &amp;lt;");
}

TEST_F(Gateway, AFailedLaunchKeepsTheEarlierChildAsTheOneToStop) {
    launch();
    TestTask& first = platform.task();
    platform.launchError = "The file \u201cnode\u201d doesn\u2019t exist.";
    ASSERT_EQ(platform.navigate("dralmik://retry"), NavigationPolicy::Cancel);
    EXPECT_TRUE(showsStatusPage(kCouldNotStart));
    EXPECT_EQ(statusDetail(), "The file \u201cnode\u201d doesn\u2019t exist.");
    platform.terminate();
    EXPECT_EQ(first.terminations, 1);
}

TEST_F(Gateway, ARetryWhileTheFirstChildRunsIsJudgedByTheNewRun) {
    launch();
    auto first = platform.tasks.back();
    first->write("first child says hello\n");
    platform.navigate("dralmik://retry");
    auto second = platform.tasks.back();
    ASSERT_NE(first, second);
    second->write("second child warming up\n");

    first->exit(5);  // the older child's exit is judged against the current run
    EXPECT_EQ(statusDetail(), "second child warming up");
    second->write("http://localhost:5555/\n");
    EXPECT_EQ(platform.webView().loads.back(), "http://localhost:5555/");

    platform.terminate();  // the first has exited already
    EXPECT_EQ(first->terminations, 0);
    EXPECT_EQ(second->terminations, 1);
}

TEST_F(Gateway, APageCannotStartGatewaysFasterThanOnceASecondAndQuitStopsThemAll) {
    platform.secondsPerLaunch = 0;
    launch();
    for (int i = 0; i < 30; ++i) platform.navigate("dralmik://retry" + std::to_string(i));
    EXPECT_EQ(platform.launches.size(), 1u);  // all within the second after the launch
    platform.uptime += 1;
    platform.navigate("dralmik://retry");
    platform.navigate("dralmik://retry");
    ASSERT_EQ(platform.launches.size(), 2u);

    platform.terminate();  // both still run: neither is left behind
    EXPECT_EQ(platform.tasks[0]->terminations, 1);
    EXPECT_EQ(platform.tasks[1]->terminations, 1);
}

TEST_F(Gateway, AStartingPageComesBackWithEachStart) {
    launch();
    showGatewayPage();
    delegate->reloadPage();
    EXPECT_EQ(platform.webView().reloads, 1);
    platform.navigate("dralmik:again");
    EXPECT_TRUE(showsStatusPage("Starting Dralmik LLM Gateway"));
    // Output of the earlier run is gone: a silent exit reports its status.
    platform.task().exit(9);
    EXPECT_EQ(statusDetail(), "The launcher exited without saying why (status 9).");
}

// The child started ahead may have said everything before the window exists: the starting page
// still comes first, then what it said, in order, as one started by the launch sequence would.
TEST_F(Gateway, AChildStartedAheadIsTakenOverWithWhatItSaidMeanwhile) {
    startAhead();
    platform.task().write("http://localhost:4321/\n");
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(platform.launches.size(), 1u);
    EXPECT_TRUE(showsStatusPage("Starting Dralmik LLM Gateway"));
    platform.runPosted();
    EXPECT_EQ(platform.webView().loads, (std::vector<std::string>{"html", "http://localhost:4321/"}));

    TestPlatform early;  // a child that ended before the window existed
    auto other = std::make_shared<AppDelegate>(early);
    other->startGatewayAhead();
    early.task().write("Error: port in use\n");
    early.task().exit(1);
    other->applicationDidFinishLaunching();
    early.runPosted();
    EXPECT_TRUE(early.task().readingStopped);
    EXPECT_EQ(early.webView().loads, (std::vector<std::string>{"html", "html"}));
    EXPECT_NE(early.webView().html.find("<p>Error: port in use</p><p><a"), std::string::npos);
}

TEST_F(Gateway, AChildThatCouldNotStartAheadFailsAtTheSameStep) {
    platform.launchError = "The file \u201cnode\u201d doesn\u2019t exist.";
    launch();
    EXPECT_EQ(platform.webView().loads, (std::vector<std::string>{"html", "html"}));
    EXPECT_TRUE(showsStatusPage(kCouldNotStart));
    EXPECT_EQ(statusDetail(), "The file \u201cnode\u201d doesn\u2019t exist.");
    platform.launchError.reset();
    platform.navigate("dralmik://retry");  // a retry starts one of its own
    EXPECT_EQ(platform.launches.size(), 2u);
    EXPECT_EQ(platform.tasks.size(), 1u);
}

TEST(StatusPage, DocumentIsExactlyTheFixedHeadAndTheEscapedParts) {
    const std::string withRetry = statusPageDocument("T", "D", true);
    const std::string withoutRetry = statusPageDocument("T", "D", false);
    const std::string head = withRetry.substr(0, withRetry.find("T</h1>"));
    EXPECT_EQ(head.size(), 750u);
    EXPECT_EQ(std::count(withRetry.begin(), withRetry.end(), '\n'), 11);
    EXPECT_EQ(head.substr(head.size() - 16), "\n<body><div><h1>");
    EXPECT_EQ(withoutRetry, head + "T</h1><p>D</p></div></body></html>");
    const std::string retry = "<p><a class=\"button\" href=\"dralmik://retry\">Try again</a></p>";
    EXPECT_EQ(retry.size(), 61u);
    EXPECT_EQ(withRetry, head + "T</h1><p>D</p>" + retry + "</div></body></html>");
    EXPECT_EQ(statusPageDocument("T", "", false), head + "T</h1><p></p></div></body></html>");
    // Lines have no trailing spaces, and every line of the head is where it belongs.
    EXPECT_EQ(head.find(" \n"), std::string::npos);
    EXPECT_NE(head.find("\n         background: var(--bg);"), std::string::npos);
    EXPECT_NE(head.find("\n            font-weight: 600;"), std::string::npos);
}

TEST(StatusPage, EscapingReplacesAmpersandsFirst) {
    EXPECT_EQ(escapeMarkup("a & b < c > d"), "a &amp; b &lt; c &gt; d");
    EXPECT_EQ(escapeMarkup("&lt;&&"), "&amp;lt;&amp;&amp;");
    EXPECT_EQ(escapeMarkup("\"quotes' stay\""), "\"quotes' stay\"");
    EXPECT_EQ(escapeMarkup(""), "");
}

}  // namespace
}  // namespace dralmik::testing
