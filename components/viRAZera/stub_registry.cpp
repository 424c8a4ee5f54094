// The live stubs and their records; see stub_registry.hpp for the reuse rule.
#include "stub_registry.hpp"

#include <utility>

namespace virazera {

IOStub* StubRegistry::Add(std::shared_ptr<Stub> stub, const IOStub& functions) {
  if (live_.size() >= kMaxStubs) return nullptr;
  while (next_ == 0 || live_.count(next_) != 0) ++next_;
  const uintptr_t user = next_++;
  size_t index;
  if (free_.size() > kQuarantine) {
    index = free_.front();
    free_.pop_front();
  } else {
    index = slots_.size();
    slots_.emplace_back();
    records_.emplace(&slots_.back().record, index);
  }
  Slot& slot = slots_[index];
  slot.record = functions;
  slot.record.user = user;
  slot.stub = std::move(stub);
  live_.emplace(user, index);
  return &slot.record;
}

std::shared_ptr<Stub> StubRegistry::Find(uintptr_t user) const {
  auto it = live_.find(user);
  return it == live_.end() ? nullptr : slots_[it->second].stub;
}

std::shared_ptr<Stub> StubRegistry::Remove(const IOStub* record) {
  auto it = records_.find(record);
  if (it == records_.end()) return nullptr;
  Slot& slot = slots_[it->second];
  if (!slot.stub) return nullptr;
  std::shared_ptr<Stub> stub = std::move(slot.stub);
  slot.stub = nullptr;
  live_.erase(slot.record.user);  // the record keeps its user value, now stale
  free_.push_back(it->second);
  return stub;
}

}  // namespace virazera
