#include "crashreport/report_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using crashreport::AppendReport;
using crashreport::ParseReports;
using crashreport::ReadReports;

class ReportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/crashreport_file_XXXXXX";
    Dir = ::mkdtemp(name);
    Path = Dir + "/bugreport.txt";
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Content() const {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(const std::string& content) const { std::ofstream(Path, std::ios::binary) << content; }

  std::string Dir, Path;
};

std::string Report(int n, std::size_t size) {
  std::string text = "report " + std::to_string(n) + "\n";
  while (text.size() < size) text += "line of report " + std::to_string(n) + "\n";
  return text;
}

TEST_F(ReportFile, StaysWithinTheLimitDroppingOldestWholeReports) {
  constexpr std::size_t kLimit = 3000;
  for (int n = 0; n < 40; ++n) {
    SCOPED_TRACE(n);
    auto result = AppendReport(Path, Report(n, 200 + (n * 97) % 700), kLimit);
    ASSERT_TRUE(result.Ok) << result.Error;
    std::string content = Content();
    ASSERT_LE(content.size(), kLimit);
    // Nothing but whole entries in the file, newest last, in order.
    std::vector<std::string> reports = ParseReports(content);
    std::string reframed;
    for (const auto& r : reports) reframed += crashreport::FrameReport(r);
    ASSERT_EQ(reframed, content);
    ASSERT_EQ(reports.back(), Report(n, 200 + (n * 97) % 700));
    for (std::size_t i = 1; i < reports.size(); ++i)
      EXPECT_EQ(std::atoi(reports[i].c_str() + 7), std::atoi(reports[i - 1].c_str() + 7) + 1);
  }
}

TEST_F(ReportFile, ReportLargerThanTheLimitIsCutAndStandsAlone) {
  ASSERT_TRUE(AppendReport(Path, Report(1, 100), 2000).Ok);
  ASSERT_TRUE(AppendReport(Path, Report(2, 5000), 2000).Ok);
  EXPECT_LE(Content().size(), 2000u);
  auto reports = ReadReports(Path);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind("report 2\n", 0), 0u);
  EXPECT_NE(reports[0].find("[report cut here"), std::string::npos);
}

TEST_F(ReportFile, DamagedFileIsRecoveredFrom) {
  const std::string whole = crashreport::FrameReport("old report\n");
  const std::string half = crashreport::FrameReport("half report\n").substr(0, 50);
  struct {
    const char* what;
    std::string content;
    std::vector<std::string> kept;
  } cases[] = {
      {"garbage only", "\x01\x02 not a report \xff\n", {}},
      {"half entry at the end", whole + half, {"old report\n"}},
      {"half entry before a whole one", half + whole, {"old report\n"}},
      {"length that lies",
       "======== bug report begin, 999 bytes ========\nx\n======== bug report end ========\n" + whole,
       {"old report\n"}},
      {"junk before an entry on its line",
       "junk ======== bug report begin, 2 bytes ========\nx\n======== bug report end ========\n",
       {"x\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.content);
    EXPECT_EQ(ReadReports(Path), c.kept);
    // Appending goes on working, within the limit and through a rewrite.
    ASSERT_TRUE(AppendReport(Path, "new report\n", 100000).Ok);
    auto after = c.kept;
    after.push_back("new report\n");
    EXPECT_EQ(ReadReports(Path), after);
    ASSERT_TRUE(AppendReport(Path, Report(9, 200), c.content.size() + 400).Ok);
    EXPECT_EQ(ReadReports(Path).back(), Report(9, 200));
  }
}

TEST_F(ReportFile, TwoProcessesAppendingAtOnceBothLandWhole) {
  // A small limit makes the writers rewrite the file under each other too.
  for (std::size_t limit : {std::size_t(1) << 20, std::size_t(6000)}) {
    SCOPED_TRACE(limit);
    fs::remove(Path);
    constexpr int kEach = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
      children[c] = ::fork();
      ASSERT_GE(children[c], 0);
      if (children[c] == 0) {
        for (int i = 0; i < kEach; ++i)
          if (!AppendReport(Path, Report(c * 1000 + i, 150 + i * 3), limit).Ok) ::_exit(1);
        ::_exit(0);
      }
    }
    for (pid_t child : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string content = Content();
    std::vector<std::string> reports = ParseReports(content);
    std::string reframed;
    for (const auto& r : reports) reframed += crashreport::FrameReport(r);
    EXPECT_EQ(reframed, content) << "the file holds something other than whole reports";
    if (limit > 100000) {
      EXPECT_EQ(reports.size(), 2u * kEach);
    }
    EXPECT_LE(content.size(), limit);
    for (const auto& name : fs::directory_iterator(Dir)) {
      EXPECT_EQ(name.path().filename(), "bugreport.txt") << "left behind";
    }
  }
}

TEST_F(ReportFile, UnwritablePlaceGivesAnErrorNotACrash) {
  // Tests run as root, which ignores permission bits: provoke failures that
  // bind root too.
  std::ofstream(Dir + "/plain") << "x";
  struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"folder is a regular file", Dir + "/plain/bugreport.txt"},
      {"folder in /proc", "/proc/self/bugreport.txt"},
      {"folder missing", Dir + "/missing/bugreport.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto result = AppendReport(c.path, "report\n", 50000);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error.rfind("cannot save the bug report to " + c.path + ": ", 0), 0u) << result.Error;
  }
}

TEST_F(ReportFile, ChoosesExecutableFolderOnlyWhenWritable) {
  EXPECT_EQ(crashreport::ChooseReportPath("bugreport.txt", Dir, Dir + "/state"), Dir + "/bugreport.txt");
  EXPECT_FALSE(fs::exists(Dir + "/bugreport.txt")) << "choosing must not leave a file";
  for (const std::string& exeDir : {std::string("/proc/self"), Dir + "/missing"}) {
    SCOPED_TRACE(exeDir);
    std::string path = crashreport::ChooseReportPath("bugreport.txt", exeDir, Dir + "/state");
    EXPECT_EQ(path, Dir + "/state/Quorvik/bugreport.txt");
    EXPECT_TRUE(fs::is_directory(Dir + "/state/Quorvik"));
    EXPECT_TRUE(AppendReport(path, "r\n", 1000).Ok);
  }
  ::setenv("XDG_STATE_HOME", (Dir + "/xdg").c_str(), 1);
  EXPECT_EQ(crashreport::ChooseReportPath("b.txt", "/proc/self"), Dir + "/xdg/Quorvik/b.txt");
  ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
