#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/encodings.h"
#include "platform/portable/portable.h"
#include "settings/computer_info.h"
#include "support/process.h"

namespace corvenhal {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf; (lf = out.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(out.substr(start, lf - start));
  }
  EXPECT_EQ(start, out.size()) << "output does not end with a line break";
  return lines;
}

TEST(SysinfoToolTest, PrintsTheFourLinesTheWindowShows) {
  platform::MachineInfo& machine = platform::portable::Machine();
  ProcessResult r = RunProcess({CORVENHAL_TOOL_PATH, "sysinfo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[0], platform::GbkToUtf8(settings::HostNameLine(machine)));
  EXPECT_EQ(lines[1], platform::GbkToUtf8(settings::ProcessorLine(machine)));
  EXPECT_EQ(lines[2], platform::GbkToUtf8(settings::MemoryLine(machine)));
  EXPECT_NE(lines[2].find(" MB"), std::string::npos);
  EXPECT_EQ(lines[3], platform::GbkToUtf8(settings::ReadComputerInfo().video));

  EXPECT_EQ(RunProcess({CORVENHAL_TOOL_PATH, "sysinfo", "--raw"}).out.size(), r.out.size());
  ProcessResult bad = RunProcess({CORVENHAL_TOOL_PATH, "sysinfo", "extra"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.out, "");
}

}  // namespace
}  // namespace corvenhal
