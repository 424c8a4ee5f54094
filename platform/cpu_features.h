// Processor features beyond the x86-64 baseline that the library's vector paths
// choose by, read once at load. Before that (static initialisers of other files)
// they read false, and the baseline paths, which give the same results, run.
#pragma once

namespace zivoda::cpu {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
inline const bool kAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#else
inline const bool kAvx2 = false;
#endif

}  // namespace zivoda::cpu
