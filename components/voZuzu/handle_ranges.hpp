// Contiguous runs of 32-bit handle values (never 0), each with a payload, from a
// counter that only moves forward: a released run is not handed out again until
// the counter wraps, and then the first long enough gap between live runs is
// used. A handle resolves with one ordered-map search. Not thread-safe by itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <utility>

namespace vozuzu {

template <class Payload>
class HandleRanges {
 public:
  // firstHandle: where the counter starts (tests start it near the top to wrap).
  explicit HandleRanges(uint32_t firstHandle = 1) : next_(firstHandle == 0 ? 1 : firstHandle) {}

  struct Run {
    uint32_t count;
    Payload payload;
  };

  // Takes `count` consecutive handles for payload and returns the first; 0 (and the
  // payload untouched) when no run that long is free.
  uint32_t Add(uint32_t count, Payload&& payload) {
    const std::optional<uint64_t> base = FindFree(count);
    if (!base) return 0;
    next_ = *base + count;
    runs_.emplace(static_cast<uint32_t>(*base), Run{count, std::move(payload)});
    return static_cast<uint32_t>(*base);
  }

  // The run holding handle, and its first handle; null when there is none.
  const Run* Find(uint32_t handle, uint32_t* base) const {
    auto it = runs_.upper_bound(handle);
    if (it == runs_.begin()) return nullptr;
    --it;
    if (handle - it->first >= it->second.count) return nullptr;
    *base = it->first;
    return &it->second;
  }

  // The run that starts at base; null when there is none.
  Run* At(uint32_t base) {
    auto it = runs_.find(base);
    return it == runs_.end() ? nullptr : &it->second;
  }

  // Takes out the run that starts at base; nothing when there is none.
  std::optional<Payload> Remove(uint32_t base) {
    auto it = runs_.find(base);
    if (it == runs_.end()) return std::nullopt;
    std::optional<Payload> payload(std::move(it->second.payload));
    runs_.erase(it);
    return payload;
  }

  size_t size() const { return runs_.size(); }

 private:
  static constexpr uint64_t kLastHandle = std::numeric_limits<uint32_t>::max();

  // First fit at or after the counter, else from 1 (the counter wraps).
  std::optional<uint64_t> FindFree(uint64_t count) const {
    if (count == 0) return std::nullopt;
    for (const uint64_t start : {next_, uint64_t{1}}) {
      uint64_t candidate = start;
      auto it = runs_.upper_bound(static_cast<uint32_t>(std::min(candidate, kLastHandle)));
      if (it != runs_.begin()) {
        auto before = std::prev(it);
        candidate = std::max<uint64_t>(candidate, uint64_t{before->first} + before->second.count);
      }
      while (candidate + count - 1 <= kLastHandle) {
        if (it == runs_.end() || it->first >= candidate + count) return candidate;
        candidate = uint64_t{it->first} + it->second.count;
        ++it;
      }
    }
    return std::nullopt;
  }

  std::map<uint32_t, Run> runs_;  // keyed by first handle
  uint64_t next_;                 // 1 .. 2^32; 2^32 means "wrap on next use"
};

}  // namespace vozuzu
