#pragma once
// Reading property lists (XML or binary) for what the application takes from them: the string
// values and the arrays of strings at the top of the dictionary.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dralmik::posix {

struct PropertyList {
    std::map<std::string, std::string> strings;
    std::map<std::string, std::vector<std::string>> stringArrays;  // elements that are no strings left out

    std::optional<std::string> string(const std::string& key) const;
    // Empty when the key has no array.
    std::vector<std::string> stringArray(const std::string& key) const;
};

// None when the file is missing, unreadable, empty, larger than 16 MiB, not a property list,
// or its root is not a dictionary.
std::optional<PropertyList> readPropertyList(const std::string& path);

}  // namespace dralmik::posix
