#pragma once

#include <string>

#include "html/HierarchyNode.h"

namespace quellion::test {

// A compact picture of the children of node, for comparing tree shapes:
//   element   name[/ when Empty][[attr,attr]][(children)]
//   text      "text"
//   comment   C{name|text}   declaration D{name|text}   CDATA X{text}   type 0  0{}
// Siblings are separated by one space.
std::string DumpChildren(const THierarchyNode& node);

}  // namespace quellion::test
