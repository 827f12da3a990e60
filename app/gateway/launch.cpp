// Starting the gateway child and following what it prints until its page is shown.
#include <algorithm>
#include <utility>

#include "app/gateway/child_ahead.h"
#include "app/gateway/scanner.h"
#include "app/gateway/utf8.h"
#include "app/shell/app_delegate.h"
#include "common/gateway_home.h"
#include "common/launch_timeline.h"

namespace dralmik {

namespace {

constexpr double kRequestTimeoutSeconds = 60;
// A page can ask for restarts in a loop (frames pointing at dralmik://retry1, retry2, ...);
// starts closer together than this are dropped.
constexpr double kMinimumSecondsBetweenStarts = 1;

}  // namespace

TaskSpec AppDelegate::gatewayTask() const {
    TaskSpec spec;
    spec.executable = resources + "/runtime/node";
    spec.arguments = {resources + "/app/dist/main.js", "open", "--print"};
    spec.environment = platform_.processInfo().environment();
    if (!spec.environment.contains("DRALMIK_HOME")) {
        spec.environment["DRALMIK_HOME"] = platform_.processInfo().homeDirectory() + kDefaultGatewayHomeSuffix;
    }
    return spec;
}

void AppDelegate::startGatewayAhead() {
    childAhead_ = ChildAhead::launch(platform_.processLauncher(), gatewayTask());
    if (childAhead_->started()) launchStep("gateway started");
}

void AppDelegate::start() {
    if (terminating_) return;
    const double now = platform_.processInfo().systemUptime();
    if (lastStart_ && now - *lastStart_ < kMinimumSecondsBetweenStarts) return;
    lastStart_ = now;
    pageShown = false;
    output.clear();
    scanner_.reset();
    showMessage("Starting Dralmik LLM Gateway", "This takes a few seconds.", false);

    // Each child has its own decoder and its own handlers; none of them refers to launcher, so
    // a child replaced by a later start() is still followed to its end.
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    auto decoder = std::make_shared<Utf8ChunkDecoder>();
    // The exit processing stops this child's reading; it holds the task until then.
    auto child = std::make_shared<std::shared_ptr<Task>>();

    TaskHandlers handlers;
    handlers.onRead = [weakSelf, decoder](std::string bytes) {
        const std::string text = decoder->decode(bytes);
        if (text.empty()) return;
        if (auto self = weakSelf.lock()) self->received(text);
    };
    handlers.onExit = [weakSelf, child](int status) {
        auto self = weakSelf.lock();
        if (*child) {
            (*child)->stopReading();
            if (self) std::erase(self->children_, *child);
        }
        child->reset();
        if (!self || self->pageShown) return;
        std::vector<std::string> lines = splitLines(self->output);
        std::string detail = lines.empty() ? "The launcher exited without saying why (status " +
                                                 std::to_string(status) + ")."
                                           : lines.back();
        self->showMessage("Dralmik LLM Gateway could not start", detail, true);
    };

    // The first start takes over the child started ahead, whether or not it could be started;
    // every later one starts a child of its own.
    const bool adopting = childAhead_ != nullptr;
    LaunchResult result = adopting ? std::exchange(childAhead_, nullptr)->adopt(std::move(handlers), platform_.mainQueue())
                                   : platform_.processLauncher().launch(gatewayTask(), std::move(handlers));
    if (!result.task) {
        showMessage("Dralmik LLM Gateway could not start", result.error, true);
        return;
    }
    launchStep(adopting ? "gateway taken over" : "gateway started");
    *child = result.task;
    launcher = result.task;
    children_.push_back(result.task);
}

void AppDelegate::received(const std::string& chunk) {
    // Once the page is shown nothing reads output again until the next start(), so it stops
    // growing here.
    if (pageShown) return;
    if (output.empty()) launchStep("gateway output");
    // Megabytes may come before the address. Growing in large steps keeps the copies, and the
    // fresh pages each copy must touch, few; pages reserved but never written cost nothing.
    if (output.capacity() - output.size() < chunk.size()) {
        output.reserve(std::max(output.size() + chunk.size(), 4 * output.capacity()));
    }
    output += chunk;
    if (std::optional<Url> url = scanner_.scan(output)) {
        pageShown = true;
        statusPage_.reset();
        webView->loadRequest(*url, kRequestTimeoutSeconds);
        launchStep("page requested");
    }
}

}  // namespace dralmik
