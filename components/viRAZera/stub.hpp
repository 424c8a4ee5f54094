// One live stub: what it reads from or writes to, and whether any call through
// it failed or fell short (which vxDeleteStub reports).
#pragma once

#include <mutex>
#include <utility>
#include <variant>

#include "file_stub.hpp"
#include "memory_stub.hpp"

namespace virazera {

struct Stub {
  template <class Body>
  explicit Stub(Body&& body) : body(std::forward<Body>(body)) {}

  std::mutex mutex;  // one call through the stub at a time
  std::variant<FileReader, FileWriter, MemoryReader, MemoryWriter> body;
  bool failed = false;
};

}  // namespace virazera
