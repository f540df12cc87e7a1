#include "html/NodeLists.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace quellion {

void TNodeList::Grow() {
  // 2, 4, 6, 14, 30, ... references: with the 8-byte size and capacity in front and
  // the allocator's header, each block fills one of the allocator's size classes.
  const uint64_t current = capacity();
  const uint64_t wanted = current == 0 ? 2 : current < 6 ? current + 2 : current * 2 + 2;
  if (wanted > std::numeric_limits<uint32_t>::max())
    throw std::bad_alloc();
  const size_t bytes = sizeof(TBlock) + wanted * sizeof(THierarchyNode*);
  void* grown = std::realloc(block_, bytes);
  if (!grown)
    throw std::bad_alloc();
  const bool fresh = !block_;
  block_ = static_cast<TBlock*>(grown);
  if (fresh)
    block_->Size = 0;
  block_->Capacity = static_cast<uint32_t>(wanted);
}

void TNodeList::insert(size_t index, THierarchyNode* node) {
  if (size() == capacity())
    Grow();
  THierarchyNode** items = ItemsOf(block_);
  std::memmove(items + index + 1, items + index, (block_->Size - index) * sizeof(THierarchyNode*));
  items[index] = node;
  ++block_->Size;
}

void TNodeList::erase(size_t index) {
  THierarchyNode** items = ItemsOf(block_);
  std::memmove(items + index, items + index + 1,
               (block_->Size - index - 1) * sizeof(THierarchyNode*));
  --block_->Size;
}

TAttributeList& TAttributeList::operator=(const TAttributeList& other) {
  if (this != &other) {
    std::vector<std::string_view> views(other.begin(), other.end());
    AssignViews(views.data(), views.size());
  }
  return *this;
}

TAttributeList& TAttributeList::operator=(const std::vector<std::string>& items) {
  Assign(items.data(), items.size());
  return *this;
}

std::string_view TAttributeList::at(size_t i) const {
  if (i >= size())
    throw std::out_of_range("TAttributeList::at");
  return (*this)[i];
}

void TAttributeList::push_back(std::string_view item) {
  std::vector<std::string> items = ToVector();
  items.emplace_back(item);
  *this = items;
}

void TAttributeList::AssignViews(const std::string_view* items, size_t count) {
  // The views may point into this list's own block: build the new block first.
  char* fresh = nullptr;
  if (count > 0) {
    uint64_t bytes = 0;
    for (size_t i = 0; i < count; ++i)
      bytes += items[i].size();
    if (count > std::numeric_limits<uint32_t>::max() - 1 ||
        bytes > std::numeric_limits<uint32_t>::max())
      throw std::length_error("TAttributeList: attributes longer than 4 GiB");
    const size_t header = sizeof(uint32_t) * (count + 1);
    fresh = static_cast<char*>(std::malloc(header + bytes));
    if (!fresh)
      throw std::bad_alloc();
    const auto n = static_cast<uint32_t>(count);
    std::memcpy(fresh, &n, sizeof(n));
    char* out = fresh + header;
    uint32_t end = 0;
    for (size_t i = 0; i < count; ++i) {
      if (!items[i].empty())
        std::memcpy(out + end, items[i].data(), items[i].size());
      end += static_cast<uint32_t>(items[i].size());
      std::memcpy(fresh + sizeof(uint32_t) * (i + 1), &end, sizeof(end));
    }
  }
  std::free(block_);
  block_ = fresh;
}

}  // namespace quellion
