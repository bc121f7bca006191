#include "platform/automation.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/encodings.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;

// A small automation object: a text property "Name" (also the default value),
// a read-only "Count", a method "Sum"(a, b), a parameterised property
// "Cell"(i), a method "Give" answering whatever the test put in `give`, a
// method "Self", and "Boom", which throws.
class TestObject : public Component, public std::enable_shared_from_this<TestObject> {
 public:
  std::u16string name = u"initial";
  ComValue give;
  std::vector<ComValue> lastArgs;
  ComValue cells[3];

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    lastArgs = args;
    bool read = kind == InvokeKind::kPropertyGet;
    bool put = kind == InvokeKind::kPropertyPut;
    if (SameMember(member, u"Name") || member.empty()) {
      if (read && args.empty()) {
        result = ComValue::Str(name);
        return InvokeStatus::Ok();
      }
      if (put && args.size() == 1) return ArgText(args[0], name);
      return InvokeStatus::Fail(kind == InvokeKind::kMethod ? Code::kMemberNotFound : Code::kBadParamCount);
    }
    if (SameMember(member, u"Count")) {
      if (!read) return InvokeStatus::Fail(Code::kMemberNotFound);
      result = ComValue::I4(3);
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Cell")) {
      if (kind == InvokeKind::kMethod) return InvokeStatus::Fail(Code::kMemberNotFound);
      if (args.size() != (put ? 2u : 1u)) return InvokeStatus::Fail(Code::kBadParamCount);
      std::int32_t i;
      if (InvokeStatus st = ArgInt(args[0], i); !st.ok()) return st;
      if (i < 0 || i > 2) return InvokeStatus::Fail(Code::kException, "index out of range");
      if (put) {
        cells[i] = args[1];
      } else {
        result = cells[i];
      }
      return InvokeStatus::Ok();
    }
    if (kind != InvokeKind::kMethod) {
      if (SameMember(member, u"Sum") || SameMember(member, u"Give") || SameMember(member, u"Self") ||
          SameMember(member, u"Boom")) {
        return InvokeStatus::Fail(Code::kMemberNotFound);
      }
      return InvokeStatus::Fail(Code::kUnknownName);
    }
    if (SameMember(member, u"Sum")) {
      if (args.size() != 2) return InvokeStatus::Fail(Code::kBadParamCount);
      double a, b;
      if (InvokeStatus st = ArgNumber(args[0], a); !st.ok()) return st;
      if (InvokeStatus st = ArgNumber(args[1], b); !st.ok()) return st;
      result = ComValue::R8(a + b);
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Give")) {
      result = give;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Self")) {
      result = ComValue::Obj(shared_from_this());
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Boom")) throw std::runtime_error("boom");
    return InvokeStatus::Fail(Code::kUnknownName);
  }
};

// An object whose default value is a text, standing for a script array.
class ArrayLike : public Component {
 public:
  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>&, ComValue& result) override {
    if (!member.empty() || kind != InvokeKind::kPropertyGet) return InvokeStatus::Fail(Code::kUnknownName);
    result = ComValue::Str(u"1,2");
    return InvokeStatus::Ok();
  }
};

class AutomationTest : public ::testing::Test {
 protected:
  // The test object keeps the values it was given, which may hold the object
  // itself: break that cycle so the object goes away with the test.
  void TearDown() override {
    impl->lastArgs.clear();
    impl->give = ComValue();
    for (ComValue& c : impl->cells) c = ComValue();
  }

  std::shared_ptr<TestObject> impl = std::make_shared<TestObject>();
  AutomationObject object{impl};
  AutomationBridge bridge;
};

TEST(ComponentRegistry, CreatesByProgIdOrClsidIgnoringCase) {
  RegisterComponent("Corvenhal.TestObject", "{0C0FFEE0-1234-4ABC-8DEF-00AA00BB00CC}",
                    [] { return std::make_shared<TestObject>(); });
  AutomationBridge bridge;
  for (const char* id : {"Corvenhal.TestObject", "corvenhal.testobject", "{0c0ffee0-1234-4abc-8def-00aa00bb00cc}",
                         "{0C0FFEE0-1234-4ABC-8DEF-00AA00BB00CC}"}) {
    AutomationObject o;
    EXPECT_TRUE(bridge.Create(o, id)) << id;
    EXPECT_FALSE(o.IsEmpty()) << id;
    EXPECT_EQ(bridge.GetText(o, "Name"), "initial") << id;
  }
  // The CLSID without braces, a ProgID in braces and unknown ids are not found;
  // the holder is emptied.
  for (const char* id : {"0C0FFEE0-1234-4ABC-8DEF-00AA00BB00CC", "{Corvenhal.TestObject}", "No.Such.Object", ""}) {
    AutomationObject o;
    ASSERT_TRUE(bridge.Create(o, "Corvenhal.TestObject"));
    EXPECT_FALSE(bridge.Create(o, id)) << id;
    EXPECT_TRUE(o.IsEmpty()) << id;
    EXPECT_FALSE(bridge.LastFailure().empty()) << id;
    // Every later call on the empty holder fails with the empty value.
    EXPECT_EQ(bridge.GetText(o, "Name"), "");
    EXPECT_EQ(bridge.CallNumber(o, "Sum", 1, 2), 0);
    EXPECT_FALSE(bridge.Put(o, "Name", "x"));
    EXPECT_FALSE(bridge.LastFailure().empty());
  }
}

TEST(ComponentRegistry, BuiltInComponentsAreRegistered) {
  AutomationBridge bridge;
  for (const char* id : {"VBScript.RegExp", "vbscript.regexp", "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", "Adodb.Stream",
                         "ADODB.Stream", "{00000566-0000-0010-8000-00AA006D2EA4}"}) {
    AutomationObject o;
    EXPECT_TRUE(bridge.Create(o, id)) << id;
  }
}

TEST_F(AutomationTest, PropertiesAndMethodsByName) {
  EXPECT_TRUE(bridge.Put(object, "name", "hello"));
  EXPECT_EQ(bridge.GetText(object, "NAME"), "hello");
  EXPECT_EQ(bridge.CallNumber(object, "Sum", 2, 0.5), 2.5);
  EXPECT_TRUE(bridge.LastFailure().empty());

  // Text crosses as UTF-16: GBK in, the same GBK out.
  const Text gbk = "\xD6\xD0\xCE\xC4";  // 中文
  EXPECT_TRUE(bridge.Put(object, "Name", gbk));
  EXPECT_EQ(impl->name, u"中文");
  EXPECT_EQ(bridge.GetText(object, "Name"), gbk);

  // An index argument reaches a parameterised property.
  EXPECT_TRUE(bridge.PutAt(object, "Cell", 2, "two"));
  EXPECT_EQ(bridge.GetText(object, "Cell", 2), "two");
  EXPECT_EQ(bridge.GetText(object, "Cell", 1.6), "two");  // the index converts to an integer
  EXPECT_EQ(bridge.GetText(object, "Cell", 7), "");
  EXPECT_NE(bridge.LastFailure().find("index out of range"), Text::npos);
}

TEST_F(AutomationTest, CallReachesPropertyAndReadReachesMethod) {
  EXPECT_EQ(bridge.CallNumber(object, "Count"), 3);
  EXPECT_TRUE(bridge.LastFailure().empty());
  EXPECT_EQ(bridge.GetNumber(object, "Sum", 1, 2), 3);
  EXPECT_TRUE(bridge.LastFailure().empty());
  // A write does not reach a method, and a read-only property takes no write.
  EXPECT_FALSE(bridge.Put(object, "Sum", 1));
  EXPECT_FALSE(bridge.Put(object, "Count", 4));
}

TEST_F(AutomationTest, FailuresGiveTheEmptyValueAndSetTheLastFailure) {
  struct Case {
    const char* what;
    std::function<bool()> emptyResult;
  };
  impl->give = ComValue::Str(u"abc");
  const Case cases[] = {
      {"unknown member", [&] { return bridge.CallText(object, "Nope") == ""; }},
      {"bad argument count", [&] { return bridge.CallNumber(object, "Sum", 1) == 0; }},
      {"bad argument type", [&] { return bridge.CallNumber(object, "Sum", 1, "x") == 0; }},
      {"exception inside the object", [&] { return !bridge.CallBoolean(object, "Boom"); }},
      {"text that is no number", [&] { return bridge.CallNumber(object, "Give") == 0; }},
      {"text that is no boolean", [&] { return !bridge.CallBoolean(object, "Give"); }},
      {"text that is no object", [&] { return bridge.CallObject(object, "Give").IsEmpty(); }},
      {"failed call as variant", [&] { return bridge.CallVariant(object, "Nope").IsEmpty(); }},
      {"failed call as none", [&] { return !bridge.Call(object, "Nope"); }},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(bridge.GetText(object, "Name"), "initial");
    ASSERT_TRUE(bridge.LastFailure().empty());
    EXPECT_TRUE(c.emptyResult()) << c.what;
    EXPECT_FALSE(bridge.LastFailure().empty()) << c.what;
  }
}

TEST_F(AutomationTest, ResultsConvertAsVariantChangeType) {
  struct Case {
    ComValue value;
    const char* text;  // nullptr: the conversion fails
    double number;
    bool numberOk;
    bool boolean;
    bool booleanOk;
  };
  const Case cases[] = {
      {ComValue::R8(17969936434395612.0), "1.79699364343956E+16", 17969936434395612.0, true, true, true},
      {ComValue::I4(7), "7", 7, true, true, true},
      {ComValue::R8(2147483648.0), "2147483648", 2147483648.0, true, true, true},
      {ComValue::R8(1.5), "1.5", 1.5, true, true, true},
      {ComValue::R8(-0.5), "-0.5", -0.5, true, true, true},
      {ComValue::R8(0.1 + 0.2), "0.3", 0.1 + 0.2, true, true, true},
      {ComValue::R8(123456789012345.0), "123456789012345", 123456789012345.0, true, true, true},
      {ComValue::R8(1234567890123456.0), "1.23456789012346E+15", 1234567890123456.0, true, true, true},
      {ComValue::R8(1e21), "1E+21", 1e21, true, true, true},
      {ComValue::R8(0.00001), "1E-05", 0.00001, true, true, true},
      {ComValue::R8(-0.0), "0", 0, true, false, true},
      {ComValue::Bool(true), "-1", -1, true, true, true},
      {ComValue::Bool(false), "0", 0, true, false, true},
      {ComValue::Str(u"abc"), "abc", 0, false, false, false},
      {ComValue::Str(u" 12.5 "), " 12.5 ", 12.5, true, true, true},
      {ComValue::Str(u"-1,234"), "-1,234", -1234, true, true, true},
      {ComValue::Str(u"1e3"), "1e3", 1000, true, true, true},
      {ComValue::Str(u"&HFF"), "&HFF", 255, true, true, true},
      {ComValue::Str(u""), "", 0, false, false, false},
      {ComValue::Str(u"12abc"), "12abc", 0, false, false, false},
      {ComValue::Str(u"True"), "True", 0, false, true, true},
      {ComValue::Str(u"false"), "false", 0, false, false, true},
      {ComValue::Empty(), "", 0, true, false, true},
      {ComValue::Null(), nullptr, 0, false, false, false},
      {ComValue::Obj(std::make_shared<ArrayLike>()), "1,2", 12, true, true, true},  // "1,2" reads as 12
  };
  for (const Case& c : cases) {
    impl->give = c.value;
    std::string label = c.text ? c.text : "(null)";
    EXPECT_EQ(bridge.CallText(object, "Give"), c.text ? c.text : "") << label;
    EXPECT_EQ(bridge.LastFailure().empty(), c.text != nullptr) << label;
    EXPECT_EQ(bridge.CallNumber(object, "Give"), c.number) << label;
    EXPECT_EQ(bridge.LastFailure().empty(), c.numberOk) << label;
    EXPECT_EQ(bridge.CallBoolean(object, "Give"), c.boolean) << label;
    EXPECT_EQ(bridge.LastFailure().empty(), c.booleanOk) << label;
  }
}

TEST_F(AutomationTest, ObjectsAndVariants) {
  AutomationObject self = bridge.CallObject(object, "Self");
  ASSERT_FALSE(self.IsEmpty());
  EXPECT_TRUE(self.SameObject(object));
  // A copy shares the object; releasing one holder leaves the other working.
  AutomationObject copy = self;
  self.Release();
  EXPECT_TRUE(self.IsEmpty());
  EXPECT_TRUE(bridge.Put(copy, "Name", "shared"));
  EXPECT_EQ(impl->name, u"shared");
  // An object passed where text is wanted gives its default value.
  impl->give = ComValue::Obj(impl);
  EXPECT_EQ(bridge.CallText(object, "Give"), "shared");

  // A byte array is stored as an array, every byte kept, and read back as
  // bytes; read as text its byte pairs are the UTF-16 units.
  AutomationVariant v;
  const Bytes bytes("a\0b\0\xFF", 5);
  v.AssignBytes(bytes);
  EXPECT_TRUE(bridge.PutAt(object, "Cell", 0, v));
  EXPECT_EQ(impl->cells[0].type, ComValue::Type::kBytes);
  AutomationVariant back = bridge.GetVariant(object, "Cell", 0);
  EXPECT_EQ(back.AsBytes(), bytes);
  EXPECT_EQ(back.AsText(), "ab");
  EXPECT_TRUE(back.AsObject().IsEmpty());

  // Text read as bytes gives its UTF-16LE units.
  v.AssignText("\xD6\xD0" "A");  // 中A
  EXPECT_EQ(v.AsBytes(), Bytes("\x2D\x4E" "A\0", 4));
  EXPECT_EQ(v.AsText(), "\xD6\xD0" "A");
  AutomationVariant shared = v;  // a copy is independent of a later change
  v.Clear();
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.AsText(), "");
  EXPECT_EQ(shared.AsText(), "\xD6\xD0" "A");

  v.AssignObject(object);
  EXPECT_TRUE(v.AsObject().SameObject(object));
  EXPECT_EQ(v.AsText(), "shared");
}

TEST(ComPairing, ScopesCountInitialisations) {
  long depth = ComInitializeDepth();
  ComCallCounts before = ComCalls();
  {
    ComScope outer;
    ComScope inner;
    EXPECT_EQ(ComInitializeDepth(), depth + 2);
  }
  EXPECT_EQ(ComInitializeDepth(), depth);
  EXPECT_EQ(ComCalls().initialize, before.initialize + 2);
  EXPECT_EQ(ComCalls().uninitialize, before.uninitialize + 2);
}

}  // namespace
}  // namespace corvenhal::platform
