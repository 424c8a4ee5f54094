// Stubs over memory, scriptable for tests: a reader hands out StubMemory::data in
// the chunk sizes its script claims (more than it stores, or an error), and a
// writer appends to StubMemory::out, falling short once writeLimit bytes are in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "viRAZera.h"

namespace virazera {

class MemoryReader {
 public:
  explicit MemoryReader(const StubMemory* memory) : memory_(memory) {}

  int32_t Read(void* buffer, int32_t capacity);
  int32_t Write(const void*, int32_t) { return -1; }
  int32_t AtEnd() const { return position_ >= memory_->size ? 1 : 0; }
  bool Finish() const { return true; }

 private:
  const StubMemory* memory_;
  size_t position_ = 0;
  int32_t reads_ = 0;  // reads so far: the index into the script
};

class MemoryWriter {
 public:
  explicit MemoryWriter(StubMemory* memory)
      : memory_(memory), knownOut_(memory->out), capacity_(memory->outSize) {}

  int32_t Read(void*, int32_t) { return -1; }
  int32_t Write(const void* bytes, int32_t length);
  int32_t AtEnd() const { return 1; }
  bool Finish() const { return true; }

 private:
  StubMemory* memory_;
  uint8_t* knownOut_;  // out as this writer last left it; another value means someone replaced it
  size_t capacity_;    // bytes allocated at knownOut_
  uint64_t written_ = 0;
};

}  // namespace virazera
