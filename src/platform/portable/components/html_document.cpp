#include "platform/portable/components/html_document.h"

#include <gumbo.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/encodings.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;

// --- Visible text ---

// How an element takes part in the visible text (its default display).
enum class Role { kHidden, kInline, kBlock, kParagraph, kTable, kTableRow, kTableCell, kLineBreak };

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// An inline style with display:none among its declarations.
bool StyleHides(const GumboElement& e) {
  const GumboAttribute* style = gumbo_get_attribute(&e.attributes, "style");
  if (!style) return false;
  std::string compact;
  for (const char* p = style->value; *p; ++p) {
    if (!IsSpace(*p)) compact.push_back(Lower(*p));
  }
  size_t start = 0;
  while (start <= compact.size()) {
    size_t end = compact.find(';', start);
    if (end == std::string::npos) end = compact.size();
    std::string_view declaration(compact.data() + start, end - start);
    if (declaration == "display:none" || declaration == "display:none!important") return true;
    start = end + 1;
  }
  return false;
}

Role RoleOf(const GumboElement& e) {
  switch (e.tag) {
    case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_BASE: case GUMBO_TAG_LINK: case GUMBO_TAG_META:
    case GUMBO_TAG_STYLE: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_IFRAME: case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASEFONT: case GUMBO_TAG_DATALIST: case GUMBO_TAG_PARAM: case GUMBO_TAG_RP:
    case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_FRAMESET: case GUMBO_TAG_FRAME: case GUMBO_TAG_INPUT:
    case GUMBO_TAG_COLGROUP: case GUMBO_TAG_COL:
      return Role::kHidden;
    default:
      break;
  }
  if (gumbo_get_attribute(&e.attributes, "hidden") || StyleHides(e)) return Role::kHidden;
  // Outside HTML (svg, math) everything else is inline.
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return Role::kInline;
  switch (e.tag) {
    case GUMBO_TAG_P:
      return Role::kParagraph;
    case GUMBO_TAG_BR:
      return Role::kLineBreak;
    case GUMBO_TAG_TABLE:
      return Role::kTable;
    case GUMBO_TAG_TR:
      return Role::kTableRow;
    case GUMBO_TAG_TD: case GUMBO_TAG_TH:
      return Role::kTableCell;
    case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_CENTER: case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV: case GUMBO_TAG_DL: case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4:
    case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP: case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND: case GUMBO_TAG_LI: case GUMBO_TAG_MAIN: case GUMBO_TAG_MENU: case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL: case GUMBO_TAG_UL: case GUMBO_TAG_SECTION: case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_CAPTION: case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING: case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT: case GUMBO_TAG_SELECT: case GUMBO_TAG_OPTGROUP: case GUMBO_TAG_OPTION:
      return Role::kBlock;
    default:
      return Role::kInline;
  }
}

bool Preserves(const GumboElement& e) {
  return e.tag_namespace == GUMBO_NAMESPACE_HTML &&
         (e.tag == GUMBO_TAG_PRE || e.tag == GUMBO_TAG_LISTING || e.tag == GUMBO_TAG_XMP ||
          e.tag == GUMBO_TAG_PLAINTEXT);
}

bool IsElement(const GumboNode* n) { return n->type == GUMBO_NODE_ELEMENT; }

// The last child of `parent` that is an element of `role` and shown; null when
// there is none.
const GumboNode* LastChildOfRole(const GumboNode* parent, Role role) {
  const GumboVector& children = parent->v.element.children;
  for (unsigned i = children.length; i-- > 0;) {
    auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (IsElement(child) && RoleOf(child->v.element) == role) return child;
  }
  return nullptr;
}

// The last shown row of a table: its own rows and those of its row groups.
const GumboNode* LastRowOf(const GumboNode* table) {
  const GumboVector& children = table->v.element.children;
  for (unsigned i = children.length; i-- > 0;) {
    auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (!IsElement(child)) continue;
    Role role = RoleOf(child->v.element);
    if (role == Role::kTableRow) return child;
    GumboTag tag = child->v.element.tag;
    if (role != Role::kHidden && (tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT)) {
      if (const GumboNode* row = LastChildOfRole(child, Role::kTableRow)) return row;
    }
  }
  return nullptr;
}

// The visible text of an element's content, after the HTML standard's
// innerText: strings and required line-break counts collected in tree order,
// then each run of counts becomes as many LFs as its largest count, none at
// the ends. White space collapses as CSS collapses it: a run becomes one
// space, none at the start or end of a line.
//
// One departure, so that the text keeps the lines that are seen: a br that
// ends a line of text right before a block boundary adds no line of its own,
// and a br alone on its line stands for that empty line.
class InnerText {
 public:
  std::string Of(const GumboNode* element) {
    Walk(element);
    return Assemble();
  }

 private:
  struct Item {
    enum class Kind { kText, kBreaks, kLineBreak } kind;
    std::string text;
    int breaks = 0;
    bool lineHadText = false;  // kLineBreak: the line it ends holds text
  };

  struct Frame {
    const GumboNode* node;
    Role role;
    bool preserve;
    unsigned next = 0;
  };

  void Walk(const GumboNode* root) {
    // An explicit stack: markup from the network may nest without limit.
    std::vector<Frame> stack;
    stack.push_back(Frame{root, Role::kBlock, false});
    while (!stack.empty()) {
      Frame& top = stack.back();
      const GumboVector& children = top.node->v.element.children;
      if (top.next >= children.length) {
        Leave(top);
        stack.pop_back();
        continue;
      }
      auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
      bool preserve = top.preserve;
      switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
          AddText(child->v.text.text, preserve);
          break;
        case GUMBO_NODE_ELEMENT: {
          Role role = RoleOf(child->v.element);
          if (role == Role::kHidden) break;
          Frame frame{child, role, preserve || Preserves(child->v.element)};
          Enter(frame);
          stack.push_back(frame);
          break;
        }
        default:  // comments, templates, the document
          break;
      }
    }
  }

  void Enter(const Frame& f) {
    switch (f.role) {
      case Role::kBlock: Breaks(1); break;
      case Role::kParagraph: Breaks(2); break;
      case Role::kTable:
        Breaks(1);
        lastRows_.push_back(LastRowOf(f.node));
        break;
      case Role::kTableRow:
        EndLine();
        lastCells_.push_back(LastChildOfRole(f.node, Role::kTableCell));
        break;
      case Role::kTableCell: EndLine(); break;
      case Role::kLineBreak:
        items_.push_back(Item{Item::Kind::kLineBreak, {}, 0, lineHasText_});
        EndLine();
        break;
      default: break;
    }
  }

  void Leave(const Frame& f) {
    switch (f.role) {
      case Role::kBlock: Breaks(1); break;
      case Role::kParagraph: Breaks(2); break;
      case Role::kTable:
        Breaks(1);
        if (!lastRows_.empty()) lastRows_.pop_back();
        break;
      case Role::kTableRow:
        EndLine();
        if (!lastCells_.empty()) lastCells_.pop_back();
        if (lastRows_.empty() || lastRows_.back() != f.node) Append("\n");
        break;
      case Role::kTableCell:
        EndLine();
        if (lastCells_.empty() || lastCells_.back() != f.node) Append("\t");
        break;
      default: break;
    }
  }

  void AddText(std::string_view s, bool preserve) {
    if (s.empty()) return;
    if (preserve) {
      if (pendingSpace_) Append(" ");
      pendingSpace_ = false;
      Append(s);
      lineHasText_ = s.back() != '\n';
      return;
    }
    std::string out;
    for (char c : s) {
      if (IsSpace(c)) {
        if (lineHasText_) pendingSpace_ = true;
        continue;
      }
      if (pendingSpace_) out.push_back(' ');
      pendingSpace_ = false;
      out.push_back(c);
      lineHasText_ = true;
    }
    Append(out);
  }

  void Append(std::string_view s) {
    if (s.empty()) return;
    if (items_.empty() || items_.back().kind != Item::Kind::kText) items_.push_back(Item{Item::Kind::kText, {}});
    items_.back().text.append(s);
  }

  // A line ends: white space pending at its end is dropped.
  void EndLine() {
    pendingSpace_ = false;
    lineHasText_ = false;
  }

  void Breaks(int count) {
    EndLine();
    items_.push_back(Item{Item::Kind::kBreaks, {}, count});
  }

  std::string Assemble() {
    // Resolve each br by what follows it.
    std::vector<Item> items;
    for (size_t i = 0; i < items_.size(); ++i) {
      Item& item = items_[i];
      if (item.kind != Item::Kind::kLineBreak) {
        items.push_back(std::move(item));
        continue;
      }
      bool beforeBoundary = i + 1 == items_.size() || items_[i + 1].kind == Item::Kind::kBreaks;
      if (!beforeBoundary) {
        items.push_back(Item{Item::Kind::kText, "\n"});
      } else if (!item.lineHadText) {
        items.push_back(Item{Item::Kind::kText, {}});  // an empty line: keeps the breaks around it apart
      }
    }
    size_t first = 0;
    size_t last = items.size();
    while (first < last && items[first].kind == Item::Kind::kBreaks) ++first;
    while (last > first && items[last - 1].kind == Item::Kind::kBreaks) --last;
    std::string out;
    int run = 0;
    for (size_t i = first; i < last; ++i) {
      if (items[i].kind == Item::Kind::kBreaks) {
        run = std::max(run, items[i].breaks);
        continue;
      }
      out.append(static_cast<size_t>(run), '\n');
      run = 0;
      out += items[i].text;
    }
    return out;
  }

  std::vector<Item> items_;
  std::vector<const GumboNode*> lastRows_;
  std::vector<const GumboNode*> lastCells_;
  bool lineHasText_ = false;
  bool pendingSpace_ = false;
};

// The text as the document hands it out: a no-break space as a plain space,
// CR LF line breaks, no white space at either end.
std::u16string Finish(std::string text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
      out.push_back(' ');
      ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  size_t begin = 0;
  size_t end = out.size();
  while (begin < end && (IsSpace(out[begin]) || out[begin] == '\v')) ++begin;
  while (end > begin && (IsSpace(out[end - 1]) || out[end - 1] == '\v')) --end;
  return Utf8ToUtf16(std::string_view(out).substr(begin, end - begin));
}

class Parsed {
 public:
  // A whole document, or a fragment parsed as the content of a body.
  Parsed(const std::string& markup, bool fragment) {
    GumboOptions options = kGumboDefaultOptions;
    if (fragment) {
      options.fragment_context = GUMBO_TAG_BODY;
      options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    }
    output_ = gumbo_parse_with_options(&options, markup.data(), markup.size());
  }
  ~Parsed() {
    if (output_) gumbo_destroy_output(&kGumboDefaultOptions, output_);
  }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  // The fragment's parent, or the document's root element.
  const GumboNode* Root() const { return output_ ? output_->root : nullptr; }

  // The document's body element; null when it has none (a frameset).
  const GumboNode* Body() const {
    const GumboNode* root = Root();
    if (!root || !IsElement(root)) return nullptr;
    const GumboVector& children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
      auto* child = static_cast<const GumboNode*>(children.data[i]);
      if (IsElement(child) && child->v.element.tag == GUMBO_TAG_BODY) return child;
    }
    return nullptr;
  }

 private:
  GumboOutput* output_ = nullptr;
};

// --- The document and its body ---

struct DocumentState {
  bool exists = false;   // written or opened at least once
  bool writing = false;  // between an open (or first write) and close
  std::string source;    // everything written since the open, UTF-8
  std::optional<std::string> bodyMarkup;  // the body's content once set through innerHTML
};

InvokeStatus Read(const std::vector<ComValue>& args, ComValue& result, ComValue value) {
  if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
  result = std::move(value);
  return InvokeStatus::Ok();
}

class BodyComponent final : public Component {
 public:
  explicit BodyComponent(std::shared_ptr<DocumentState> state) : state_(std::move(state)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    bool put = kind == InvokeKind::kPropertyPut;
    if (SameMember(member, u"innerHTML")) {
      if (put) {
        if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
        std::u16string markup;
        if (InvokeStatus st = ArgText(args[0], markup); !st.ok()) return st;
        state_->bodyMarkup = Utf16ToUtf8(markup);
        return InvokeStatus::Ok();
      }
      if (kind != InvokeKind::kPropertyGet) return InvokeStatus::Fail(Code::kMemberNotFound);
      std::optional<std::string> markup = InnerMarkup();
      if (!markup) return InvokeStatus::Fail(Code::kNotImplemented, "the body's markup is not known");
      return Read(args, result, ComValue::Str(Utf8ToUtf16(*markup)));
    }
    if (SameMember(member, u"innerText") || SameMember(member, u"outerText")) {
      if (kind != InvokeKind::kPropertyGet) return InvokeStatus::Fail(Code::kMemberNotFound);
      return Read(args, result, ComValue::Str(Finish(Text())));
    }
    if (SameMember(member, u"tagName")) {
      if (kind != InvokeKind::kPropertyGet) return InvokeStatus::Fail(Code::kMemberNotFound);
      return Read(args, result, ComValue::Str(u"BODY"));
    }
    return InvokeStatus::Fail(Code::kUnknownName);
  }

 private:
  std::string Text() const {
    if (state_->bodyMarkup) {
      Parsed parsed(*state_->bodyMarkup, true);
      return parsed.Root() ? InnerText().Of(parsed.Root()) : std::string();
    }
    Parsed parsed(state_->source, false);
    const GumboNode* body = parsed.Body();
    return body ? InnerText().Of(body) : std::string();
  }

  // The markup set through innerHTML, else the written text between explicit
  // body tags.
  std::optional<std::string> InnerMarkup() const {
    if (state_->bodyMarkup) return state_->bodyMarkup;
    Parsed parsed(state_->source, false);
    const GumboNode* body = parsed.Body();
    if (!body) return std::nullopt;
    const GumboElement& e = body->v.element;
    if (!e.original_tag.data || !e.original_end_tag.data) return std::nullopt;
    const char* begin = e.original_tag.data + e.original_tag.length;
    const char* end = e.original_end_tag.data;
    if (end < begin) return std::nullopt;
    return std::string(begin, end);
  }

  std::shared_ptr<DocumentState> state_;
};

class HtmlDocumentComponent final : public Component, public std::enable_shared_from_this<HtmlDocumentComponent> {
 public:
  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"write") || SameMember(member, u"writeln")) {
      if (kind != InvokeKind::kMethod) return InvokeStatus::Fail(Code::kMemberNotFound);
      std::string written;
      for (const ComValue& arg : args) {
        std::u16string piece;
        if (InvokeStatus st = ArgText(arg, piece); !st.ok()) return st;
        written += Utf16ToUtf8(piece);
      }
      if (SameMember(member, u"writeln")) written.push_back('\n');
      // Writing into a closed document starts a new one.
      if (!state_->writing) Open();
      state_->source += written;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"open")) {
      if (kind != InvokeKind::kMethod) return InvokeStatus::Fail(Code::kMemberNotFound);
      Open();
      result = ComValue::Obj(shared_from_this());
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"close")) {
      if (kind != InvokeKind::kMethod) return InvokeStatus::Fail(Code::kMemberNotFound);
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      state_->writing = false;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"body")) {
      if (kind != InvokeKind::kPropertyGet) return InvokeStatus::Fail(Code::kMemberNotFound);
      // A document never written has no body yet.
      return Read(args, result,
                  state_->exists ? ComValue::Obj(std::make_shared<BodyComponent>(state_)) : ComValue::Null());
    }
    return InvokeStatus::Fail(Code::kUnknownName);
  }

 private:
  void Open() {
    *state_ = DocumentState{};
    state_->exists = true;
    state_->writing = true;
  }

  std::shared_ptr<DocumentState> state_ = std::make_shared<DocumentState>();
};

}  // namespace

std::shared_ptr<Component> NewHtmlDocumentComponent() { return std::make_shared<HtmlDocumentComponent>(); }

}  // namespace corvenhal::platform
