// How fast the announcement is found behind a long run of log output: the output arrives in
// 4 KiB reads, as from the child's pipe, and is scanned after every read. The rescan of all
// of the output after every read is quadratic; the incremental scanner should stay flat.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "app/gateway/scanner.h"
#include "app/gateway/utf8.h"
#include "app/shell/app_delegate.h"
#include "reference_scan.h"
#include "tests/support/test_platform.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kRead = 4096;
constexpr std::string_view kAnnouncement = "http://localhost:8080/\n";

// `mebibytes` of log-like lines, then the announcement.
const std::string& output(std::size_t mebibytes) {
    static std::vector<std::string> made(17);
    std::string& text = made[mebibytes];
    if (!text.empty()) return text;
    static const char* const levels[] = {"info", "debug", "warn", "info"};
    static const char* const messages[] = {
        "request GET /v1/models 200",   "loading shard into memory \xE2\x80\xA6",
        "cache miss for key na\xC3\xAFve", "retrying upstream connection", "\tcontinued: stack frame at 0x7ffd"};
    for (unsigned n = 0; text.size() < mebibytes * kMiB; ++n) {
        text += "2024-06-01T12:";
        text += std::to_string(10 + n % 50);
        text += ":00.";
        text += std::to_string(100 + n % 900);
        text += "Z [";
        text += levels[n % 4];
        text += "] worker ";
        text += std::to_string(n % 8);
        text += ": ";
        text += messages[n % 5];
        text += " in ";
        text += std::to_string(n % 97);
        text += " ms\n";
    }
    text += kAnnouncement;
    return text;
}

// The received output lives in one buffer that is large enough from the start and kept across
// rounds. Growing a fresh string to 16 MiB costs the same for every way of scanning, and on a
// virtual machine its page faults would outweigh the scanning that is measured here.
template <typename NewRound>
void feed(benchmark::State& state, NewRound&& newRound) {
    const std::string& text = output(static_cast<std::size_t>(state.range(0)));
    std::string received;
    received.reserve(text.size());
    for (auto _ : state) {
        received.clear();
        auto scan = newRound();
        bool found = false;
        for (std::size_t at = 0; at < text.size() && !found; at += kRead) {
            received.append(text, at, kRead);
            found = scan(received).has_value();
        }
        if (!found) state.SkipWithError("the announcement was not found");
        benchmark::DoNotOptimize(received.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void incremental(benchmark::State& state) {
    feed(state, [] {
        return [scanner = dralmik::OutputScanner()](std::string_view received) mutable {
            return scanner.scan(received);
        };
    });
}

// The read path as the application runs it: decode each read, append, scan. Reads of 4 KiB
// cut characters, which the decoder carries over.
void decodeAndScan(benchmark::State& state) {
    const std::string& text = output(static_cast<std::size_t>(state.range(0)));
    std::string received;
    received.reserve(text.size());
    for (auto _ : state) {
        dralmik::Utf8ChunkDecoder decoder;
        dralmik::OutputScanner scanner;
        received.clear();
        bool found = false;
        for (std::size_t at = 0; at < text.size() && !found; at += kRead) {
            received += decoder.decode(std::string_view(text).substr(at, kRead));
            found = scanner.scan(received).has_value();
        }
        if (!found) state.SkipWithError("the announcement was not found");
        benchmark::DoNotOptimize(received.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The whole read path of the application: the child's reads reach the delegate, which decodes
// them, appends them to its own output (grown from empty, as in a real run) and scans. With
// `freshMemory` the freed output goes back to the system after every round, so each round grows
// into pages never touched before, as the first start of a real run does; otherwise the
// allocator hands back pages of the previous round.
void receivedThroughTheDelegate(benchmark::State& state, bool freshMemory) {
    const std::string& text = output(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto platform = std::make_unique<dralmik::testing::TestPlatform>();
        auto delegate = std::make_shared<dralmik::AppDelegate>(*platform);
        platform->setDelegate(delegate);
        delegate->applicationDidFinishLaunching();
        dralmik::testing::TestTask& child = platform->task();
        const auto& loads = platform->webView().loads;
        state.ResumeTiming();
        for (std::size_t at = 0; at < text.size() && loads.back() == "html"; at += kRead) {
            child.write(text.substr(at, kRead));
        }
        state.PauseTiming();
        if (loads.back() == "html") state.SkipWithError("the announcement was not found");
        delegate.reset();
        platform.reset();
        if (freshMemory) malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void received(benchmark::State& state) { receivedThroughTheDelegate(state, false); }
void receivedIntoFreshMemory(benchmark::State& state) { receivedThroughTheDelegate(state, true); }

void rescan(benchmark::State& state) {
    feed(state, [] { return [](std::string_view received) { return dralmik::testing::referenceScan(received); }; });
}

}  // namespace

BENCHMARK(incremental)->Name("OutputScanner/MiB")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeAndScan)->Name("DecodeAndScan/MiB")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(received)->Name("Received/MiB")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(receivedIntoFreshMemory)->Name("ReceivedFreshMemory/MiB")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
// Quadratic: 16 MiB would take minutes, so the rescan runs at 1 and 4 MiB, once each.
BENCHMARK(rescan)->Name("FullRescan/MiB")->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
