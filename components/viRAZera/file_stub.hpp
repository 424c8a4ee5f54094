// Stubs over files. A reader reads ahead, so it knows it is at the end before the
// first read of an empty file and right after the read that took the last byte.
// A writer fills a temporary file beside the target and renames it over the
// target only when every write was complete: the old file is never half-written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace virazera {

// Owns one file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Close(); }

  int get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now; false when close reported an error (the data may not be on disk).
  bool Close();

 private:
  int fd_ = -1;
};

class FileReader {
 public:
  // Null for a missing or unreadable file or a directory.
  static std::optional<FileReader> Open(const char* path);

  int32_t Read(void* buffer, int32_t capacity);
  int32_t Write(const void*, int32_t) { return -1; }
  int32_t AtEnd();
  bool Finish() const { return !error_; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;

  explicit FileReader(UniqueFd fd) : fd_(std::move(fd)), buffer_(new char[kBufferSize]) {}
  // Refills an empty buffer; false at the end of the file or after an error.
  bool Fill();

  UniqueFd fd_;
  std::unique_ptr<char[]> buffer_;
  size_t position_ = 0;
  size_t length_ = 0;
  bool end_ = false;
  bool error_ = false;  // sticky: after an error the stub is at its end
};

class FileWriter {
 public:
  // Creates the temporary file beside path. Null when path names a directory or
  // the temporary cannot be created.
  static std::optional<FileWriter> Open(const char* path);
  FileWriter(FileWriter&& other) noexcept
      : fd_(std::move(other.fd_)),
        target_(std::move(other.target_)),
        temporary_(std::exchange(other.temporary_, {})),
        complete_(other.complete_) {}
  FileWriter& operator=(FileWriter&&) = delete;
  ~FileWriter();

  int32_t Read(void*, int32_t) { return -1; }
  int32_t Write(const void* bytes, int32_t length);
  int32_t AtEnd() const { return 1; }
  // Renames the temporary over the target when every write was complete and the
  // data reached the disk; otherwise removes it. True when the target was replaced.
  bool Finish();

 private:
  FileWriter(UniqueFd fd, std::string target, std::string temporary)
      : fd_(std::move(fd)), target_(std::move(target)), temporary_(std::move(temporary)) {}

  UniqueFd fd_;
  std::string target_;
  std::string temporary_;  // empty once renamed or removed
  bool complete_ = true;
};

}  // namespace virazera
