#include "platform/posix/posix_files.h"
#include "platform/posix/bundle_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

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

bool writeAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t count = ::write(fd, contents.data() + done, contents.size() - done);
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(count);
    }
    return true;
}

}  // namespace

std::optional<std::string> PosixFiles::readTextFile(const std::string& path) {
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
        contents.append(buffer.data(), static_cast<size_t>(count));
    }
    ::close(fd);
    return contents;
}

bool PosixFiles::writeFileAtomically(const std::string& path, const std::string& contents) {
    if (path.empty() || path.back() == '/') return false;
    const std::string folder = parentFolder(path);
    std::string temporary = folder + "/." + nameOf(path) + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;

    struct stat existing{};
    mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, contents) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; the file is already in place, so a failure here is not one
    // of the write.
    if (int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool PosixFiles::createDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

bool PosixFiles::removeFile(const std::string& path) {
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

}  // namespace dralmik::posix
