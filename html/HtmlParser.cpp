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
  auto it = Names.find(lowerName);
  if (it != Names.end())
    return &*it;
  TNameInfo info;
  info.OptionalEnd = IsOptionalEndTag(lowerName);
  info.Block = IsBlockTag(lowerName);
  info.IsP = lowerName == "p";
  info.EmptyTag = IsEmptyTag(lowerName);
  return &*Names.emplace(std::string(lowerName), info).first;
}

TStack::TName TStack::Find(std::string_view lowerName) const {
  auto it = Names.find(lowerName);
  return it == Names.end() ? nullptr : const_cast<TName>(&*it);
}

void TStack::Push(TName name, TTagNode* node) {
  Entries.push_back({name, node});
  ++name->second.OpenCount;
}

TStack::TName TStack::Pop() {
  if (Entries.empty())
    return nullptr;
  TName name = Entries.back().Name;
  Entries.pop_back();
  --name->second.OpenCount;
  return name;
}

bool TStack::Contains(std::string_view name) const {
  std::string lower;
  ToLowerAsciiInto(name, lower);
  return Contains(Find(lower));
}

void TStack::Clear() {
  Entries.clear();
  Entries.shrink_to_fit();
  Names.clear();
}

// --- the scanner of one parse -----------------------------------------------------

class THTMLParser::TScanner {
 public:
  TScanner(THTMLParser& parser, std::string_view text)
      : Parser(parser), S(text.data()), N(text.size()) {}

  void Run();

 private:
  THTMLParser& Parser;
  const char* S;
  size_t N;
  TStack Stack;
  TParserState State = psText;
  size_t TokenStart = 0;
  TStack::TName LastPopped = nullptr;
  bool IllegalComment = false;
  std::string Lower;
  std::vector<std::string> ScratchAttributes;
  std::string ScratchName;
  // Row and column are only needed for warnings, so they are brought forward lazily
  // from the last reported position (warnings come in text order: linear overall).
  size_t RowColPos = 0;
  int64_t Row = 1;
  int64_t Col = 1;

  char Prev(size_t i) const { return i > 0 ? S[i - 1] : '\0'; }
  bool HasPrev(size_t i, char c) const { return i > 0 && S[i - 1] == c; }
  bool NextIs(size_t i, char c) const { return i + 1 < N && S[i + 1] == c; }
  std::string_view Token(size_t end) const { return {S + TokenStart, end - TokenStart}; }

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
  for (; RowColPos < pos; ++RowColPos) {
    if (S[RowColPos] == '\n' || Col > 256) {
      ++Row;
      Col = 1;
    } else {
      ++Col;
    }
  }
  return Format("[Row:%" PRId64 ",Col:%" PRId64 "]", Row, Col);
}

void THTMLParser::TScanner::Warn(const char* message, size_t pos) {
  if (!Parser.OnSyntaxWarning)
    return;
  Parser.OnSyntaxWarning(&Parser, std::string(message) + " " + Position(pos));
}

void THTMLParser::TScanner::WarnUnmatched(const std::string& name, size_t pos) {
  if (!Parser.OnSyntaxWarning)
    return;
  Parser.OnSyntaxWarning(
      &Parser, "End tag found without matching start tag: </" + name + "> " + Position(pos));
}

void THTMLParser::TScanner::Attach(TTagNode* node) {
  THierarchyNode* parent = Stack.TopNode();
  if (!parent)
    parent = Parser.FRoot.get();
  parent->Children.push_back(node);
  node->Parent = parent;
}

void THTMLParser::TScanner::BeginTag(size_t pos) {
  if (pos > TokenStart) {
    auto node = std::make_unique<TTagNode>();
    node->NodeType = 2;
    node->Name.assign("PCDATA", 6);
    node->Text.assign(S + TokenStart, pos - TokenStart);
    Attach(node.release());
  }
  TokenStart = pos + 1;
  State = psTag;
}

void THTMLParser::TScanner::FinishStartTag(size_t pos) {
  const bool slash = HasPrev(pos, '/');
  // A "/" right before ">" is not part of the token.
  const size_t end = slash ? pos - 1 : pos;
  auto owned = std::make_unique<TTagNode>();
  TTagNode* node = owned.get();
  node->NodeType = 1;
  ScratchAttributes.clear();
  SplitTag(Token(end), ScratchAttributes, ScratchName);
  node->Name = ScratchName;
  if (!ScratchAttributes.empty())
    node->Attributes = ScratchAttributes;
  ToLowerAsciiInto(ScratchName, Lower);
  TStack::TName name = Stack.Intern(Lower);
  if (TStack::TName top = Stack.TopName()) {
    // Implied end tag: only the top entry is looked at, at most one element closes.
    if ((name == top && top->second.OptionalEnd) || (top->second.IsP && name->second.Block))
      LastPopped = Stack.Pop();
  }
  Attach(owned.release());
  if (Parser.OnStartTag)
    Parser.OnStartTag(&Parser, node);
  if (name->second.EmptyTag || slash) {
    node->Empty = true;
    if (Parser.OnHTMLTag)
      Parser.OnHTMLTag(&Parser, node);
  } else {
    Stack.Push(name, node);
  }
}

void THTMLParser::TScanner::FinishEndTag(size_t pos) {
  ToLowerAsciiInto(Token(pos), Lower);
  TStack::TName name = Stack.Find(Lower);
  if (!Stack.Contains(name)) {
    WarnUnmatched(Lower, pos);
  } else {
    for (;;) {
      if (Stack.TopName() == name) {
        if (Parser.OnHTMLTag)
          Parser.OnHTMLTag(&Parser, Stack.TopNode());
        LastPopped = Stack.Pop();
        break;
      }
      if (name->second.OptionalEnd && name == LastPopped) {
        WarnUnmatched(Lower, pos);
        break;
      }
      if (Parser.OnHTMLTag)
        Parser.OnHTMLTag(&Parser, Stack.TopNode());
      LastPopped = Stack.Pop();
    }
  }
  if (Parser.OnEndTag)
    Parser.OnEndTag(&Parser, Lower);
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
    ScratchName.assign(1, '!');
    ScratchName.append(first.data(), first.size());
    node->Name = ScratchName;
    if (space != std::string_view::npos) {
      node->Text.assign(t.data() + space + 1, t.size() - space - 1);
    }
  }
  Attach(node.release());
}

void THTMLParser::TScanner::Run() {
  const bool warnings = static_cast<bool>(Parser.OnSyntaxWarning);
  size_t i = 0;
  while (i < N) {
    const char c = S[i];
    switch (State) {
      case psText: {
        // Only "<" changes anything; ">" merely warns.
        const void* found = std::memchr(S + i, '<', N - i);
        const size_t lt = found ? static_cast<size_t>(static_cast<const char*>(found) - S) : N;
        if (warnings) {
          for (size_t j = i; j < lt; ++j) {
            const void* gt = std::memchr(S + j, '>', lt - j);
            if (!gt)
              break;
            j = static_cast<size_t>(static_cast<const char*>(gt) - S);
            Warn("Unexpected \">\" encountered", j);
          }
        }
        if (lt == N)
          return;  // a trailing text run is dropped
        BeginTag(lt);
        i = lt + 1;
        continue;
      }
      case psTag:
        if (Prev(i) == '<') {
          if (c == '!') {
            TokenStart = i + 1;
            if (NextIs(i, '-') && i + 2 < N && S[i + 2] == '-') {
              State = psComment;
            } else if (NextIs(i, ' ')) {
              IllegalComment = true;
              Warn("Illegal comment style detected: \"<!\"", i);
              State = psComment;
            } else {
              State = psDeclaration;
            }
            break;
          }
          if (c == '?') {
            TokenStart = i + 1;
            State = psDeclaration;
            break;
          }
          if (c == '/') {
            TokenStart = i + 1;
            State = psEndTag;
            break;
          }
        }
        if (c == '<') {
          Warn("Unexpected \"<\" encountered", i);
        } else if (c == '>') {
          FinishStartTag(i);
          TokenStart = i + 1;
          State = psText;
        } else {
          // Skip to the next character that matters here.
          size_t j = i + 1;
          while (j < N && S[j] != '<' && S[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psEndTag:
        if (c == '>') {
          FinishEndTag(i);
          TokenStart = i + 1;
          State = psText;
        } else if (c == '<') {
          BeginTag(i);
        } else {
          size_t j = i + 1;
          while (j < N && S[j] != '<' && S[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psComment: {
        const void* found = std::memchr(S + i, '>', N - i);
        if (!found)
          return;  // an unterminated comment swallows the rest
        const size_t gt = static_cast<size_t>(static_cast<const char*>(found) - S);
        size_t end = gt;
        while (end > TokenStart && IsBlankChar(S[end - 1]))
          --end;
        const bool dashes = end - TokenStart >= 2 && S[end - 1] == '-' && S[end - 2] == '-';
        if (dashes || IllegalComment) {
          FinishComment(gt);
          // Cleared after every comment: a mark left over from "<! ...-->" would let
          // the first ">" end a later, well-formed comment early.
          IllegalComment = false;
          TokenStart = gt + 1;
          State = psText;
        }
        i = gt + 1;
        continue;
      }
      case psDeclaration:
        switch (c) {
          case '>':
            FinishDeclaration(i);
            TokenStart = i + 1;
            State = psText;
            break;
          case '-': {
            const char p = Prev(i);
            if ((p == '\t' || p == '\n' || p == '\r' || p == ' ') && NextIs(i, '-'))
              State = psDeclComment;
            break;
          }
          case '[':
            State = psSection;
            break;
          case '<':
            BeginTag(i);
            break;
          default: {
            size_t j = i + 1;
            while (j < N && S[j] != '>' && S[j] != '-' && S[j] != '[' && S[j] != '<')
              ++j;
            i = j;
            continue;
          }
        }
        break;
      case psDeclComment:
        if (c == '-') {
          if (NextIs(i, '-'))
            State = psDeclaration;
        } else if (c == '>') {
          Warn("Unexpected \">\" encountered", i);
        } else {
          size_t j = i + 1;
          while (j < N && S[j] != '-' && S[j] != '>')
            ++j;
          i = j;
          continue;
        }
        break;
      case psSection: {
        size_t j = i;
        for (;;) {
          const void* found = std::memchr(S + j, ']', N - j);
          if (!found)
            return;
          j = static_cast<size_t>(static_cast<const char*>(found) - S);
          if (NextIs(j, '>'))
            break;
          ++j;
        }
        State = psDeclaration;
        i = j + 1;
        continue;
      }
    }
    ++i;
  }
}

// --- THTMLParser ------------------------------------------------------------------

THTMLParser::THTMLParser() : FRoot(std::make_unique<TTagNode>()) {}

THTMLParser::~THTMLParser() = default;

void THTMLParser::Clear() {
  if (FBusy)
    return;
  FRoot->Clear();
}

void THTMLParser::Parse(std::string_view text) {
  if (FBusy)
    return;
  struct TBusyScope {
    bool& Busy;
    explicit TBusyScope(bool& busy) : Busy(busy) { Busy = true; }
    ~TBusyScope() { Busy = false; }
  } busy(FBusy);
  FRoot->Clear();
  TScanner scanner(*this, text);
  scanner.Run();
}

}  // namespace quellion
