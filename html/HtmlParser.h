#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/HierarchyNode.h"

namespace quellion {

class THTMLParser;

using THTMLTagNotifyEvent = std::function<void(THTMLParser* Sender, TTagNode* ANode)>;
using THTMLTagCloseEvent = std::function<void(THTMLParser* Sender, const std::string& Text)>;
using TSyntaxNotifyEvent = std::function<void(THTMLParser* Sender, const std::string& Text)>;

// Membership of a lower-cased tag name in the parser's fixed tag lists.
bool IsOptionalEndTag(std::string_view lowerName);
bool IsBlockTag(std::string_view lowerName);
bool IsEmptyTag(std::string_view lowerName);

// The open-element stack of one parse: entries pair a lower-cased tag name with its
// element node (borrowed, not owned); the last entry is the top. Every distinct name
// is kept once with a count of its open entries, so Contains is O(1) however deep
// the stack grows, and the tag-list flags of a name are looked up once.
class TStack {
 public:
  struct TNameInfo {
    size_t OpenCount = 0;
    bool OptionalEnd = false;
    bool Block = false;
    bool IsP = false;
    bool EmptyTag = false;
  };
  struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using TNameMap = std::unordered_map<std::string, TNameInfo, TNameHash, std::equal_to<>>;
  using TName = TNameMap::value_type*;  // stable for the stack's life

  // The interned entry of a lower-cased name (created on first use).
  TName Intern(std::string_view lowerName);
  // The interned entry, or nullptr when the name was never seen.
  TName Find(std::string_view lowerName) const;

  void Push(TName name, TTagNode* node);
  // Removes the top entry and returns its name; nullptr when the stack is empty.
  TName Pop();
  TName TopName() const { return entries_.empty() ? nullptr : entries_.back().Name; }
  TTagNode* TopNode() const { return entries_.empty() ? nullptr : entries_.back().Node; }
  // True when an entry's name equals the name lower-cased.
  bool Contains(std::string_view name) const;
  bool Contains(TName name) const { return name && name->second.OpenCount > 0; }
  bool IsEmpty() const { return entries_.empty(); }
  size_t Count() const { return entries_.size(); }
  void Clear();

 private:
  struct TEntry {
    TName Name;
    TTagNode* Node;
  };
  std::vector<TEntry> entries_;
  TNameMap names_;
};

// A tolerant HTML parser: turns one whole page into a tree of TTagNode below Root. It
// never rejects a page; anything unexpected is reported through OnSyntaxWarning and
// scanning goes on. Text stays exactly as written (no entity decoding). Nodes copy
// their strings out of the text, which need not outlive Parse.
class THTMLParser {
 public:
  THTMLParser();
  ~THTMLParser();

  THTMLParser(const THTMLParser&) = delete;
  THTMLParser& operator=(const THTMLParser&) = delete;

  // Frees every node below Root. Ignored while Parse runs (from an event handler),
  // since the open-element stack borrows those nodes.
  void Clear();
  // Clears the tree and builds the one for text. A call from one of this parser's
  // own event handlers returns at once and does nothing.
  void Parse(std::string_view text);
  // NodeType 0, empty Name; lives as long as the parser.
  TTagNode* Root() const { return root_.get(); }
  bool Busy() const { return busy_; }

  // For every start tag, after its node is attached and before it is pushed.
  THTMLTagNotifyEvent OnStartTag;
  // When an element is complete: an empty element right after OnStartTag, any other
  // when an end tag removes it from the stack.
  THTMLTagNotifyEvent OnHTMLTag;
  // At the character where a problem is seen, with the message.
  TSyntaxNotifyEvent OnSyntaxWarning;
  // For every end tag, after its effect on the stack, with the lower-cased name.
  THTMLTagCloseEvent OnEndTag;

 private:
  class TScanner;

  std::unique_ptr<TTagNode> root_;
  bool busy_ = false;
};

}  // namespace quellion
