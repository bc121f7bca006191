// "MSScriptControl.ScriptControl" (also reached as "ScriptControl") on the
// Duktape engine: the members a host program uses ("Language", "AddCode",
// "Eval", "ExecuteStatement", "Run", "Reset", "Timeout", "State", "AllowUI",
// "SitehWnd") with the value types the Windows control hands back.
//
// Each control owns one engine heap, made on first use and kept until "Reset"
// or a change of language, so globals persist from call to call. The heap has
// a memory cap of its own (a counting allocator) and every entry into the
// engine is a protected call: a script error, however raised, becomes a failed
// member call, and even an engine fatal error leaves the process running (the
// heap is then abandoned and the next call starts a fresh one).
#include <duktape.h>

#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/encodings.h"
#include "platform/portable/components/components.h"

namespace corvenhal::platform {
namespace {

// Bytes one control's heap may hold: a manifest of a few hundred thousand
// entries fits with room to spare; a runaway document or script fails cleanly.
constexpr std::size_t kHeapLimitBytes = std::size_t{256} << 20;
// Milliseconds a single call may run, as the Windows control's default; -1
// lets a call run unbounded.
constexpr std::int32_t kDefaultTimeout = 10000;
constexpr std::int32_t kNoTimeout = -1;

using Status = InvokeStatus;
using Code = InvokeStatus::Code;

// ---- Text between UTF-16 and the engine's strings --------------------------
// The engine keeps strings as CESU-8: every UTF-16 unit, a surrogate too, is
// one 1-3 byte sequence, so lengths and indexes count units as JScript does.

void AppendCesu8(std::string& out, std::u16string_view units) {
  out.reserve(out.size() + units.size() + units.size() / 2);
  for (char16_t u : units) {
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
}

std::string ToCesu8(std::u16string_view units) {
  std::string out;
  AppendCesu8(out, units);
  return out;
}

// Also reads the 4-byte forms the engine may hold for characters beyond the
// BMP (as a surrogate pair); anything malformed becomes U+FFFD.
std::u16string FromCesu8(const char* data, std::size_t size) {
  std::u16string out;
  out.reserve(size);
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  std::size_t i = 0;
  auto cont = [&](std::size_t at) { return at < size && (p[at] & 0xC0) == 0x80; };
  while (i < size) {
    unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      i += 1;
    } else if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
      out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (p[i + 1] & 0x3F)));
      i += 2;
    } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      out.push_back(static_cast<char16_t>(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)));
      i += 3;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      std::uint32_t cp = ((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
                         (p[i + 3] & 0x3Fu);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      } else {
        out.push_back(u'\uFFFD');
      }
      i += 4;
    } else {
      out.push_back(u'\uFFFD');
      i += 1;
    }
  }
  return out;
}

// ---- Cached expressions -----------------------------------------------------
// Compiling is most of the cost of a short "Eval", and a host evaluates the
// same expression over and over with only its numbers changed (one member
// path per array element). Such an expression runs as a cached function
// taking its integer literals as parameters, which gives the same value and
// the same errors as evaluating it. Only what is plainly one expression
// qualifies: no statements, declarations, braces, semicolons, line breaks,
// slashes (regular expressions or comments), eval or arguments, and no
// literal that is written to or deleted (the parameter would take it).

constexpr std::size_t kMaxCachedExpression = 512;
constexpr char16_t kParameterPrefix[] = u"$$k";

bool IsWordStart(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$' || c >= 0x80; }
bool IsWordPart(char16_t c) { return IsWordStart(c) || (c >= u'0' && c <= u'9'); }
bool IsDecimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsStatementWord(std::u16string_view w) {
  static const std::u16string_view kWords[] = {
      u"var",    u"let",     u"const",    u"function", u"class",    u"if",       u"else",  u"for",    u"while",
      u"do",     u"switch",  u"case",     u"default",  u"try",      u"catch",    u"finally", u"return", u"throw",
      u"break",  u"continue", u"with",    u"debugger", u"import",   u"export",   u"eval",  u"arguments",
      u"yield",  u"await",   u"async"};
  for (std::u16string_view k : kWords) {
    if (w == k) return true;
  }
  return false;
}

// The next character that is not a space, or 0.
char16_t NextSignificant(std::u16string_view s, std::size_t i, std::size_t* at = nullptr) {
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  if (at) *at = i;
  return i < s.size() ? s[i] : 0;
}

// True when an operator that writes to its left operand starts at `i`.
bool WritesLeft(std::u16string_view s, std::size_t i) {
  std::u16string_view rest = s.substr(i);
  if (rest.starts_with(u"++") || rest.starts_with(u"--")) return true;
  if (rest.starts_with(u"==")) return false;
  if (rest.starts_with(u"=")) return true;
  for (std::u16string_view op : {u"+=", u"-=", u"*=", u"%=", u"&=", u"|=", u"^=", u"<<=", u">>=", u">>>=", u"**=",
                                 u"&&=", u"||=", u"?\?="}) {
    if (rest.starts_with(op)) return true;
  }
  return false;
}

// The expression's shape (its integer literals replaced by parameters) and the
// literals' values. False when the expression does not qualify.
bool ExpressionShape(std::u16string_view s, std::string& shape, std::vector<double>& literals) {
  if (s.empty() || s.size() > kMaxCachedExpression) return false;
  shape.clear();
  shape.reserve(s.size() + 16);
  literals.clear();
  int depth = 0;
  bool afterWriter = false;  // the last token was ++, -- or delete
  std::size_t i = 0;
  while (i < s.size()) {
    char16_t c = s[i];
    if (c == u' ' || c == u'\t') {
      shape.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    bool writer = false;
    if (c == u'\'' || c == u'"') {
      std::size_t start = i++;
      for (;;) {
        if (i >= s.size()) return false;
        char16_t d = s[i++];
        if (d == c) break;
        if (d == u'\r' || d == u'\n' || d == 0x2028 || d == 0x2029) return false;
        if (d == u'\\') {
          if (i >= s.size()) return false;
          ++i;
        }
      }
      AppendCesu8(shape, s.substr(start, i - start));
    } else if (IsWordStart(c)) {
      std::size_t start = i;
      while (i < s.size() && IsWordPart(s[i])) ++i;
      std::u16string_view word = s.substr(start, i - start);
      if (word.starts_with(u"$$") || IsStatementWord(word)) return false;
      writer = word == u"delete";
      AppendCesu8(shape, word);
    } else if (IsDecimalDigit(c)) {
      std::size_t start = i;
      while (i < s.size() && IsDecimalDigit(s[i])) ++i;
      std::size_t n = i - start;
      if ((n > 1 && s[start] == u'0') || n > 15) return false;
      if (i < s.size() && (IsWordPart(s[i]) || s[i] == u'.')) return false;
      std::size_t next;
      NextSignificant(s, i, &next);
      if (afterWriter || WritesLeft(s, next)) return false;
      double value = 0;
      for (std::size_t k = start; k < i; ++k) value = value * 10 + (s[k] - u'0');
      shape += "$$k";
      if (literals.size() < 10) {
        shape.push_back(static_cast<char>('0' + literals.size()));
      } else {
        shape += std::to_string(literals.size());
      }
      literals.push_back(value);
    } else if (c == u'.' && i + 1 < s.size() && IsDecimalDigit(s[i + 1])) {
      return false;  // a number such as .5
    } else if (c == u';' || c == u'{' || c == u'}' || c == u'/' || c == u'`' || c == u'\\' || c == u'#' ||
               c == u'@' || c < 0x20) {
      return false;
    } else {
      if (c == u'(' || c == u'[') ++depth;
      if (c == u')' || c == u']') {
        if (--depth < 0) return false;
      }
      if ((c == u'+' || c == u'-') && i + 1 < s.size() && s[i + 1] == c) {
        writer = true;
        shape.push_back(static_cast<char>(c));
        ++i;
      }
      shape.push_back(static_cast<char>(c));
      ++i;
    }
    afterWriter = writer;
  }
  return depth == 0;
}

// The source of the function computing a shape of `parameters` literals.
std::string ShapeFunction(const std::string& shape, std::size_t parameters) {
  std::string f = "function (";
  for (std::size_t k = 0; k < parameters; ++k) {
    if (k) f += ',';
    f += "$$k" + std::to_string(k);
  }
  return f + ") { return (" + shape + "\n); }";
}

// ---- One engine heap --------------------------------------------------------

class Heap;

struct alignas(std::max_align_t) BlockHeader {
  std::size_t size;
};

// An argument of "Run", converted before entering the engine.
struct Argument {
  ComValue::Type type = ComValue::Type::kEmpty;
  double number = 0;
  bool boolean = false;
  std::string bytes;  // CESU-8 text, or the raw bytes of a byte array
};

// What a protected call is to do. Only plain members: an engine error unwinds
// through the call with longjmp, past anything that would need destroying.
struct Job {
  enum Kind { kProgram, kEval, kRun } kind = kEval;
  const char* code = nullptr;  // CESU-8; for kRun the procedure name
  std::size_t codeSize = 0;
  const std::vector<Argument>* args = nullptr;
  // kEval of an expression that may run as a cached function of its integer
  // literals (see ExpressionShape); empty when it may not.
  const std::string* shape = nullptr;
  const std::string* wrapper = nullptr;  // the function's source; null when cached
  const std::vector<double>* literals = nullptr;
  bool resetCache = false;  // start the cache afresh first
  bool compiled = false;    // the shape's function was compiled and cached
  bool cacheMissed = false;  // no function for the shape and no source to make one
  bool objectResult = false;  // the result was an object, now its string form
  bool notAFunction = false;  // kRun: no procedure of that name
};

class Heap {
 public:
  Heap() = default;
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;

  // False when the engine could not start (out of memory).
  bool Start() {
    std::jmp_buf jump;
    jump_ = &jump;
    if (setjmp(jump) == 0) ctx_ = duk_create_heap(&Heap::Alloc, &Heap::Realloc, &Heap::Free, this, &Heap::Fatal);
    jump_ = nullptr;
    return ctx_ != nullptr && !fatal_;
  }

  // Tears the heap down; finalizers run protected inside the engine.
  void Stop() {
    if (!ctx_) return;
    std::jmp_buf jump;
    jump_ = &jump;
    if (setjmp(jump) == 0) duk_destroy_heap(ctx_);
    jump_ = nullptr;
    ctx_ = nullptr;
  }

  bool Fatal() const { return fatal_; }
  std::size_t Used() const { return used_; }

  // Runs `job` with the time limit given (milliseconds, -1 for none). On
  // success the result value (for kEval and kRun) is converted into `result`;
  // on failure `message` tells why.
  bool Run(Job& job, std::int32_t timeoutMs, ComValue& result, std::string& message) {
    if (job.codeSize > kHeapLimitBytes - std::min(used_, kHeapLimitBytes)) {
      message = "out of memory: the script is larger than the engine may hold";
      return false;
    }
    bounded_ = timeoutMs >= 0;
    if (bounded_) deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int rc = Protected(job);
    bounded_ = false;
    if (fatal_) {
      message = std::string("the script engine failed: ") + fatalMessage_;
      return false;
    }
    bool ok = rc == DUK_EXEC_SUCCESS;
    if (ok) {
      if (job.notAFunction) {
        ok = false;
        message = "the procedure is not defined";
      } else {
        ok = ReadResult(job, result, message);
      }
    } else {
      message = ErrorText();
    }
    Guarded([](duk_context* c) { duk_set_top(c, 0); });
    return ok && !fatal_;
  }

  bool TimedOut() const { return bounded_ && std::chrono::steady_clock::now() >= deadline_; }

 private:
  // Every engine call from outside a protected call goes through here: an
  // engine fatal error (which must not return) jumps back and marks the heap
  // unusable. The callable runs with no destructible locals of its own.
  template <typename F>
  void Guarded(F f) {
    if (!ctx_ || fatal_) return;
    std::jmp_buf jump;
    jump_ = &jump;
    if (setjmp(jump) == 0) f(ctx_);
    jump_ = nullptr;
  }

  int Protected(Job& job) {
    volatile int rc = DUK_EXEC_ERROR;
    if (!ctx_ || fatal_) return rc;
    std::jmp_buf jump;
    jump_ = &jump;
    if (setjmp(jump) == 0) rc = duk_safe_call(ctx_, &Heap::Execute, &job, 0, 1);
    jump_ = nullptr;
    return rc;
  }

  static duk_ret_t Execute(duk_context* ctx, void* udata) {
    Job& job = *static_cast<Job*>(udata);
    switch (job.kind) {
      case Job::kProgram:
        duk_compile_lstring(ctx, 0, job.code, job.codeSize);
        duk_call(ctx, 0);
        duk_pop(ctx);
        duk_push_undefined(ctx);
        break;
      case Job::kEval:
        if (!job.shape || !EvalCached(ctx, job)) {
          if (!job.code) {
            job.cacheMissed = true;
            duk_push_undefined(ctx);
            return 1;
          }
          duk_eval_lstring(ctx, job.code, job.codeSize);
        }
        break;
      case Job::kRun: {
        duk_push_global_object(ctx);
        duk_get_prop_lstring(ctx, -1, job.code, job.codeSize);
        if (!duk_is_callable(ctx, -1)) {
          job.notAFunction = true;
          duk_push_undefined(ctx);
          return 1;
        }
        duk_swap_top(ctx, -2);  // function, then the global object as this
        const std::vector<Argument>& args = *job.args;
        duk_require_stack(ctx, static_cast<duk_idx_t>(args.size()) + 1);
        for (const Argument& a : args) PushArgument(ctx, a);
        duk_call_method(ctx, static_cast<duk_idx_t>(args.size()));
        break;
      }
    }
    // A symbol has no VARIANT form: it is handed back as its text, Symbol(...).
    if (duk_is_symbol(ctx, -1)) {
      duk_get_global_string(ctx, "String");
      duk_insert(ctx, -2);
      duk_call(ctx, 1);
    }
    // An object is handed back as its default value, its string form.
    if (duk_check_type_mask(ctx, -1, DUK_TYPE_MASK_OBJECT | DUK_TYPE_MASK_BUFFER | DUK_TYPE_MASK_POINTER |
                                         DUK_TYPE_MASK_LIGHTFUNC)) {
      duk_to_string(ctx, -1);
      job.objectResult = true;
    }
    return 1;
  }

  // Runs the cached function of the expression's shape with its literals,
  // compiling it on first use. False, with the stack as it was, when the shape
  // does not compile as a function: the expression is then evaluated as given.
  static bool EvalCached(duk_context* ctx, Job& job) {
    duk_push_heap_stash(ctx);
    if (!duk_get_prop_string(ctx, -1, kCacheKey) || job.resetCache) {
      duk_pop(ctx);
      duk_push_object(ctx);
      duk_dup_top(ctx);
      duk_put_prop_string(ctx, -3, kCacheKey);
    }
    if (!duk_get_prop_lstring(ctx, -1, job.shape->data(), job.shape->size())) {
      duk_pop(ctx);
      if (!job.wrapper ||
          duk_pcompile_lstring(ctx, DUK_COMPILE_FUNCTION, job.wrapper->data(), job.wrapper->size()) != 0) {
        duk_pop_n(ctx, job.wrapper ? 3 : 2);
        return false;
      }
      duk_dup_top(ctx);
      duk_put_prop_lstring(ctx, -3, job.shape->data(), job.shape->size());
      job.compiled = true;
    }
    duk_push_global_object(ctx);
    const std::vector<double>& literals = *job.literals;
    duk_require_stack(ctx, static_cast<duk_idx_t>(literals.size()));
    for (double d : literals) duk_push_number(ctx, d);
    duk_call_method(ctx, static_cast<duk_idx_t>(literals.size()));
    duk_remove(ctx, -2);  // the cache
    duk_remove(ctx, -2);  // the stash
    return true;
  }

  static void PushArgument(duk_context* ctx, const Argument& a) {
    using T = ComValue::Type;
    switch (a.type) {
      case T::kNull: duk_push_null(ctx); break;
      case T::kI4:
      case T::kR8: duk_push_number(ctx, a.number); break;
      case T::kBool: duk_push_boolean(ctx, a.boolean); break;
      case T::kText: duk_push_lstring(ctx, a.bytes.data(), a.bytes.size()); break;
      case T::kBytes: {
        void* p = duk_push_fixed_buffer(ctx, a.bytes.size());
        if (!a.bytes.empty()) std::memcpy(p, a.bytes.data(), a.bytes.size());
        break;
      }
      default: duk_push_undefined(ctx); break;
    }
  }

  // The value left on the stack by a successful call, as the control's VARIANT.
  bool ReadResult(const Job& job, ComValue& result, std::string& message) {
    duk_context* c = ctx_;
    try {
      switch (duk_get_type(c, -1)) {
        case DUK_TYPE_UNDEFINED: result = ComValue::Empty(); break;
        case DUK_TYPE_NULL: result = ComValue::Null(); break;
        case DUK_TYPE_BOOLEAN: result = ComValue::Bool(duk_get_boolean(c, -1) != 0); break;
        case DUK_TYPE_NUMBER: {
          double d = duk_get_number(c, -1);
          if (std::isfinite(d) && d == std::trunc(d) && d >= -2147483648.0 && d <= 2147483647.0) {
            result = ComValue::I4(static_cast<std::int32_t>(d));
          } else {
            result = ComValue::R8(d);
          }
          break;
        }
        case DUK_TYPE_STRING: {
          duk_size_t n = 0;
          const char* s = duk_get_lstring(c, -1, &n);
          std::u16string text = FromCesu8(s, n);
          if (job.objectResult) {
            result = ComValue::Obj(NewScriptValue(std::move(text)));
          } else {
            result = ComValue::Str(std::move(text));
          }
          break;
        }
        default: result = ComValue::Empty(); break;
      }
    } catch (const std::bad_alloc&) {
      message = "out of memory";
      return false;
    }
    return true;
  }

  std::string ErrorText() {
    std::string text = "script error";
    duk_size_t n = 0;
    const char* s = nullptr;
    Guarded([&s, &n](duk_context* c) { s = duk_safe_to_lstring(c, -1, &n); });
    if (s && n > 0) text = Utf16ToUtf8(FromCesu8(s, n));
    return text;
  }

  static std::shared_ptr<Component> NewScriptValue(std::u16string text);

  // Allocation with a cap: each block carries its size so the total is known.
  static void* Alloc(void* udata, duk_size_t size) {
    auto* heap = static_cast<Heap*>(udata);
    if (size > kHeapLimitBytes - heap->used_) return nullptr;
    void* raw = std::malloc(sizeof(BlockHeader) + size);
    if (!raw) return nullptr;
    static_cast<BlockHeader*>(raw)->size = size;
    heap->used_ += size;
    return static_cast<char*>(raw) + sizeof(BlockHeader);
  }

  static void* Realloc(void* udata, void* ptr, duk_size_t size) {
    if (!ptr) return Alloc(udata, size);
    auto* heap = static_cast<Heap*>(udata);
    if (size == 0) {
      Free(udata, ptr);
      return nullptr;
    }
    void* raw = static_cast<char*>(ptr) - sizeof(BlockHeader);
    std::size_t old = static_cast<BlockHeader*>(raw)->size;
    if (size > old && size - old > kHeapLimitBytes - heap->used_) return nullptr;
    void* moved = std::realloc(raw, sizeof(BlockHeader) + size);
    if (!moved) return nullptr;
    static_cast<BlockHeader*>(moved)->size = size;
    heap->used_ = heap->used_ - old + size;
    return static_cast<char*>(moved) + sizeof(BlockHeader);
  }

  static void Free(void* udata, void* ptr) {
    if (!ptr) return;
    auto* heap = static_cast<Heap*>(udata);
    void* raw = static_cast<char*>(ptr) - sizeof(BlockHeader);
    heap->used_ -= static_cast<BlockHeader*>(raw)->size;
    std::free(raw);
  }

  static void Fatal(void* udata, const char* msg) {
    auto* heap = static_cast<Heap*>(udata);
    heap->fatal_ = true;
    // The text may live on the engine's stack, which the jump leaves.
    std::snprintf(heap->fatalMessage_, sizeof heap->fatalMessage_, "%s", msg ? msg : "fatal error");
    if (heap->jump_) std::longjmp(*heap->jump_, 1);
    // Not reachable: the engine is entered only through Guarded, Protected and
    // Stop. Stopping here is still better than returning into the engine.
    std::abort();
  }

  static constexpr const char* kCacheKey = "expressions";

 public:
  static constexpr std::size_t kCacheLimit = 1024;
  std::unordered_set<std::string> cachedShapes;  // the shapes the cache holds

 private:
  duk_context* ctx_ = nullptr;
  std::size_t used_ = 0;
  bool bounded_ = false;
  std::chrono::steady_clock::time_point deadline_{};
  std::jmp_buf* jump_ = nullptr;
  bool fatal_ = false;
  char fatalMessage_[160] = {};
};

// An object handed back by "Eval" or "Run": its default value is the string
// form the engine gave it.
class ScriptValue final : public Component {
 public:
  explicit ScriptValue(std::u16string text) : text_(std::move(text)) {}
  Status Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                ComValue& result) override {
    if (!member.empty()) return Status::Fail(Code::kUnknownName, "unknown member");
    if (kind == InvokeKind::kPropertyPut) return Status::Fail(Code::kMemberNotFound, "read-only value");
    if (!args.empty()) return Status::Fail(Code::kBadParamCount, "the value takes no arguments");
    result = ComValue::Str(text_);
    return Status::Ok();
  }

 private:
  std::u16string text_;
};

std::shared_ptr<Component> Heap::NewScriptValue(std::u16string text) {
  return std::make_shared<ScriptValue>(std::move(text));
}

// ---- The control -------------------------------------------------------------

class ScriptControl final : public Component {
 public:
  ~ScriptControl() override { DropHeap(); }

  Status Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                ComValue& result) override {
    result = ComValue::Empty();
    try {
      return Dispatch(member, kind, args, result);
    } catch (const std::bad_alloc&) {
      return Status::Fail(Code::kException, "out of memory");
    }
  }

 private:
  enum class Language { kNone, kJScript, kVBScript };

  Status Dispatch(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args, ComValue& result) {
    const bool get = kind == InvokeKind::kPropertyGet;
    const bool method = kind == InvokeKind::kMethod;

    if (SameMember(member, u"Language")) {
      if (method) return WrongKind();
      if (get) return Getter(args, result, ComValue::Str(languageName_));
      return PutLanguage(args);
    }
    if (SameMember(member, u"Timeout")) {
      if (method) return WrongKind();
      if (get) return Getter(args, result, ComValue::I4(timeout_));
      std::int32_t value;
      if (Status st = PutArgument(args, value); !st.ok()) return st;
      if (value < kNoTimeout) return Status::Fail(Code::kException, "invalid property value");
      timeout_ = value;
      return Status::Ok();
    }
    if (SameMember(member, u"State")) {
      if (method) return WrongKind();
      if (get) return Getter(args, result, ComValue::I4(state_));
      std::int32_t value;
      if (Status st = PutArgument(args, value); !st.ok()) return st;
      // 0: initialised, 1: connected (events of added objects are sunk).
      if (value != 0 && value != 1) return Status::Fail(Code::kException, "invalid property value");
      state_ = value;
      return Status::Ok();
    }
    if (SameMember(member, u"AllowUI")) {
      if (method) return WrongKind();
      if (get) return Getter(args, result, ComValue::Bool(allowUi_));
      if (args.size() != 1) return BadCount();
      return ArgBool(args[0], allowUi_);
    }
    if (SameMember(member, u"SitehWnd")) {
      if (method) return WrongKind();
      if (get) return Getter(args, result, ComValue::I4(siteWindow_));
      std::int32_t value;
      if (Status st = PutArgument(args, value); !st.ok()) return st;
      siteWindow_ = value;
      return Status::Ok();
    }

    const bool isAddCode = SameMember(member, u"AddCode");
    const bool isStatement = SameMember(member, u"ExecuteStatement");
    const bool isEval = SameMember(member, u"Eval");
    const bool isRun = SameMember(member, u"Run");
    const bool isReset = SameMember(member, u"Reset");
    if (!isAddCode && !isStatement && !isEval && !isRun && !isReset) {
      return Status::Fail(Code::kUnknownName, "unknown member");
    }
    if (!method) return WrongKind();
    if (isReset) {
      if (!args.empty()) return BadCount();
      DropHeap();
      return Status::Ok();
    }
    if (isRun) {
      if (args.empty()) return BadCount();
    } else if (args.size() != 1) {
      return BadCount();
    }
    std::u16string code;
    if (Status st = ArgText(args[0], code); !st.ok()) return st;
    if (Status st = Ready(); !st.ok()) return st;

    std::string shape, wrapper;
    std::vector<double> literals;
    const bool cached = isEval && ExpressionShape(code, shape, literals);
    // A cached expression needs no source unless its function went missing.
    const bool known = cached && heap_->cachedShapes.count(shape) != 0;
    std::string source;
    if (!known) {
      source = ToCesu8(code);
      code.clear();
      code.shrink_to_fit();
    }
    std::vector<Argument> runArgs;
    Job job;
    job.code = known ? nullptr : source.data();
    job.codeSize = source.size();
    if (isRun) {
      job.kind = Job::kRun;
      runArgs.reserve(args.size() - 1);
      for (size_t i = 1; i < args.size(); ++i) runArgs.push_back(Prepare(args[i]));
      job.args = &runArgs;
    } else {
      job.kind = isEval ? Job::kEval : Job::kProgram;
    }
    if (cached) {
      job.shape = &shape;
      job.literals = &literals;
      if (!known) {
        if (heap_->cachedShapes.size() >= Heap::kCacheLimit) {
          job.resetCache = true;
          heap_->cachedShapes.clear();
        }
        wrapper = ShapeFunction(shape, literals.size());
        job.wrapper = &wrapper;
      }
    }
    std::string message;
    ComValue value;
    bool ok = heap_->Run(job, timeout_, value, message);
    if (job.compiled) heap_->cachedShapes.insert(shape);
    if (job.cacheMissed && !heap_->Fatal()) {
      // Not in the cache after all: evaluated as given.
      heap_->cachedShapes.erase(shape);
      source = ToCesu8(code);
      job = Job();
      job.kind = Job::kEval;
      job.code = source.data();
      job.codeSize = source.size();
      ok = heap_->Run(job, timeout_, value, message);
    }
    if (heap_->Fatal()) AbandonHeap();
    if (!ok) {
      if (isRun && job.notAFunction) return Status::Fail(Code::kUnknownName, message);
      return Status::Fail(Code::kException, message);
    }
    if (isEval || isRun) result = std::move(value);
    return Status::Ok();
  }

  Status PutLanguage(std::vector<ComValue>& args) {
    if (args.size() != 1) return BadCount();
    std::u16string name;
    if (Status st = ArgText(args[0], name); !st.ok()) return st;
    Language language = Language::kNone;
    for (const char16_t* js : {u"JScript", u"JavaScript", u"ECMAScript"}) {
      if (SameMember(name, js)) language = Language::kJScript;
    }
    for (const char16_t* vb : {u"VBScript", u"VBS"}) {
      if (SameMember(name, vb)) language = Language::kVBScript;
    }
    if (language == Language::kNone) {
      return Status::Fail(Code::kException, "no script engine for the language \"" + Utf16ToUtf8(name) + "\"");
    }
    // A new language starts over, as the Windows control does.
    DropHeap();
    language_ = language;
    languageName_ = std::move(name);
    return Status::Ok();
  }

  // The engine of the language set, started on first use.
  Status Ready() {
    if (language_ == Language::kNone) {
      return Status::Fail(Code::kException, "the script engine has not been initialised: no language is set");
    }
    if (language_ == Language::kVBScript) {
      return Status::Fail(Code::kException, "VBScript is not available: only JScript runs on this build");
    }
    if (!heap_) {
      auto heap = std::make_unique<Heap>();
      if (!heap->Start()) return Status::Fail(Code::kException, "out of memory: the script engine did not start");
      heap_ = std::move(heap);
    }
    return Status::Ok();
  }

  void DropHeap() {
    if (!heap_) return;
    if (heap_->Fatal()) {
      AbandonHeap();
      return;
    }
    heap_->Stop();
    heap_.reset();
  }

  // After an engine fatal error its state cannot be trusted, not even to free
  // it: the heap's blocks are left behind and the next call starts afresh.
  void AbandonHeap() { (void)heap_.release(); }

  static Argument Prepare(const ComValue& v) {
    Argument a;
    a.type = v.type;
    switch (v.type) {
      case ComValue::Type::kI4: a.number = v.i4; break;
      case ComValue::Type::kR8: a.number = v.r8; break;
      case ComValue::Type::kBool: a.boolean = v.boolean; break;
      case ComValue::Type::kText: a.bytes = ToCesu8(v.text); break;
      case ComValue::Type::kBytes: a.bytes = v.bytes; break;
      case ComValue::Type::kObject: {
        // An object passes as its default value when it has one.
        ComValue text;
        if (ChangeType(v, ComValue::Type::kText, text)) {
          a.type = ComValue::Type::kText;
          a.bytes = ToCesu8(text.text);
        } else {
          a.type = ComValue::Type::kNull;
        }
        break;
      }
      default: break;
    }
    return a;
  }

  static Status Getter(const std::vector<ComValue>& args, ComValue& result, ComValue value) {
    if (!args.empty()) return BadCount();
    result = std::move(value);
    return Status::Ok();
  }

  static Status PutArgument(const std::vector<ComValue>& args, std::int32_t& value) {
    if (args.size() != 1) return BadCount();
    return ArgInt(args[0], value);
  }

  static Status WrongKind() { return Status::Fail(Code::kMemberNotFound, "member not found"); }
  static Status BadCount() { return Status::Fail(Code::kBadParamCount, "wrong number of arguments"); }

  Language language_ = Language::kNone;
  std::u16string languageName_;
  std::int32_t timeout_ = kDefaultTimeout;
  std::int32_t state_ = 0;
  bool allowUi_ = true;
  std::int32_t siteWindow_ = 0;
  std::unique_ptr<Heap> heap_;
};

}  // namespace

std::shared_ptr<Component> NewScriptControlComponent() { return std::make_shared<ScriptControl>(); }

}  // namespace corvenhal::platform

// The engine's execution-timeout hook, called every few hundred thousand
// instructions with the heap's user data. It keeps answering "timed out" until
// the call has unwound out of the engine, so a script cannot catch it away.
extern "C" int corvenhal_duktape_timed_out(void* udata) {
  return udata != nullptr && static_cast<const corvenhal::platform::Heap*>(udata)->TimedOut() ? 1 : 0;
}
