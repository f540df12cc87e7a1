#include "html/HtmlParser.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <iterator>

#include "html/TagSplitter.h"
#include "platform/Exception.h"
#include "platform/TextUtil.h"

namespace quellion {
namespace {

constexpr std::string_view kOptionalEndTags[] = {"p",     "dt",    "dd",       "li",  "option",
                                                 "thead", "tfoot", "colgroup", "tr",  "th",
                                                 "td",    "body",  "html",     "head"};
constexpr std::string_view kBlockTags[] = {
    "p",        "h1",         "h2",   "h3",      "h4", "h5",    "h6",       "ul",
    "ol",       "dir",        "menu", "pre",     "dl", "div",   "center",   "noscript",
    "noframes", "blockquote", "form", "isindex", "hr", "table", "fieldset", "address"};
constexpr std::string_view kEmptyTags[] = {"basefont", "br",   "area",  "link", "img",
                                           "param",    "hr",   "input", "col",  "frame",
                                           "isindex",  "base", "meta"};

template <size_t N>
bool InList(const std::string_view (&list)[N], std::string_view name) {
  return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

enum TParserState { psText, psTag, psEndTag, psComment, psDeclaration, psDeclComment, psSection };

}  // namespace

bool IsOptionalEndTag(std::string_view lowerName) {
  return InList(kOptionalEndTags, lowerName);
}
bool IsBlockTag(std::string_view lowerName) {
  return InList(kBlockTags, lowerName);
}
bool IsEmptyTag(std::string_view lowerName) {
  return InList(kEmptyTags, lowerName);
}

// --- TStack ---------------------------------------------------------------------

TStack::TName TStack::Intern(std::string_view lowerName) {
  auto it = names_.find(lowerName);
  if (it != names_.end())
    return &*it;
  TNameInfo info;
  info.OptionalEnd = IsOptionalEndTag(lowerName);
  info.Block = IsBlockTag(lowerName);
  info.IsP = lowerName == "p";
  info.EmptyTag = IsEmptyTag(lowerName);
  return &*names_.emplace(std::string(lowerName), info).first;
}

TStack::TName TStack::Find(std::string_view lowerName) const {
  auto it = names_.find(lowerName);
  return it == names_.end() ? nullptr : const_cast<TName>(&*it);
}

void TStack::Push(TName name, TTagNode* node) {
  entries_.push_back({name, node});
  ++name->second.OpenCount;
}

TStack::TName TStack::Pop() {
  if (entries_.empty())
    return nullptr;
  TName name = entries_.back().Name;
  entries_.pop_back();
  --name->second.OpenCount;
  return name;
}

bool TStack::Contains(std::string_view name) const {
  std::string lower;
  ToLowerAsciiInto(name, lower);
  return Contains(Find(lower));
}

void TStack::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  names_.clear();
}

// --- the scanner of one parse -----------------------------------------------------

class THTMLParser::TScanner {
 public:
  TScanner(THTMLParser& parser, std::string_view text)
      : parser_(parser), s_(text.data()), n_(text.size()) {}

  void Run();

 private:
  THTMLParser& parser_;
  const char* s_;
  size_t n_;
  TStack stack_;
  TParserState state_ = psText;
  size_t tokenStart_ = 0;
  TStack::TName lastPopped_ = nullptr;
  bool illegalComment_ = false;
  std::string lower_;
  std::vector<std::string> scratchAttributes_;
  std::string scratchName_;
  // Row and column are only needed for warnings, so they are brought forward lazily
  // from the last reported position (warnings come in text order: linear overall).
  size_t rowColPos_ = 0;
  int64_t row_ = 1;
  int64_t col_ = 1;

  char Prev(size_t i) const { return i > 0 ? s_[i - 1] : '\0'; }
  bool HasPrev(size_t i, char c) const { return i > 0 && s_[i - 1] == c; }
  bool NextIs(size_t i, char c) const { return i + 1 < n_ && s_[i + 1] == c; }
  std::string_view Token(size_t end) const { return {s_ + tokenStart_, end - tokenStart_}; }

  void Warn(const char* message, size_t pos);
  void WarnUnmatched(const std::string& name, size_t pos);
  std::string Position(size_t pos);

  void Attach(TTagNode* node);
  void BeginTag(size_t pos);  // a "<" seen in text (or where it acts as in text)
  void FinishStartTag(size_t pos);
  void FinishEndTag(size_t pos);
  void FinishComment(size_t pos);
  void FinishDeclaration(size_t pos);
};

std::string THTMLParser::TScanner::Position(size_t pos) {
  for (; rowColPos_ < pos; ++rowColPos_) {
    if (s_[rowColPos_] == '\n' || col_ > 256) {
      ++row_;
      col_ = 1;
    } else {
      ++col_;
    }
  }
  return Format("[Row:%" PRId64 ",Col:%" PRId64 "]", row_, col_);
}

void THTMLParser::TScanner::Warn(const char* message, size_t pos) {
  if (!parser_.OnSyntaxWarning)
    return;
  parser_.OnSyntaxWarning(&parser_, std::string(message) + " " + Position(pos));
}

void THTMLParser::TScanner::WarnUnmatched(const std::string& name, size_t pos) {
  if (!parser_.OnSyntaxWarning)
    return;
  parser_.OnSyntaxWarning(
      &parser_, "End tag found without matching start tag: </" + name + "> " + Position(pos));
}

void THTMLParser::TScanner::Attach(TTagNode* node) {
  THierarchyNode* parent = stack_.TopNode();
  if (!parent)
    parent = parser_.root_.get();
  parent->Children.push_back(node);
  node->Parent = parent;
}

void THTMLParser::TScanner::BeginTag(size_t pos) {
  if (pos > tokenStart_) {
    auto node = std::make_unique<TTagNode>();
    node->NodeType = 2;
    node->Name.assign("PCDATA", 6);
    node->Text.assign(s_ + tokenStart_, pos - tokenStart_);
    Attach(node.release());
  }
  tokenStart_ = pos + 1;
  state_ = psTag;
}

void THTMLParser::TScanner::FinishStartTag(size_t pos) {
  const bool slash = HasPrev(pos, '/');
  // A "/" right before ">" is not part of the token.
  const size_t end = slash ? pos - 1 : pos;
  auto owned = std::make_unique<TTagNode>();
  TTagNode* node = owned.get();
  node->NodeType = 1;
  scratchAttributes_.clear();
  SplitTag(Token(end), scratchAttributes_, scratchName_);
  node->Name = scratchName_;
  if (!scratchAttributes_.empty())
    node->Attributes = scratchAttributes_;
  ToLowerAsciiInto(scratchName_, lower_);
  TStack::TName name = stack_.Intern(lower_);
  if (TStack::TName top = stack_.TopName()) {
    // Implied end tag: only the top entry is looked at, at most one element closes.
    if ((name == top && top->second.OptionalEnd) || (top->second.IsP && name->second.Block))
      lastPopped_ = stack_.Pop();
  }
  Attach(owned.release());
  if (parser_.OnStartTag)
    parser_.OnStartTag(&parser_, node);
  if (name->second.EmptyTag || slash) {
    node->Empty = true;
    if (parser_.OnHTMLTag)
      parser_.OnHTMLTag(&parser_, node);
  } else {
    stack_.Push(name, node);
  }
}

void THTMLParser::TScanner::FinishEndTag(size_t pos) {
  ToLowerAsciiInto(Token(pos), lower_);
  TStack::TName name = stack_.Find(lower_);
  if (!stack_.Contains(name)) {
    WarnUnmatched(lower_, pos);
  } else {
    for (;;) {
      if (stack_.TopName() == name) {
        if (parser_.OnHTMLTag)
          parser_.OnHTMLTag(&parser_, stack_.TopNode());
        lastPopped_ = stack_.Pop();
        break;
      }
      if (name->second.OptionalEnd && name == lastPopped_) {
        WarnUnmatched(lower_, pos);
        break;
      }
      if (parser_.OnHTMLTag)
        parser_.OnHTMLTag(&parser_, stack_.TopNode());
      lastPopped_ = stack_.Pop();
    }
  }
  if (parser_.OnEndTag)
    parser_.OnEndTag(&parser_, lower_);
}

void THTMLParser::TScanner::FinishComment(size_t pos) {
  std::string_view t = TrimBlanks(Token(pos));
  auto node = std::make_unique<TTagNode>();
  node->NodeType = 3;
  if (t.substr(0, 2) == "--") {
    node->Name.assign("!", 1);
    t.remove_prefix(2);
    if (t.size() >= 2 && t.substr(t.size() - 2) == "--")
      t.remove_suffix(2);
    t = TrimBlanks(t);
    node->Text.assign(t.data(), t.size());
  }
  Attach(node.release());
}

void THTMLParser::TScanner::FinishDeclaration(size_t pos) {
  std::string_view t = TrimBlanks(Token(pos));
  auto node = std::make_unique<TTagNode>();
  if (t.substr(0, 6) == "[CDATA") {
    node->NodeType = 5;
    node->Name.assign("CDATA", 5);
    t.remove_prefix(6);
    t.remove_suffix(std::min<size_t>(2, t.size()));
    t = TrimBlanks(t);
    if (!t.empty())
      node->Text.assign(t.data() + 1, t.size() - 1);
  } else if (!t.empty()) {
    node->NodeType = 4;
    const size_t space = t.find(' ');
    const std::string_view first = t.substr(0, space);
    scratchName_.assign(1, '!');
    scratchName_.append(first.data(), first.size());
    node->Name = scratchName_;
    if (space != std::string_view::npos) {
      node->Text.assign(t.data() + space + 1, t.size() - space - 1);
    }
  }
  Attach(node.release());
}

void THTMLParser::TScanner::Run() {
  const bool warnings = static_cast<bool>(parser_.OnSyntaxWarning);
  size_t i = 0;
  while (i < n_) {
    const char c = s_[i];
    switch (state_) {
      case psText: {
        // Only "<" changes anything; ">" merely warns.
        const void* found = std::memchr(s_ + i, '<', n_ - i);
        const size_t lt = found ? static_cast<size_t>(static_cast<const char*>(found) - s_) : n_;
        if (warnings) {
          for (size_t j = i; j < lt; ++j) {
            const void* gt = std::memchr(s_ + j, '>', lt - j);
            if (!gt)
              break;
            j = static_cast<size_t>(static_cast<const char*>(gt) - s_);
            Warn("Unexpected \">\" encountered", j);
          }
        }
        if (lt == n_)
          return;  // a trailing text run is dropped
        BeginTag(lt);
        i = lt + 1;
        continue;
      }
      case psTag:
        if (Prev(i) == '<') {
          if (c == '!') {
            tokenStart_ = i + 1;
            if (NextIs(i, '-') && i + 2 < n_ && s_[i + 2] == '-') {
              state_ = psComment;
            } else if (NextIs(i, ' ')) {
              illegalComment_ = true;
              Warn("Illegal comment style detected: \"<!\"", i);
              state_ = psComment;
            } else {
              state_ = psDeclaration;
            }
            break;
          }
          if (c == '?') {
            tokenStart_ = i + 1;
            state_ = psDeclaration;
            break;
          }
          if (c == '/') {
            tokenStart_ = i + 1;
            state_ = psEndTag;
            break;
          }
        }
        if (c == '<') {
          Warn("Unexpected \"<\" encountered", i);
        } else if (c == '>') {
          FinishStartTag(i);
          tokenStart_ = i + 1;
          state_ = psText;
        } else {
          // Skip to the next character that matters here.
          size_t j = i + 1;
          while (j < n_ && s_[j] != '<' && s_[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psEndTag:
        if (c == '>') {
          FinishEndTag(i);
          tokenStart_ = i + 1;
          state_ = psText;
        } else if (c == '<') {
          BeginTag(i);
        } else {
          size_t j = i + 1;
          while (j < n_ && s_[j] != '<' && s_[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psComment: {
        const void* found = std::memchr(s_ + i, '>', n_ - i);
        if (!found)
          return;  // an unterminated comment swallows the rest
        const size_t gt = static_cast<size_t>(static_cast<const char*>(found) - s_);
        size_t end = gt;
        while (end > tokenStart_ && IsBlankChar(s_[end - 1]))
          --end;
        const bool dashes = end - tokenStart_ >= 2 && s_[end - 1] == '-' && s_[end - 2] == '-';
        if (dashes || illegalComment_) {
          FinishComment(gt);
          // Cleared after every comment: a mark left over from "<! ...-->" would let
          // the first ">" end a later, well-formed comment early.
          illegalComment_ = false;
          tokenStart_ = gt + 1;
          state_ = psText;
        }
        i = gt + 1;
        continue;
      }
      case psDeclaration:
        switch (c) {
          case '>':
            FinishDeclaration(i);
            tokenStart_ = i + 1;
            state_ = psText;
            break;
          case '-': {
            const char p = Prev(i);
            if ((p == '\t' || p == '\n' || p == '\r' || p == ' ') && NextIs(i, '-'))
              state_ = psDeclComment;
            break;
          }
          case '[':
            state_ = psSection;
            break;
          case '<':
            BeginTag(i);
            break;
          default: {
            size_t j = i + 1;
            while (j < n_ && s_[j] != '>' && s_[j] != '-' && s_[j] != '[' && s_[j] != '<')
              ++j;
            i = j;
            continue;
          }
        }
        break;
      case psDeclComment:
        if (c == '-') {
          if (NextIs(i, '-'))
            state_ = psDeclaration;
        } else if (c == '>') {
          Warn("Unexpected \">\" encountered", i);
        } else {
          size_t j = i + 1;
          while (j < n_ && s_[j] != '-' && s_[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psSection: {
        size_t j = i;
        for (;;) {
          const void* found = std::memchr(s_ + j, ']', n_ - j);
          if (!found)
            return;
          j = static_cast<size_t>(static_cast<const char*>(found) - s_);
          if (NextIs(j, '>'))
            break;
          ++j;
        }
        state_ = psDeclaration;
        i = j + 1;
        continue;
      }
    }
    ++i;
  }
}

// --- THTMLParser ------------------------------------------------------------------

THTMLParser::THTMLParser() : root_(std::make_unique<TTagNode>()) {}

THTMLParser::~THTMLParser() = default;

void THTMLParser::Clear() {
  if (busy_)
    return;
  root_->Clear();
}

void THTMLParser::Parse(std::string_view text) {
  if (busy_)
    return;
  struct TBusyScope {
    bool& Busy;
    explicit TBusyScope(bool& busy) : Busy(busy) { Busy = true; }
    ~TBusyScope() { Busy = false; }
  } busy(busy_);
  root_->Clear();
  TScanner scanner(*this, text);
  scanner.Run();
}

}  // namespace quellion
