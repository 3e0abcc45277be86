#include "base/FileAccess.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using FileAccess::ReadStatus;
using Testing::namesIn;
using Testing::readFile;
using Testing::TempDir;

mode_t permissions(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Everything that can stand where a file is expected, and the answer for
// each: only a regular file within the cap is read, and nothing blocks.
TEST(FileAccessTest, ReadsOnlyRegularFilesWithinTheCap) {
  TempDir dir;
  const std::string text = dir.write("text.txt", "甲 ㄅ\n");
  const std::string empty = dir.write("empty.txt", "");
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir.path() / "folder");
  fs::create_symlink(text, dir.path() / "link");
  fs::create_symlink(dir.file("nowhere"), dir.path() / "dangling");
  fs::create_symlink("/dev/zero", dir.path() / "zero");

  struct Case {
    std::string path;
    size_t limit;
    ReadStatus status;
    std::string bytes;
    std::string reason;
  };
  const Case cases[] = {
      {text, 100, ReadStatus::Ok, "甲 ㄅ\n", ""},
      {text, 8, ReadStatus::Ok, "甲 ㄅ\n", ""},
      {text, 7, ReadStatus::TooLarge, "", "larger than 7 bytes"},
      {empty, 0, ReadStatus::Ok, "", ""},
      {dir.file("link"), 100, ReadStatus::Ok, "甲 ㄅ\n", ""},
      {dir.file("missing"), 100, ReadStatus::Missing, "", "no such file"},
      {dir.file("dangling"), 100, ReadStatus::Missing, "", "no such file"},
      {text + "/below", 100, ReadStatus::Missing, "", "no such file"},
      {fifo, 100, ReadStatus::NotRegularFile, "", "not a regular file (a FIFO)"},
      {dir.file("folder"), 100, ReadStatus::NotRegularFile, "", "not a regular file (a directory)"},
      {dir.file("zero"), 100, ReadStatus::NotRegularFile, "",
       "not a regular file (a character device)"},
      {"/dev/urandom", FileAccess::kUserFileLimit, ReadStatus::NotRegularFile, "",
       "not a regular file (a character device)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FileAccess::ReadResult result = FileAccess::readFile(c.path, c.limit);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.ok(), c.status == ReadStatus::Ok);
    EXPECT_EQ(result.bytes, c.bytes);
    EXPECT_EQ(result.reason(), c.reason);
  }
}

// A sparse file far beyond the cap is refused by its size, before anything
// is allocated or read.
TEST(FileAccessTest, HugeSparseFileIsRefusedBySize) {
  TempDir dir;
  const std::string path = dir.write("huge.txt", "");
  fs::resize_file(path, std::uintmax_t{6} << 30);
  FileAccess::ReadResult result = FileAccess::readFile(path, FileAccess::kUserFileLimit);
  EXPECT_EQ(result.status, ReadStatus::TooLarge);
  EXPECT_EQ(result.reason(), "larger than 67108864 bytes");
}

TEST(FileAccessTest, ReplaceWritesTheWholeFileAndKeepsItsMode) {
  TempDir dir;
  const std::string path = dir.write("data.txt", "old\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  std::string failure;
  ASSERT_TRUE(FileAccess::replaceFile(path, "new\n", &failure)) << failure;
  EXPECT_EQ(readFile(path), "new\n");
  EXPECT_EQ(permissions(path), 0640u);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"data.txt"});

  // A new file.
  const std::string fresh = dir.file("fresh.txt");
  ASSERT_TRUE(FileAccess::replaceFile(fresh, "", &failure, 0600)) << failure;
  EXPECT_EQ(readFile(fresh), "");
  EXPECT_EQ(permissions(fresh), 0600u);
}

// What stands at the name is never written through nor destroyed when it is
// not a regular file; a planted link at any temporary name does not matter.
TEST(FileAccessTest, ReplaceRefusesLinksAndSpecialFiles) {
  TempDir dir;
  const std::string victim = dir.write("victim.txt", "precious\n");
  fs::create_symlink(victim, dir.path() / "link.txt");
  fs::create_directory(dir.path() / "folder");
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [name, reason] :
       {std::pair<std::string, std::string>{"link.txt", "it is a symbolic link"},
        {"folder", "it is not a regular file (a directory)"},
        {"fifo", "it is not a regular file (a FIFO)"}}) {
    SCOPED_TRACE(name);
    std::string failure;
    EXPECT_FALSE(FileAccess::replaceFile(dir.file(name), "new\n", &failure));
    EXPECT_EQ(failure, reason);
  }
  EXPECT_EQ(readFile(victim), "precious\n");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
  EXPECT_TRUE(fs::is_fifo(fifo));

  // Links planted at the names other programs use for their temporary files.
  for (const char* planted : {"data.txt.tmp", ".data.txt.tmp", "data.txt~"}) {
    fs::create_symlink(victim, dir.path() / planted);
  }
  const std::string data = dir.write("data.txt", "old\n");
  ASSERT_TRUE(FileAccess::replaceFile(data, "new\n"));
  EXPECT_EQ(readFile(data), "new\n");
  EXPECT_FALSE(fs::is_symlink(data));
  EXPECT_EQ(readFile(victim), "precious\n");
}

TEST(FileAccessTest, ReplaceFailsCleanlyWhereNothingCanBeCreated) {
  TempDir dir;
  std::string failure;
  EXPECT_FALSE(FileAccess::replaceFile(dir.file("no/such/folder/data.txt"), "x", &failure));
  EXPECT_EQ(failure, "cannot create a temporary file: No such file or directory");
  const std::string file = dir.write("file", "");
  EXPECT_FALSE(FileAccess::replaceFile(file + "/data.txt", "x", &failure));
  EXPECT_EQ(failure, "Not a directory");
}

// Creation never replaces anything, a dangling link included.
TEST(FileAccessTest, CreateOnlyWhereNothingStands) {
  TempDir dir;
  const std::string path = dir.file("new.txt");
  bool existed = true;
  std::string failure;
  ASSERT_TRUE(FileAccess::createFile(path, "template\n", &failure, &existed)) << failure;
  EXPECT_FALSE(existed);
  EXPECT_EQ(readFile(path), "template\n");
  EXPECT_FALSE(FileAccess::createFile(path, "other\n", &failure, &existed));
  EXPECT_TRUE(existed);
  EXPECT_EQ(readFile(path), "template\n");

  const std::string victim = dir.file("victim.txt");
  fs::create_symlink(victim, dir.path() / "dangling");
  EXPECT_FALSE(FileAccess::createFile(dir.file("dangling"), "x", &failure, &existed));
  EXPECT_TRUE(existed);
  EXPECT_FALSE(fs::exists(victim));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"dangling", "new.txt"}));
}

// One holder at a time, across open file descriptions (as across
// processes); the second waits, then gives up, and gets the lock once the
// first lets go.
TEST(FileAccessTest, LockIsExclusiveAndWaitsAtMostTheTimeout) {
  TempDir dir;
  const std::string path = dir.file("lock");
  std::string failure;
  auto first = FileAccess::FileLock::acquire(path, std::chrono::milliseconds(0), &failure);
  ASSERT_TRUE(first) << failure;
  const auto start = std::chrono::steady_clock::now();
  auto second = FileAccess::FileLock::acquire(path, std::chrono::milliseconds(50), &failure);
  EXPECT_FALSE(second);
  EXPECT_EQ(failure, "another process holds the lock");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  first.reset();
  EXPECT_TRUE(FileAccess::FileLock::acquire(path, std::chrono::milliseconds(0)));

  // The lock file is never a link or a FIFO someone put there.
  fs::create_symlink(dir.file("elsewhere"), dir.path() / "linked");
  EXPECT_FALSE(
      FileAccess::FileLock::acquire(dir.file("linked"), std::chrono::milliseconds(0), &failure));
  EXPECT_EQ(failure, "the lock file is a symbolic link");
  EXPECT_FALSE(fs::exists(dir.file("elsewhere")));
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(
      FileAccess::FileLock::acquire(dir.file("fifo"), std::chrono::milliseconds(0), &failure));
  EXPECT_EQ(failure, "the lock file is not a regular file");
}

}  // namespace
}  // namespace Kestova
