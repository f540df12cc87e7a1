#include "html/HierarchyNode.h"

#include <algorithm>
#include <utility>

#include "platform/Exception.h"
#include "platform/TextUtil.h"

namespace quellion {

// Nodes are what a page's tree is made of: keep them within one small allocator size
// class (see the benchmark's heap figures).
static_assert(sizeof(void*) != 8 || sizeof(TTagNode) <= 56);

THierarchyNode::THierarchyNode() = default;

THierarchyNode::~THierarchyNode() {
  SetParent(nullptr);
  ClearChildren();
}

THierarchyNode* THierarchyNode::GetParent() const {
  return Parent;
}

void THierarchyNode::SetParent(THierarchyNode* p) {
  if (p == Parent || p == this)
    return;
  if (Parent) {
    // Searched from the back: a node destroyed with its siblings goes last first, so
    // this stays O(1) there; a node stands in the list at most once either way.
    auto& siblings = Parent->Children;
    for (size_t i = siblings.size(); i-- > 0;) {
      if (siblings[i] == this) {
        siblings.erase(i);
        break;
      }
    }
    Parent = nullptr;
  }
  if (p) {
    p->Children.push_back(this);
    Parent = p;
  }
}

THierarchyNode* THierarchyNode::GetChild(int index) const {
  if (index < 0 || index >= ChildCount())
    throw EListError(index);
  return Children[static_cast<size_t>(index)];
}

void THierarchyNode::AddChild(THierarchyNode* node) {
  node->SetParent(this);
}

void THierarchyNode::InsertChild(int index, THierarchyNode* node) {
  AddChild(node);
  node->MoveTo(index);
}

THierarchyNode* THierarchyNode::AddNew(const std::string& text, int32_t data) {
  auto* node = new THierarchyNode;
  node->Text = text;
  node->Data = data;
  AddChild(node);
  return node;
}

void THierarchyNode::RemoveChild(THierarchyNode* node) {
  node->SetParent(nullptr);
}

void THierarchyNode::ClearChildren() {
  // Without recursion: every node taken off the pending list hands its own children
  // to the list before it is deleted, so each destructor finds no children left.
  if (Children.empty())
    return;
  std::vector<THierarchyNode*> pending(Children.begin(), Children.end());
  Children = TNodeList();
  for (auto* child : pending)
    child->Parent = nullptr;
  while (!pending.empty()) {
    THierarchyNode* node = pending.back();
    pending.pop_back();
    for (auto* child : node->Children) {
      child->Parent = nullptr;
      pending.push_back(child);
    }
    node->Children.clear();
    delete node;
  }
}

void THierarchyNode::Clear() {
  ClearChildren();
  Attributes.clear();
  Text.clear();
  NodeType = 0;
  Parent = nullptr;
  Data = 0;
}

int THierarchyNode::IndexInParent() const {
  if (!Parent)
    return -1;
  const auto& siblings = Parent->Children;
  for (size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i] == this)
      return static_cast<int>(i);
  return -1;
}

void THierarchyNode::MoveTo(int index) {
  if (!Parent)
    return;
  auto& siblings = Parent->Children;
  const int current = IndexInParent();
  if (index == current)
    return;
  if (index < 0 || index >= static_cast<int>(siblings.size()))
    throw EListError(index);
  siblings.erase(static_cast<size_t>(current));
  siblings.insert(static_cast<size_t>(index), this);
}

TTagNode* TTagNode::GetChild(int index) const {
  return THierarchyNode::GetChild(index)->AsTagNode();
}

void TTagNode::CollectText(std::string& out) const {
  if (NodeType == 2) {
    out += Text;
    return;
  }
  WalkDescendants(*this, [&out](const THierarchyNode& node, size_t) {
    if (node.NodeType != 2)
      return TVisit::Descend;
    out += node.Text;
    return TVisit::SkipChildren;  // descent stops at text nodes
  });
}

std::string TTagNode::GetText() const {
  std::string out;
  CollectText(out);
  return out;
}

TTagNode* TTagNode::FindTag(std::string_view name) const {
  if (SameTextAscii(Name, name))
    return AsTagNode();
  TTagNode* found = nullptr;
  WalkDescendants(*this, [&](const THierarchyNode& node, size_t) {
    if (SameTextAscii(node.Name, name))
      found = node.AsTagNode();  // plain nodes are searched through, never returned
    return found ? TVisit::Stop : TVisit::Descend;
  });
  return found;
}

}  // namespace quellion
