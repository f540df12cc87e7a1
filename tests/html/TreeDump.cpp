#include "tests/html/TreeDump.h"

namespace quellion::test {
namespace {

void DumpNode(const THierarchyNode& node, std::string& out) {
  switch (node.NodeType) {
    case 1: {
      out += node.Name;
      auto* tag = dynamic_cast<const TTagNode*>(&node);
      if (tag && tag->Empty)
        out += "/";
      if (!node.Attributes.empty()) {
        out += "[";
        for (size_t i = 0; i < node.Attributes.size(); ++i) {
          if (i)
            out += ",";
          out += node.Attributes[i];
        }
        out += "]";
      }
      break;
    }
    case 2:
      out += "\"" + node.Text + "\"";
      break;
    case 3:
      out += "C{" + node.Name + "|" + node.Text + "}";
      break;
    case 4:
      out += "D{" + node.Name + "|" + node.Text + "}";
      break;
    case 5:
      out += "X{" + node.Text + "}";
      break;
    default:
      out += std::to_string(node.NodeType) + "{" + node.Name + "|" + node.Text + "}";
  }
  if (!node.Children.empty()) {
    out += "(";
    out += DumpChildren(node);
    out += ")";
  }
}

}  // namespace

std::string DumpChildren(const THierarchyNode& node) {
  std::string out;
  for (size_t i = 0; i < node.Children.size(); ++i) {
    if (i)
      out += " ";
    DumpNode(*node.Children[i], out);
  }
  return out;
}

}  // namespace quellion::test
