#include "platform/portable/chunk_reader.h"

#include <aio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace corvenhal::platform::portable {
namespace {

// O_DIRECT wants the buffer, the file offset and the length aligned to the
// logical block size; 4096 covers every device in use.
constexpr size_t kAlignment = 4096;

class DirectChunkReader final : public ChunkReader {
 public:
  DirectChunkReader(int fd, bool direct, long long size, size_t chunkSize)
      : fd_(fd), direct_(direct), size_(size), readSize_(chunkSize) {}

  ~DirectChunkReader() override {
    if (pending_) {
      ::aio_cancel(fd_, &cb_);
      Wait();
    }
    std::free(buffers_[0]);
    std::free(buffers_[1]);
    ::close(fd_);
  }

  // A file smaller than a chunk gets a buffer of its own size (rounded up to
  // the alignment), and only a file of several chunks a second buffer to
  // read ahead into.
  bool Allocate() {
    if (size_ >= 0) {
      auto needed = static_cast<size_t>(size_) / kAlignment * kAlignment + kAlignment;
      if (needed < readSize_) readSize_ = needed;
    }
    buffers_[0] = static_cast<char*>(std::aligned_alloc(kAlignment, readSize_));
    return buffers_[0] != nullptr;
  }

  long long Size() const override { return size_; }

  bool Next(std::string_view& chunk) override {
    chunk = {};
    if (failed_) return false;
    if (!pending_ && !done_) Issue(current_, false);
    long long n = Wait();
    if (n < 0 && direct_ && lastError_ == EINVAL) {
      // The file system refuses unbuffered reads after all: go on with
      // ordinary reads of the same size from the same place.
      DropDirect();
      Issue(current_, false);
      n = Wait();
    }
    if (n < 0) {
      failed_ = true;
      return false;
    }
    char* data = buffers_[current_];
    offset_ += n;
    if (n == 0) {
      return true;
    }
    // A short read leaves the offset unaligned, which O_DIRECT refuses.
    if (direct_ && offset_ % static_cast<long long>(kAlignment) != 0) DropDirect();
    current_ ^= 1;
    if (size_ < 0 || offset_ < size_) {
      if (!buffers_[current_]) buffers_[current_] = static_cast<char*>(std::aligned_alloc(kAlignment, readSize_));
      if (buffers_[current_]) {
        Issue(current_, true);
      } else {
        current_ ^= 1;  // no memory to read ahead: read the next chunk when asked, into this buffer
      }
    }
    chunk = std::string_view(data, static_cast<size_t>(n));
    return true;
  }

 private:
  void DropDirect() {
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
    direct_ = false;
  }

  // Reads the next chunk into buffers_[index]: ahead, in the background, or
  // at once (the first chunk, which nothing could overlap with, and wherever
  // the system has no asynchronous read to offer).
  void Issue(int index, bool ahead) {
    if (ahead) {
      std::memset(&cb_, 0, sizeof cb_);
      cb_.aio_fildes = fd_;
      cb_.aio_buf = buffers_[index];
      cb_.aio_nbytes = readSize_;
      cb_.aio_offset = offset_;
      cb_.aio_sigevent.sigev_notify = SIGEV_NONE;
      if (::aio_read(&cb_) == 0) {
        pending_ = true;
        done_ = false;
        return;
      }
    }
    ssize_t n;
    do {
      n = ::pread(fd_, buffers_[index], readSize_, offset_);
    } while (n < 0 && errno == EINTR);
    result_ = n;
    lastError_ = n < 0 ? errno : 0;
    done_ = true;
  }

  // The outcome of the read in flight (or of the one done at once).
  long long Wait() {
    if (pending_) {
      const struct aiocb* list[1] = {&cb_};
      int err;
      while ((err = ::aio_error(&cb_)) == EINPROGRESS) ::aio_suspend(list, 1, nullptr);
      ssize_t n = ::aio_return(&cb_);
      pending_ = false;
      result_ = err == 0 ? n : -1;
      lastError_ = err;
    }
    done_ = false;
    return result_;
  }

  int fd_;
  bool direct_;
  long long size_;
  size_t readSize_;  // bytes asked for per read: the chunk size, or less for a small file
  char* buffers_[2] = {nullptr, nullptr};
  int current_ = 0;
  long long offset_ = 0;
  struct aiocb cb_;
  bool pending_ = false;
  bool done_ = false;
  long long result_ = 0;
  int lastError_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<ChunkReader> OpenChunkReader(const std::string& native, size_t chunkSize) {
  if (chunkSize == 0 || chunkSize % kAlignment != 0) return nullptr;
  // O_NONBLOCK so that a FIFO or a device never holds the open up; it is
  // refused right after.
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  bool direct = true;
  int fd = ::open(native.c_str(), flags | O_DIRECT);
  if (fd < 0 && errno == EINVAL) {
    direct = false;
    fd = ::open(native.c_str(), flags);
  }
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  // O_NONBLOCK stays: it has no effect on reads of a regular file.
  auto reader = std::make_unique<DirectChunkReader>(fd, direct, static_cast<long long>(st.st_size), chunkSize);
  if (!reader->Allocate()) return nullptr;
  return reader;
}

}  // namespace corvenhal::platform::portable
