#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace quellion {

class THierarchyNode;

// The children of a node: a vector of node references in 16 bytes (pointer, 32-bit
// size and capacity), so that a tree node stays small. Does not own the nodes; the
// node that holds the list does.
class TNodeList {
 public:
  using value_type = THierarchyNode*;
  using iterator = THierarchyNode**;
  using const_iterator = THierarchyNode* const*;

  TNodeList() = default;
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;
  TNodeList(TNodeList&& other) noexcept { swap(other); }
  TNodeList& operator=(TNodeList&& other) noexcept {
    TNodeList(std::move(other)).swap(*this);
    return *this;
  }
  ~TNodeList() { std::free(Items); }

  size_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  size_t capacity() const { return Capacity; }
  THierarchyNode* operator[](size_t i) const { return Items[i]; }
  THierarchyNode*& operator[](size_t i) { return Items[i]; }
  THierarchyNode* front() const { return Items[0]; }
  THierarchyNode* back() const { return Items[Size - 1]; }
  iterator begin() { return Items; }
  iterator end() { return Items + Size; }
  const_iterator begin() const { return Items; }
  const_iterator end() const { return Items + Size; }

  void push_back(THierarchyNode* node) {
    if (Size == Capacity)
      Grow();
    Items[Size++] = node;
  }
  void pop_back() { --Size; }
  void insert(size_t index, THierarchyNode* node);
  void erase(size_t index);
  void clear() { Size = 0; }
  void swap(TNodeList& other) noexcept {
    std::swap(Items, other.Items);
    std::swap(Size, other.Size);
    std::swap(Capacity, other.Capacity);
  }

 private:
  void Grow();

  THierarchyNode** Items = nullptr;
  uint32_t Size = 0;
  uint32_t Capacity = 0;
};

// The attribute strings of a node. Most nodes have none, so the list costs one
// pointer until the first entry arrives. Reads like a std::vector<std::string> and
// converts to a const reference of one.
class TAttributeList {
 public:
  using value_type = std::string;
  using iterator = std::string*;
  using const_iterator = const std::string*;

  TAttributeList() = default;
  TAttributeList(std::initializer_list<std::string> items) { *this = items; }
  TAttributeList(const TAttributeList& other) { *this = other; }
  TAttributeList(TAttributeList&&) noexcept = default;
  TAttributeList& operator=(TAttributeList&&) noexcept = default;
  TAttributeList& operator=(const TAttributeList& other) {
    if (this != &other)
      *this = other.Items();
    return *this;
  }
  TAttributeList& operator=(std::vector<std::string> items) {
    if (items.empty())
      List.reset();
    else
      List = std::make_unique<std::vector<std::string>>(std::move(items));
    return *this;
  }
  TAttributeList& operator=(std::initializer_list<std::string> items) {
    return *this = std::vector<std::string>(items);
  }

  size_t size() const { return List ? List->size() : 0; }
  bool empty() const { return !List || List->empty(); }
  const std::string& operator[](size_t i) const { return (*List)[i]; }
  std::string& operator[](size_t i) { return (*List)[i]; }
  const std::string& at(size_t i) const { return Items().at(i); }
  const std::string& front() const { return List->front(); }
  const std::string& back() const { return List->back(); }
  iterator begin() { return List ? List->data() : nullptr; }
  iterator end() { return List ? List->data() + List->size() : nullptr; }
  const_iterator begin() const { return List ? List->data() : nullptr; }
  const_iterator end() const { return List ? List->data() + List->size() : nullptr; }

  void push_back(std::string item) { Writable().push_back(std::move(item)); }
  template <class... TArgs>
  std::string& emplace_back(TArgs&&... args) {
    return Writable().emplace_back(std::forward<TArgs>(args)...);
  }
  void clear() { List.reset(); }

  // The entries as a vector (a shared empty one while there are none).
  const std::vector<std::string>& Items() const;
  operator const std::vector<std::string>&() const { return Items(); }
  friend bool operator==(const TAttributeList& a, const std::vector<std::string>& b) {
    return a.Items() == b;
  }
  friend bool operator==(const TAttributeList& a, const TAttributeList& b) {
    return a.Items() == b.Items();
  }

 private:
  std::vector<std::string>& Writable() {
    if (!List)
      List = std::make_unique<std::vector<std::string>>();
    return *List;
  }
  std::unique_ptr<std::vector<std::string>> List;
};

}  // namespace quellion
