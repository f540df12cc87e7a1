#include "html/NodeLists.h"

#include <cstring>
#include <limits>

namespace quellion {

void TNodeList::Grow() {
  // 3, 7, 15, 31, ... references: each block plus the allocator's header fills a
  // power of two, so no slack is wasted in the allocator's size classes.
  const uint64_t wanted = Capacity ? uint64_t{Capacity} * 2 + 1 : 3;
  if (wanted > std::numeric_limits<uint32_t>::max())
    throw std::bad_alloc();
  void* grown = std::realloc(Items, wanted * sizeof(THierarchyNode*));
  if (!grown)
    throw std::bad_alloc();
  Items = static_cast<THierarchyNode**>(grown);
  Capacity = static_cast<uint32_t>(wanted);
}

void TNodeList::insert(size_t index, THierarchyNode* node) {
  if (Size == Capacity)
    Grow();
  std::memmove(Items + index + 1, Items + index, (Size - index) * sizeof(THierarchyNode*));
  Items[index] = node;
  ++Size;
}

void TNodeList::erase(size_t index) {
  std::memmove(Items + index, Items + index + 1, (Size - index - 1) * sizeof(THierarchyNode*));
  --Size;
}

const std::vector<std::string>& TAttributeList::Items() const {
  static const std::vector<std::string> kNone;
  return List ? *List : kNone;
}

}  // namespace quellion
