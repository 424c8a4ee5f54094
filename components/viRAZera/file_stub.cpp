// Stubs over files: a read-ahead reader and an all-or-nothing writer (temporary
// file beside the target, fsync, rename over the target, fsync of the directory:
// the POSIX way to replace a file atomically).
#include "file_stub.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

namespace virazera {
namespace {

// The process's file creation mask, read without changing it (umask(2) can only
// set it, which would race with other threads).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// The file a write to path should replace: the target of a symbolic link, so that
// the link survives the replacement.
std::string ResolveTarget(const char* path) {
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path, nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return path;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A new temporary file in directory, named after base when the name fits.
UniqueFd MakeTemporary(const std::string& directory, const std::string& base, std::string* name) {
  for (const std::string& stem : {"." + base, std::string(".virazera")}) {
    std::string pattern = directory + "/" + stem + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd >= 0) {
      *name = buffer.data();
      return UniqueFd(fd);
    }
    if (errno != ENAMETOOLONG) break;
  }
  return UniqueFd();
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

bool UniqueFd::Close() {
  if (fd_ < 0) return true;
  const int fd = Release();
  return ::close(fd) == 0;  // on Linux the descriptor is gone even when close fails
}

// ---- Reading -----------------------------------------------------------------

std::optional<FileReader> FileReader::Open(const char* path) {
  if (path == nullptr || *path == 0) return std::nullopt;
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  UniqueFd owned(fd);
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  return FileReader(std::move(owned));
}

bool FileReader::Fill() {
  if (end_ || error_) return false;
  for (;;) {
    const ssize_t n = ::read(fd_.get(), buffer_.get(), kBufferSize);
    if (n > 0) {
      position_ = 0;
      length_ = static_cast<size_t>(n);
      return true;
    }
    if (n == 0) {
      end_ = true;
      return false;
    }
    if (errno != EINTR) {
      error_ = true;
      return false;
    }
  }
}

int32_t FileReader::Read(void* buffer, int32_t capacity) {
  if (capacity < 0 || (buffer == nullptr && capacity > 0)) return -1;
  char* out = static_cast<char*>(buffer);
  size_t copied = 0;
  const size_t wanted = static_cast<size_t>(capacity);
  while (copied < wanted) {
    if (position_ == length_ && !Fill()) break;
    const size_t n = std::min(wanted - copied, length_ - position_);
    std::memcpy(out + copied, buffer_.get() + position_, n);
    position_ += n;
    copied += n;
  }
  if (copied == 0 && error_) return -1;
  return static_cast<int32_t>(copied);
}

int32_t FileReader::AtEnd() {
  if (position_ < length_) return 0;
  return Fill() ? 0 : 1;
}

// ---- Writing -----------------------------------------------------------------

std::optional<FileWriter> FileWriter::Open(const char* path) {
  if (path == nullptr || *path == 0) return std::nullopt;
  std::string target = ResolveTarget(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return std::nullopt;

  const size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return std::nullopt;
  std::string temporary;
  UniqueFd fd = MakeTemporary(DirectoryOf(target), base, &temporary);
  if (fd.get() < 0) return std::nullopt;

  // The replacement keeps the old file's permissions and owner; a new file gets
  // the permissions open(2) would give it. Both are best effort.
  if (exists) {
    (void)fchmod(fd.get(), st.st_mode & 07777);
    (void)fchown(fd.get(), st.st_uid, st.st_gid);
  } else {
    (void)fchmod(fd.get(), 0666 & ~CurrentUmask());
  }
  return FileWriter(std::move(fd), std::move(target), std::move(temporary));
}

FileWriter::~FileWriter() {
  if (!temporary_.empty()) {
    fd_.Close();
    ::unlink(temporary_.c_str());
  }
}

int32_t FileWriter::Write(const void* bytes, int32_t length) {
  if (length < 0 || (bytes == nullptr && length > 0) || fd_.get() < 0) {
    complete_ = false;
    return -1;
  }
  const char* p = static_cast<const char*>(bytes);
  size_t done = 0;
  const size_t wanted = static_cast<size_t>(length);
  while (done < wanted) {
    const ssize_t n = ::write(fd_.get(), p + done, wanted - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      complete_ = false;  // a full disk, a file size limit, an I/O error
      break;
    }
  }
  if (done == 0 && !complete_) return -1;
  return static_cast<int32_t>(done);
}

bool FileWriter::Finish() {
  if (temporary_.empty()) return false;
  bool replaced = false;
  if (complete_ && fsync(fd_.get()) == 0 && fd_.Close() &&
      ::rename(temporary_.c_str(), target_.c_str()) == 0) {
    temporary_.clear();
    replaced = true;
    // Make the rename itself durable.
    const int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      (void)fsync(dir);
      ::close(dir);
    }
  }
  if (!replaced) {
    fd_.Close();
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  return replaced;
}

}  // namespace virazera
