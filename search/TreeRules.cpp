#include "search/TreeRules.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/TextUtil.h"

namespace quellion {

const char* const kExciteBodyName =
    "bodybgcolor=#fffffflink=#0000CCtext=#000000vlink=#770066alink=#0000CCtopmargin=5"
    "marginheight=5";

namespace {

// A lookup inside an entry that found nothing.
struct ELookupFailed {};

const TTagNode* Need(const TTagNode* node) {
  if (!node)
    throw ELookupFailed{};
  return node;
}

const TTagNode* Find(const TTagNode* node, std::string_view name) {
  return Need(Need(node)->FindTag(name));
}

std::string TextOf(const TTagNode* node) {
  return Need(node)->GetText();
}

const TTagNode* Child(const TTagNode* node, int index) {
  return Need(Need(node)->GetChild(index));  // GetChild raises EListError out of range
}

bool StartsWith(const THierarchyNode* node, std::string_view prefix) {
  return node && std::string_view(node->Name).substr(0, prefix.size()) == prefix;
}

// Copy(s, from, count) with from counted from 1: empty when from lies past the end.
std::string Copy(const std::string& s, size_t from, size_t count) {
  if (from < 1 || from > s.size())
    return {};
  return s.substr(from - 1, count);
}

// html := FindTag(Root, "html"), body := FindTag(html, bodyName); a missing one ends
// the task.
const TTagNode* PageBody(const TTagNode* root, std::string_view bodyName) {
  const TTagNode* html = root ? root->FindTag("html") : nullptr;
  if (!html)
    throw ERuleFailed("page has no html element");
  const TTagNode* body = html->FindTag(bodyName);
  if (!body)
    throw ERuleFailed("page has no body element");
  return body;
}

// The index-th child (counting from 0) among the children whose Name starts with
// prefix; nullptr when there are fewer.
const TTagNode* NthChildStartingWith(const TTagNode* node, std::string_view prefix, int nth) {
  for (int i = 0; i < node->ChildCount(); ++i) {
    const THierarchyNode* child = node->Children[i];
    if (StartsWith(child, prefix) && nth-- == 0)
      return node->GetChild(i);
  }
  return nullptr;
}

// The work one All The Web page may take, in nodes visited and text bytes copied:
// far beyond any real result page, small enough that a hostile one ends in well under
// a second.
constexpr size_t kAllTheWebBudget = size_t{8} << 20;

struct EBudgetSpent {};

class TWalkBudget {
 public:
  explicit TWalkBudget(size_t units) : left_(units) {}
  void Spend(size_t units) {
    if (units > left_)
      throw EBudgetSpent{};
    left_ -= units;
  }

 private:
  size_t left_;
};

// FindTag, counting every node it visits against the budget.
const TTagNode* FindTagBudgeted(const TTagNode* node, std::string_view name, TWalkBudget& budget) {
  std::vector<std::pair<const THierarchyNode*, size_t>> stack;
  budget.Spend(1);
  if (SameTextAscii(node->Name, name))
    return node;
  stack.emplace_back(node, 0);
  while (!stack.empty()) {
    auto& [parent, next] = stack.back();
    if (next == parent->Children.size()) {
      stack.pop_back();
      continue;
    }
    const THierarchyNode* child = parent->Children[next++];
    budget.Spend(1);
    if (SameTextAscii(child->Name, name))
      if (auto* tag = dynamic_cast<const TTagNode*>(child))
        return tag;
    if (!child->Children.empty())
      stack.emplace_back(child, 0);
  }
  return nullptr;
}

// GetText, counting nodes visited and bytes copied against the budget.
std::string GetTextBudgeted(const TTagNode* node, TWalkBudget& budget) {
  std::string out;
  std::vector<std::pair<const THierarchyNode*, size_t>> stack;
  auto visit = [&](const THierarchyNode* n) {
    budget.Spend(1 + (n->NodeType == 2 ? n->Text.size() : 0));
    if (n->NodeType == 2) {
      out += n->Text;
    } else if (!n->Children.empty()) {
      stack.emplace_back(n, 0);
    }
  };
  visit(node);
  while (!stack.empty()) {
    auto& [parent, next] = stack.back();
    if (next == parent->Children.size()) {
      stack.pop_back();
      continue;
    }
    visit(parent->Children[next++]);
  }
  return out;
}

// Runs one entry's work; a failed lookup or any other error skips the entry. A spent
// budget ends the page.
template <typename Fn>
void Entry(Fn&& fn) {
  try {
    fn();
  } catch (const EBudgetSpent&) {
    throw;
  } catch (...) {
  }
}

// The li entries of Excite's ul and of Hotbot's body: children from position 1.
void ExtractListEntries(const TTagNode* list, const THitSink& sink) {
  for (int i = 1; i < list->ChildCount(); ++i) {
    if (!StartsWith(list->Children[i], "li"))
      continue;
    Entry([&] {
      const TTagNode* li = Child(list, i);
      THit hit;
      hit.Title = TextOf(Find(li, "a"));
      hit.URL = Copy(TextOf(Find(li, "font")), 13, 9999999);
      hit.Description = TextOf(Find(li, "span"));
      if (sink)
        sink(hit);
    });
  }
}

}  // namespace

void ExtractAltavista(const TTagNode* root, const THitSink& sink) {
  const TTagNode* body = PageBody(root, "body");
  for (int i = 0; i < body->ChildCount(); ++i) {
    if (!StartsWith(body->Children[i], "dl"))
      continue;
    Entry([&] {
      const TTagNode* c = Child(body, i);
      THit hit;
      hit.Title = TextOf(Find(Find(Find(c, "dt"), "a"), "b"));
      const std::string u = TextOf(Child(Find(c, "font"), 1));
      hit.URL = u.size() < 10 ? std::string() : u.substr(1, u.size() - 9);
      hit.Description = TextOf(Find(c, "dd"));
      if (sink)
        sink(hit);
    });
  }
}

void ExtractExcite(const TTagNode* root, const THitSink& sink) {
  const TTagNode* body = PageBody(root, kExciteBodyName);
  const TTagNode* table = NthChildStartingWith(body, "table", 4);
  if (!table)
    throw ERuleFailed("Excite page has fewer than five tables");
  const TTagNode* row = NthChildStartingWith(table, "tr", 1);
  if (!row)
    throw ERuleFailed("Excite table has fewer than two rows");
  const TTagNode* cell = NthChildStartingWith(row, "td", 1);
  if (!cell)
    throw ERuleFailed("Excite row has fewer than two cells");
  const TTagNode* list = cell->FindTag("ul");
  if (!list)
    return;
  ExtractListEntries(list, sink);
}

void ExtractHotbot(const TTagNode* root, const THitSink& sink) {
  ExtractListEntries(PageBody(root, "body"), sink);
}

void ExtractAllTheWeb(const TTagNode* root, TAllTheWebState& state, const THitSink& sink) {
  const TTagNode* cur = PageBody(root, "body");
  TWalkBudget budget(kAllTheWebBudget);
  std::string_view wanted = "dl";
  try {
    for (;;) {
      if (!cur)
        throw ERuleFailed("All The Web entry without dd");
      const TTagNode* x = FindTagBudgeted(cur, wanted, budget);
      if (!x)
        return;
      cur = x;
      const bool isEntry = wanted == "dt";
      wanted = "dt";

      const TTagNode* anchor = FindTagBudgeted(cur, "a", budget);
      if (!anchor) {
        // Searching on from a dt without an a would find that same dt again: the walk
        // would repeat the entry forever, so such an entry ends the page. From the dl
        // itself the walk moves on to its first dt.
        if (isEntry)
          return;
        continue;
      }
      Entry([&] {
        state.Title = GetTextBudgeted(anchor, budget);
        // None: the entry is skipped and the next look ends the task.
        cur = FindTagBudgeted(cur, "dd", budget);
        int spans = 0;
        for (int i = 0; i < Need(cur)->ChildCount(); ++i) {
          if (!StartsWith(cur->Children[i], "span"))
            continue;
          const std::string text = GetTextBudgeted(Need(cur->GetChild(i)), budget);
          if (spans++ == 0) {
            state.Description = text;
          } else {
            state.URL = Copy(text, 8, 99999);
          }
        }
        if (sink)
          sink(THit{state.Title, state.URL, state.Description});
      });
    }
  } catch (const EBudgetSpent&) {
    // A page whose entries nest inside each other's anchors would make the walk
    // quadratic in the page size; once the budget is spent the page ends.
  }
}

}  // namespace quellion
