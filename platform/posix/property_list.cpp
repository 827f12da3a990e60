#include "platform/posix/property_list.h"

#include <plist/plist.h>

#include <cstdint>
#include <memory>

#include "platform/posix/file_io.h"

namespace dralmik::posix {
namespace {

// A property list the application reads is a few kilobytes; anything far larger is not one,
// and libplist takes the length as 32 bits.
constexpr std::size_t kLargestPropertyList = 16 * 1024 * 1024;

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};

std::optional<std::string> stringOf(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr) return std::nullopt;
    return std::string(text, static_cast<size_t>(length));
}

}  // namespace

std::optional<std::string> PropertyList::string(const std::string& key) const {
    auto found = strings.find(key);
    if (found == strings.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> PropertyList::stringArray(const std::string& key) const {
    auto found = stringArrays.find(key);
    return found == stringArrays.end() ? std::vector<std::string>{} : found->second;
}

std::optional<PropertyList> readPropertyList(const std::string& path) {
    const auto contents = readFile(path, kLargestPropertyList);
    if (!contents || contents->empty()) return std::nullopt;
    plist_t parsed = nullptr;
    plist_from_memory(contents->data(), static_cast<uint32_t>(contents->size()), &parsed);
    std::unique_ptr<void, PlistDeleter> root(parsed);
    if (!root || plist_get_node_type(parsed) != PLIST_DICT) return std::nullopt;

    PropertyList list;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(parsed, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(parsed, iter, &key, &value);
        if (key == nullptr) break;
        const std::string name(key);
        free(key);  // libplist hands out malloc()ed keys
        if (auto text = stringOf(value)) {
            list.strings[name] = *text;
        } else if (value != nullptr && plist_get_node_type(value) == PLIST_ARRAY) {
            std::vector<std::string>& items = list.stringArrays[name];
            for (uint32_t i = 0; i < plist_array_get_size(value); ++i) {
                if (auto item = stringOf(plist_array_get_item(value, i))) items.push_back(*item);
            }
        }
    }
    free(iter);
    return list;
}

}  // namespace dralmik::posix
