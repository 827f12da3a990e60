#pragma once
// A platform for the core's tests: every port, recording what the core asked for and letting
// a test answer the callbacks (a probe's value, a navigation failure, an alert, a timer tick,
// a child's output and exit). Calls that matter for ordering also go to one shared log.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dralmik::testing {

using Log = std::vector<std::string>;

class TestMenu;

class TestMenuItem : public MenuItem {
public:
    TestMenuItem(std::string title, std::function<void()> action, std::optional<StandardAction> standard,
                 Shortcut shortcut, bool separator = false)
        : title_(std::move(title)), action(std::move(action)), standard(standard), shortcut(std::move(shortcut)),
          isSeparator(separator) {}
    void setTitle(const std::string& title) override { title_ = title; }
    void setHidden(bool h) override { hidden = h; }
    void setEnabled(bool e) override { enabled = e; }

    // Chooses the item as a user would: a hidden or disabled one does nothing; Quit terminates.
    void choose(class TestPlatform& platform);

    std::string title_;
    std::function<void()> action;
    std::optional<StandardAction> standard;
    Shortcut shortcut;
    bool isSeparator;
    bool hidden = false;
    bool enabled = true;
    std::shared_ptr<TestMenu> submenu;
};

class TestMenu : public Menu {
public:
    explicit TestMenu(std::string title) : title(std::move(title)) {}
    void addItem(std::shared_ptr<MenuItem> item) override { items.push_back(std::static_pointer_cast<TestMenuItem>(item)); }
    void addSeparator() override {
        items.push_back(std::make_shared<TestMenuItem>("", nullptr, std::nullopt, Shortcut{}, true));
    }
    void addSubmenu(std::shared_ptr<Menu> menu) override {
        auto holder = std::make_shared<TestMenuItem>("", nullptr, std::nullopt, Shortcut{});
        holder->submenu = std::static_pointer_cast<TestMenu>(menu);
        items.push_back(holder);
    }
    void setDelegate(std::weak_ptr<MenuDelegate> d) override { delegate = std::move(d); }

    TestMenuItem& item(const std::string& title) const;
    // The visible items' titles, separators as "-", disabled ones in parentheses.
    std::vector<std::string> describe() const;

    std::string title;
    std::vector<std::shared_ptr<TestMenuItem>> items;
    std::weak_ptr<MenuDelegate> delegate;
};

class TestWebView : public WebView {
public:
    explicit TestWebView(Log& log) : log_(log) {}
    void setDelegate(std::weak_ptr<WebViewDelegate> d) override { delegate = std::move(d); }
    void setUnderPageBackgroundColor(Color c) override {
        underPageColor = c;
        log_.push_back("webView.setUnderPageBackgroundColor");
    }
    void loadRequest(const Url& url, double timeout) override {
        loads.push_back(url.string());
        lastTimeout = timeout;
        log_.push_back("webView.loadRequest " + url.string());
    }
    void loadHTMLString(const std::string& html) override {
        loads.push_back("html");
        this->html = html;
        log_.push_back("webView.loadHTMLString");
    }
    void evaluateJavaScript(const std::string& script, std::function<void(std::optional<std::string>)> c) override {
        scripts.push_back({script, std::move(c), false});
    }
    void readPage(const std::string& script, std::function<void(std::optional<std::string>)> c) override {
        scripts.push_back({script, std::move(c), true});
    }
    void reload() override { ++reloads; }

    // Answers the oldest script still waiting for its value.
    void answerScript(std::optional<std::string> value);

    struct Script {
        std::string text;
        std::function<void(std::optional<std::string>)> completion;
        bool apart = false;  // run by readPage(), apart from the page's scripts
    };
    std::weak_ptr<WebViewDelegate> delegate;
    std::optional<Color> underPageColor;
    std::vector<std::string> loads;  // URLs, "html" for a status page
    std::string html;                // the last status page
    double lastTimeout = 0;
    std::deque<Script> scripts;
    int reloads = 0;

private:
    Log& log_;
};

class TestWindow : public Window {
public:
    TestWindow(Log& log, const WindowDescription& description, std::map<std::string, Rect>& saved);
    void setContentView(std::shared_ptr<WebView> v) override { note("setContentView"); content = std::move(v); }
    void setDelegate(std::weak_ptr<WindowDelegate> d) override { note("setDelegate"); delegate = std::move(d); }
    Rect frame() const override { return frame_; }
    void setFrame(Rect f) override;
    void center() override;
    std::optional<Rect> savedFrame() const override { return saved_; }
    void makeKeyAndOrderFront() override { note("makeKeyAndOrderFront"); visible = true; }
    bool isMiniaturized() const override { return miniaturized; }
    void deminiaturize() override { note("deminiaturize"); miniaturized = false; }
    void miniaturize() override { note("miniaturize"); miniaturized = true; }

    // The user closes the window: unless the delegate keeps it open, it hears of it and the
    // window hides.
    void close();

    WindowDescription description;
    std::shared_ptr<WebView> content;
    std::weak_ptr<WindowDelegate> delegate;
    bool visible = false;
    bool miniaturized = false;
    Rect frame_;
    static constexpr Rect kScreen{{0, 0}, {1440, 900}};

private:
    void note(const std::string& call) { log_.push_back("window." + call); }
    Log& log_;
    std::map<std::string, Rect>& savedFrames_;
    std::optional<Rect> saved_;
};

class TestTask : public Task {
public:
    explicit TestTask(int pid, TaskHandlers handlers) : pid(pid), handlers(std::move(handlers)) {}
    int processIdentifier() const override { return pid; }
    bool isRunning() const override { return running; }
    void terminate() override { ++terminations; }
    void stopReading() override { readingStopped = true; }

    // The child writes bytes; they arrive unless reading was stopped.
    void write(const std::string& bytes) {
        if (!readingStopped) handlers.onRead(bytes);
    }
    void exit(int status) {
        running = false;
        handlers.onExit(status);
    }

    int pid;
    TaskHandlers handlers;
    bool running = true;
    bool readingStopped = false;
    int terminations = 0;
};

class TestAgentService : public AgentService {
public:
    explicit TestAgentService(Log& log) : log_(log) {}
    AgentStatus status() override { log_.push_back("agent.status"); return statusValue; }
    std::optional<std::string> registerService() override {
        log_.push_back("agent.register");
        if (!registerError) statusValue = AgentStatus::Enabled;
        return registerError;
    }
    std::optional<std::string> unregisterService() override {
        log_.push_back("agent.unregister");
        if (!unregisterError) statusValue = AgentStatus::NotRegistered;
        return unregisterError;
    }
    AgentStatus statusValue = AgentStatus::NotRegistered;
    std::optional<std::string> registerError, unregisterError;

private:
    Log& log_;
};

class TestPlatform : public Platform,
                     ProcessInfo,
                     Bundle,
                     System,
                     AppService,
                     SingleInstance,
                     Files,
                     Application,
                     MenuFactory,
                     StatusBar,
                     Notifications,
                     TimerScheduler,
                     Alerts,
                     Workspace,
                     MainQueue,
                     ProcessLauncher {
public:
    TestPlatform();

    // Platform
    ProcessInfo& processInfo() override { return *this; }
    Bundle& bundle() override { return *this; }
    System& system() override { return *this; }
    AppService& appService() override { return *this; }
    SingleInstance& singleInstance() override { return *this; }
    Files& files() override { return *this; }
    bool bringUpUserInterface() override {
        log.push_back("bringUpUserInterface");
        return hasDisplay;
    }
    Application& application() override { return *this; }
    MenuFactory& menus() override { return *this; }
    StatusBar& statusBar() override { return *this; }
    Notifications& notifications() override { return *this; }
    TimerScheduler& timers() override { return *this; }
    Alerts& alerts() override { return *this; }
    Workspace& workspace() override { return *this; }
    MainQueue& mainQueue() override { return *this; }
    ProcessLauncher& processLauncher() override { return *this; }
    std::shared_ptr<WebView> makeWebView(const WebViewConfiguration& configuration) override;
    std::shared_ptr<Window> makeWindow(const WindowDescription& description) override;

    // ProcessInfo
    std::vector<std::string> arguments() const override { return args; }
    std::map<std::string, std::string> environment() const override { return env; }
    std::string homeDirectory() const override { return home; }
    double systemUptime() const override { return uptime; }
    // Bundle
    std::string bundlePath() const override { return bundleDir; }
    std::string resourcePath() const override { return resourceDir; }
    std::optional<std::string> bundleIdentifier() const override { return identifier; }
    std::optional<std::string> executablePath() const override { return executable; }
    // System
    bool isAtLeast(SystemVersion v) const override {
        return systemMajor > v.major || (systemMajor == v.major && systemMinor >= v.minor);
    }
    // AppService
    std::shared_ptr<AgentService> agentService(const std::string& plistName) override;
    // SingleInstance
    bool claimPrimary(const std::string& bundleIdentifier) override;
    void reopenPrimary() override;
    // Files
    std::optional<std::string> readTextFile(const std::string& path) override;
    bool writeFileAtomically(const std::string& path, const std::string& contents) override;
    bool createDirectories(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    // Application
    void setDelegate(std::weak_ptr<ApplicationDelegate> d) override { appDelegate = std::move(d); }
    void setActivationPolicy(ActivationPolicy policy) override;
    void activate() override { log.push_back("app.activate"); ++activations; }
    void setMainMenu(std::shared_ptr<Menu> menu, std::shared_ptr<Menu> windowsMenu) override;
    void terminate() override;
    int run() override;
    // MenuFactory
    std::shared_ptr<Menu> makeMenu(const std::string& title) override { return std::make_shared<TestMenu>(title); }
    std::shared_ptr<MenuItem> makeItem(const std::string& title, std::function<void()> action, Shortcut shortcut) override {
        return std::make_shared<TestMenuItem>(title, std::move(action), std::nullopt, std::move(shortcut));
    }
    std::shared_ptr<MenuItem> makeStandardItem(const std::string& title, StandardAction action, Shortcut shortcut) override {
        return std::make_shared<TestMenuItem>(title, nullptr, action, std::move(shortcut));
    }
    // StatusBar
    std::shared_ptr<StatusItem> makeStatusItem() override;
    // Notifications
    std::shared_ptr<PostedNotice> post(const Notice& notice) override;
    // TimerScheduler
    std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, std::function<void()> block) override;
    // Alerts
    void beginSheet(Window& window, const AlertSpec& alert,
                    std::function<void(std::optional<std::size_t>)> completion) override;
    // Workspace
    bool openURL(const Url& url) override {
        opened.push_back(url.string());
        return true;
    }
    // MainQueue
    void post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    // ProcessLauncher
    LaunchResult launch(const TaskSpec& spec, TaskHandlers handlers) override;

    // What a test sets.
    std::vector<std::string> args{"/Applications/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway"};
    double uptime = 100;          // seconds
    double secondsPerLaunch = 10;  // how far the clock moves with each launch
    std::map<std::string, std::string> env{{"PATH", "/usr/bin"}};
    std::string home = "/Users/ada";
    std::string bundleDir = "/Applications/Dralmik LLM Gateway.app";
    std::string resourceDir = "/Applications/Dralmik LLM Gateway.app/Contents/Resources";
    std::optional<std::string> identifier = "com.dralmik.gateway.app";
    std::optional<std::string> executable = "/Applications/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway";
    int systemMajor = 13, systemMinor = 0;
    bool anotherCopyRuns = false;
    bool hasDisplay = true;
    std::optional<std::string> launchError;  // the next launches fail with this reason
    bool failWrites = false, failDirectories = false;

    // What the core asked for.
    Log log;
    std::vector<ActivationPolicy> policies;
    int activations = 0;
    int terminations = 0;
    int runs = 0;
    std::weak_ptr<ApplicationDelegate> appDelegate;
    std::shared_ptr<TestMenu> mainMenu, windowsMenu;
    std::vector<std::shared_ptr<TestWebView>> webViews;
    std::vector<std::shared_ptr<TestWindow>> windows;
    WebViewConfiguration lastConfiguration;
    std::map<std::string, Rect> savedFrames;
    std::map<std::string, std::shared_ptr<TestAgentService>> agents;
    std::vector<std::string> agentRequests;
    std::vector<std::string> claims;
    int reopens = 0;
    std::map<std::string, std::string> fileContents;
    std::vector<std::string> directories, writes, removals;
    class TestStatusItem;
    std::vector<std::shared_ptr<TestStatusItem>> statusItems;
    std::vector<Notice> notices;
    struct TestPostedNotice;
    std::vector<std::shared_ptr<TestPostedNotice>> postedNotices;  // one per notice, in order
    struct TestTimer;
    std::vector<std::shared_ptr<TestTimer>> timerList;
    struct Sheet {
        AlertSpec spec;
        Window* window;
        std::function<void(std::optional<std::size_t>)> completion;
    };
    std::deque<Sheet> sheets;
    std::vector<std::string> opened;
    std::deque<std::function<void()>> posted;
    std::vector<TaskSpec> launches;
    std::vector<std::shared_ptr<TestTask>> tasks;

    // Convenience for tests.
    TestWebView& webView() { return *webViews.at(0); }
    TestWindow& window() { return *windows.at(0); }
    TestTask& task() { return *tasks.back(); }
    // Runs the work posted to the main queue, and what that work posts, in order.
    void runPosted();
    TestMenu& statusMenu();
    TestAgentService& agent(const std::string& plistName);
    // Fires every valid timer once; a timer that does not repeat is then over.
    void fireTimers();
    void answerSheet(std::optional<std::size_t> button);
    // The decision and what followed, for a navigation to the URL text.
    std::optional<NavigationPolicy> navigate(const std::optional<std::string>& url);
};

class TestPlatform::TestStatusItem : public StatusItem {
public:
    void setImage(const Image& i) override { image = i; }
    void setToolTip(const std::string& t) override { toolTip = t; }
    void setMenu(std::shared_ptr<Menu> m) override { menu = std::static_pointer_cast<TestMenu>(m); }
    void setDelegate(std::weak_ptr<StatusItemDelegate> d) override { delegate = std::move(d); }
    std::weak_ptr<StatusItemDelegate> delegate;
    std::optional<Image> image;
    std::optional<std::string> toolTip;
    std::shared_ptr<TestMenu> menu;
};

struct TestPlatform::TestPostedNotice : PostedNotice {
    void withdraw() override { ++withdrawals; }
    int withdrawals = 0;
};

struct TestPlatform::TestTimer : Timer {
    void invalidate() override { valid = false; }
    double interval = 0;
    bool repeats = false;
    bool valid = true;
    std::function<void()> block;
};

}  // namespace dralmik::testing
