#include "script/script_host.h"

#include <gtest/gtest.h>

#include "platform/automation.h"
#include "platform/portable/components/components.h"
#include "text/text.h"

namespace corvenhal::script {
namespace {

TEST(ScriptHost, DefinitionsPersistForLaterCalls) {
  ScriptHost host;
  EXPECT_TRUE(host.ExecuteStatement("function seven() { return 7 }"));
  EXPECT_EQ(host.Eval("seven()"), "7");
  EXPECT_TRUE(host.ExecuteStatement("var base = 30"));
  host.AddCode("function add(a, b) { return a + b + base }");
  EXPECT_EQ(host.Eval("add(1, 2)"), "33");
  EXPECT_EQ(host.Run("add", 1, 2), "33");
  EXPECT_EQ(host.Run("add", "x", "y"), "xy30");
  EXPECT_EQ(host.Run("add", 1, std::nullopt, 5), "NaN") << "arguments stop at the first one left out";
  EXPECT_EQ(host.Run("seven"), "7");
  host.Reset();
  EXPECT_EQ(host.Eval("seven()"), "");
}

TEST(ScriptHost, TheAnnouncementSequenceNumber) {
  ScriptHost host;
  ASSERT_TRUE(host.ExecuteStatement(
      "function getseq(){return 1e4*(new Date).getTime()+parseInt(9999*Math.random());}"));
  Text seq = host.Eval("getseq()");
  // Ten thousand times the time in milliseconds: 17 digits, shown with at
  // most 15 significant ones in the exponent form.
  ASSERT_GE(seq.size(), 7u) << seq;
  ASSERT_LE(seq.size(), 20u) << seq;
  EXPECT_EQ(seq[1], '.') << seq;
  EXPECT_TRUE(text::EndsWith(seq, "E+16")) << seq;
}

TEST(ScriptHost, FailuresShowInResultsAndLastError) {
  ScriptHost host;
  EXPECT_FALSE(host.ExecuteStatement("function broken( {"));
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_TRUE(host.ExecuteStatement("var fine = 1"));
  EXPECT_TRUE(host.LastError().empty());
  EXPECT_EQ(host.Eval("neverDefined()"), "");
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_EQ(host.Eval("null"), "");
  EXPECT_EQ(host.Run("neverDefined"), "");
  EXPECT_EQ(host.Eval("'\xD6\xD0' + fine"), "\xD6\xD0" "1");
}

TEST(ScriptHost, Settings) {
  ScriptHost host;
  EXPECT_EQ(host.Language(), "JScript");
  EXPECT_EQ(host.Timeout(), -1) << "left out: no time-out";
  EXPECT_EQ(host.Timeout(5000), 5000);
  EXPECT_EQ(host.State(), 0);
  EXPECT_EQ(host.State(1), 1);
  EXPECT_EQ(host.State(7), 1) << "a refused value leaves the setting";
  EXPECT_TRUE(host.AllowUI());
  EXPECT_FALSE(host.AllowUI(false));
  EXPECT_EQ(host.SitehWnd(), 0);
  EXPECT_EQ(host.SitehWnd(1234), 1234);
  EXPECT_TRUE(host.Control().SameObject(host.Control()));
  EXPECT_FALSE(host.Control().IsEmpty());

  EXPECT_EQ(host.Language(1), "vbs");
  EXPECT_FALSE(host.ExecuteStatement("x = 1")) << "no VBScript engine";
  EXPECT_EQ(host.Eval("1"), "");
  EXPECT_EQ(host.Language(5), "vbs") << "another kind writes nothing";
  EXPECT_EQ(host.Language(0), "JScript");
  EXPECT_EQ(host.Eval("1 + 1"), "2");
}

TEST(ScriptHost, WithoutAControl) {
  platform::RegisterComponent("ScriptControl", "", [] { return nullptr; });
  const long depth = platform::ComInitializeDepth();
  {
    ScriptHost host;
    EXPECT_TRUE(host.Control().IsEmpty());
    EXPECT_FALSE(host.ExecuteStatement("var a = 1"));
    EXPECT_FALSE(host.LastError().empty());
    EXPECT_EQ(host.Eval("1"), "");
    EXPECT_EQ(host.Run("f", 1), "");
    EXPECT_EQ(host.Language(), "");
    EXPECT_EQ(host.Timeout(), 0);
    EXPECT_EQ(host.State(), 0);
    EXPECT_FALSE(host.AllowUI(true));
    EXPECT_EQ(host.SitehWnd(), 0);
    EXPECT_EQ(platform::ComInitializeDepth(), depth + 1);
  }
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
  platform::RegisterComponent("ScriptControl", "", platform::NewScriptControlComponent);
}

}  // namespace
}  // namespace corvenhal::script
