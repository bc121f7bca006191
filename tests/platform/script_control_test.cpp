// The script control component, driven member by member as a host program
// drives it, and through the bridge where the caller's conversions matter.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/component.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;
using Type = ComValue::Type;

// One control with short helpers for its members.
struct Control {
  explicit Control(const char* id = "MSScriptControl.ScriptControl") : c(CreateComponent(id)) {}

  InvokeStatus Call(std::u16string_view member, std::vector<ComValue> args, ComValue* out = nullptr) {
    ComValue r;
    InvokeStatus st = c->Invoke(member, InvokeKind::kMethod, args, r);
    if (out) *out = r;
    return st;
  }
  InvokeStatus Put(std::u16string_view member, ComValue v) {
    std::vector<ComValue> args{std::move(v)};
    ComValue r;
    return c->Invoke(member, InvokeKind::kPropertyPut, args, r);
  }
  ComValue Get(std::u16string_view member) {
    std::vector<ComValue> none;
    ComValue r;
    EXPECT_TRUE(c->Invoke(member, InvokeKind::kPropertyGet, none, r).ok()) << "reading a property";
    return r;
  }
  InvokeStatus Eval(std::u16string code, ComValue* out = nullptr) {
    return Call(u"Eval", {ComValue::Str(std::move(code))}, out);
  }
  InvokeStatus AddCode(std::u16string code) { return Call(u"AddCode", {ComValue::Str(std::move(code))}); }
  InvokeStatus Statement(std::u16string code) {
    return Call(u"ExecuteStatement", {ComValue::Str(std::move(code))});
  }
  Control& JScript() {
    EXPECT_TRUE(Put(u"Language", ComValue::Str(u"JScript")).ok());
    return *this;
  }

  std::shared_ptr<Component> c;
};

std::u16string DefaultValue(const ComValue& v) {
  ComValue text;
  EXPECT_TRUE(ChangeType(v, Type::kText, text));
  return text.text;
}

TEST(ScriptControl, BothIdsCreateAControlWithTheWindowsDefaults) {
  for (const char* id : {"MSScriptControl.ScriptControl", "ScriptControl", "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}"}) {
    SCOPED_TRACE(id);
    Control s(id);
    ASSERT_NE(s.c, nullptr);
    EXPECT_EQ(s.Get(u"Language").text, u"");
    EXPECT_EQ(s.Get(u"Timeout").i4, 10000);
    EXPECT_EQ(s.Get(u"State").i4, 0);
    EXPECT_TRUE(s.Get(u"AllowUI").boolean);
    EXPECT_EQ(s.Get(u"SitehWnd").i4, 0);
    // No language yet: nothing runs.
    EXPECT_EQ(s.Eval(u"1").code, Code::kException);
  }
}

TEST(ScriptControl, EvalHandsBackTheTypesOfTheWindowsControl) {
  struct Case {
    std::u16string code;
    Type type;
    std::u16string text;  // the value as the bridge's text conversion gives it
  };
  const Case cases[] = {
      {u"7", Type::kI4, u"7"},
      {u"-2147483648", Type::kI4, u"-2147483648"},
      {u"2147483647", Type::kI4, u"2147483647"},
      {u"2147483648", Type::kR8, u"2147483648"},
      {u"1.5", Type::kR8, u"1.5"},
      {u"0.1+0.2", Type::kR8, u"0.3"},
      {u"1234567890123456", Type::kR8, u"1.23456789012346E+15"},
      {u"1e21", Type::kR8, u"1E+21"},
      {u"true", Type::kBool, u"-1"},
      {u"'abc'", Type::kText, u"abc"},
      {u"undefined", Type::kEmpty, u""},
      {u"var x = 1", Type::kEmpty, u""},
      {u"[1,2]", Type::kObject, u"1,2"},
      {u"({a: 1})", Type::kObject, u"[object Object]"},
      // The engine's own number printing follows ECMAScript.
      {u"(1e21).toString()", Type::kText, u"1e+21"},
      {u"(0.000001234).toString()", Type::kText, u"0.000001234"},
      {u"'\u4E2D' + String.fromCharCode(0xD83D, 0xDE00)", Type::kText, u"\u4E2D\U0001F600"},
      {u"Symbol('s')", Type::kText, u"Symbol(s)"},
  };
  Control s;
  s.JScript();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.code.begin(), c.code.end()));
    ComValue v;
    ASSERT_TRUE(s.Eval(c.code, &v).ok());
    EXPECT_EQ(v.type, c.type);
    EXPECT_EQ(DefaultValue(v), c.text);
  }
  ComValue null;
  ASSERT_TRUE(s.Eval(u"null", &null).ok());
  EXPECT_EQ(null.type, Type::kNull);
  ComValue units;
  ASSERT_TRUE(s.Eval(u"'\U0001F600'.length", &units).ok());
  EXPECT_EQ(units.i4, 2) << "strings count UTF-16 units";
}

TEST(ScriptControl, GlobalsPersistWithinOneControlAndStayInIt) {
  Control a, b;
  a.JScript();
  b.JScript();
  ASSERT_TRUE(a.AddCode(u"function seven() { return 7 }").ok());
  ASSERT_TRUE(a.Statement(u"var g = 5").ok());
  ASSERT_TRUE(a.Eval(u"var h = 1, k = 2").ok());
  ComValue v;
  ASSERT_TRUE(a.Eval(u"seven() + g + h + k", &v).ok());
  EXPECT_EQ(v.i4, 15);
  EXPECT_FALSE(b.Eval(u"g").ok()) << "another control has its own engine";

  ASSERT_TRUE(a.Call(u"Reset", {}).ok());
  EXPECT_FALSE(a.Eval(u"seven()").ok()) << "Reset discards the code";
  ASSERT_TRUE(a.Eval(u"typeof JSON.parse", &v).ok());
  EXPECT_EQ(v.text, u"function");
}

// Expressions that differ only in their numbers run from one compiled
// function; each must still give what evaluating it gives.
TEST(ScriptControl, RepeatedExpressionsGiveWhatEvaluationGives) {
  Control s;
  s.JScript();
  ASSERT_TRUE(s.Statement(u"var arr = [10, 20, 30], o = { k5: 'five' }, n = 1").ok());
  struct Case {
    std::u16string code;
    bool ok;
    std::u16string text;
  };
  const Case cases[] = {
      {u"arr[0]", true, u"10"},
      {u"arr[2]", true, u"30"},
      {u"arr[7]", true, u""},
      {u"3 + 4", true, u"7"},
      {u"30 + 40", true, u"70"},
      {u"'a1' + 2", true, u"a12"},
      {u"'a9' + 2", true, u"a92"},
      {u"o.k5 + 1", true, u"five1"},
      {u"arr[1] = 7", true, u"7"},
      {u"arr[1]", true, u"7"},
      {u"arr[1] != null", true, u"-1"},
      {u"arr[9] != null", true, u"0"},
      {u"1 in arr", true, u"-1"},
      {u"010", true, u"8"},
      {u"2147483648 + 0", true, u"2147483648"},
      {u"a: 1", true, u"1"},
      {u"delete 5", true, u"-1"},
      {u"n = 2, n", true, u"2"},
      {u"1 = 2", false, u""},
      {u"3 = 4", false, u""},
      {u"5++", false, u""},
      {u"++5", false, u""},
      {u"nosuch[1]", false, u""},
      {u"nosuch[2]", false, u""},
      {u"arr[0].x.y", false, u""},
      {u"1) + (2", false, u""},
  };
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.code.begin(), c.code.end()));
      ComValue v;
      ASSERT_EQ(s.Eval(c.code, &v).ok(), c.ok);
      if (c.ok) {
        EXPECT_EQ(DefaultValue(v), c.text);
      }
    }
    ASSERT_TRUE(s.Statement(u"arr[1] = 20; n = 1").ok());
  }
  // Many shapes: the cache starts afresh when full and results stay right.
  for (int k = 0; k < 2500; ++k) {
    std::u16string code = u"'s";
    for (char ch : std::to_string(k)) code.push_back(static_cast<char16_t>(ch));
    code += u"'.length + 1";
    ComValue v;
    ASSERT_TRUE(s.Eval(code, &v).ok());
    ASSERT_EQ(v.i4, static_cast<int>(std::to_string(k).size()) + 2);
  }
}

TEST(ScriptControl, RunCallsAGlobalProcedureWithItsArguments) {
  Control s;
  s.JScript();
  ASSERT_TRUE(s.AddCode(u"function join() { return Array.prototype.slice.call(arguments).join('|') }").ok());
  ComValue v;
  ASSERT_TRUE(s.Call(u"Run", {ComValue::Str(u"join"), ComValue::I4(2), ComValue::R8(0.5), ComValue::Bool(true),
                              ComValue::Str(u"x"), ComValue::Null(), ComValue::Empty()},
                     &v)
                  .ok());
  EXPECT_EQ(v.text, u"2|0.5|true|x||");
  EXPECT_FALSE(s.Call(u"Run", {ComValue::Str(u"nowhere")}).ok());
  EXPECT_FALSE(s.Call(u"Run", {ComValue::Str(u"Math")}).ok()) << "not a procedure";
}

TEST(ScriptControl, ScriptErrorsFailTheCallAndTheControlCarriesOn) {
  Control s;
  s.JScript();
  const char16_t* failing[] = {
      u"function (",                                 // syntax error
      u"nosuchfn()",                                 // missing function
      u"throw 5",                                    // a thrown non-error
      u"throw { toString: function () { throw 1 } }",  // an error whose text fails too
      u"function r(n) { return 1 + r(n + 1) } r(0)",  // endless recursion
      u"var a = []; for (var i = 0; i < 100000; i++) a = [a]; String(a)",  // deep native recursion
      u"JSON.parse(new Array(100001).join('[') + new Array(100001).join(']'))",
      u"eval(new Array(100001).join('(') + '1' + new Array(100001).join(')'))",
  };
  for (const char16_t* code : failing) {
    SCOPED_TRACE(std::u16string_view(code).size());
    InvokeStatus st = s.Eval(code);
    EXPECT_EQ(st.code, Code::kException);
    EXPECT_FALSE(st.message.empty());
    EXPECT_EQ(s.AddCode(code).code, Code::kException);
    ComValue v;
    ASSERT_TRUE(s.Eval(u"1 + 1", &v).ok());
    EXPECT_EQ(v.i4, 2);
  }
}

TEST(ScriptControl, AnEndlessLoopStopsAtTheTimeout) {
  Control s;
  s.JScript();
  ASSERT_TRUE(s.Put(u"Timeout", ComValue::I4(300)).ok());
  for (const char16_t* code : {u"while (true) {}", u"for (;;) { try { while (true) {} } catch (e) {} }",
                               u"function spin(n) { return spin(n + 1) } spin(0)"}) {
    auto start = std::chrono::steady_clock::now();
    InvokeStatus st = s.Eval(code);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(st.code, Code::kException);
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::seconds(5));
  }
  ComValue v;
  ASSERT_TRUE(s.Eval(u"var n = 0; for (var i = 0; i < 1000; i++) n += i; n", &v).ok());
  EXPECT_EQ(v.i4, 499500) << "the next call has its own time";
}

TEST(ScriptControl, AHeapStopsAtItsMemoryCapWithoutHarmingTheProcess) {
  Control s;
  s.JScript();
  ASSERT_TRUE(s.Put(u"Timeout", ComValue::I4(-1)).ok());
  for (const char16_t* code : {u"var s = 'x'; for (;;) s += s;", u"var b = 'x'; for (var i = 0; i < 17; i++) b += b; var a = []; for (;;) a.push(b + a.length);"}) {
    InvokeStatus st = s.Eval(code);
    EXPECT_EQ(st.code, Code::kException);
    ASSERT_TRUE(s.Statement(u"s = null; a = null; b = null").ok()) << "usable after running out of memory";
  }
}

TEST(ScriptControl, LanguageSettings) {
  Control s;
  EXPECT_EQ(s.Put(u"Language", ComValue::Str(u"Klingon")).code, Code::kException);
  EXPECT_EQ(s.Get(u"Language").text, u"");
  for (const char16_t* js : {u"JScript", u"javascript"}) {
    ASSERT_TRUE(s.Put(u"Language", ComValue::Str(js)).ok());
    EXPECT_EQ(s.Get(u"Language").text, js);
    EXPECT_FALSE(s.Eval(u"kept").ok()) << "a language write starts the engine over";
    ASSERT_TRUE(s.Statement(u"var kept = 1").ok());
  }
  ASSERT_TRUE(s.Put(u"Language", ComValue::Str(u"vbs")).ok()) << "accepted as a setting";
  EXPECT_EQ(s.Get(u"Language").text, u"vbs");
  EXPECT_EQ(s.Eval(u"1").code, Code::kException) << "but no VBScript engine runs";
  EXPECT_EQ(s.AddCode(u"x = 1").code, Code::kException);
}

TEST(ScriptControl, PropertiesAndMemberKinds) {
  Control s;
  struct Put {
    std::u16string_view member;
    ComValue value;
    bool ok;
  };
  const Put puts[] = {
      {u"Timeout", ComValue::I4(-1), true},  {u"Timeout", ComValue::I4(-2), false},
      {u"Timeout", ComValue::I4(2500), true}, {u"State", ComValue::I4(1), true},
      {u"State", ComValue::I4(2), false},     {u"AllowUI", ComValue::Bool(false), true},
      {u"SitehWnd", ComValue::I4(4242), true}, {u"Timeout", ComValue::Str(u"abc"), false},
  };
  for (const Put& p : puts) EXPECT_EQ(s.Put(p.member, p.value).ok(), p.ok);
  EXPECT_EQ(s.Get(u"Timeout").i4, 2500);
  EXPECT_EQ(s.Get(u"State").i4, 1);
  EXPECT_FALSE(s.Get(u"AllowUI").boolean);
  EXPECT_EQ(s.Get(u"SitehWnd").i4, 4242);

  std::vector<ComValue> none;
  ComValue r;
  EXPECT_EQ(s.c->Invoke(u"Language", InvokeKind::kMethod, none, r).code, Code::kMemberNotFound);
  EXPECT_EQ(s.c->Invoke(u"Eval", InvokeKind::kPropertyGet, none, r).code, Code::kMemberNotFound);
  EXPECT_EQ(s.c->Invoke(u"NoSuchMember", InvokeKind::kMethod, none, r).code, Code::kUnknownName);
  EXPECT_EQ(s.c->Invoke(u"eval", InvokeKind::kMethod, none, r).code, Code::kBadParamCount);
}

TEST(ScriptControl, ThroughTheBridge) {
  AutomationBridge bridge;
  AutomationObject control;
  ASSERT_TRUE(bridge.Create(control, "ScriptControl"));
  ASSERT_TRUE(bridge.Put(control, "Language", "JScript"));
  EXPECT_TRUE(bridge.Call(control, "AddCode", "function seq() { return 1e4 * 1796993643439.56 }"));
  EXPECT_EQ(bridge.CallText(control, "Eval", "seq()"), "1.79699364343956E+16");
  EXPECT_EQ(bridge.CallText(control, "Eval", "'\xD6\xD0\xCE\xC4'"), "\xD6\xD0\xCE\xC4") << "GBK both ways";
  EXPECT_EQ(bridge.CallNumber(control, "Eval", "[1,2].length"), 2);
  EXPECT_TRUE(bridge.CallBoolean(control, "Eval", "1 != null"));
  EXPECT_EQ(bridge.CallText(control, "Eval", "null"), "");
  EXPECT_FALSE(bridge.LastFailure().empty()) << "null does not convert to text";
  EXPECT_EQ(bridge.CallText(control, "Eval", "nosuchfn()"), "");
  EXPECT_FALSE(bridge.LastFailure().empty());
  EXPECT_EQ(bridge.GetNumber(control, "Timeout"), 10000);
  EXPECT_TRUE(bridge.LastFailure().empty());
}

}  // namespace
}  // namespace corvenhal::platform
