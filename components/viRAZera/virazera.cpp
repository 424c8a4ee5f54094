// The C interface of viRAZera: vxCreateStub turns a StubTarget into a stub over a
// file or memory, and the record's functions reach the stub by its user value.
// Any thread may call: one mutex guards the table, and each stub has its own,
// held for one call through it, so a slow file never blocks the other stubs.
#include "viRAZera.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "call_log.hpp"
#include "file_stub.hpp"
#include "memory_stub.hpp"
#include "stub.hpp"
#include "stub_registry.hpp"

namespace virazera {
namespace {

using zivoda::component::CallLogEnabled;
using zivoda::component::WriteCallLog;

struct Registry {
  std::mutex mutex;
  StubRegistry stubs;
};

Registry& Tables() {
  static Registry* registry = new Registry;  // never destroyed: hosts may call during exit
  return *registry;
}

// One log line: the call's name, its arguments and " -> result".
void Log(const std::string& line) {
  if (!CallLogEnabled()) return;
  try {
    WriteCallLog(line);
  } catch (const std::bad_alloc&) {
  }
}

bool Reads(const Stub& stub) {
  return std::holds_alternative<FileReader>(stub.body) || std::holds_alternative<MemoryReader>(stub.body);
}

std::shared_ptr<Stub> FindStub(uintptr_t user) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.stubs.Find(user);
}

int32_t StubRead(uintptr_t user, void* buffer, int32_t capacity) {
  int32_t result = -1;
  if (std::shared_ptr<Stub> stub = FindStub(user)) {
    std::lock_guard lock(stub->mutex);
    result = std::visit([&](auto& body) { return body.Read(buffer, capacity); }, stub->body);
    if (result < 0 && Reads(*stub)) stub->failed = true;  // a read on a writing stub is only refused
  }
  if (CallLogEnabled()) Log("read " + std::to_string(capacity) + " -> " + std::to_string(result));
  return result;
}

int32_t StubWrite(uintptr_t user, const void* bytes, int32_t length) {
  int32_t result = -1;
  if (std::shared_ptr<Stub> stub = FindStub(user)) {
    std::lock_guard lock(stub->mutex);
    result = std::visit([&](auto& body) { return body.Write(bytes, length); }, stub->body);
    if ((result < 0 || result < length) && !Reads(*stub)) stub->failed = true;  // short is failed
  }
  if (CallLogEnabled()) Log("write " + std::to_string(length) + " -> " + std::to_string(result));
  return result;
}

int32_t StubAtEnd(uintptr_t user) {
  int32_t result = 1;
  if (std::shared_ptr<Stub> stub = FindStub(user)) {
    std::lock_guard lock(stub->mutex);
    result = std::visit([](auto& body) { return body.AtEnd(); }, stub->body);
  }
  if (CallLogEnabled()) Log("atEnd -> " + std::to_string(result));
  return result;
}

// The stub a target and mode describe; null when they describe none.
std::shared_ptr<Stub> MakeStub(const StubTarget& target, int32_t mode) {
  if (target.kind == VI_TARGET_FILE) {
    if (mode == VI_MODE_READ) {
      if (std::optional<FileReader> reader = FileReader::Open(target.path))
        return std::make_shared<Stub>(std::move(*reader));
    } else if (std::optional<FileWriter> writer = FileWriter::Open(target.path)) {
      return std::make_shared<Stub>(std::move(*writer));
    }
    return nullptr;
  }
  if (target.kind == VI_TARGET_MEMORY) {
    StubMemory* memory = target.memory;
    if (memory == nullptr || memory->refuseCreate != 0) return nullptr;
    if (mode == VI_MODE_WRITE) return std::make_shared<Stub>(MemoryWriter(memory));
    const bool badData = memory->data == nullptr && memory->size > 0;
    const bool badScript = memory->chunkCount < 0 || (memory->chunkCount > 0 && memory->chunks == nullptr);
    if (badData || badScript) return nullptr;
    return std::make_shared<Stub>(MemoryReader(memory));
  }
  return nullptr;
}

}  // namespace
}  // namespace virazera

using namespace virazera;

IOStub* vxCreateStub(uintptr_t designator, int32_t mode) {
  if (CallLogEnabled()) Log("vxCreateStub " + std::to_string(mode));
  if (designator == 0 || (mode != VI_MODE_READ && mode != VI_MODE_WRITE)) return nullptr;
  try {
    std::shared_ptr<Stub> stub = MakeStub(*reinterpret_cast<const StubTarget*>(designator), mode);
    if (!stub) return nullptr;
    IOStub functions{};
    functions.read = &StubRead;
    functions.write = &StubWrite;
    functions.atEnd = &StubAtEnd;
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    return r.stubs.Add(std::move(stub), functions);
    // A stub that could not be registered is released here; a file writer removes its temporary.
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t vxDeleteStub(IOStub* stub) {
  std::shared_ptr<Stub> live;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    live = r.stubs.Remove(stub);
  }
  int32_t result = 0;
  if (live) {
    std::lock_guard lock(live->mutex);
    const bool finished = std::visit([](auto& body) { return body.Finish(); }, live->body);
    result = finished && !live->failed ? 1 : 0;
  }
  if (CallLogEnabled()) Log("vxDeleteStub -> " + std::to_string(result));
  return result;
}

void viFreeMemoryOutput(StubMemory* memory) {
  if (memory == nullptr) return;
  std::free(memory->out);
  memory->out = nullptr;
  memory->outSize = 0;
}

int32_t viLiveStubs(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return static_cast<int32_t>(r.stubs.size());
}

void viSetCallLog(viLogFn fn, void* context) { zivoda::component::SetCallLog(fn, context); }
