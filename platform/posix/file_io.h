#pragma once
// Whole-file reading and writing by POSIX means, for every part that keeps files: the file
// port, the bundle's property lists, autostart entries, window frames and tray icons.
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace dralmik::posix {

// The whole file; none when it is missing, unreadable, a directory, or longer than maxBytes.
std::optional<std::string> readFile(const std::string& path,
                                    std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// What a write waits for. A durable file (an entry, a setting, a frame) is on disk when the
// write returns; a replaceable one (drawn again whenever it is needed, kept in the session's
// runtime folder) is only swapped in whole, without waiting for the disk.
enum class Durability { Durable, Replaceable };

// Writes a temporary file beside the target, flushes it to disk when durable and renames it over
// the target, so readers see the old contents or the new ones, never a mix. A new file gets the
// permissions the umask allows; a replaced file keeps its permissions. On failure the temporary
// file is removed, the target is left as it was and errno tells why.
bool writeFileAtomically(const std::string& path, std::string_view contents,
                         Durability durability = Durability::Durable);

// Like mkdir -p, with new folders private to the user (0700): true when the path is a directory
// afterwards, whether made now or not.
bool createFolders(const std::string& path, unsigned mode = 0700);

// The folders above path made as needed (0700), then the file written atomically. On failure
// *failure, when given, says what could not be done and why.
bool writeFileCreatingFolders(const std::string& path, std::string_view contents, std::string* failure = nullptr,
                              Durability durability = Durability::Durable);

}  // namespace dralmik::posix
