// Counts of live objects across the components and the platform's GDI objects,
// compared before and after each test; a test that leaves one alive (or a GDI
// object selected) makes the run fail.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/gdi_debug.h"
#include "vaRodurod.h"
#include "viRAZera.h"
#include "voZuzu.h"

namespace zivoda::test {

struct LiveCounts {
  int parsers = vzLiveParsers();
  int trees = vzLiveTrees();
  int stubs = viLiveStubs();
  int canvases = vrLiveCanvases();
  int textures = vrLiveTextures();
  int textureLocks = vrLiveLocks();
  int gdiDCs = GdiLiveDCs();
  int gdiBitmaps = GdiLiveBitmaps();
  int gdiFonts = GdiLiveFonts();
  int gdiSelections = GdiLiveSelections();
  bool operator==(const LiveCounts&) const = default;
  std::string ToString() const {
    return "parsers=" + std::to_string(parsers) + " trees=" + std::to_string(trees) +
           " stubs=" + std::to_string(stubs) + " canvases=" + std::to_string(canvases) +
           " textures=" + std::to_string(textures) + " texture locks=" + std::to_string(textureLocks) +
           " gdi dcs=" + std::to_string(gdiDCs) +
           " bitmaps=" + std::to_string(gdiBitmaps) + " fonts=" + std::to_string(gdiFonts) +
           " selections=" + std::to_string(gdiSelections);
  }
};

class LiveObjectListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override { before_ = LiveCounts{}; }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    LiveCounts after;
    if (!(after == before_)) {
      std::printf("[  LEAKED  ] %s.%s left objects alive: before %s, after %s\n", info.test_suite_name(),
                  info.name(), before_.ToString().c_str(), after.ToString().c_str());
      leaked_ = true;
    }
  }
  bool leaked() const { return leaked_; }

 private:
  LiveCounts before_;
  bool leaked_ = false;
};

}  // namespace zivoda::test
