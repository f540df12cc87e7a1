#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html/NodeLists.h"
#include "html/NodeString.h"

namespace quellion {

class TTagNode;

// A general ordered tree node: it owns its children in order, knows its parent and
// carries a name, a text, a free integer, attribute strings and a node type.
//
// Ownership: a node owns its Children; destroying a node first detaches it from its
// parent and then destroys its whole subtree. AddChild, InsertChild and SetParent hand
// the node to its new parent; RemoveChild and SetParent(nullptr) hand it back to the
// caller. No operation recurses on the depth of the tree, so trees of any depth
// (hostile pages nest a million deep) can be destroyed, searched and read.
class THierarchyNode {
 public:
  THierarchyNode();
  virtual ~THierarchyNode();

  THierarchyNode(const THierarchyNode&) = delete;
  THierarchyNode& operator=(const THierarchyNode&) = delete;

  // Owned, in document order. Kept in step with each child's Parent by SetParent;
  // change it only through the operations below.
  TNodeList Children;
  TNodeString Name;
  TNodeString Text;
  TAttributeList Attributes;
  THierarchyNode* Parent = nullptr;  // not owned
  int32_t Data = 0;
  // 0 to 5 for the parser's nodes (see TTagNode); 16 bits keep a node in 56 bytes.
  int16_t NodeType = 0;

  virtual THierarchyNode* GetParent() const;
  // Moves this node to the end of p's Children, or detaches it when p is nullptr.
  // Nothing happens when p is already the parent or is this node itself.
  virtual void SetParent(THierarchyNode* p);
  // Throws EListError when index is outside 0..ChildCount()-1. Not virtual, so that
  // TTagNode can offer a typed GetChild beside it without overriding it.
  THierarchyNode* GetChild(int index) const;
  // node->SetParent(this): last child, unless it already is a child of this node.
  virtual void AddChild(THierarchyNode* node);
  // AddChild(node), then node->MoveTo(index) (which may throw EListError).
  virtual void InsertChild(int index, THierarchyNode* node);
  // Appends and returns a new plain THierarchyNode carrying text and data.
  virtual THierarchyNode* AddNew(const std::string& text, int32_t data);
  // node->SetParent(nullptr): the node is not destroyed and becomes the caller's.
  virtual void RemoveChild(THierarchyNode* node);

  int ChildCount() const { return static_cast<int>(Children.size()); }
  // Destroys every child, from the last to the first.
  void ClearChildren();
  // ClearChildren, empties Attributes and Text, NodeType and Data to 0 and forgets
  // Parent without touching the former parent's Children. Name stays.
  void Clear();
  // Position in the parent's Children, or -1 without a parent.
  int IndexInParent() const;
  // Moves this node to position index among its siblings; nothing without a parent.
  // Throws EListError when index is outside the parent's child positions.
  void MoveTo(int index);

 private:
  friend class TTagNode;
  virtual TTagNode* AsTagNode() const { return nullptr; }
};

// The node of the HTML parser's trees. NodeType: 0 root/empty declaration, 1 element,
// 2 text run ("PCDATA"), 3 comment, 4 declaration, 5 CDATA section.
class TTagNode : public THierarchyNode {
 public:
  TTagNode() = default;

  // The element was complete at its start tag (empty element or "/>").
  bool Empty = false;

  // The child at index as a TTagNode, or nullptr when that child is a plain
  // THierarchyNode (AddNew). Throws EListError when index is out of range. It hides
  // the general GetChild, which still returns every child through a THierarchyNode.
  TTagNode* GetChild(int index) const;
  using THierarchyNode::AddChild;
  void AddChild(TTagNode* node) { THierarchyNode::AddChild(node); }

  // Appends the Text of every text node (NodeType 2) of this subtree in document
  // order; descent stops at text nodes.
  void CollectText(std::string& out) const;
  // CollectText into an empty string.
  std::string GetText() const;
  // The first node of this subtree in pre-order (this node first) whose Name equals
  // name, ignoring the case of ASCII letters only; nullptr when none does. Plain
  // THierarchyNode children are searched through but never returned.
  TTagNode* FindTag(std::string_view name) const;

 private:
  TTagNode* AsTagNode() const override { return const_cast<TTagNode*>(this); }
};

// What a walk does after visiting a node.
enum class TVisit { Descend, SkipChildren, Stop };

// Visits every node below root in pre-order (a node before its children, children
// first to last) without recursion, since pages nest elements a million deep.
// visit(node, depth) gets depth 0 for root's children and tells the walk how to go on.
template <class Visitor>
void WalkDescendants(const THierarchyNode& root, Visitor&& visit) {
  std::vector<std::pair<const THierarchyNode*, size_t>> stack{{&root, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next == node->Children.size()) {
      stack.pop_back();
      continue;
    }
    const THierarchyNode* child = node->Children[next++];
    const TVisit how = visit(*child, stack.size() - 1);
    if (how == TVisit::Stop)
      return;
    if (how == TVisit::Descend && !child->Children.empty())
      stack.emplace_back(child, 0);
  }
}

}  // namespace quellion
