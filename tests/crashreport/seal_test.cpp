#include "crashreport/seal.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = 0;
  std::string Output;
};

TRun RunSealed(const std::string& program, const std::string& reportFile) {
  std::string command =
      "QUORVIK_CRASHBOX_ANSWER=close '" + program + "' sealed '" + reportFile + "' /nonexistent 2>&1";
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Output.append(buffer, n);
  run.Status = ::pclose(pipe);
  return run;
}

class Seal : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/crashreport_seal_XXXXXX";
    Dir = ::mkdtemp(name);
    Copy = Dir + "/crasher";
    fs::copy_file(CRASHER, Copy);
  }
  void TearDown() override { fs::remove_all(Dir); }
  void FlipByteAt(std::size_t offset) {
    std::fstream f(Copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    f.get(c);
    f.seekp(static_cast<std::streamoff>(offset));
    f.put(static_cast<char>(c ^ 0x20));
  }
  std::string Dir, Copy;
};

TEST_F(Seal, DetectsDamageAnywhereInTheFile) {
  EXPECT_EQ(crashreport::CheckSeal(Copy), crashreport::TSealState::NotSealed);
  std::string error;
  ASSERT_TRUE(crashreport::SealFile(Copy, &error)) << error;
  EXPECT_EQ(crashreport::CheckSeal(Copy), crashreport::TSealState::Ok);
  ASSERT_TRUE(crashreport::SealFile(Copy, &error)) << "sealing twice replaces the trailer";
  EXPECT_EQ(crashreport::CheckSeal(Copy), crashreport::TSealState::Ok);
  std::size_t size = fs::file_size(Copy);
  EXPECT_EQ(size, fs::file_size(CRASHER) + 24);
  for (std::size_t offset : {std::size_t(0), size / 3, size - 25, size - 1}) {
    SCOPED_TRACE(offset);
    FlipByteAt(offset);
    EXPECT_NE(crashreport::CheckSeal(Copy), crashreport::TSealState::Ok);
    FlipByteAt(offset);
    EXPECT_EQ(crashreport::CheckSeal(Copy), crashreport::TSealState::Ok);
  }
  fs::resize_file(Copy, size - 1000);
  EXPECT_NE(crashreport::CheckSeal(Copy), crashreport::TSealState::Ok);
  EXPECT_EQ(crashreport::CheckSeal(Dir + "/missing"), crashreport::TSealState::Unreadable);
  EXPECT_FALSE(crashreport::SealFile(Dir + "/missing", &error));
  EXPECT_NE(error.find(Dir + "/missing"), std::string::npos);
}

TEST_F(Seal, CorruptedCopyOfTheProgramIsRefusedAtStart) {
  std::string error;
  ASSERT_TRUE(crashreport::SealFile(Copy, &error)) << error;
  TRun good = RunSealed(Copy, Dir + "/bugreport.txt");
  ASSERT_TRUE(WIFEXITED(good.Status) && WEXITSTATUS(good.Status) == 0) << good.Output;
  EXPECT_NE(good.Output.find("started"), std::string::npos);

  FlipByteAt(fs::file_size(Copy) / 2);
  TRun bad = RunSealed(Copy, Dir + "/bugreport.txt");
  ASSERT_TRUE(WIFEXITED(bad.Status)) << bad.Output;
  EXPECT_EQ(WEXITSTATUS(bad.Status), 1) << bad.Output;
  EXPECT_EQ(bad.Output.find("started"), std::string::npos);
  EXPECT_NE(bad.Output.find(Copy + " is corrupt"), std::string::npos) << bad.Output;
  EXPECT_NE(bad.Output.find("crash box: MessageBox"), std::string::npos)
      << "the box said it too: " << bad.Output;
}

}  // namespace
