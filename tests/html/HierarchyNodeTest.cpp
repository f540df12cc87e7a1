#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "html/HierarchyNode.h"
#include "platform/Exception.h"
#include "tests/html/TreeDump.h"

namespace quellion {
namespace {

// Counts destructions so tests can tell that subtrees really are freed.
struct TCountedNode : TTagNode {
  explicit TCountedNode(int& counter, std::string name = "") : Counter(counter) {
    Name = std::move(name);
  }
  ~TCountedNode() override { ++Counter; }
  int& Counter;
};

TTagNode* AddTag(THierarchyNode& parent, const std::string& name) {
  auto* node = new TTagNode;
  node->Name = name;
  node->NodeType = 1;
  parent.AddChild(node);
  return node;
}

TTagNode* AddText(THierarchyNode& parent, const std::string& text) {
  auto* node = new TTagNode;
  node->Name = "PCDATA";
  node->Text = text;
  node->NodeType = 2;
  parent.AddChild(node);
  return node;
}

std::string Names(const THierarchyNode& node) {
  std::string out;
  for (auto* child : node.Children)
    out += child->Name;
  return out;
}

TEST(HierarchyNodeTest, NewNodeIsDetachedAndEmpty) {
  TTagNode node;
  EXPECT_EQ(node.ChildCount(), 0);
  EXPECT_EQ(node.GetParent(), nullptr);
  EXPECT_EQ(node.IndexInParent(), -1);
  EXPECT_TRUE(node.Name.empty());
  EXPECT_TRUE(node.Text.empty());
  EXPECT_TRUE(node.Attributes.empty());
  EXPECT_EQ(node.Data, 0);
  EXPECT_EQ(node.NodeType, 0);
  EXPECT_FALSE(node.Empty);
}

TEST(HierarchyNodeTest, GetChildOutsideTheListRaisesTheListIndexError) {
  TTagNode node;
  for (int index : {0, -1}) {
    try {
      node.GetChild(index);
      FAIL() << "no error for " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(index) + ")");
    }
  }
  AddTag(node, "a");
  AddTag(node, "b");
  EXPECT_EQ(node.GetChild(1)->Name, "b");
  EXPECT_THROW(node.GetChild(node.ChildCount()), EListError);
  EXPECT_THROW(node.GetChild(-1), EListError);
}

TEST(HierarchyNodeTest, AddChildKeepsPositionOfOwnChildAndMovesForeignOnes) {
  TTagNode parent;
  AddTag(parent, "a");
  AddTag(parent, "b");
  TTagNode* c = AddTag(parent, "c");
  AddTag(parent, "d");
  parent.AddChild(c);
  EXPECT_EQ(Names(parent), "abcd");
  EXPECT_EQ(c->IndexInParent(), 2);

  TTagNode other;
  other.AddChild(c);
  EXPECT_EQ(Names(parent), "abd");
  EXPECT_EQ(Names(other), "c");
  EXPECT_EQ(c->GetParent(), &other);

  parent.AddChild(&parent);
  EXPECT_EQ(Names(parent), "abd");
  EXPECT_EQ(parent.GetParent(), nullptr);
}

TEST(HierarchyNodeTest, InsertChildAndMoveTo) {
  TTagNode parent;
  AddTag(parent, "a");
  AddTag(parent, "b");
  auto* n = new TTagNode;
  n->Name = "n";
  parent.InsertChild(0, n);
  EXPECT_EQ(Names(parent), "nab");

  n->MoveTo(2);
  EXPECT_EQ(Names(parent), "abn");
  n->MoveTo(1);
  EXPECT_EQ(Names(parent), "anb");
  EXPECT_THROW(n->MoveTo(3), EListError);
  EXPECT_THROW(n->MoveTo(-1), EListError);
  EXPECT_EQ(Names(parent), "anb");

  // The append of InsertChild stands even when the move is refused.
  auto* m = new TTagNode;
  m->Name = "m";
  EXPECT_THROW(parent.InsertChild(7, m), EListError);
  EXPECT_EQ(Names(parent), "anbm");

  TTagNode detached;
  detached.MoveTo(5);  // without a parent: nothing
  EXPECT_EQ(detached.IndexInParent(), -1);
}

TEST(HierarchyNodeTest, RemoveChildDetachesWithoutDestroying) {
  int destroyed = 0;
  TTagNode parent;
  auto* child = new TCountedNode(destroyed, "x");
  parent.AddChild(child);
  AddTag(*child, "inner");
  parent.RemoveChild(child);
  EXPECT_EQ(parent.ChildCount(), 0);
  EXPECT_EQ(child->GetParent(), nullptr);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(child->ChildCount(), 1);
  delete child;
  EXPECT_EQ(destroyed, 1);
}

TEST(HierarchyNodeTest, DestroyingAChildRemovesItFromItsParent) {
  TTagNode parent;
  AddTag(parent, "a");
  TTagNode* b = AddTag(parent, "b");
  AddTag(parent, "c");
  delete b;
  EXPECT_EQ(Names(parent), "ac");
}

TEST(HierarchyNodeTest, DestroyingANodeDestroysItsWholeSubtree) {
  int destroyed = 0;
  {
    TTagNode root;
    auto* a = new TCountedNode(destroyed, "a");
    root.AddChild(a);
    auto* b = new TCountedNode(destroyed, "b");
    a->AddChild(b);
    b->AddChild(new TCountedNode(destroyed, "c"));
    a->AddChild(new TCountedNode(destroyed, "d"));
    root.AddChild(new TCountedNode(destroyed, "e"));
  }
  EXPECT_EQ(destroyed, 5);
}

TEST(HierarchyNodeTest, ClearResetsEverythingButName) {
  int destroyed = 0;
  TTagNode node;
  node.Name = "x";
  node.Text = "t";
  node.Data = 4;
  node.NodeType = 1;
  node.Attributes = {"a=1", "b"};
  for (int i = 0; i < 3; ++i)
    node.AddChild(new TCountedNode(destroyed));
  node.Clear();
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(node.Name, "x");
  EXPECT_EQ(node.ChildCount(), 0);
  EXPECT_TRUE(node.Attributes.empty());
  EXPECT_TRUE(node.Text.empty());
  EXPECT_EQ(node.NodeType, 0);
  EXPECT_EQ(node.Data, 0);
}

TEST(HierarchyNodeTest, AddNewAppendsAPlainNodeAlsoOnATagNode) {
  TTagNode node;
  AddTag(node, "first");
  THierarchyNode* added = node.AddNew("t", 7);
  ASSERT_EQ(node.ChildCount(), 2);
  EXPECT_EQ(node.THierarchyNode::GetChild(1), added);
  EXPECT_EQ(dynamic_cast<TTagNode*>(added), nullptr);
  EXPECT_EQ(added->Text, "t");
  EXPECT_EQ(added->Data, 7);
  EXPECT_EQ(added->GetParent(), &node);
  // The typed accessor does not pretend a plain node is a tag node; the general one
  // still returns it, also when called through the base class.
  EXPECT_EQ(node.GetChild(1), nullptr);
  EXPECT_NE(node.GetChild(0), nullptr);
  const THierarchyNode& base = node;
  EXPECT_EQ(base.GetChild(1), added);
  EXPECT_THROW(node.GetChild(2), EListError);
}

TEST(HierarchyNodeTest, AttributesReadLikeAStringVector) {
  TTagNode node;
  const std::vector<std::string>& none = node.Attributes;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(node.Attributes.begin(), node.Attributes.end());
  node.Attributes.push_back("href=x");
  node.Attributes.emplace_back("target=_blank");
  const std::vector<std::string>& some = node.Attributes;
  EXPECT_EQ(some, (std::vector<std::string>{"href=x", "target=_blank"}));
  EXPECT_EQ(node.Attributes.size(), 2u);
  EXPECT_EQ(node.Attributes[1], "target=_blank");
  std::string joined;
  for (const auto& attribute : node.Attributes)
    joined.append(attribute).append(";");
  EXPECT_EQ(joined, "href=x;target=_blank;");
  TAttributeList copy = node.Attributes;
  node.Attributes.clear();
  EXPECT_TRUE(node.Attributes.empty());
  EXPECT_EQ(copy, (std::vector<std::string>{"href=x", "target=_blank"}));
}

TEST(TagNodeTest, FindTagComparesWholeNamesIgnoringAsciiCaseOnly) {
  TTagNode body;
  body.Name = "body";
  EXPECT_EQ(body.FindTag("BODY"), &body);

  TTagNode bodyx;
  bodyx.Name = "bodyx";
  TTagNode* inner = AddTag(bodyx, "Body");
  EXPECT_EQ(bodyx.FindTag("BODY"), inner);

  TTagNode root;
  AddTag(root, "dlclass=x");
  AddTag(root, "htmlx");
  AddTag(root, "\xC4");
  EXPECT_EQ(root.FindTag("dl"), nullptr);
  EXPECT_EQ(root.FindTag("html"), nullptr);
  EXPECT_EQ(root.FindTag("\xE4"), nullptr);  // only A to Z fold
  EXPECT_NE(root.FindTag("\xC4"), nullptr);
  EXPECT_EQ(root.FindTag("DLCLASS=X"), root.GetChild(0));
}

TEST(TagNodeTest, FindTagReturnsTheFirstMatchInDocumentOrder) {
  TTagNode a;
  a.Name = "a";
  TTagNode* b = AddTag(a, "b");
  TTagNode* c = AddTag(*b, "x");
  TTagNode* d = AddTag(a, "x");
  EXPECT_EQ(a.FindTag("x"), c);
  EXPECT_EQ(b->FindTag("x"), c);
  EXPECT_EQ(d->FindTag("X"), d);
  EXPECT_EQ(a.FindTag("y"), nullptr);
}

TEST(TagNodeTest, FindTagSearchesThroughPlainNodesWithoutReturningThem) {
  TTagNode root;
  THierarchyNode* plain = root.AddNew("", 0);
  plain->Name = "x";
  auto* tagged = new TTagNode;
  tagged->Name = "x";
  plain->AddChild(tagged);
  EXPECT_EQ(root.FindTag("x"), tagged);
}

TEST(TagNodeTest, GetTextJoinsTextNodesInDocumentOrder) {
  TTagNode element;
  element.NodeType = 1;
  AddText(element, "a");
  TTagNode* inner = AddTag(element, "b");
  AddText(*inner, "b");
  TTagNode* comment = AddTag(element, "!");
  comment->NodeType = 3;
  comment->Text = "not text";
  for (int type : {4, 5}) {
    TTagNode* other = AddTag(element, "other");
    other->NodeType = type;
    other->Text = "skipped";
  }
  AddText(element, "c");
  EXPECT_EQ(element.GetText(), "abc");
  EXPECT_EQ(comment->GetText(), "");

  // Descent stops at text nodes: their children contribute nothing.
  TTagNode* text = AddText(*inner, "d");
  AddText(*text, "hidden");
  EXPECT_EQ(text->GetText(), "d");
  EXPECT_EQ(element.GetText(), "abdc");

  std::string out = "pre:";
  element.CollectText(out);
  EXPECT_EQ(out, "pre:abdc");
}

TEST(TagNodeTest, WideTreesAreClearedAndSearched) {
  TTagNode root;
  for (int i = 0; i < 100000; ++i)
    AddText(root, "t");
  AddTag(root, "last");
  EXPECT_EQ(root.FindTag("last"), root.GetChild(100000));
  EXPECT_EQ(root.GetText().size(), 100000u);
  root.ClearChildren();
  EXPECT_EQ(root.ChildCount(), 0);
}

}  // namespace
}  // namespace quellion
