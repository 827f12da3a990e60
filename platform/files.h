#pragma once
// Synchronous file operations. The core relies on: readTextFile() has no value when the file
// is missing or unreadable; writeFileAtomically() replaces the file whole or not at all;
// createDirectories() makes missing parents; each answers whether it succeeded.
#include <optional>
#include <string>

namespace dralmik {

class Files {
public:
    virtual ~Files() = default;
    virtual std::optional<std::string> readTextFile(const std::string& path) = 0;
    virtual bool writeFileAtomically(const std::string& path, const std::string& contents) = 0;
    virtual bool createDirectories(const std::string& path) = 0;
    virtual bool removeFile(const std::string& path) = 0;
};

}  // namespace dralmik
