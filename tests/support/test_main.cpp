// Test entry point: a listener fails the run when a test leaves a component
// object alive (parsers, trees, stubs, GDI objects), so cleanup is checked by
// every test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "render/render_context.hpp"
#include "support/live_objects.hpp"

int main(int argc, char** argv) {
  // The tests' own fontconfig configuration: only the pinned test fonts.
  setenv("FONTCONFIG_FILE", ZIVODA_SOURCE_DIR "/tests/fonts/fonts.conf", 1);
  ::testing::InitGoogleTest(&argc, argv);
  // The library's render context lives from its first use to unloading; made
  // here, it is part of every test's starting counts.
  zivoda::GetRenderContext();
  auto* live = new zivoda::test::LiveObjectListener;
  ::testing::UnitTest::GetInstance()->listeners().Append(live);  // gtest owns it
  const int rc = RUN_ALL_TESTS();
  return rc != 0 || live->leaked() ? 1 : 0;
}
