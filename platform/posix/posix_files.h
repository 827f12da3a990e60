#pragma once
// File operations on the local file system.
#include "platform/files.h"

namespace dralmik::posix {

class PosixFiles : public Files {
public:
    // None when the file is missing, unreadable or a directory.
    std::optional<std::string> readTextFile(const std::string& path) override;
    // Writes a temporary file beside the target, flushes it to disk and renames it over the
    // target, so readers see the old contents or the new ones, never a mix. A new file gets the
    // permissions the umask allows; a replaced file keeps its permissions. On failure the
    // temporary file is removed and the target is left as it was.
    bool writeFileAtomically(const std::string& path, const std::string& contents) override;
    // Like mkdir -p: true when the path is a directory afterwards, whether made now or not.
    bool createDirectories(const std::string& path) override;
    // Removes a file (not a directory); false when there was nothing to remove or it could not be.
    bool removeFile(const std::string& path) override;
};

}  // namespace dralmik::posix
