#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <string>

#include "html/HtmlParser.h"

namespace quellion {
namespace {

// Runs fn on a thread with a small stack (512 KiB): any recursion on the depth of
// the tree would overflow it.
void RunOnSmallStack(std::function<void()> fn) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 512 * 1024), 0);
  pthread_t thread;
  auto body = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, &fn), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

struct TDeepResult {
  size_t depth = 0;
  bool foundDeepest = false;
  bool foundMissing = true;
  std::string text;
  int childrenAfterClear = -1;
};

// One megabyte of "<b>", a text run and an "<i>" at the bottom: parsed, searched, read
// and freed (by Clear and by the parser's destruction).
TDeepResult ParseDeepPage() {
  std::string page;
  const size_t levels = (1 << 20) / 3;
  page.reserve(levels * 3 + 16);
  for (size_t i = 0; i < levels; ++i)
    page += "<b>";
  page += "deep<i>";
  TDeepResult result;
  THTMLParser parser;
  parser.Parse(page);
  const THierarchyNode* node = parser.Root();
  while (!node->Children.empty()) {
    node = node->Children.back();
    ++result.depth;
  }
  TTagNode* found = parser.Root()->FindTag("I");
  result.foundDeepest = found == node;
  result.foundMissing = parser.Root()->FindTag("missing") != nullptr;
  result.text = parser.Root()->GetText();
  parser.Clear();
  result.childrenAfterClear = parser.Root()->ChildCount();
  parser.Parse(page);
  return result;  // the parser frees the tree
}

void ExpectDeep(const TDeepResult& r) {
  EXPECT_EQ(r.depth, (1u << 20) / 3 + 1);
  EXPECT_TRUE(r.foundDeepest);
  EXPECT_FALSE(r.foundMissing);
  EXPECT_EQ(r.text, "deep");
  EXPECT_EQ(r.childrenAfterClear, 0);
}

TEST(DeepTreeTest, MillionDeepPageOnTheMainThread) {
  ExpectDeep(ParseDeepPage());
}

TEST(DeepTreeTest, MillionDeepPageOnASmallStack) {
  TDeepResult result;
  RunOnSmallStack([&] { result = ParseDeepPage(); });
  ExpectDeep(result);
}

// Asserts nothing: the test passes by surviving. Deleting a detached chain 100000 deep
// on a 512 KiB stack overflows it (and crashes the program) if destruction recurses.
TEST(DeepTreeTest, DeepDetachedSubtreeIsDestroyedDirectly) {
  RunOnSmallStack([] {
    auto* top = new TTagNode;
    TTagNode* node = top;
    for (int i = 0; i < 100000; ++i) {
      auto* child = new TTagNode;
      node->AddChild(child);
      node = child;
    }
    delete top;
  });
}

// Deep open stack with many end tags that match nothing, and many that close a long
// way down: each must not scan the stack. A linear scan per end tag would take many
// minutes here; the run ends in well under a second.
TEST(DeepTreeTest, UnmatchedEndTagsOnADeepStackStayCheap) {
  const int depth = 100000;
  std::string page = "<u>";
  for (int i = 0; i < depth; ++i)
    page += "<b>";
  for (int i = 0; i < depth; ++i)
    page += "</i>";
  page += "</u><after>";
  size_t warnings = 0;
  THTMLParser parser;
  parser.OnSyntaxWarning = [&](THTMLParser*, const std::string&) { ++warnings; };
  parser.Parse(page);
  EXPECT_EQ(warnings, static_cast<size_t>(depth));
  ASSERT_EQ(parser.Root()->ChildCount(), 2);
  EXPECT_EQ(parser.Root()->GetChild(0)->Name, "u");
  EXPECT_EQ(parser.Root()->GetChild(1)->Name, "after");
}

}  // namespace
}  // namespace quellion
