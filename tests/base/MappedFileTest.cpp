// A mapped file cut shorter in place under the mapping: the size check sees
// it before any read, and a read that comes first reads zeros instead of
// ending the process; bus errors that are not about our mappings still take
// their course. Each case that faults runs in a child process.
#include "base/MappedFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/faults/FaultSupport.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using Testing::kChildPassed;
using Testing::runInChild;
using Testing::TempDir;

constexpr size_t kFileSize = 3 * 4096 + 100;

// A file of three pages and a bit, each byte its offset's low bits.
std::string writeSample(const TempDir& dir, const std::string& name) {
  std::string bytes(kFileSize, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return dir.write(name, bytes);
}

// Reads one byte of the mapping the way a look-up does.
char readAt(const MappedFile& file, size_t offset) {
  return *static_cast<const volatile char*>(file.data() + offset);
}

TEST(MappedFileGuard, SizeCheckSeesAFileCutShorterInPlace) {
  TempDir dir;
  const std::string path = writeSample(dir, "data.txt");
  MappedFile file;
  ASSERT_TRUE(file.open(path));
  EXPECT_TRUE(file.coversMapping());
  EXPECT_FALSE(file.faulted());
  // Grown is fine: the mapping's pages are all still in the file.
  fs::resize_file(path, kFileSize + 10);
  EXPECT_TRUE(file.coversMapping());
  fs::resize_file(path, 4096);
  EXPECT_FALSE(file.coversMapping());
  file.close();
  EXPECT_FALSE(file.coversMapping());
  // Opened again, it covers what it maps.
  ASSERT_TRUE(file.open(path));
  EXPECT_EQ(file.size(), 4096u);
  EXPECT_TRUE(file.coversMapping());
}

// The file is cut between the check and the read: the read past the new
// end reads zeros, the mapping says it faulted, and closing and opening
// again gives the file as it is now.
TEST(MappedFileGuard, ReadPastTheCutReadsZerosAndIsFlagged) {
  TempDir dir;
  const std::string path = writeSample(dir, "data.txt");
  const int code = runInChild([&] {
    Testing::guardChild(20);
    MappedFile file;
    KESTOVA_CHILD_EXPECT(file.open(path));
    KESTOVA_CHILD_EXPECT(readAt(file, 2 * 4096) == static_cast<char>('a' + (2 * 4096) % 26));
    KESTOVA_CHILD_EXPECT(::truncate(path.c_str(), 100) == 0);
    // Within the page that still holds the file's end: zeros past the end,
    // no fault; beyond it: faults, mended.
    KESTOVA_CHILD_EXPECT(readAt(file, 50) == 'a' + 50 % 26);
    KESTOVA_CHILD_EXPECT(!file.faulted());
    KESTOVA_CHILD_EXPECT(readAt(file, 2 * 4096) == 0);
    KESTOVA_CHILD_EXPECT(readAt(file, kFileSize - 1) == 0);
    KESTOVA_CHILD_EXPECT(file.faulted());
    KESTOVA_CHILD_EXPECT(!file.coversMapping());
    // The file grows back: the mended pages stay zeros until reopened.
    std::string again = writeSample(dir, "data.txt");
    KESTOVA_CHILD_EXPECT(readAt(file, 2 * 4096) == 0);
    file.close();
    KESTOVA_CHILD_EXPECT(file.open(again));
    KESTOVA_CHILD_EXPECT(!file.faulted());
    KESTOVA_CHILD_EXPECT(readAt(file, 2 * 4096) == static_cast<char>('a' + (2 * 4096) % 26));
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed) << (code == 128 + SIGBUS ? "SIGBUS" : "");
}

// How a child ends on a bus error nobody handles: by the signal, or, under
// AddressSanitizer, whose own handler was there before ours, by its report
// (an abort with abort_on_error, otherwise its exit code).
bool endedByABusError(int code) {
#if defined(__SANITIZE_ADDRESS__)
  return code == 128 + SIGABRT || code == 1 || code == 128 + SIGBUS;
#else
  return code == 128 + SIGBUS;
#endif
}

// A mapping of someone else's (not a MappedFile) that faults ends the
// process as it would have without the handler.
TEST(MappedFileGuard, OtherBusErrorsStillEndTheProcess) {
  TempDir dir;
  const std::string ours = writeSample(dir, "ours.txt");
  const std::string theirs = writeSample(dir, "theirs.txt");
  const int code = runInChild([&] {
    Testing::guardChild(20);
    MappedFile file;
    if (!file.open(ours)) return 4;
    const int fd = ::open(theirs.c_str(), O_RDONLY);
    const void* address = ::mmap(nullptr, kFileSize, PROT_READ, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) return 5;
    if (::truncate(theirs.c_str(), 0) != 0) return 6;
    return static_cast<const volatile char*>(address)[2 * 4096] == 0 ? 7 : 8;
  });
  EXPECT_TRUE(endedByABusError(code)) << code;
  // A bus error sent as a signal, too.
  const int raised = runInChild([&] {
    MappedFile file;
    if (!file.open(ours)) return 4;
    ::raise(SIGBUS);
    return 9;
  });
  EXPECT_TRUE(endedByABusError(raised)) << raised;
}

// A handler that was there before ours still gets the bus errors that are
// not about our mappings, with their details.
void earlierHandler(int, siginfo_t* info, void*) {
  ::_exit(info->si_code > 0 ? 42 : 43);
}

TEST(MappedFileGuard, AnEarlierHandlerStillGetsItsBusErrors) {
  TempDir dir;
  const std::string ours = writeSample(dir, "ours.txt");
  const std::string theirs = writeSample(dir, "theirs.txt");
  const int code = runInChild([&] {
    Testing::guardChild(20);
    struct sigaction action = {};
    action.sa_sigaction = &earlierHandler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
    MappedFile file;
    if (!file.open(ours)) return 4;
    // Our own mapping is still mended ...
    if (::truncate(ours.c_str(), 0) != 0) return 5;
    if (readAt(file, 4096) != 0 || !file.faulted()) return 6;
    // ... and theirs goes to their handler.
    const int fd = ::open(theirs.c_str(), O_RDONLY);
    const void* address = ::mmap(nullptr, kFileSize, PROT_READ, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED || ::truncate(theirs.c_str(), 0) != 0) return 7;
    return static_cast<const volatile char*>(address)[4096] == 0 ? 8 : 9;
  });
  EXPECT_EQ(code, 42);
}

}  // namespace
}  // namespace Kestova
