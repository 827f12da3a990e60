// The desktop backend's parts that need no display: autostart entries, the icon drawing, frame
// conversion and storage, menu labels (and the page-state probe's text, read as they read it), and
// the GLib main queue and timers.
#include <cairo.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/statusbar/probe.h"
#include "platform/gtk/frame_store.h"
#include "platform/gtk/main_queue.h"
#include "platform/gtk/menu_label.h"
#include "platform/gtk/timer.h"
#include "platform/gtk/icon_renderer.h"
#include "platform/gtk/app_service.h"

using namespace dralmik;
using namespace dralmik::gtk;

namespace {

class TempDir {
public:
    TempDir() {
        gchar* made = g_dir_make_tmp("gtk-backend-XXXXXX", nullptr);
        path_ = made;
        g_free(made);
    }
    ~TempDir() {
        const std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << path_;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void writeText(const std::string& path, const std::string& text) {
    gchar* dir = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(dir, 0700);
    g_free(dir);
    std::ofstream(path) << text;
}

std::string agentPlist(const std::string& program) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>\n"
           "<key>Label</key><string>com.dralmik.gateway.app-login</string>\n"
           "<key>BundleProgram</key><string>" + program + "</string>\n"
           "<key>ProgramArguments</key><array><string>" + program + "</string><string>--background</string></array>\n"
           "</dict></plist>\n";
}

// How a desktop launcher reads an Exec value back into arguments: %% is a literal %, and the
// quoting rules are the shell's double quotes.
std::vector<std::string> parseExec(const std::string& exec) {
    std::string unpercent;
    for (size_t i = 0; i < exec.size(); ++i) {
        unpercent += exec[i];
        if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
    }
    gchar** argv = nullptr;
    std::vector<std::string> args;
    if (g_shell_parse_argv(unpercent.c_str(), nullptr, &argv, nullptr)) {
        for (gchar** a = argv; *a; ++a) args.emplace_back(*a);
        g_strfreev(argv);
    }
    return args;
}

std::string keyFileString(const std::string& path, const char* key) {
    GKeyFile* file = g_key_file_new();
    std::string value;
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
        if (gchar* v = g_key_file_get_string(file, "Desktop Entry", key, nullptr)) {
            value = v;
            g_free(v);
        }
    }
    g_key_file_free(file);
    return value;
}

}  // namespace

TEST(ExecQuoting, ArgumentsSurviveTheLaunchersParsing) {
    const std::vector<std::vector<std::string>> cases = {
        {"/opt/Dralmik LLM Gateway.app/Contents/MacOS/Dralmik LLM Gateway", "--background"},
        {"/tmp/a\"quote/and$dollar`tick\\slash/app", "--background"},
        {"/tmp/100% sure/it's here/app", "--background"},
        {"/plain/path/app"},
    };
    for (const auto& args : cases) EXPECT_EQ(parseExec(execLine(args)), args) << execLine(args);
    // The executable is quoted even without reserved characters; a plain option is not.
    EXPECT_EQ(execLine({"/plain/app", "--background"}), "\"/plain/app\" --background");
    EXPECT_EQ(quoteExecArgument("50%"), "50%%");
}

TEST(AgentProgram, ReadsProgramRelativeToTheBundle) {
    TempDir dir;
    const std::string plist = dir.path() + "/agent.plist";
    writeText(plist, agentPlist("Contents/MacOS/Dralmik LLM Gateway"));
    auto program = readAgentProgram(plist, "/Apps/X.app");
    ASSERT_TRUE(program);
    EXPECT_EQ(program->arguments, (std::vector<std::string>{"/Apps/X.app/Contents/MacOS/Dralmik LLM Gateway", "--background"}));

    writeText(plist, "<plist version=\"1.0\"><dict><key>Label</key><string>x</string></dict></plist>");
    EXPECT_FALSE(readAgentProgram(plist, "/Apps/X.app")) << "an agent without a program";
    writeText(plist, "not a property list");
    EXPECT_FALSE(readAgentProgram(plist, "/Apps/X.app"));
    EXPECT_FALSE(readAgentProgram(dir.path() + "/missing.plist", "/Apps/X.app"));
}

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = dir.path() + "/My Apps/Dralmik LLM Gateway.app";
        writeText(bundle + "/Contents/Library/LaunchAgents/" + kLogin, agentPlist("Contents/MacOS/Dralmik LLM Gateway"));
        entry = dir.path() + "/config/autostart/com.dralmik.gateway.app.desktop";
    }
    static constexpr const char* kLogin = "com.dralmik.gateway.app-login.plist";
    std::shared_ptr<dralmik::AgentService> service(const std::string& plist = kLogin) {
        gtk::AppService apps(bundle, dir.path() + "/config/autostart", "com.dralmik.gateway.app.desktop", "Dralmik LLM Gateway");
        return apps.agentService(plist);
    }
    TempDir dir;
    std::string bundle;
    std::string entry;
};

TEST_F(AutostartTest, RegisterEnablesAndUnregisterRemoves) {
    auto agent = service();
    EXPECT_EQ(agent->status(), AgentStatus::NotRegistered);
    EXPECT_EQ(agent->registerService(), std::nullopt);
    EXPECT_EQ(agent->status(), AgentStatus::Enabled);
    EXPECT_EQ(parseExec(keyFileString(entry, "Exec")),
              (std::vector<std::string>{bundle + "/Contents/MacOS/Dralmik LLM Gateway", "--background"}));
    EXPECT_EQ(agent->registerService(), std::nullopt) << "registering twice is fine";
    EXPECT_EQ(agent->unregisterService(), std::nullopt);
    EXPECT_FALSE(g_file_test(entry.c_str(), G_FILE_TEST_EXISTS));
    EXPECT_EQ(agent->status(), AgentStatus::NotRegistered);
    EXPECT_EQ(agent->unregisterService(), std::nullopt) << "nothing to remove is no failure";
}

TEST_F(AutostartTest, UsersSwitchOffIsNeverUndone) {
    auto agent = service();
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        writeText(entry, std::string("[Desktop Entry]\nType=Application\nName=Mine\nExec=/somewhere/else\n") + off + "\n");
        EXPECT_EQ(agent->status(), AgentStatus::RequiresApproval) << off;
        EXPECT_EQ(agent->registerService(), std::nullopt);
        EXPECT_EQ(agent->unregisterService(), std::nullopt);
        EXPECT_EQ(keyFileString(entry, "Name"), "Mine") << off << ": the user's entry was replaced or removed";
    }
}

TEST_F(AutostartTest, EntryForAMovedBundleIsRewritten) {
    writeText(entry, "[Desktop Entry]\nType=Application\nName=Old\nExec=\"/old/place/Dralmik LLM Gateway\" --background\n");
    auto agent = service();
    EXPECT_EQ(agent->status(), AgentStatus::NotRegistered) << "an entry starting another copy does not count as enabled";
    EXPECT_EQ(agent->registerService(), std::nullopt);
    EXPECT_EQ(agent->status(), AgentStatus::Enabled);
}

TEST_F(AutostartTest, MissingAgentIsNotFoundAndFailsWithADescription) {
    auto agent = service("missing.plist");
    EXPECT_EQ(agent->status(), AgentStatus::NotFound);
    auto failure = agent->registerService();
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("missing.plist"), std::string::npos);
    EXPECT_FALSE(g_file_test(entry.c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(AutostartTest, EachAgentHasItsOwnEntryAndNamesOutsideTheAgentsFolderAreNotFound) {
    const std::string agents = bundle + "/Contents/Library/LaunchAgents/";
    writeText(agents + "other.plist", agentPlist("Contents/MacOS/other"));
    EXPECT_EQ(service("other.plist")->registerService(), std::nullopt);
    EXPECT_EQ(service("other.plist")->status(), AgentStatus::Enabled);
    EXPECT_EQ(service()->status(), AgentStatus::NotRegistered) << "the login agent's entry is its own";
    EXPECT_EQ(service()->registerService(), std::nullopt);
    EXPECT_EQ(service("other.plist")->unregisterService(), std::nullopt);
    EXPECT_EQ(service()->status(), AgentStatus::Enabled);

    writeText(agents + "../escaped.plist", agentPlist("Contents/MacOS/Dralmik LLM Gateway"));
    for (const char* name : {"../escaped.plist", "..", ".", "", "sub/agent.plist"}) {
        auto agent = service(name);
        EXPECT_EQ(agent->status(), AgentStatus::NotFound) << name;
        const auto failure = agent->registerService();
        ASSERT_TRUE(failure) << name;
        EXPECT_NE(failure->find(std::string("\"") + name + "\""), std::string::npos) << *failure;
        EXPECT_TRUE(agent->unregisterService()) << name;
    }
    GDir* folder = g_dir_open((dir.path() + "/config/autostart").c_str(), 0, nullptr);
    ASSERT_TRUE(folder);
    std::vector<std::string> names;
    while (const gchar* name = g_dir_read_name(folder)) names.push_back(name);
    g_dir_close(folder);
    EXPECT_EQ(names, std::vector<std::string>{"com.dralmik.gateway.app.desktop"});
    EXPECT_FALSE(g_file_test((dir.path() + "/config/escaped.desktop").c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(AutostartTest, UnwritableFolderIsReported) {
    writeText(dir.path() + "/config", "a file where the folder should be");
    auto failure = service()->registerService();
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->empty());
}

namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    int alpha(int x, int y) const { return at(x, y) >> 24; }
};

Decoded decode(const std::string& png) {
    struct Reader {
        const std::string* data;
        size_t offset = 0;
    } reader{&png};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* out, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->offset + length > r->data->size()) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, r->data->data() + r->offset, length);
            r->offset += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    Decoded p;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        p.width = cairo_image_surface_get_width(s);
        p.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) p.argb.push_back(*reinterpret_cast<const uint32_t*>(data + y * stride + x * 4));
    }
    cairo_surface_destroy(s);
    return p;
}

Image discNearBottomLeft(bool flipped, bool isTemplate) {
    Image image;
    image.size = {22, 17};
    image.flipped = flipped;
    image.isTemplate = isTemplate;
    DrawOp fill;
    fill.kind = DrawOp::Kind::SetFillColor;
    fill.color = {0, 0, 0, 1};
    DrawOp disc;
    disc.kind = DrawOp::Kind::FillOval;
    disc.rect = {{1, 1}, {6, 6}};
    image.ops = {fill, disc};
    return image;
}

}  // namespace

TEST(IconRenderer, SizesScaleAndTheYAxisGrowsUpward) {
    for (int scale : {1, 2}) {
        RenderOptions options;
        options.scale = scale;
        const auto png = renderPng(discNearBottomLeft(false, false), options);
        ASSERT_TRUE(png);
        const Decoded p = decode(*png);
        ASSERT_EQ(p.width, 22 * scale);
        ASSERT_EQ(p.height, 17 * scale);
        // The disc's centre (4, 4) from the bottom left is near the bottom rows.
        EXPECT_EQ(p.alpha(4 * scale, p.height - 4 * scale), 255);
        EXPECT_EQ(p.alpha(4 * scale, 4 * scale), 0);
        EXPECT_EQ(p.at(4 * scale, p.height - 4 * scale) & 0xffffff, 0u) << "keeps its own black";
    }
    const Decoded flipped = decode(*renderPng(discNearBottomLeft(true, false), {}));
    EXPECT_EQ(flipped.alpha(4, 4), 255) << "a flipped image has its origin at the top";
}

TEST(IconRenderer, TemplateImagesTakeTheTintAndKeepTheShape) {
    RenderOptions options;
    options.templateTint = {1, 1, 1, 1};
    const Decoded p = decode(*renderPng(discNearBottomLeft(false, true), options));
    EXPECT_EQ(p.at(4, p.height - 4), 0xffffffffu);
    EXPECT_EQ(p.alpha(15, 8), 0);

    // On a square canvas the drawing is centred, and the halo rings the shape in its colour
    // without covering the tint.
    options.canvas = {22, 22};
    options.haloWidth = 1;
    options.templateHalo = {0, 0, 0, 1};
    const Decoded square = decode(*renderPng(discNearBottomLeft(false, true), options));
    ASSERT_EQ(square.height, 22);
    const int bottom = square.height - 2.5 - 4;  // the disc's centre, 2.5 points up from the canvas's bottom
    EXPECT_EQ(square.at(4, bottom), 0xffffffffu);
    EXPECT_GT(square.alpha(7, bottom), 200) << "just outside the disc: the halo";
    EXPECT_EQ(square.at(7, bottom) & 0xffffff, 0u);
    EXPECT_EQ(square.alpha(4 + 3 + 2, bottom), 0);

    // As the tray protocol's pixels: straight alpha first, then red, green, blue.
    const Pixels raw = renderPixels(discNearBottomLeft(false, true), options);
    ASSERT_EQ(raw.argb.size(), 22u * 22u * 4u);
    auto byteAt = [&raw](int x, int y, int i) { return static_cast<unsigned char>(raw.argb[(y * raw.width + x) * 4 + i]); };
    EXPECT_EQ(byteAt(4, bottom, 0), 255);
    EXPECT_EQ(byteAt(4, bottom, 1), 255);
    const int edge = 7;
    EXPECT_EQ(byteAt(edge, bottom, 0), square.alpha(edge, bottom));
    EXPECT_EQ(byteAt(edge, bottom, 1), 0) << "the halo's own black, not darkened by its alpha";
    for (int x = 0; x < 22; ++x) {
        const int a = square.alpha(x, bottom);
        if (a > 0 && a < 255 && (square.at(x, bottom) & 0xff) > 0) {
            // cairo's premultiplied white at partial alpha comes out whole.
            EXPECT_GE(byteAt(x, bottom, 3), 250) << "at x " << x;
        }
    }
}

TEST(IconRenderer, StrokesRoundedRectsAndPaths) {
    Image image;
    image.size = {22, 17};
    DrawOp rect;
    rect.kind = DrawOp::Kind::StrokeRoundedRect;
    rect.rect = {{3.2, 4.2}, {17.6, 10.2}};
    rect.radiusX = rect.radiusY = 1.8;
    rect.lineWidth = 1.3;
    DrawOp line;
    line.kind = DrawOp::Kind::StrokePath;
    line.path = {{PathElement::Kind::MoveTo, {6.2, 2.2}}, {PathElement::Kind::LineTo, {13.2, 2.2}}};
    line.lineWidth = 1.3;
    image.ops = {rect, line};
    const Decoded p = decode(*renderPng(image, {}));
    EXPECT_GT(p.alpha(10, 17 - 4), 100) << "the rectangle's bottom edge at y = 4.2";
    EXPECT_EQ(p.alpha(10, 17 - 9), 0) << "the inside stays clear";
    EXPECT_GT(p.alpha(9, 17 - 2), 100) << "the line at y = 2.2";
    EXPECT_EQ(p.alpha(3, 17 - 2), 0) << "nothing left of the line's start";
}

TEST(Frames, ConvertBetweenBottomLeftAndTopLeft) {
    const Rect frame{{100, 200}, {760, 640}};
    const PixelFrame p = toPixelFrame(frame, 1024);
    EXPECT_EQ(p, (PixelFrame{100, 1024 - 200 - 640, 760, 640}));
    EXPECT_EQ(toCoreFrame(p, 1024), frame);
    // Half points round up in size, so a minimum never shrinks.
    EXPECT_EQ(toPixelFrame(Rect{{0, 0}, {437.5, 480}}, 1000).width, 438);
}

TEST(Frames, TheTitleBarStaysWithinReachOnAMonitor) {
    const std::vector<PixelFrame> monitors = {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
    // Already reachable: unchanged, on either monitor.
    EXPECT_EQ(keepTitleBarReachable({100, 50, 760, 640}, monitors), (PixelFrame{100, 50, 760, 640}));
    EXPECT_EQ(keepTitleBarReachable({2000, 300, 760, 640}, monitors), (PixelFrame{2000, 300, 760, 640}));
    EXPECT_EQ(keepTitleBarReachable({2000, 900, 760, 640}, monitors), (PixelFrame{2000, 440, 760, 640}));
    // Partly off a monitor, mostly on: only the title bar is brought within reach.
    EXPECT_EQ(keepTitleBarReachable({900, -20, 760, 640}, monitors), (PixelFrame{900, 0, 760, 640}));
    // Mostly off every monitor (a damaged or hand-edited store, a monitor gone): wholly on the
    // nearest one, not a sliver of title bar in its corner.
    EXPECT_EQ(keepTitleBarReachable({1 << 30, 90000, 760, 640}, monitors), (PixelFrame{1280 + 1920 - 760, 1080 - 640, 760, 640}));
    EXPECT_EQ(keepTitleBarReachable({-5000, -300, 760, 640}, monitors), (PixelFrame{0, 0, 760, 640}));
    EXPECT_EQ(keepTitleBarReachable({-700, 500, 760, 640}, monitors), (PixelFrame{0, 384, 760, 640}));
    // Larger than the monitor: its top-left corner on it.
    EXPECT_EQ(keepTitleBarReachable({-9000, 0, 4000, 3000}, monitors), (PixelFrame{0, 0, 4000, 3000}));
    // No monitor known: nothing to keep it on.
    EXPECT_EQ(keepTitleBarReachable({7, 8, 9, 10}, {}), (PixelFrame{7, 8, 9, 10}));
}

TEST(Frames, ANewWindowOpensCentredAcrossAndAThirdDownTheWorkArea) {
    // The work area under a 32-pixel panel, on a monitor right of another.
    const PixelFrame area{1280, 32, 1920, 1048};
    EXPECT_EQ(placeInWorkArea({0, 0, 760, 640}, area), (PixelFrame{1280 + 580, 32 + 136, 760, 640}));
    // Wider or taller than the work area: its top-left corner in it, not above or left of it.
    EXPECT_EQ(placeInWorkArea({9, 9, 2000, 640}, area), (PixelFrame{1280, 32 + 136, 2000, 640}));
    EXPECT_EQ(placeInWorkArea({9, 9, 760, 1100}, area), (PixelFrame{1280 + 580, 32, 760, 1100}));
}

TEST(Frames, AMenuOpensFromItsPointWithinTheWorkArea) {
    const PixelFrame area{0, 25, 1280, 775};  // under a 25-pixel top panel
    const PixelFrame menu{0, 0, 291, 111};
    // A click on a top panel: below the panel, not over it; at the right edge, left of the point.
    EXPECT_EQ(placeMenuAt(1136, 12, menu, area), (PixelFrame{1136 - 291, 25, 291, 111}));
    EXPECT_EQ(placeMenuAt(1200, 12, menu, area), (PixelFrame{1200 - 291, 25, 291, 111}));
    EXPECT_EQ(placeMenuAt(300, 200, menu, area), (PixelFrame{300, 200, 291, 111}));
    // A click on a bottom panel, outside the work area: the menu ends at the area's bottom.
    const PixelFrame above{0, 0, 1280, 760};
    EXPECT_EQ(placeMenuAt(1130, 784, menu, above), (PixelFrame{1130 - 291, 760 - 111, 291, 111}));
    EXPECT_EQ(placeMenuAt(400, 700, menu, above), (PixelFrame{400, 700 - 111, 291, 111}));
    // Larger than the area: its top-left corner in it.
    EXPECT_EQ(placeMenuAt(50, 50, {0, 0, 2000, 900}, area), (PixelFrame{0, 25, 2000, 900}));
}

TEST(Frames, OnlyAFrameWithNoPixelOnAnyMonitorIsOnNone) {
    const std::vector<PixelFrame> monitors = {{0, 0, 1280, 1024}, {1280, 176, 1920, 1080}};
    EXPECT_TRUE(onAnyMonitor({-759, -639, 760, 640}, monitors)) << "one pixel on the left monitor";
    EXPECT_TRUE(onAnyMonitor({3199, 1255, 760, 640}, monitors)) << "one pixel on the right monitor";
    EXPECT_FALSE(onAnyMonitor({3200, 300, 760, 640}, monitors)) << "touching the right edge";
    EXPECT_FALSE(onAnyMonitor({1300, -640, 760, 640}, monitors)) << "above the right monitor, beside the left one";
    EXPECT_FALSE(onAnyMonitor({-5000, 3000, 760, 640}, monitors));
    EXPECT_FALSE(onAnyMonitor({0, 0, 760, 640}, {}));
}

TEST(Frames, StoreKeepsEachNameAndIgnoresBadEntries) {
    TempDir dir;
    FrameStore store(dir.path() + "/sub/frames.ini");
    EXPECT_FALSE(store.load("DralmikGatewayWindow"));
    ASSERT_TRUE(store.save("DralmikGatewayWindow", {10, 20, 760, 640}));
    ASSERT_TRUE(store.save("Other", {1, 2, 3, 4}));
    EXPECT_EQ(store.load("DralmikGatewayWindow"), (PixelFrame{10, 20, 760, 640}));
    EXPECT_EQ(store.load("Other"), (PixelFrame{1, 2, 3, 4}));
    // Where the compositor places windows only the size is saved; the position stays.
    ASSERT_TRUE(store.save("Other", {50, 82, 800, 700}, /*withPosition=*/false));
    EXPECT_EQ(store.load("Other"), (PixelFrame{1, 2, 800, 700}));
    writeText(store.path(), "[DralmikGatewayWindow]\nleft=1\ntop=2\nwidth=0\nheight=5\n[Broken]\nleft=x\n");
    EXPECT_FALSE(store.load("DralmikGatewayWindow")) << "an empty frame";
    EXPECT_FALSE(store.load("Broken"));
}

namespace {

// Iterates the default main context until done() or a generous limit of iterations passes.
template <typename Done>
bool spinUntil(Done done) {
    GMainContext* context = g_main_context_default();
    for (int i = 0; i < 200000 && !done(); ++i) g_main_context_iteration(context, TRUE);
    return done();
}

}  // namespace

TEST(MainQueue, PostsFromManyThreadsRunOnTheLoopThreadInOrder) {
    gtk::MainQueue queue;
    const std::thread::id loopThread = std::this_thread::get_id();
    constexpr int kThreads = 4, kPerThread = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<bool> offThread{false};
    int total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                queue.post([&, t, i] {
                    if (std::this_thread::get_id() != loopThread) offThread = true;
                    seen[t].push_back(i);
                    ++total;
                });
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(spinUntil([&] { return total == kThreads * kPerThread; }));
    EXPECT_FALSE(offThread);
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<size_t>(kPerThread));
        EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
    }
}

TEST(MainQueue, WorkPostedFromWorkRunsAfterItNotInside) {
    gtk::MainQueue queue;
    std::vector<std::string> order;
    queue.post([&] {
        order.push_back("a begin");
        queue.post([&] { order.push_back("c"); });
        order.push_back("a end");
    });
    queue.post([&] { order.push_back("b"); });
    ASSERT_TRUE(spinUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<std::string>{"a begin", "a end", "b", "c"}));
}

TEST(Timers, OneShotFiresOnceAndARepeatingTimerStopsWhenInvalidated) {
    gtk::TimerScheduler timers;
    int once = 0, repeats = 0;
    timers.scheduledTimer(0.001, false, [&] { ++once; });
    std::shared_ptr<Timer> repeating;
    repeating = timers.scheduledTimer(0.001, true, [&] {
        if (++repeats == 3) repeating->invalidate();
    });
    gtk::MainQueue queue;
    bool later = false;
    ASSERT_TRUE(spinUntil([&] { return once == 1 && repeats == 3; }));
    // A few more turns of the loop: nothing fires again.
    std::shared_ptr<Timer> marker = timers.scheduledTimer(0.02, false, [&] { later = true; });
    ASSERT_TRUE(spinUntil([&] { return later; }));
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeats, 3);
}

// A page's state reads as one line in the tray, whatever white space the page wraps it in.
TEST(MenuLabel, WhiteSpaceCollapsesBeforeTheCut) {
    EXPECT_EQ(menuLabel("\n  Serving 3 models\n"), "Serving 3 models");
    EXPECT_EQ(menuLabel("Serving\r\n\t 3\u00a0\u00a0models \u2028x"), "Serving 3 models x");
    EXPECT_EQ(menuLabel(" "), "");
    EXPECT_EQ(menuLabel("ready_to_serve"), "ready__to__serve");
    EXPECT_EQ(menuLabel("caf\xc3"), "caf\ufffd");  // a cut-off character is replaced, not dropped

    // The 80-character cut counts the collapsed text, and ends on a word, not a space.
    const std::string eighty(80, 'x');
    EXPECT_EQ(menuLabel("\n\n" + eighty + "\n\n"), eighty);
    EXPECT_EQ(menuLabel(std::string(78, 'a') + "\n\n\nb c"), std::string(78, 'a') + "\u2026");
    EXPECT_EQ(menuLabel(std::string(77, 'a') + "\n\n\nbcd"), std::string(77, 'a') + " b\u2026");
    std::string huge = std::string(1000, ' ');
    for (int i = 0; i < 100000; ++i) huge += "\u00e9t\u00e9\n";
    const std::string label = menuLabel(huge);
    EXPECT_EQ(g_utf8_strlen(label.c_str(), -1), 80);
    EXPECT_EQ(label.substr(0, 8), "\u00e9t\u00e9 \u00e9");
    EXPECT_EQ(label.substr(label.size() - 3), "\u2026");
}

// The page-state probe's state text, run by node over a stand-in document, against the menu's own
// label rule: whatever white space and characters the page's text holds, the line reads as it
// would from the whole text, an empty text stays empty and any other does not, and a huge text
// comes back cut, with no half of a surrogate pair (which would make the answer unreadable).
TEST(ProbeState, TheCutTextReadsAsTheWholeText) {
    const char* const texts[] = {
        "''", "' '", "'\\n\\n'", "'Running'", "'\\n      Serving\\n    '",
        "' '.repeat(3000000) + 'x'",                     // a long run before the text
        "'\\u00a0 \\u2028\\t'.repeat(200000) + 'after'",  // runs of every kind of space
        "'a\\u00a0'.repeat(3000)", "'ab  '.repeat(3000)",
        "'x'.repeat(1023) + '\\ud83d\\ude00tail'",         // a pair across the cut
        "'x'.repeat(1022) + '\\ud83d\\ude00'",
        "'\\ud83d\\ude00 '.repeat(3000)",                  // the fewest characters for the units
        "'\\u000b'.repeat(5000) + 'v'",                    // not white space to GLib
        "'\\ufeff \\u180e '.repeat(3000)",
        "'\\u00e9t\\u00e9\\n'.repeat(100000)",
        "('word \\n\\t').repeat(3000000)",                 // about 20 MB
    };
    for (const char* text : texts) {
        const std::string script = std::string("const text = ") + text +
                                   ";\nvar document = { getElementById: (id) => id === 'state' ? "
                                   "{ hidden: false, textContent: text } : null };\n"
                                   "const answer = " + dralmik::kPageStateProbe +
                                   ";\nprocess.stdout.write(JSON.stringify({ text, answer }));\n";
        const gchar* argv[] = {DRALMIK_TEST_NODE, "-e", script.c_str(), nullptr};
        gchar* out = nullptr;
        gint status = -1;
        ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out,
                                 nullptr, &status, nullptr));
        const auto result = nlohmann::json::parse(out, nullptr, false);
        g_free(out);
        ASSERT_TRUE(result.is_object()) << text;
        const std::string whole = result["text"].get<std::string>();
        const std::string answer = result["answer"].get<std::string>();
        EXPECT_LE(answer.size(), 1024u * 6 + 64) << text;  // 1024 units, each at most 6 bytes of JSON
        const std::optional<dralmik::ProbeAnswer> read = dralmik::readProbeAnswer(answer);
        ASSERT_TRUE(read.has_value()) << text;
        if (whole.empty()) {
            EXPECT_EQ(read->title, "Dralmik LLM Gateway");
        } else {
            EXPECT_EQ(menuLabel(read->title), menuLabel(whole)) << text;
        }
        EXPECT_FALSE(read->disconnect);
    }
}
