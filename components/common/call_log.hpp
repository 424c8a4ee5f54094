// The components' optional call log: one line a call ("Name arg arg -> result"),
// handed to a function the host sets, so tests can assert the order of calls
// across components through one log. Each component's library holds its own log;
// lines are built only while a log function is set.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <type_traits>

namespace zivoda::component {

using LogFn = void (*)(void* context, const char* line);

// Whether a log function is set: one relaxed load, inlined into every call.
extern std::atomic<bool> gCallLogEnabled;
inline bool CallLogEnabled() { return gCallLogEnabled.load(std::memory_order_relaxed); }

// Sets (or, with null, clears) the log function of this component.
void SetCallLog(LogFn fn, void* context);
// Hands one line to the log function (if any), outside every lock of ours.
void WriteCallLog(const std::string& line);

// Parts of a line beyond names and integers.
struct Returns {
  int64_t value;
};
struct Hex {
  uint32_t value;
};

inline void AppendPart(std::string& line, const char* s) { line += s != nullptr ? s : "(null)"; }
inline void AppendPart(std::string& line, Returns r) { line += "-> " + std::to_string(r.value); }
inline void AppendPart(std::string& line, Hex h) {
  char buffer[9];
  std::snprintf(buffer, sizeof buffer, "%08x", h.value);
  line += buffer;
}
template <class T, class = std::enable_if_t<std::is_integral_v<T>>>
void AppendPart(std::string& line, T value) {
  line += std::to_string(value);
}

// One line: the call's name, its arguments and, for calls with a result, "-> result".
// A component may add AppendPart overloads of its own for other argument types.
template <class... Parts>
void Log(const char* name, const Parts&... parts) {
  if (!CallLogEnabled()) return;
  try {
    std::string line = name;
    ((line += ' ', AppendPart(line, parts)), ...);
    WriteCallLog(line);
  } catch (const std::bad_alloc&) {
    // A log line is not worth failing the call for.
  }
}

}  // namespace zivoda::component
