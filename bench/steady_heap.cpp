// Keeps freed memory in the process for the whole benchmark run, for every
// implementation alike: large blocks come from the heap rather than fresh mmap
// pages, and the heap is never trimmed. On a virtual machine that hands freed
// pages back to its host, every new page otherwise costs a fault that can swamp
// what is measured (a 5 MiB parse, ours and pugixml's, varied tenfold between runs).
#include <malloc.h>

namespace {

const bool kSteadyHeap = [] {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest allowed threshold
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  return true;
}();

}  // namespace
