#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quellion {

class THierarchyNode;

// The children of a node: a vector of node references in one pointer, so that a tree
// node stays small. The size and capacity stand in front of the items in the same
// block; a list without children has no block. Does not own the nodes; the node that
// holds the list does.
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
  ~TNodeList() { std::free(block_); }

  size_t size() const { return block_ ? block_->Size : 0; }
  bool empty() const { return size() == 0; }
  size_t capacity() const { return block_ ? block_->Capacity : 0; }
  THierarchyNode* operator[](size_t i) const { return ItemsOf(block_)[i]; }
  THierarchyNode*& operator[](size_t i) { return ItemsOf(block_)[i]; }
  THierarchyNode* front() const { return ItemsOf(block_)[0]; }
  THierarchyNode* back() const { return ItemsOf(block_)[block_->Size - 1]; }
  iterator begin() { return block_ ? ItemsOf(block_) : nullptr; }
  iterator end() { return block_ ? ItemsOf(block_) + block_->Size : nullptr; }
  const_iterator begin() const { return block_ ? ItemsOf(block_) : nullptr; }
  const_iterator end() const { return block_ ? ItemsOf(block_) + block_->Size : nullptr; }

  void push_back(THierarchyNode* node) {
    if (size() == capacity())
      Grow();
    ItemsOf(block_)[block_->Size++] = node;
  }
  void pop_back() { --block_->Size; }
  void insert(size_t index, THierarchyNode* node);
  void erase(size_t index);
  void clear() {
    if (block_)
      block_->Size = 0;
  }
  void swap(TNodeList& other) noexcept { std::swap(block_, other.block_); }

 private:
  struct TBlock {
    uint32_t Size;
    uint32_t Capacity;
  };  // followed by Capacity node references
  static THierarchyNode** ItemsOf(TBlock* block) {
    return reinterpret_cast<THierarchyNode**>(block + 1);
  }
  void Grow();

  TBlock* block_ = nullptr;
};

// The attribute strings of a node, all in one exactly sized block: the count, the end
// offset of each string, then the bytes of all of them. Most nodes have none, so the
// list costs one pointer until the first entry arrives. Entries read as
// std::string_view (valid until the list changes); the list converts to a
// std::vector<std::string> copy. Appending one entry copies the block: build long
// lists with one assignment.
class TAttributeList {
 public:
  using value_type = std::string_view;

  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    std::string_view operator*() const { return (*list_)[index_]; }
    std::string_view operator[](difference_type n) const { return (*list_)[index_ + n]; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++index_;
      return old;
    }
    const_iterator& operator--() {
      --index_;
      return *this;
    }
    const_iterator operator--(int) {
      const_iterator old = *this;
      --index_;
      return old;
    }
    const_iterator& operator+=(difference_type n) {
      index_ += n;
      return *this;
    }
    const_iterator& operator-=(difference_type n) {
      index_ -= n;
      return *this;
    }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.index_ == b.index_;
    }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
      return a.index_ <=> b.index_;
    }

   private:
    friend class TAttributeList;
    const_iterator(const TAttributeList* list, size_t index) : list_(list), index_(index) {}
    const TAttributeList* list_ = nullptr;
    size_t index_ = 0;
  };
  using iterator = const_iterator;

  TAttributeList() = default;
  TAttributeList(std::initializer_list<std::string_view> items) {
    Assign(items.begin(), items.size());
  }
  TAttributeList(const TAttributeList& other) { *this = other; }
  TAttributeList(TAttributeList&& other) noexcept { std::swap(block_, other.block_); }
  TAttributeList& operator=(TAttributeList&& other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  TAttributeList& operator=(const TAttributeList& other);
  TAttributeList& operator=(const std::vector<std::string>& items);
  TAttributeList& operator=(std::initializer_list<std::string_view> items) {
    Assign(items.begin(), items.size());
    return *this;
  }
  ~TAttributeList() { std::free(block_); }

  size_t size() const {
    uint32_t n = 0;
    if (block_)
      std::memcpy(&n, block_, sizeof(n));
    return n;
  }
  bool empty() const { return block_ == nullptr; }
  std::string_view operator[](size_t i) const {
    const uint32_t* ends = Ends();
    const uint32_t begin = i == 0 ? 0 : ends[i - 1];
    return {Bytes() + begin, ends[i] - begin};
  }
  // Throws std::out_of_range when i is not below size().
  std::string_view at(size_t i) const;
  std::string_view front() const { return (*this)[0]; }
  std::string_view back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  void push_back(std::string_view item);
  template <class... TArgs>
  std::string_view emplace_back(TArgs&&... args) {
    const std::string item(std::forward<TArgs>(args)...);
    push_back(item);
    return back();
  }
  void clear() {
    std::free(block_);
    block_ = nullptr;
  }

  std::vector<std::string> ToVector() const { return {begin(), end()}; }
  operator std::vector<std::string>() const { return ToVector(); }
  friend bool operator==(const TAttributeList& a, const std::vector<std::string>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator==(const TAttributeList& a, const TAttributeList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  // Replaces the contents by count strings read through items (any type that
  // converts to std::string_view).
  template <class TItem>
  void Assign(const TItem* items, size_t count) {
    std::vector<std::string_view> views(items, items + count);
    AssignViews(views.data(), views.size());
  }
  void AssignViews(const std::string_view* items, size_t count);
  const uint32_t* Ends() const { return reinterpret_cast<const uint32_t*>(block_) + 1; }
  const char* Bytes() const { return reinterpret_cast<const char*>(Ends() + size()); }

  // uint32_t count, count uint32_t end offsets, the bytes; nullptr when empty.
  char* block_ = nullptr;
};

}  // namespace quellion
