#include "platform/posix/posix_bundle.h"

#include <plist/plist.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/posix/bundle_paths.h"

namespace dralmik::posix {
namespace {

// An Info.plist is a few kilobytes; anything far larger is not one, and libplist takes the
// length as 32 bits.
constexpr std::streamoff kLargestPropertyList = 16 * 1024 * 1024;

std::optional<std::string> readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > kLargestPropertyList) return std::nullopt;
    in.seekg(0, std::ios::beg);
    std::string contents(static_cast<size_t>(size), '\0');
    if (!in.read(contents.data(), size)) return std::nullopt;
    return contents;
}

// The identifier names folders and files (the application's own folders, its autostart
// entry), so only a reverse-DNS name counts: parts separated by '.', none empty, each of ASCII
// letters, digits and '-'. Anything else ("../../escaped", "a/b") could lead out of them.
bool isReverseDnsName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.back() == '.') return false;
    char previous = '\0';
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '.';
        if (!allowed || (c == '.' && previous == '.')) return false;
        previous = c;
    }
    return true;
}

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};

}  // namespace

std::optional<std::string> readBundleIdentifier(const std::string& infoPlistPath) {
    auto contents = readSmallFile(infoPlistPath);
    if (!contents || contents->empty()) return std::nullopt;
    plist_t parsed = nullptr;
    plist_from_memory(contents->data(), static_cast<uint32_t>(contents->size()), &parsed);
    std::unique_ptr<void, PlistDeleter> root(parsed);
    if (!root || plist_get_node_type(parsed) != PLIST_DICT) return std::nullopt;
    plist_t item = plist_dict_get_item(parsed, "CFBundleIdentifier");
    if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(item, &length);
    if (text == nullptr) return std::nullopt;
    std::string identifier(text, static_cast<size_t>(length));
    if (!isReverseDnsName(identifier)) return std::nullopt;
    return identifier;
}

PosixBundle::PosixBundle(std::optional<std::string> executablePath) : executablePath_(std::move(executablePath)) {
    BundleLayout layout = bundleLayoutFor(executablePath_.value_or(""));
    bundlePath_ = layout.bundlePath;
    resourcePath_ = layout.resourcePath;
    if (layout.infoPlistPath) identifier_ = readBundleIdentifier(*layout.infoPlistPath);
}

PosixBundle PosixBundle::forRunningProgram() { return PosixBundle(currentExecutablePath()); }

}  // namespace dralmik::posix
