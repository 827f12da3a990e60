#include "platform/posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "common/write_all.h"
#include "platform/posix/bundle_paths.h"

namespace dralmik::posix {
namespace {

std::string nameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's umask without changing it (umask() would, for every thread at once).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

bool isFolder(const std::string& path) {
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string contents;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;  // EISDIR for a directory, or an I/O error
        }
        if (count == 0) break;
        if (static_cast<size_t>(count) > maxBytes - contents.size()) {
            ::close(fd);
            return std::nullopt;
        }
        contents.append(buffer.data(), static_cast<size_t>(count));
    }
    ::close(fd);
    return contents;
}

bool writeFileAtomically(const std::string& path, std::string_view contents, Durability durability) {
    if (path.empty() || path.back() == '/') {
        errno = EISDIR;
        return false;
    }
    const std::string folder = parentFolder(path);
    std::string temporary = folder + "/." + nameOf(path) + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;

    struct stat existing{};
    mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    const bool durable = durability == Durability::Durable;
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, contents) && (!durable || ::fsync(fd) == 0);
    int reason = errno;
    if (::close(fd) != 0 && written) written = false, reason = errno;
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) written = false, reason = errno;
    if (!written) {
        ::unlink(temporary.c_str());
        errno = reason;
        return false;
    }
    // Make the rename itself durable; the file is already in place, so a failure here is not one
    // of the write.
    if (int dir = durable ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1; dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool createFolders(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    // Each prefix that ends before a '/', then the whole path.
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            const int reason = errno;
            if (isFolder(path)) return true;
            errno = reason;
            return false;
        }
        if (end == std::string::npos) break;
    }
    if (isFolder(path)) return true;
    errno = ENOTDIR;
    return false;
}

bool writeFileCreatingFolders(const std::string& path, std::string_view contents, std::string* failure,
                              Durability durability) {
    const std::string folder = parentFolder(path);
    if (!createFolders(folder)) {
        if (failure) *failure = "Cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!writeFileAtomically(path, contents, durability)) {
        if (failure) *failure = "Cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace dralmik::posix
