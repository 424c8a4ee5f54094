// The optional call log. The function and its context are read together under a
// small lock and called outside it, so a log function may call back into us.
#include "call_log.hpp"

#include <atomic>
#include <mutex>

namespace zivoda::component {
namespace {

struct LogTarget {
  std::mutex mutex;
  LogFn fn = nullptr;
  void* context = nullptr;
};

LogTarget& Target() {
  static LogTarget* target = new LogTarget;  // never destroyed: calls may come during exit
  return *target;
}

}  // namespace

constinit std::atomic<bool> gCallLogEnabled{false};

void SetCallLog(LogFn fn, void* context) {
  LogTarget& t = Target();
  std::lock_guard lock(t.mutex);
  t.fn = fn;
  t.context = fn != nullptr ? context : nullptr;
  gCallLogEnabled.store(fn != nullptr, std::memory_order_relaxed);
}

void WriteCallLog(const std::string& line) {
  LogTarget& t = Target();
  LogFn fn;
  void* context;
  {
    std::lock_guard lock(t.mutex);
    fn = t.fn;
    context = t.context;
  }
  if (fn != nullptr) fn(context, line.c_str());
}

}  // namespace zivoda::component
