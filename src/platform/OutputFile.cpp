#include "platform/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr std::size_t kBufferSize = 1u << 20;

std::string reasonOf(int code) { return std::strerror(code); }

mode_t newFileMode(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Where a plain write would land: a symbolic link is followed to the file it
// names (which may not exist yet), so the link itself stays a link.
std::optional<std::filesystem::path> followLinks(std::filesystem::path at, std::string& error) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {  // the kernel's own bound before ELOOP
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) {
            error = ec.message();
            return std::nullopt;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    error = reasonOf(ELOOP);
    return std::nullopt;
}

// An existing file the user may not write, or one that carries no write
// permission for anybody: root passes every access check, yet a file made
// read-only on purpose must not be replaced behind its owner's back.
bool isWriteProtected(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) return false;
    return ::access(path.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0;
}

bool writeAll(int fd, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = reasonOf(errno);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::optional<OutputFile> OutputFile::create(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    if (fs::path(path).filename().empty()) {
        error = "not a file name";
        return std::nullopt;
    }
    const auto followed = followLinks(path, error);
    if (!followed) return std::nullopt;
    const fs::path& target = *followed;
    std::error_code ec;
    if (fs::is_directory(target, ec)) {  // as opening it for writing would fail
        error = reasonOf(EISDIR);
        return std::nullopt;
    }
    if (isWriteProtected(target.string())) {
        error = reasonOf(EACCES);
        return std::nullopt;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = reasonOf(errno);
        return std::nullopt;
    }
    ::fchmod(fd, newFileMode(target.string()));

    OutputFile file;
    file.path_ = path;
    file.target_ = target.string();
    file.tempPath_ = std::move(pattern);
    file.fd_ = fd;
    file.capacity_ = kBufferSize;
    file.buffer_ = std::make_unique<char[]>(kBufferSize);
    file.cursor_ = file.buffer_.get();
    file.end_ = file.cursor_ + kBufferSize;
    return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        tempPath_ = std::move(other.tempPath_);
        fd_ = other.fd_;
        buffer_ = std::move(other.buffer_);
        capacity_ = other.capacity_;
        cursor_ = other.cursor_;
        end_ = other.end_;
        error_ = std::move(other.error_);
        other.fd_ = -1;
        other.tempPath_.clear();
        other.cursor_ = other.end_ = nullptr;
    }
    return *this;
}

OutputFile::~OutputFile() { release(); }

void OutputFile::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

void OutputFile::flush() {
    char* start = buffer_.get();
    if (cursor_ != start && error_.empty() && fd_ >= 0)
        writeAll(fd_, start, static_cast<std::size_t>(cursor_ - start), error_);
    cursor_ = start;
}

void OutputFile::makeRoom(std::size_t size) {
    flush();
    if (size > capacity_) {
        capacity_ = size;
        buffer_ = std::make_unique<char[]>(capacity_);
        cursor_ = buffer_.get();
        end_ = cursor_ + capacity_;
    }
}

void OutputFile::append(std::string_view bytes) {
    char* out = reserve(bytes.size());
    std::memcpy(out, bytes.data(), bytes.size());
    advance(out + bytes.size());
}

void OutputFile::overwriteStart(std::string_view bytes) {
    flush();
    if (!error_.empty() || fd_ < 0) return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) continue;
            error_ = reasonOf(errno);
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

bool OutputFile::finish(std::string& error) {
    if (fd_ >= 0) {
        flush();
        if (::close(fd_) != 0 && error_.empty()) error_ = reasonOf(errno);
        fd_ = -1;
    } else if (tempPath_.empty() && error_.empty()) {
        error_ = "file already closed";
    }
    error = error_;
    return error_.empty();
}

bool OutputFile::publish(std::string& error) {
    if (error_.empty() && fd_ >= 0) finish(error);
    if (error_.empty() && tempPath_.empty()) error_ = "file already closed";
    if (error_.empty() && ::rename(tempPath_.c_str(), target_.c_str()) != 0) error_ = reasonOf(errno);
    if (error_.empty()) tempPath_.clear();  // it is the target now: keep it
    release();
    error = error_;
    return error_.empty();
}

}  // namespace velmora
