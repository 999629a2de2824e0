#include "platform/OutputFile.h"

#include "platform/TemporaryFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

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
Result<std::filesystem::path> followLinks(std::filesystem::path at) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {  // the kernel's own bound before ELOOP
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) return Result<fs::path>::failure(ec.message());
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return Result<fs::path>::failure(reasonOf(ELOOP));
}

// An existing file the user may not write, or one that carries no write
// permission for anybody: root passes every access check, yet a file made
// read-only on purpose must not be replaced behind its owner's back.
bool isWriteProtected(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) return false;
    return ::access(path.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0;
}

Result<void> writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Result<void>::failure(reasonOf(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

// O_NONBLOCK so that a FIFO nobody reads fails at once (ENXIO) instead of
// waiting for a reader forever; the copy then blocks like any write.
Result<int> openStream(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        struct stat existing {};
        const bool fifo = ::stat(path.c_str(), &existing) == 0 && S_ISFIFO(existing.st_mode);
        return Result<int>::failure(errno == ENXIO && fifo ? "no process reads the FIFO" : reasonOf(errno));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// `start` followed by six random letters, created exclusively. The name is
// registered before the file exists: a signal in between only unlinks a
// name that is not there yet.
Result<int> makeTemporary(const std::string& start, std::string& name, int& slot) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        name = start;
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        slot = TemporaryFiles::add(name.c_str());
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        code = errno;
        TemporaryFiles::remove(slot);
        slot = -1;
    }
    name.clear();
    return Result<int>::failure(reasonOf(code));
}

}  // namespace

Result<OutputFile::Destination> OutputFile::destination(const std::string& path) {
    namespace fs = std::filesystem;
    if (fs::path(path).filename().empty()) return Result<Destination>::failure("not a file name");
    // stat() follows every link, /proc/self/fd's too, which name a pipe or
    // terminal by no path that could be followed by hand.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        if (isWriteProtected(path)) return Result<Destination>::failure(reasonOf(EACCES));
        return Destination{path, true};
    }
    const auto followed = followLinks(path);
    if (!followed) return Result<Destination>::failure(followed.error());
    std::error_code ec;
    if (fs::is_directory(*followed, ec))  // as opening it for writing would fail
        return Result<Destination>::failure(reasonOf(EISDIR));
    if (isWriteProtected(followed->string())) return Result<Destination>::failure(reasonOf(EACCES));
    return Destination{followed->string(), false};
}

Result<OutputFile> OutputFile::create(const std::string& path) {
    namespace fs = std::filesystem;
    const auto destination = OutputFile::destination(path);
    if (!destination) return Result<OutputFile>::failure(destination.error());
    OutputFile file;
    file.path_ = path;
    file.target_ = destination->file;
    if (destination->stream) {
        const auto stream = openStream(path);
        if (!stream) return Result<OutputFile>::failure(stream.error());
        file.streamFd_ = *stream;
    }
    // Beside the target, so that the rename stays on one file system; a
    // stream's copy goes beside its name, or where temporary files go when
    // that folder is closed to the user (/dev).
    const fs::path named = destination->stream ? fs::path(path) : fs::path(destination->file);
    const std::string base = "." + named.filename().string() + ".";
    fs::path folder = named.parent_path();
    if (folder.empty()) folder = ".";
    auto temporary = makeTemporary((folder / base).string(), file.tempPath_, file.tempSlot_);
    if (!temporary && destination->stream) {
        std::error_code ec;
        const fs::path elsewhere = fs::temp_directory_path(ec);
        if (!ec) temporary = makeTemporary((elsewhere / base).string(), file.tempPath_, file.tempSlot_);
    }
    if (!temporary) return Result<OutputFile>::failure(temporary.error());
    file.fd_ = *temporary;
    if (!destination->stream) ::fchmod(file.fd_, newFileMode(file.target_));
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
        tempSlot_ = std::exchange(other.tempSlot_, -1);
        fd_ = std::exchange(other.fd_, -1);
        streamFd_ = std::exchange(other.streamFd_, -1);
        state_ = std::exchange(other.state_, State::Closed);
        buffer_ = std::move(other.buffer_);
        capacity_ = other.capacity_;
        cursor_ = std::exchange(other.cursor_, nullptr);
        end_ = std::exchange(other.end_, nullptr);
        error_ = std::move(other.error_);
        other.tempPath_.clear();
    }
    return *this;
}

OutputFile::~OutputFile() { release(); }

void OutputFile::release() {
    if (fd_ >= 0) ::close(fd_);
    if (streamFd_ >= 0) ::close(streamFd_);
    fd_ = streamFd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    // Only after the unlink: a signal in between still finds it registered.
    TemporaryFiles::remove(tempSlot_);
    tempSlot_ = -1;
    tempPath_.clear();
    state_ = State::Closed;
}

void OutputFile::keep(const Result<void>& step) {
    if (!step && error_.empty()) error_ = step.error();
}

void OutputFile::flush() {
    char* start = buffer_.get();
    if (cursor_ != start && error_.empty() && fd_ >= 0)
        keep(writeAll(fd_, start, static_cast<std::size_t>(cursor_ - start)));
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
    if (bytes.size() > capacity_) {  // a whole encoded picture: straight through, never a second copy in memory
        flush();
        if (error_.empty() && fd_ >= 0) keep(writeAll(fd_, bytes.data(), bytes.size()));
        return;
    }
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

Result<void> OutputFile::finish() {
    if (state_ == State::Writing) {
        flush();
        // A stream's copy is read back at publish(); a file to be renamed is closed now.
        if (streamFd_ < 0) {
            if (::close(fd_) != 0 && error_.empty()) error_ = reasonOf(errno);
            fd_ = -1;
        }
        state_ = State::Finished;
    } else if (state_ == State::Closed && error_.empty()) {
        error_ = "file already closed";
    }
    return outcome();
}

bool OutputFile::copyToStream() {
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd_, buffer_.get(), capacity_, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = reasonOf(errno);
        if (got <= 0) break;
        const auto written = writeAll(streamFd_, buffer_.get(), static_cast<std::size_t>(got));
        keep(written);
        if (!written) break;
        at += got;
    }
    if (::close(std::exchange(streamFd_, -1)) != 0 && error_.empty()) error_ = reasonOf(errno);
    return error_.empty();
}

Result<void> OutputFile::publish() {
    if (state_ == State::Writing) finish();
    if (state_ == State::Closed && error_.empty()) error_ = "file already closed";
    if (error_.empty()) {
        if (streamFd_ >= 0) {
            copyToStream();
        } else if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
            error_ = reasonOf(errno);
        } else {
            // It is the target now: nothing to remove.
            tempPath_.clear();
        }
    }
    release();
    return outcome();
}

Result<void> OutputFile::outcome() const {
    if (error_.empty()) return {};
    return Result<void>::failure(error_);
}

}  // namespace velmora
