// The live stubs, by user value (the id every call through a record carries) and
// by record address. Record slots are never freed and are reused only after many
// others, so a stale record stays readable and its stale user value makes calls
// fail instead of reaching a new stub. Not thread-safe by itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>

#include "stub.hpp"
#include "viRAZera.h"

namespace virazera {

class StubRegistry {
 public:
  static constexpr size_t kMaxStubs = size_t{1} << 16;
  static constexpr size_t kQuarantine = 1024;  // freed slots that wait before reuse

  // Registers a stub behind a record holding `functions` and a fresh user value.
  // Null when the table is full.
  IOStub* Add(std::shared_ptr<Stub> stub, const IOStub& functions);
  std::shared_ptr<Stub> Find(uintptr_t user) const;
  // Takes out the stub behind record; null when record is not a live stub's.
  std::shared_ptr<Stub> Remove(const IOStub* record);
  size_t size() const { return live_.size(); }

 private:
  struct Slot {
    IOStub record{};
    std::shared_ptr<Stub> stub;
  };

  std::deque<Slot> slots_;  // a deque never moves its elements: records keep their address
  std::deque<size_t> free_;  // freed slots, oldest first
  std::unordered_map<uintptr_t, size_t> live_;           // user value -> slot
  std::unordered_map<const IOStub*, size_t> records_;  // every record handed out -> slot
  uint32_t next_ = 1;
};

}  // namespace virazera
