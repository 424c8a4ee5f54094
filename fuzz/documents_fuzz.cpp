// Fuzzes document loading: the bytes go to the parser once as a string and once
// through a memory stub whose reads are scripted by the first bytes. A tree whose
// values hold no '<' or '&' (tag text is written unescaped) must serialize, load
// again and serialize to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "viRAZera.h"
#include "voZuzu.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

bool ValuesRoundTrip(KespTag root) {
  std::vector<KespTag> todo{root};
  while (!todo.empty()) {
    const KespTag t = todo.back();
    todo.pop_back();
    if (std::strpbrk(vxGetKespTagValue(t), "<&") != nullptr) return false;
    for (int32_t i = 0; i < vxGetKespTagSubTagCount(t); ++i) todo.push_back(vxGetKespTagSubTag(t, i, 0));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // First byte: how many read counts the script has (0-7); each count is one byte,
  // scaled so that some claim more than the buffer and some fail.
  size_t pos = 0;
  std::vector<int32_t> script;
  if (size > 0) {
    const size_t n = data[pos++] % 8;
    for (size_t i = 0; i < n && pos < size; ++i, ++pos) script.push_back((static_cast<int32_t>(data[pos]) - 16) * 24);
  }
  const std::string doc(reinterpret_cast<const char*>(data + pos), size - pos);

  const KespTag fromString = zivoda::LoadKespFromString(doc.c_str());
  if (fromString != 0) {
    const std::string text = zivoda::KespDocumentToText(fromString);
    const KespTag again = zivoda::LoadKespFromString(text.c_str());
    if (ValuesRoundTrip(fromString)) {
      if (again == 0 || zivoda::KespDocumentToText(again) != text) std::abort();
    }
    if (again != 0) vxReleaseKespTree(again);
    vxReleaseKespTree(fromString);
  }

  StubMemory mem{};
  mem.data = doc.data();
  mem.size = doc.size();
  mem.chunks = script.data();
  mem.chunkCount = static_cast<int32_t>(script.size());
  StubTarget target{VI_TARGET_MEMORY, nullptr, &mem};
  const KespTag fromStub = zivoda::LoadKespFromStub(reinterpret_cast<uintptr_t>(&target));
  if (fromStub != 0) vxReleaseKespTree(fromStub);
  if (vzLiveParsers() != 0 || vzLiveTrees() != 0 || viLiveStubs() != 0) std::abort();
  return 0;
}
