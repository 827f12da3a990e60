#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "app/shell/app_delegate.h"
#include "tests/support/test_platform.h"

namespace dralmik::testing {

// A launched application on the test platform, in the order the entry follows: the delegate
// has started its first gateway child ahead, run its launch sequence, which took that child
// over, and the main queue has turned. The child has printed nothing yet.
class LaunchedApp : public ::testing::Test {
protected:
    void launch() {
        startAhead();
        delegate->applicationDidFinishLaunching();
        platform.runPosted();
        // The clock moves on from the taking over as it does from a launch.
        platform.uptime += platform.secondsPerLaunch;
    }
    void startAhead() {
        delegate = std::make_shared<AppDelegate>(platform);
        platform.setDelegate(delegate);
        delegate->startGatewayAhead();
    }
    void SetUp() override {}

    // The child announces its page.
    void showGatewayPage(const std::string& url = "http://localhost:4321/") {
        platform.task().write("starting\n" + url + "\n");
        ASSERT_EQ(platform.webView().loads.back(), url);
    }
    bool showsStatusPage(const std::string& title) const {
        auto& view = *platform.webViews.at(0);
        return view.loads.back() == "html" && view.html.find("<h1>" + title + "</h1>") != std::string::npos;
    }
    std::string statusDetail() const {
        const std::string& html = platform.webViews.at(0)->html;
        auto start = html.find("</h1><p>") + 8;
        return html.substr(start, html.find("</p>", start) - start);
    }

    TestPlatform platform;
    std::shared_ptr<AppDelegate> delegate;
};

}  // namespace dralmik::testing
