#include "script/json_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/portable/components/components.h"

namespace corvenhal::script {
namespace {

// A document with something of every kind, and members whose names begin
// with the letters of the document variable.
const Text kDocument =
    "{\"news\": [{\"file\": \"/data/a.pak\", \"md5\": \"0123456789ABCDEF0123456789ABCDEF\", \"url\": \"u/a\"}],"
    " \"data\": {\"x\": \"dx\"}, \"date\": \"d1\", \"n\": 5, \"f\": 2.5, \"s\": \"str\", \"o\": {\"a\": 1, \"b\": [true]},"
    " \"arr\": [1, 2, 3], \"b\": true, \"z\": null}";

JsonObject Parsed(const Text& document, bool asIs = false) {
  JsonObject json;
  EXPECT_TRUE(json.Parse(document, asIs)) << document;
  return json;
}

TEST(JsonObject, ReadsByPath) {
  JsonObject json = Parsed(kDocument);
  struct Case {
    Text path;
    Text text;  // GetText without the JSON flag
    Text json;  // GetText with it
  };
  const Case cases[] = {
      {"news[0].file", "/data/a.pak", "\"/data/a.pak\""},
      {"news[0]['md5']", "0123456789ABCDEF0123456789ABCDEF", "\"0123456789ABCDEF0123456789ABCDEF\""},
      {"data.x", "dx", "\"dx\""},      // begins with "da": tried as written, then under the document
      {"da.data.x", "dx", "\"dx\""},   // the full path, taken as written
      {"date", "d1", "\"d1\""},
      {"n", "5", "5"},
      {"f", "2.5", "2.5"},
      {"arr", "1,2,3", "[1,2,3]"},
      {"b", "true", "true"},
      {"o", "[object Object]", "{\"a\":1,\"b\":[true]}"},
      {"o.b[0]", "true", "true"},
      {"z", "", "null"},
      {"missing", "", ""},
      {"missing.deeper", "", ""},
      {"news[7].file", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(json.GetText(c.path), c.text) << c.path;
    EXPECT_EQ(json.GetText(c.path, true), c.json) << c.path;
    EXPECT_EQ(json.GetJson(c.path), c.json) << c.path;
  }
  EXPECT_EQ(json.GetText(""), "[object Object]");
  EXPECT_EQ(json.GetText("", true), json.ToText());
  EXPECT_EQ(json.GetNumber("f"), 2.5);
}

TEST(JsonObject, ResolvesPathsInTwoSteps) {
  JsonObject json = Parsed(kDocument);
  struct Case {
    Text path;
    Text resolved;
    bool exists;
  };
  const Case cases[] = {
      {"", "da", true},
      {"news", "da.news", true},
      {"news[0].file", "da.news[0].file", true},
      {"data['x']", "da.data['x']", true},
      {"date", "da.date", true},
      {"da.news", "da.news", true},
      {"da", "da", true},
      {"z", "da.z", false},
      {"missing", "da.missing", false},
      {"missing.x", "da.missing.x", false},
      {"da.missing", "da.da.missing", false},
  };
  for (const Case& c : cases) {
    Text path = c.path;
    EXPECT_EQ(json.ResolvePath(path), c.exists) << c.path;
    EXPECT_EQ(path, c.resolved) << c.path;
    EXPECT_EQ(json.Exists(c.path), c.exists) << c.path;
  }
  JsonObject array = Parsed("[10, 20, 30]");
  EXPECT_EQ(array.GetText("[1]"), "20");
  EXPECT_EQ(array.Count(""), 3);
  Text path = "[1]";
  EXPECT_TRUE(array.ResolvePath(path));
  EXPECT_EQ(path, "da[1]");
}

TEST(JsonObject, TypesAndCounts) {
  JsonObject json = Parsed(kDocument);
  struct Case {
    Text path;
    JsonTypeCode type;
    long count;
  };
  const Case cases[] = {
      {"z", kJsonNull, 0},         {"missing", kJsonNull, 0},   {"missing.x", kJsonOther, 0},
      {"b", kJsonBoolean, 0},      {"n", kJsonNumber, 0},       {"o", kJsonObject, 0},
      {"arr", kJsonArray, 3},      {"news", kJsonArray, 1},     {"s", kJsonString, 0},
      {"", kJsonObject, 0},        {"o.b", kJsonArray, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(json.TypeOf(c.path), c.type) << c.path;
    EXPECT_EQ(json.Count(c.path), c.count) << c.path;
  }
}

TEST(JsonObject, MemberNames) {
  JsonObject json = Parsed("{\"o\": {\"b\": 1, \"a\": {}, \"c\": [2]}, \"arr\": [1], \"s\": \"x\"}");
  std::vector<Text> names{"left over"};
  EXPECT_EQ(json.MemberNames(names, "o"), 3);
  EXPECT_EQ(names, (std::vector<Text>{"b", "a", "c"}));
  for (const char* notAnObject : {"arr", "s", "missing", "o.c"}) {
    names = {"left over"};
    EXPECT_EQ(json.MemberNames(names, notAnObject), 0) << notAnObject;
    EXPECT_TRUE(names.empty()) << notAnObject;
  }
}

TEST(JsonObject, ParseDropsLineFeedsAndKeepsCarriageReturnsBetweenTokens) {
  JsonObject json;
  ASSERT_TRUE(json.Parse("{\r\n  \"a\": \"one\ntwo\",\r\n  \"b\": \"tab\\r\\nescaped\"\r\n}\r\n"));
  EXPECT_EQ(json.GetText("a"), "onetwo");
  EXPECT_EQ(json.GetText("b"), "tab\r\nescaped") << "escapes are not line breaks of the text";
  // A raw CR inside a string does not read, as the script engine rejects it.
  EXPECT_FALSE(json.Parse("{\"a\": \"one\r\ntwo\"}"));
}

TEST(JsonObject, TextValuesRoundTripTheirBackslashes) {
  JsonObject json = Parsed("{}");
  const Text values[] = {
      "C:\\Game\\Resource\\data",
      "it's \"quoted\"\r\nnext line\\",
      "\\\\server\\share\\",
      "\x95\x5C\xD6\xD0",  // a GBK character whose second byte is a backslash
      "",
  };
  for (const Text& v : values) {
    ASSERT_TRUE(json.SetValue("v", v));
    EXPECT_EQ(json.GetText("v"), v);
  }
  json.SetValue("p", "a\\b");
  EXPECT_EQ(json.GetText("p", true), "\"a\\b\"") << "a JSON text carries the backslash raw";
  EXPECT_EQ(json.ToText(), "{\"v\":\"\",\"p\":\"a\\b\"}");
  EXPECT_EQ(json.TypeOf("p"), kJsonString);
}

TEST(JsonObject, CopiesShareTheDocumentUntilOneParses) {
  JsonObject a = Parsed("{\"v\": 1}");
  JsonObject b = a;
  ASSERT_TRUE(b.SetValue("v", "two"));
  EXPECT_EQ(a.GetText("v"), "two");
  ASSERT_TRUE(a.SetNumber("w", 4));
  EXPECT_EQ(b.GetNumber("w"), 4);
  EXPECT_TRUE(a.Engine().SameObject(b.Engine()));

  ASSERT_TRUE(a.Parse("{\"v\": 3}"));
  EXPECT_EQ(a.GetText("v"), "3");
  EXPECT_EQ(b.GetText("v"), "two");
  EXPECT_FALSE(a.Engine().SameObject(b.Engine()));

  // Objects taken out are copies of their own documents.
  JsonObject doc = Parsed("{\"o\": {\"k\": \"x\"}, \"list\": [{\"k\": \"y\"}]}");
  JsonObject o = doc.GetObject("o");
  JsonObject e = doc.GetElementObject(0, "list");
  EXPECT_EQ(o.GetText("k"), "x");
  EXPECT_EQ(e.GetText("k"), "y");
  o.SetValue("k", "changed");
  EXPECT_EQ(doc.GetText("o.k"), "x");
  EXPECT_EQ(doc.GetObject("missing").ToText(), "null");
}

TEST(JsonObject, WritesArraysAndMembers) {
  JsonObject json = Parsed("{\"o\": {\"a\": \"x\", \"n\": 1, \"t\": true, \"in\": {\"p\": \"q\"}}, \"arr\": [1]}");
  // Merging into an object: plain members replaced, objects merged.
  ASSERT_TRUE(json.SetValue("o", "{a: 'y', n: 2, t: false, in: {p: 'r', e: 1}, added: [1]}", true));
  EXPECT_EQ(json.GetJson("o"), "{\"a\":\"y\",\"n\":2,\"t\":false,\"in\":{\"p\":\"r\",\"e\":1},\"added\":[1]}");
  ASSERT_TRUE(json.SetValue("arr", "[2, 3]", true));  // not an object: evaluated and stored
  EXPECT_EQ(json.GetJson("arr"), "[2,3]");
  ASSERT_TRUE(json.SetExpression("e", "1 + 2"));
  EXPECT_EQ(json.GetNumber("e"), 3);

  ASSERT_TRUE(json.Push("x", "list"));  // not an array yet: becomes one
  ASSERT_TRUE(json.Push("5", "list", true));
  EXPECT_EQ(json.GetJson("list"), "[\"x\",5]");
  EXPECT_EQ(json.GetElementText(0, "list"), "x");
  EXPECT_EQ(json.GetElementText(1, "list"), "") << "only a string element gives text";
  EXPECT_EQ(json.GetElementText(1, "list", true), "5");
  ASSERT_TRUE(json.SetElement(0, "list", "y"));
  ASSERT_TRUE(json.SetElement(2, "list", "[7]", true));
  EXPECT_EQ(json.GetJson("list"), "[\"y\",5,[7]]");
  ASSERT_TRUE(json.RemoveElement(1, "list"));
  EXPECT_EQ(json.GetJson("list"), "[\"y\",[7]]");
  ASSERT_TRUE(json.SetNumber("num", -2.5));
  EXPECT_EQ(json.GetNumber("num"), -2.5);
  ASSERT_TRUE(json.Delete("num"));
  EXPECT_FALSE(json.Exists("num"));

  json.Clear();
  EXPECT_EQ(json.ToText(), "{}");
  std::vector<Text> values{"left over"};
  EXPECT_EQ(json.NodeValues(values, "", true), 0) << "no get__nodeValue helper is defined";
  EXPECT_TRUE(values.empty());
}

TEST(JsonObject, TheAnnouncementPathOnAServiceAnswer) {
  // A share-note answer, pretty-printed with LF line ends and decoded to GBK.
  const Text answer =
      "{\n  \"data\": {\n    \"rsp_header\": {\"retcode\": 0, \"retmsg\": \"success\"},\n"
      "    \"rsp_body\": {\n      \"RspMsg_body\": {\n        \"note_list\": [\n"
      "          {\"note_id\": \"n1\", \"html_content\": \"<p>\xB9\xAB\xB8\xE6</p>\\n<p>C:\\\\Game</p>\"},\n"
      "          {\"note_id\": \"n2\", \"html_content\": \"second\"}\n        ]\n      }\n    }\n  },\n"
      "  \"ret\": 0\n}\n";
  JsonObject json;
  ASSERT_TRUE(json.Parse(answer, false));
  EXPECT_EQ(json.GetText("data['rsp_body']['RspMsg_body']['note_list'][0]['html_content']", false),
            "<p>\xB9\xAB\xB8\xE6</p>\n<p>C:\\Game</p>");
  EXPECT_EQ(json.GetText("data['rsp_body']['RspMsg_body']['note_list'][2]['html_content']"), "");
}

// What Parse accepts, and the document it then holds (as JSON).
TEST(JsonObject, ParseReadsLiteralForms) {
  struct Case {
    Text text;
    bool asIs;
    Text document;
  };
  const Case cases[] = {
      {"{\"a\":[1,2],\"b\":{\"c\":null}}", false, "{\"a\":[1,2],\"b\":{\"c\":null}}"},
      {"{a: 'x', 'b': \"y\", $c_1: 1, \xC3\xFB\xD7\xD6: 2}", false,
       "{\"a\":\"x\",\"b\":\"y\",\"$c_1\":1,\"\xC3\xFB\xD7\xD6\":2}"},
      {"[1, 2, ]", false, "[1,2]"},
      {"{\"a\": 1, \"b\": [3,],}", false, "{\"a\":1,\"b\":[3]}"},
      {"// manifest\r{ /* files */ \"a\": - 5, \"b\": -1.5e3 }", false, "{\"a\":-5,\"b\":-1500}"},
      {"{\"h\": 0x1F, \"m\": .5, \"k\": 5., \"e\": 1E2, \"z\": -0}", false, "{\"h\":31,\"m\":0.5,\"k\":5,\"e\":100,\"z\":0}"},
      {"{1: 'one', 20: 'twenty'}", false, "{\"1\":\"one\",\"20\":\"twenty\"}"},
      {"{\"s\": 'it\\'s \"q\" \\x41\\u0042\\v\\0\\q'}", false, "{\"s\":\"it's \\\"q\\\" AB\\u000b\\u0000q\"}"},
      {"{\"t\": \"tab\there\", \"c\": \"line\\\r continued\"}", false, "{\"t\":\"tab\\there\",\"c\":\"line continued\"}"},
      {"{\"g\": \"\xD6\xD0\xCE\xC4\\\\\"}", false, "{\"g\":\"\xD6\xD0\xCE\xC4\\\\\"}"},
      {"\xA1\xA1{\"a\": true}\t", false, "{\"a\":true}"},  // a full-width space
      {"\"text\"", true, "\"text\""},
      {"'text'", true, "\"text\""},
      {"42", false, "42"},
      {"false", false, "false"},
      {"{\"__proto__\": {\"p\": 1}}", false, "{\"__proto__\":{\"p\":1}}"},
  };
  for (const Case& c : cases) {
    JsonObject json;
    ASSERT_TRUE(json.Parse(c.text, c.asIs)) << c.text;
    EXPECT_EQ(json.ToText(), c.document) << c.text;
  }
  JsonObject trailing = Parsed("[1,2,]");
  EXPECT_EQ(trailing.Count(""), 2);
}

// Documents that must not read, each leaving the document null.
TEST(JsonObject, ParseRefusesAnythingButALiteral) {
  const Text refused[] = {
      "", "   ", "/* only a comment */", "null",
      // calls, code, assignments
      "{\"a\": alert(1)}", "f()", "(function () { return {} })()", "{\"a\": x = 5}", "x = {}",
      "{\"a\": new ActiveXObject(\"WScript.Shell\")}", "new Date()", "/x/", "{\"a\": function () {}}",
      "{\"a\": (function () { while (true) {} })()}", "while (true) {}", "for (;;);", "{\"a\": 1}; x = 1",
      // one string holding code, read with the as-is flag false
      "\"while (true) {}\"", "'this.x = 1'", "\"{}\"",
      // operators and identifiers
      "{\"a\": 1 + 1}", "{\"a\": !0}", "{\"a\": +1}", "{\"a\": -\"1\"}", "{\"a\": --1}", "{\"a\": - -1}",
      "{\"a\": (1)}", "{\"a\": undefined}", "{\"a\": NaN}", "{\"a\": Infinity}", "{\"a\": x}", "[1].length",
      "{\"a\": 1}.a", "{\"a\": 1}[0]", "{\"a\" 1}", "{a b: 1}", "{\"a\": 1 \"b\": 2}",
      // what a script engine rejects as well
      "{\"a\": \"x\ry\"}", "[1,,2]", "[,]", "{,}", "{\"a\": 010}", "{\"a\": 08}", "{\"a\": \"\\1\"}",
      "{\"a\": \"\\x4\"}", "{\"a\": \"\\u12\"}", "{\"a\": 1.2.3}", "{\"a\": 1e}", "{\"a\": 5x}", "{-1: 2}",
      "{\"a\": 1", "[1, 2", "{\"a\": 'open}", "/* open", "{} x", "{} {}", "<!-- -->{}", "`t`",
  };
  for (const Text& text : refused) {
    JsonObject json;
    EXPECT_FALSE(json.Parse(text, false)) << text;
    EXPECT_EQ(json.ToText(), "null") << text;
    EXPECT_EQ(json.TypeOf(""), kJsonNull) << text;
  }
  // Nothing a refused text holds ever ran in the engine.
  JsonObject json;
  EXPECT_FALSE(json.Parse("{\"a\": this.pwned = 1}", false));
  EXPECT_TRUE(json.SetExpression("", "typeof pwned == 'undefined'"));
  EXPECT_EQ(json.GetText(""), "true");
}

TEST(JsonObject, HostileDocumentsFailCleanlyAndQuickly) {
  auto start = std::chrono::steady_clock::now();
  const Text loops = "{\"a\": (function () { for (;;) {} })()}";
  const Text deepArrays = Text(100000, '[') + Text(100000, ']');
  Text deepObjects;
  for (int i = 0; i < 100000; ++i) deepObjects += "{\"a\":";
  deepObjects += "1" + Text(100000, '}');
  for (const Text* text : std::vector<const Text*>{&loops, &deepArrays, &deepObjects}) {
    JsonObject json;
    EXPECT_FALSE(json.Parse(*text, false));
    EXPECT_EQ(json.TypeOf(""), kJsonNull);
    // The object is still usable.
    EXPECT_TRUE(json.Parse("{\"ok\": 1}"));
    EXPECT_EQ(json.GetText("ok"), "1");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // 200 MB of small entries: more than the engine may hold.
  Text huge = "[";
  const Text entry = "{\"file\": \"/data/pack/entry.pak\", \"md5\": \"0123456789ABCDEF0123456789ABCDEF\"},\r\n";
  huge.reserve(200u << 20);
  while (huge.size() < (200u << 20)) huge += entry;
  huge += "{}]";
  JsonObject json;
  EXPECT_FALSE(json.Parse(huge, false));
  EXPECT_EQ(json.TypeOf(""), kJsonNull);
  EXPECT_TRUE(json.Parse("[1]"));
  EXPECT_EQ(json.Count(""), 1);
}

TEST(JsonObject, PairsComInitialisation) {
  const long depth = platform::ComInitializeDepth();
  {
    JsonObject json = Parsed(kDocument);
    JsonObject copy = json;
    JsonObject assigned;
    assigned = copy;
    JsonObject part = json.GetObject("o");
    part.Parse("[1]");
    EXPECT_GT(platform::ComInitializeDepth(), depth);
  }
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
}

TEST(JsonObject, WithoutAScriptControlEveryOperationFails) {
  platform::RegisterComponent("MSScriptControl.ScriptControl", "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}",
                              [] { return nullptr; });
  const long depth = platform::ComInitializeDepth();
  {
    JsonObject json;
    EXPECT_TRUE(json.Engine().IsEmpty());
    EXPECT_FALSE(json.Parse("{\"a\": 1}"));
    EXPECT_EQ(json.GetText("a"), "");
    EXPECT_EQ(json.Count("a"), 0);
    EXPECT_FALSE(json.Exists("a"));
    EXPECT_FALSE(json.SetValue("a", "x"));
    EXPECT_EQ(json.ToText(), "");
    std::vector<Text> names{"x"};
    EXPECT_EQ(json.MemberNames(names, ""), 0);
    EXPECT_TRUE(json.GetObject("a").Engine().IsEmpty());
  }
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
  platform::RegisterComponent("MSScriptControl.ScriptControl", "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}",
                              platform::NewScriptControlComponent);
}

}  // namespace
}  // namespace corvenhal::script
