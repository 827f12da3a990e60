#include "tests/support/test_platform.h"

#include <stdexcept>

namespace dralmik::testing {

void TestMenuItem::choose(TestPlatform& platform) {
    if (hidden || !enabled || isSeparator) return;
    if (standard == StandardAction::Quit) {
        platform.application().terminate();
    } else if (action) {
        action();
    }
}

TestMenuItem& TestMenu::item(const std::string& title) const {
    for (const auto& item : items) {
        if (!item->isSeparator && item->title_ == title) return *item;
    }
    throw std::runtime_error("no menu item " + title);
}

std::vector<std::string> TestMenu::describe() const {
    std::vector<std::string> lines;
    for (const auto& item : items) {
        if (item->hidden) continue;
        if (item->isSeparator) {
            lines.push_back("-");
        } else {
            lines.push_back(item->enabled ? item->title_ : "(" + item->title_ + ")");
        }
    }
    return lines;
}

void TestWebView::answerScript(std::optional<std::string> value) {
    Script script = std::move(scripts.front());
    scripts.pop_front();
    if (script.completion) script.completion(std::move(value));
}

TestWindow::TestWindow(Log& log, const WindowDescription& description, std::map<std::string, Rect>& saved)
    : description(description), frame_{{0, 0}, description.contentSize}, log_(log), savedFrames_(saved) {
    if (auto found = saved.find(description.frameAutosaveName); found != saved.end()) saved_ = found->second;
}

void TestWindow::setFrame(Rect f) {
    note("setFrame");
    frame_ = f;
    if (!description.frameAutosaveName.empty()) savedFrames_[description.frameAutosaveName] = f;
}

void TestWindow::center() {
    note("center");
    frame_.origin = {(kScreen.size.width - frame_.size.width) / 2, (kScreen.size.height - frame_.size.height) / 2};
    if (!description.frameAutosaveName.empty()) savedFrames_[description.frameAutosaveName] = frame_;
}

void TestWindow::close() {
    auto d = delegate.lock();
    if (d && !d->windowShouldClose()) return;
    if (d) d->windowWillClose();
    visible = false;
}

TestPlatform::TestPlatform() = default;

std::shared_ptr<WebView> TestPlatform::makeWebView(const WebViewConfiguration& configuration) {
    lastConfiguration = configuration;
    log.push_back("makeWebView");
    webViews.push_back(std::make_shared<TestWebView>(log));
    return webViews.back();
}

std::shared_ptr<Window> TestPlatform::makeWindow(const WindowDescription& description) {
    log.push_back("makeWindow");
    windows.push_back(std::make_shared<TestWindow>(log, description, savedFrames));
    return windows.back();
}

std::shared_ptr<AgentService> TestPlatform::agentService(const std::string& plistName) {
    agentRequests.push_back(plistName);
    return std::shared_ptr<AgentService>(agents.try_emplace(plistName, std::make_shared<TestAgentService>(log))
                                             .first->second);
}

TestAgentService& TestPlatform::agent(const std::string& plistName) {
    return *agents.try_emplace(plistName, std::make_shared<TestAgentService>(log)).first->second;
}

bool TestPlatform::claimPrimary(const std::string& bundleIdentifier) {
    log.push_back("claimPrimary " + bundleIdentifier);
    claims.push_back(bundleIdentifier);
    return !anotherCopyRuns;
}

void TestPlatform::reopenPrimary() {
    log.push_back("reopenPrimary");
    ++reopens;
}

std::optional<std::string> TestPlatform::readTextFile(const std::string& path) {
    auto found = fileContents.find(path);
    if (found == fileContents.end()) return std::nullopt;
    return found->second;
}

bool TestPlatform::writeFileAtomically(const std::string& path, const std::string& contents) {
    log.push_back("files.write " + path);
    writes.push_back(path);
    if (failWrites) return false;
    fileContents[path] = contents;
    return true;
}

bool TestPlatform::createDirectories(const std::string& path) {
    log.push_back("files.createDirectories " + path);
    directories.push_back(path);
    return !failDirectories;
}

bool TestPlatform::removeFile(const std::string& path) {
    log.push_back("files.remove " + path);
    removals.push_back(path);
    return fileContents.erase(path) > 0;
}

void TestPlatform::setActivationPolicy(ActivationPolicy policy) {
    log.push_back(policy == ActivationPolicy::Regular ? "app.policy regular" : "app.policy accessory");
    policies.push_back(policy);
}

void TestPlatform::setMainMenu(std::shared_ptr<Menu> menu, std::shared_ptr<Menu> windows) {
    log.push_back("app.setMainMenu");
    mainMenu = std::static_pointer_cast<TestMenu>(menu);
    windowsMenu = std::static_pointer_cast<TestMenu>(windows);
}

void TestPlatform::terminate() {
    log.push_back("app.terminate");
    ++terminations;
    if (auto d = appDelegate.lock()) d->applicationWillTerminate();
}

int TestPlatform::run() {
    log.push_back("app.run");
    ++runs;
    if (auto d = appDelegate.lock()) d->applicationDidFinishLaunching();
    return 0;
}

std::shared_ptr<StatusItem> TestPlatform::makeStatusItem() {
    log.push_back("statusItem");
    statusItems.push_back(std::make_shared<TestStatusItem>());
    return statusItems.back();
}

std::shared_ptr<Timer> TestPlatform::scheduledTimer(double interval, bool repeats, std::function<void()> block) {
    log.push_back("timer");
    auto timer = std::make_shared<TestTimer>();
    timer->interval = interval;
    timer->repeats = repeats;
    timer->block = std::move(block);
    timerList.push_back(timer);
    return timer;
}

void TestPlatform::fireTimers() {
    // A copy: a block may schedule another timer.
    const auto timers = timerList;
    for (const auto& timer : timers) {
        if (!timer->valid) continue;
        if (!timer->repeats) timer->valid = false;
        timer->block();
    }
}

std::shared_ptr<PostedNotice> TestPlatform::post(const Notice& notice) {
    notices.push_back(notice);
    postedNotices.push_back(std::make_shared<TestPostedNotice>());
    return postedNotices.back();
}

void TestPlatform::beginSheet(Window& window, const AlertSpec& alert,
                              std::function<void(std::optional<std::size_t>)> completion) {
    sheets.push_back({alert, &window, std::move(completion)});
}

void TestPlatform::answerSheet(std::optional<std::size_t> button) {
    Sheet sheet = std::move(sheets.front());
    sheets.pop_front();
    sheet.completion(button);
}

LaunchResult TestPlatform::launch(const TaskSpec& spec, TaskHandlers handlers) {
    log.push_back("launch");
    launches.push_back(spec);
    uptime += secondsPerLaunch;
    if (launchError) return {nullptr, *launchError};
    tasks.push_back(std::make_shared<TestTask>(1000 + static_cast<int>(tasks.size()), std::move(handlers)));
    return {tasks.back(), ""};
}

void TestPlatform::runPosted() {
    while (!posted.empty()) {
        auto work = std::move(posted.front());
        posted.pop_front();
        work();
    }
}

TestMenu& TestPlatform::statusMenu() { return *statusItems.at(0)->menu; }

std::optional<NavigationPolicy> TestPlatform::navigate(const std::optional<std::string>& url) {
    std::optional<NavigationPolicy> decision;
    int decisions = 0;
    auto delegate = webView().delegate.lock();
    delegate->decidePolicyForNavigation(url, [&](NavigationPolicy policy) {
        decision = policy;
        ++decisions;
    });
    if (decisions != 1) throw std::runtime_error("expected exactly one decision");
    return decision;
}

}  // namespace dralmik::testing
