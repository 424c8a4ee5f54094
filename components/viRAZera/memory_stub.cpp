// Memory stubs: reads follow the StubMemory script, writes append to a buffer
// grown with realloc (the owner frees it with viFreeMemoryOutput).
#include "memory_stub.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace virazera {

int32_t MemoryReader::Read(void* buffer, int32_t capacity) {
  if (capacity < 0 || (buffer == nullptr && capacity > 0)) return -1;
  const size_t left = memory_->size > position_ ? memory_->size - position_ : 0;
  const int32_t index = reads_++;
  int32_t result;
  size_t store;
  if (memory_->chunks != nullptr && index < memory_->chunkCount) {
    result = memory_->chunks[index];  // the script's claim, whatever is stored
    if (result < 0) return result;
    store = std::min({static_cast<size_t>(result), static_cast<size_t>(capacity), left});
  } else {
    store = std::min(static_cast<size_t>(capacity), left);
    result = static_cast<int32_t>(store);
  }
  if (store > 0) std::memcpy(buffer, static_cast<const char*>(memory_->data) + position_, store);
  position_ += store;  // the source moves on by what was stored, whatever was claimed
  return result;
}

int32_t MemoryWriter::Write(const void* bytes, int32_t length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return -1;
  size_t take = static_cast<size_t>(length);
  if (memory_->writeLimit > 0) {
    const uint64_t limit = static_cast<uint64_t>(memory_->writeLimit);
    take = static_cast<size_t>(std::min<uint64_t>(take, limit > written_ ? limit - written_ : 0));
  }
  if (take == 0) return 0;
  if (memory_->out != knownOut_) capacity_ = memory_->outSize;  // freed or replaced by the owner
  const size_t need = memory_->outSize + take;
  if (need > capacity_) {
    const size_t grown = std::max({need, capacity_ * 2, size_t{64}});
    void* p = std::realloc(memory_->out, grown);
    if (p == nullptr) return -1;
    memory_->out = static_cast<uint8_t*>(p);
    capacity_ = grown;
  }
  std::memcpy(memory_->out + memory_->outSize, bytes, take);
  memory_->outSize = need;
  knownOut_ = memory_->out;
  written_ += take;
  return static_cast<int32_t>(take);
}

}  // namespace virazera
