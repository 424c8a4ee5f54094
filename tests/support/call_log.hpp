// One ordered log of the calls into the components (voZuzu, viRAZera,
// vaRodurod), so tests assert the order of what really happened across them.
#pragma once

#include <string>
#include <vector>

#include "vaRodurod.h"
#include "viRAZera.h"
#include "voZuzu.h"

namespace zivoda::test {

class CallLog {
 public:
  CallLog() {
    vzSetCallLog(&Add, this);
    viSetCallLog(&Add, this);
    vrSetCallLog(&Add, this);
  }
  ~CallLog() {
    vzSetCallLog(nullptr, nullptr);
    viSetCallLog(nullptr, nullptr);
    vrSetCallLog(nullptr, nullptr);
  }
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  // The lines whose first word is one of names, in order.
  std::vector<std::string> Only(std::initializer_list<std::string> names) const {
    std::vector<std::string> out;
    for (const auto& l : lines_) {
      const std::string first = l.substr(0, l.find(' '));
      for (const auto& n : names)
        if (first == n) out.push_back(l);
    }
    return out;
  }
  std::string Joined() const {
    std::string s;
    for (const auto& l : lines_) s += l + "\n";
    return s;
  }

 private:
  static void Add(void* self, const char* line) { static_cast<CallLog*>(self)->lines_.emplace_back(line); }
  std::vector<std::string> lines_;
};

}  // namespace zivoda::test
