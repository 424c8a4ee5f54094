// The IO stub component viRAZera: file stubs (end-of-file known in time for the
// loader to flag its last chunk; all-or-nothing replacement of a written file),
// memory stubs and their scripts, stale records and user values, the call log.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/call_log.hpp"
#include "viRAZera.h"

namespace {

namespace fs = std::filesystem;
using zivoda::test::CallLog;

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    static int serial = 0;
    path_ = fs::temp_directory_path() /
            ("virazera_test_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name, const std::string& content) const {
    const std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  // The names in the directory: a failed save must leave no temporary behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uintptr_t Designator(const StubTarget& t) { return reinterpret_cast<uintptr_t>(&t); }

StubTarget FileTarget(const std::string& path) { return {VI_TARGET_FILE, path.c_str(), nullptr}; }
StubTarget MemoryTarget(StubMemory* memory) { return {VI_TARGET_MEMORY, nullptr, memory}; }

// --- Reading files ---------------------------------------------------------------

TEST(ViRAZeraFileRead, AtEndIsKnownBeforeTheFirstReadAndRightAfterTheLast) {
  struct Row {
    size_t size;
    int32_t capacity;
    std::vector<int32_t> counts;  // what each read returns until the stub is at its end
  };
  const Row rows[] = {
      {0, 1024, {}},  // an empty file is at its end at once
      {3, 1024, {3}},
      {1024, 1024, {1024}},
      {2500, 1024, {1024, 1024, 452}},
      {65536 + 1, 65536, {65536, 1}},
      {200000, 100000, {100000, 100000}},  // reads larger than the read-ahead
  };
  TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE("size " + std::to_string(row.size) + ", capacity " + std::to_string(row.capacity));
    std::string content(row.size, '\0');
    for (size_t i = 0; i < row.size; ++i) content[i] = static_cast<char>('a' + i % 23);
    const std::string path = dir.File("in.txt", content);
    const StubTarget target = FileTarget(path);
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_READ);
    ASSERT_NE(stub, nullptr);
    std::string got;
    std::vector<char> buffer(static_cast<size_t>(row.capacity));
    for (size_t i = 0; i < row.counts.size(); ++i) {
      ASSERT_EQ(stub->atEnd(stub->user), 0) << "before read " << i;
      const int32_t n = stub->read(stub->user, buffer.data(), row.capacity);
      ASSERT_EQ(n, row.counts[i]) << "read " << i;
      got.append(buffer.data(), static_cast<size_t>(n));
      // After the read that took the last byte, and not before.
      EXPECT_EQ(stub->atEnd(stub->user), i + 1 == row.counts.size() ? 1 : 0) << "after read " << i;
    }
    EXPECT_EQ(stub->atEnd(stub->user), 1);
    EXPECT_EQ(stub->read(stub->user, buffer.data(), row.capacity), 0);
    EXPECT_EQ(got, content);
    EXPECT_EQ(vxDeleteStub(stub), 1);
  }
}

TEST(ViRAZeraFileRead, BadArgumentsAndTargets) {
  TempDir dir;
  const std::string path = dir.File("in.txt", "abc");
  const StubTarget target = FileTarget(path);
  IOStub* stub = vxCreateStub(Designator(target), VI_MODE_READ);
  ASSERT_NE(stub, nullptr);
  char buffer[4];
  EXPECT_EQ(stub->read(stub->user, buffer, -1), -1);
  EXPECT_EQ(stub->read(stub->user, nullptr, 4), -1);
  EXPECT_EQ(stub->read(stub->user, buffer, 0), 0);
  EXPECT_EQ(stub->write(stub->user, "x", 1), -1);  // a reading stub does not write
  EXPECT_EQ(stub->read(stub->user, buffer, 4), 3);
  vxDeleteStub(stub);

  const std::string missing = dir.Path("missing.txt");
  const std::string directory = dir.Path("");
  const StubTarget nullPath{VI_TARGET_FILE, nullptr, nullptr};
  const StubTarget emptyPath{VI_TARGET_FILE, "", nullptr};
  const StubTarget unknownKind{7, path.c_str(), nullptr};
  struct Row {
    const char* what;
    uintptr_t designator;
    int32_t mode;
  };
  const StubTarget missingTarget = FileTarget(missing);
  const StubTarget directoryTarget = FileTarget(directory);
  const Row rows[] = {
      {"missing file", Designator(missingTarget), VI_MODE_READ},
      {"directory", Designator(directoryTarget), VI_MODE_READ},
      {"directory as a write target", Designator(directoryTarget), VI_MODE_WRITE},
      {"null path", Designator(nullPath), VI_MODE_READ},
      {"empty path", Designator(emptyPath), VI_MODE_WRITE},
      {"unknown kind", Designator(unknownKind), VI_MODE_READ},
      {"unknown mode", Designator(target), 2},
      {"negative mode", Designator(target), -1},
      {"null designator", 0, VI_MODE_READ},
  };
  for (const Row& row : rows) EXPECT_EQ(vxCreateStub(row.designator, row.mode), nullptr) << row.what;
}

// --- Writing files -----------------------------------------------------------------

TEST(ViRAZeraFileWrite, ReplacesTheFileWhenEveryWriteWasComplete) {
  TempDir dir;
  const std::string path = dir.File("out.txt", "old content");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const StubTarget target = FileTarget(path);
  IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(stub->atEnd(stub->user), 1);
  char buffer[4];
  EXPECT_EQ(stub->read(stub->user, buffer, 4), -1);  // a writing stub does not read
  EXPECT_EQ(stub->write(stub->user, "new ", 4), 4);
  EXPECT_EQ(stub->write(stub->user, "", 0), 0);
  EXPECT_EQ(stub->write(stub->user, "text", 4), 4);
  EXPECT_EQ(ReadFile(path), "old content");  // nothing shows before the commit
  EXPECT_EQ(vxDeleteStub(stub), 1);
  EXPECT_EQ(ReadFile(path), "new text");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.txt"});
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);  // the replacement keeps the old permissions

  // A new file, and a stub that writes nothing: the file is (re)written empty.
  const std::string fresh = dir.Path("fresh.txt");
  const StubTarget freshTarget = FileTarget(fresh);
  stub = vxCreateStub(Designator(freshTarget), VI_MODE_WRITE);
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(vxDeleteStub(stub), 1);
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_EQ(ReadFile(fresh), "");
}

TEST(ViRAZeraFileWrite, ShortOrFailedWriteLeavesTheOldFileUntouched) {
  TempDir dir;
  const std::string old = "the old file\r\nsecond line\r\n";
  const std::string path = dir.File("keep.txt", old);
  const StubTarget target = FileTarget(path);
  const std::string text(100, 'n');

  {  // A negative length fails the stub.
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
    ASSERT_NE(stub, nullptr);
    EXPECT_EQ(stub->write(stub->user, text.data(), 50), 50);
    EXPECT_EQ(stub->write(stub->user, text.data(), -1), -1);
    EXPECT_EQ(vxDeleteStub(stub), 0);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.txt"});
  }
  {  // No bytes with a length.
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
    ASSERT_NE(stub, nullptr);
    EXPECT_EQ(stub->write(stub->user, nullptr, 5), -1);
    EXPECT_EQ(vxDeleteStub(stub), 0);
    EXPECT_EQ(ReadFile(path), old);
  }
  {  // A real short write: the file size limit stops the temporary at 10 bytes.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
    ASSERT_NE(stub, nullptr);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t written = stub->write(stub->user, text.data(), static_cast<int32_t>(text.size()));
    const int32_t more = stub->write(stub->user, text.data(), 5);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(written, 10);
    EXPECT_EQ(more, -1);
    EXPECT_EQ(vxDeleteStub(stub), 0);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.txt"});
  }
  {  // No temporary can be made where the target's directory does not exist.
    const std::string nowhere = dir.Path("no/such/dir/file.txt");
    const StubTarget nowhereTarget = FileTarget(nowhere);
    EXPECT_EQ(vxCreateStub(Designator(nowhereTarget), VI_MODE_WRITE), nullptr);
  }
}

TEST(ViRAZeraFileWrite, WritingThroughASymbolicLinkKeepsTheLink) {
  TempDir dir;
  const std::string real = dir.File("real.txt", "old");
  const std::string link = dir.Path("link.txt");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  const StubTarget target = FileTarget(link);
  IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(stub->write(stub->user, "new", 3), 3);
  EXPECT_EQ(vxDeleteStub(stub), 1);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "new");
}

// --- Memory stubs -----------------------------------------------------------------

TEST(ViRAZeraMemory, ReadScripts) {
  struct Read {
    int32_t capacity;
    int32_t result;
    const char* stored;  // the bytes the read put into the buffer
    int32_t atEnd;       // after the read
  };
  struct Row {
    const char* what;
    const char* data;
    std::vector<int32_t> script;
    std::vector<Read> reads;
  };
  const Row rows[] = {
      {"no script", "abcdef", {}, {{4, 4, "abcd", 0}, {4, 2, "ef", 1}, {4, 0, "", 1}}},
      {"claims more than the capacity", "abcdef", {5000}, {{4, 5000, "abcd", 0}, {4, 2, "ef", 1}}},
      {"claims more than is left", "abc", {10}, {{8, 10, "abc", 1}}},
      {"claims less", "abcdef", {1, 2}, {{8, 1, "a", 0}, {8, 2, "bc", 0}, {8, 3, "def", 1}}},
      {"an empty read", "ab", {0}, {{8, 0, "", 0}, {8, 2, "ab", 1}}},
      {"an error, then on", "abcd", {-1, 2}, {{8, -1, "", 0}, {8, 2, "ab", 0}, {8, 2, "cd", 1}}},
      {"any negative count", "ab", {-7}, {{8, -7, "", 0}}},
      {"bad capacities do not use up the script", "ab", {1},
       {{-1, -1, "", 0}, {0, 1, "", 0}, {8, 2, "ab", 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StubMemory memory{};
    memory.data = row.data;
    memory.size = std::strlen(row.data);
    memory.chunks = row.script.data();
    memory.chunkCount = static_cast<int32_t>(row.script.size());
    const StubTarget target = MemoryTarget(&memory);
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_READ);
    ASSERT_NE(stub, nullptr);
    EXPECT_EQ(stub->atEnd(stub->user), memory.size == 0 ? 1 : 0);
    for (size_t i = 0; i < row.reads.size(); ++i) {
      const Read& r = row.reads[i];
      SCOPED_TRACE("read " + std::to_string(i));
      char buffer[16];
      std::memset(buffer, '#', sizeof buffer);
      EXPECT_EQ(stub->read(stub->user, buffer, r.capacity), r.result);
      const size_t stored = std::strlen(r.stored);
      EXPECT_EQ(std::string(buffer, stored), r.stored);
      EXPECT_EQ(buffer[stored], '#');  // nothing stored beyond
      EXPECT_EQ(stub->atEnd(stub->user), r.atEnd);
    }
    vxDeleteStub(stub);
  }
}

TEST(ViRAZeraMemory, DeleteReportsAFailedRead) {
  const int32_t failing[] = {-1};
  StubMemory memory{};
  memory.data = "ab";
  memory.size = 2;
  memory.chunks = failing;
  memory.chunkCount = 1;
  const StubTarget target = MemoryTarget(&memory);
  IOStub* stub = vxCreateStub(Designator(target), VI_MODE_READ);
  ASSERT_NE(stub, nullptr);
  char buffer[8];
  stub->read(stub->user, buffer, 8);
  stub->read(stub->user, buffer, 8);
  EXPECT_EQ(vxDeleteStub(stub), 0);

  memory.chunkCount = 0;
  stub = vxCreateStub(Designator(target), VI_MODE_READ);
  ASSERT_NE(stub, nullptr);
  stub->read(stub->user, buffer, 8);
  EXPECT_EQ(vxDeleteStub(stub), 1);
}

TEST(ViRAZeraMemory, WriteLimitsAndGrowth) {
  struct Row {
    const char* what;
    int64_t writeLimit;
    std::vector<int32_t> lengths;
    std::vector<int32_t> results;
    int32_t deleted;
  };
  const Row rows[] = {
      {"zeroed: no limit", 0, {3, 0, 4}, {3, 0, 4}, 1},
      {"negative: no limit", -1, {3, 4}, {3, 4}, 1},
      {"a limit met exactly", 7, {3, 4}, {3, 4}, 1},
      {"a short write, then nothing", 5, {3, 3, 3}, {3, 2, 0}, 0},
      {"one byte short", 39, {40}, {39}, 0},
      {"a negative length", 0, {2, -1}, {2, -1}, 0},
  };
  const std::string source = "0123456789012345678901234567890123456789";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StubMemory memory{};
    memory.writeLimit = row.writeLimit;
    const StubTarget target = MemoryTarget(&memory);
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
    ASSERT_NE(stub, nullptr);
    std::string expected;
    size_t at = 0;
    for (size_t i = 0; i < row.lengths.size(); ++i) {
      EXPECT_EQ(stub->write(stub->user, source.data() + at, row.lengths[i]), row.results[i]) << "write " << i;
      if (row.results[i] > 0) {
        expected.append(source, at, static_cast<size_t>(row.results[i]));
        at += static_cast<size_t>(row.lengths[i]);
      }
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(memory.out), memory.outSize), expected);
    EXPECT_EQ(vxDeleteStub(stub), row.deleted);
    viFreeMemoryOutput(&memory);
    EXPECT_EQ(memory.out, nullptr);
    EXPECT_EQ(memory.outSize, 0u);
  }
}

TEST(ViRAZeraMemory, WritesAppendAcrossStubsAndGrowLarge) {
  StubMemory memory{};
  const StubTarget target = MemoryTarget(&memory);
  std::string expected;
  for (int round = 0; round < 3; ++round) {
    IOStub* stub = vxCreateStub(Designator(target), VI_MODE_WRITE);
    ASSERT_NE(stub, nullptr);
    for (int i = 0; i < 1000; ++i) {
      const std::string piece = std::to_string(round) + ":" + std::to_string(i) + ";";
      ASSERT_EQ(stub->write(stub->user, piece.data(), static_cast<int32_t>(piece.size())),
                static_cast<int32_t>(piece.size()));
      expected += piece;
    }
    EXPECT_EQ(vxDeleteStub(stub), 1);
    if (round == 1) {  // the owner may free between stubs; the next stub starts over
      viFreeMemoryOutput(&memory);
      expected.clear();
    }
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(memory.out), memory.outSize), expected);
  viFreeMemoryOutput(&memory);
  viFreeMemoryOutput(nullptr);  // harmless
}

TEST(ViRAZeraMemory, RefusedAndInvalidTargets) {
  StubMemory refused{};
  refused.refuseCreate = 1;
  StubMemory noData{};
  noData.size = 4;
  StubMemory noScript{};
  noScript.data = "ab";
  noScript.size = 2;
  noScript.chunkCount = 1;
  StubMemory negativeScript{};
  negativeScript.chunkCount = -1;
  const StubTarget refusedTarget = MemoryTarget(&refused);
  const StubTarget nullMemory = MemoryTarget(nullptr);
  const StubTarget noDataTarget = MemoryTarget(&noData);
  const StubTarget noScriptTarget = MemoryTarget(&noScript);
  const StubTarget negativeTarget = MemoryTarget(&negativeScript);
  struct Row {
    const char* what;
    const StubTarget* target;
    int32_t mode;
  };
  const Row rows[] = {
      {"refused, reading", &refusedTarget, VI_MODE_READ},
      {"refused, writing", &refusedTarget, VI_MODE_WRITE},
      {"no memory", &nullMemory, VI_MODE_READ},
      {"no memory, writing", &nullMemory, VI_MODE_WRITE},
      {"no data with a size", &noDataTarget, VI_MODE_READ},
      {"a script count without a script", &noScriptTarget, VI_MODE_READ},
      {"a negative script count", &negativeTarget, VI_MODE_READ},
  };
  for (const Row& row : rows) EXPECT_EQ(vxCreateStub(Designator(*row.target), row.mode), nullptr) << row.what;
}

// --- Stale records and user values --------------------------------------------------

TEST(ViRAZeraStale, DeletedStubsAndForeignUserValuesDoNothing) {
  StubMemory memory{};
  memory.data = "abc";
  memory.size = 3;
  const StubTarget target = MemoryTarget(&memory);
  const int32_t live = viLiveStubs();
  IOStub* stub = vxCreateStub(Designator(target), VI_MODE_READ);
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(viLiveStubs(), live + 1);
  const IOStub copy = *stub;
  EXPECT_EQ(vxDeleteStub(stub), 1);
  EXPECT_EQ(viLiveStubs(), live);
  EXPECT_EQ(vxDeleteStub(stub), 0);
  EXPECT_EQ(vxDeleteStub(nullptr), 0);
  IOStub foreign = copy;
  EXPECT_EQ(vxDeleteStub(&foreign), 0);  // a record that is not ours

  // New stubs do not take the deleted one's user value or record.
  std::vector<IOStub*> others;
  for (int i = 0; i < 50; ++i) {
    others.push_back(vxCreateStub(Designator(target), VI_MODE_READ));
    ASSERT_NE(others.back(), nullptr);
    EXPECT_NE(others.back(), stub);
    EXPECT_NE(others.back()->user, copy.user);
  }
  for (const uintptr_t user : {copy.user, uintptr_t{0}, ~uintptr_t{0}}) {
    SCOPED_TRACE(user);
    char buffer[4];
    EXPECT_EQ(copy.read(user, buffer, 4), -1);
    EXPECT_EQ(copy.write(user, "x", 1), -1);
    EXPECT_EQ(copy.atEnd(user), 1);
  }
  EXPECT_EQ(vxDeleteStub(stub), 0);  // still not live, even with other stubs about
  for (IOStub* other : others) {
    char buffer[4];
    EXPECT_EQ(other->read(other->user, buffer, 4), 3);
    EXPECT_EQ(vxDeleteStub(other), 1);
  }
}

// --- Call log -------------------------------------------------------------------

TEST(ViRAZeraCallLog, ReportsEachCall) {
  StubMemory in{};
  in.data = "abc";
  in.size = 3;
  StubMemory out{};
  out.writeLimit = 39;
  const StubTarget reading = MemoryTarget(&in);
  const StubTarget writing = MemoryTarget(&out);
  CallLog log;
  IOStub* r = vxCreateStub(Designator(reading), VI_MODE_READ);
  char buffer[1024];
  r->atEnd(r->user);
  r->read(r->user, buffer, 1024);
  r->atEnd(r->user);
  vxDeleteStub(r);
  IOStub* w = vxCreateStub(Designator(writing), VI_MODE_WRITE);
  w->write(w->user, std::string(40, 'x').data(), 40);
  vxDeleteStub(w);
  const std::vector<std::string> expected = {
      "vxCreateStub 0", "atEnd -> 0", "read 1024 -> 3", "atEnd -> 1", "vxDeleteStub -> 1",
      "vxCreateStub 1", "write 40 -> 39", "vxDeleteStub -> 0",
  };
  EXPECT_EQ(log.lines(), expected) << log.Joined();
  viFreeMemoryOutput(&out);
}

}  // namespace
