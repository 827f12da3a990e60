#include "platform/posix/posix_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/file_io.h"

namespace dralmik::posix {

std::optional<std::string> PosixFiles::readTextFile(const std::string& path) { return readFile(path); }

bool PosixFiles::writeFileAtomically(const std::string& path, const std::string& contents) {
    return posix::writeFileAtomically(path, contents);
}

// 0777 as mkdir -p gives it: the umask takes away what it takes away.
bool PosixFiles::createDirectories(const std::string& path) { return createFolders(path, 0777); }

bool PosixFiles::removeFile(const std::string& path) {
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

}  // namespace dralmik::posix
