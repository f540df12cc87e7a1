#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/HtmlParser.h"
#include "tests/html/TreeDump.h"

namespace quellion {
namespace {

// A parser whose four events are recorded in the order fired.
class HtmlParserTest : public ::testing::Test {
 protected:
  HtmlParserTest() {
    Parser.OnStartTag = [this](THTMLParser* sender, TTagNode* node) {
      EXPECT_EQ(sender, &Parser);
      Events.push_back("start " + node->Name);
    };
    Parser.OnHTMLTag = [this](THTMLParser*, TTagNode* node) {
      Events.push_back("tag " + node->Name);
    };
    Parser.OnEndTag = [this](THTMLParser*, const std::string& text) {
      Events.push_back("end " + text);
    };
    Parser.OnSyntaxWarning = [this](THTMLParser*, const std::string& text) {
      Warnings.push_back(text);
      Events.push_back("warning " + text);
    };
  }

  std::string Tree(const std::string& page) {
    Events.clear();
    Warnings.clear();
    Parser.Parse(page);
    return test::DumpChildren(*Parser.Root());
  }

  THTMLParser Parser;
  std::vector<std::string> Events;
  std::vector<std::string> Warnings;
};

struct TShapeCase {
  std::string page;
  std::string tree;
};

TEST_F(HtmlParserTest, TreeShapes) {
  const TShapeCase cases[] = {
      // implied end tags look at the top entry only
      {"<p>a<p>b", "p(\"a\") p"},  // the trailing text run is dropped
      {"<li>a<li>b</li>", "li(\"a\") li(\"b\")"},
      {"<dl><dt>a<dd>b<dt>c<dd>d</dl>", "dl(dt(\"a\" dd(\"b\" dt(\"c\" dd(\"d\")))))"},
      {"<table><tr><td>a<tr>", "table(tr(td(\"a\" tr)))"},
      {"<p>text<table>", "p(\"text\") table"},
      {"<p>x<h6>", "p(\"x\") h6"},
      {"<p>x<ul>", "p(\"x\") ul"},
      {"<P>x<DIV>", "P(\"x\") DIV"},
      {"<p><span><div>", "p(span(div))"},
      {"<tbody>a<tbody>", "tbody(\"a\" tbody)"},
      // end tags
      {"<b>x</b>y<i>", "b(\"x\") \"y\" i"},
      {"<b>x</B>y<i>", "b(\"x\") \"y\" i"},
      {"<b>x</b >y<i>", "b(\"x\" \"y\" i)"},
      {"<td>a<b>c</td>d<i>", "td(\"a\" b(\"c\")) \"d\" i"},
      {"<b></b<i>", "b(\"b\" i)"},
      // empty elements
      {"<br>a<i>", "br/ \"a\" i"},
      {"<img src=x>a<i>", "img/[src=x] \"a\" i"},
      {"<x/>a<i>", "x/ \"a\" i"},
      {"<a href=x/>", "a/[href=x]"},
      {"<BR >", "BR/"},
      // text runs, kept exactly
      {"<ul>\n<li>", "ul(\"\n\" li)"},
      {"<a> </a>", "a(\" \")"},
      {"a &amp; b<i>", "\"a &amp; b\" i"},
      {"<b>x</b>tail", "b(\"x\")"},
      {"", ""},
      {"no markup at all", ""},
      // attributes and names as written
      {"<A HREF=\"x y\" target=_blank>", "A[HREF=x y,target=_blank]"},
      {"<body\nbgcolor=#fff>", "bodybgcolor=#fff"},
      // comments
      {"<!-- a > b -->", "C{!|a > b}"},
      {"<!---->", "C{!|}"},
      {"<!-->", "C{!|}"},
      {"<!--x--  >", "C{!|x}"},
      {"<! note >", "C{|}"},
      {"<!--x", ""},
      {"<b><!-- c --></b>", "b(C{!|c})"},
      // a malformed comment does not shorten a later comment
      {"<! a --><!-- b > c -->", "C{|} C{!|b > c}"},
      // declarations, processing instructions, CDATA
      {"<!DOCTYPE html>", "D{!DOCTYPE|html}"},
      {"<!DOCTYPE>", "D{!DOCTYPE|}"},
      {"<?xml version=1.0?>", "D{!xml|version=1.0?}"},
      {"<?php echo 1; ?>", "D{!php|echo 1; ?}"},
      {"<!DOCTYPE x -- c -- >", "D{!DOCTYPE|x -- c --}"},
      {"<!-x->", "D{!-x-|}"},
      {"<![CDATA[x<y]]>", "X{x<y}"},
      {"<![CDATA[ a>b ]]>", "X{ a>b}"},
      {"<![CDATA[ a]>b", "X{}"},  // "]>" ends the section
      {"<![CDATA]>", "X{}"},
      {"<!>", "0{|}"},
      {"<!\t>", "0{|}"},
      {"<!x <b>", "\"x \" b"},
      {"<![CDATA[x", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Tree(c.page), c.tree) << "page: " << c.page;
}

TEST_F(HtmlParserTest, ParsedNodesCarryTheirFields) {
  Tree("<A HREF=x>t</a><br/>");
  ASSERT_EQ(Parser.Root()->ChildCount(), 2);
  TTagNode* a = Parser.Root()->GetChild(0);
  EXPECT_EQ(a->NodeType, 1);
  EXPECT_EQ(a->Name, "A");
  EXPECT_EQ(a->Text, "");
  EXPECT_FALSE(a->Empty);
  EXPECT_EQ(a->GetParent(), Parser.Root());
  TTagNode* text = a->GetChild(0);
  EXPECT_EQ(text->NodeType, 2);
  EXPECT_EQ(text->Name, "PCDATA");
  EXPECT_EQ(text->Text, "t");
  EXPECT_TRUE(Parser.Root()->GetChild(1)->Empty);
  EXPECT_EQ(Parser.Root()->FindTag("a"), a);
  EXPECT_EQ(Parser.Root()->GetText(), "t");
  EXPECT_EQ(Parser.Root()->NodeType, 0);
  EXPECT_EQ(Parser.Root()->Name, "");
}

TEST_F(HtmlParserTest, ParseAndClearReplaceThePreviousTree) {
  TTagNode* root = Parser.Root();
  Tree("<a><b>");
  EXPECT_EQ(Tree("<c>"), "c");
  EXPECT_EQ(Parser.Root(), root);
  Parser.Clear();
  EXPECT_EQ(Parser.Root()->ChildCount(), 0);
  EXPECT_EQ(Tree(""), "");
}

struct TEventCase {
  std::string page;
  std::vector<std::string> events;
};

TEST_F(HtmlParserTest, EventOrder) {
  const TEventCase cases[] = {
      {"<b><i>x</b>", {"start b", "start i", "tag i", "tag b", "end b"}},
      {"<br><img src=x><x/>", {"start br", "tag br", "start img", "tag img", "start x", "tag x"}},
      // an implied end tag fires nothing; the end tag closes the second p only
      {"<p>a<p>b</p>", {"start p", "start p", "tag p", "end p"}},
      {"<dl><dt>a<dd>b<dt>c<dd>d</dl>",
       {"start dl", "start dt", "start dd", "start dt", "start dd", "tag dd", "tag dt", "tag dd",
        "tag dt", "tag dl", "end dl"}},
      {"<B>x</B>", {"start B", "tag B", "end b"}},
      {"</b>", {"warning End tag found without matching start tag: </b> [Row:1,Col:4]", "end b"}},
      {"</>", {"warning End tag found without matching start tag: </> [Row:1,Col:3]", "end "}},
      {"<b>x</b >",
       {"start b",
        "warning End tag found without matching start tag: </b > "
        "[Row:1,Col:9]",
        "end b "}},
      {"<p>x<p><b>y</p>",
       {"start p", "start p", "start b",
        "warning End tag found without matching start tag: </p> [Row:1,Col:15]", "end p"}},
      {"<ul><li>a<li>b<b>c</li>",
       {"start ul", "start li", "start li", "start b",
        "warning End tag found without matching start tag: </li> [Row:1,Col:23]", "end li"}},
      {"<li>a</li></li>",
       {"start li", "tag li", "end li",
        "warning End tag found without matching start tag: </li> [Row:1,Col:15]", "end li"}},
      // elements open at the end of the text get no event
      {"<html><body>x", {"start html", "start body"}},
  };
  for (const auto& c : cases) {
    Tree(c.page);
    EXPECT_EQ(Events, c.events) << "page: " << c.page;
  }
}

TEST_F(HtmlParserTest, UnmatchedEndTagLeavesTheTreeAsItWas) {
  EXPECT_EQ(Tree("<p>x<p><b>y</p>z<i>"), "p(\"x\") p(b(\"y\" \"z\" i))");
  EXPECT_EQ(Tree("<a>x</q>y<i>"), "a(\"x\" \"y\" i)");
}

TEST_F(HtmlParserTest, StartTagEventSeesTheAttachedNode) {
  std::vector<THierarchyNode*> parents;
  Parser.OnStartTag = [&](THTMLParser*, TTagNode* node) { parents.push_back(node->GetParent()); };
  Tree("<a><b>");
  ASSERT_EQ(parents.size(), 2u);
  EXPECT_EQ(parents[0], Parser.Root());
  EXPECT_EQ(parents[1], Parser.Root()->GetChild(0));
}

struct TWarningCase {
  std::string page;
  std::vector<std::string> warnings;
};

TEST_F(HtmlParserTest, WarningsCarryRowAndColumn) {
  const std::string line300(300, 'a');
  const TWarningCase cases[] = {
      {"a>b<i>", {"Unexpected \">\" encountered [Row:1,Col:2]"}},
      {"<a<b>", {"Unexpected \"<\" encountered [Row:1,Col:3]"}},
      {"<! note >", {"Illegal comment style detected: \"<!\" [Row:1,Col:2]"}},
      {"<!x -- a>b -- >", {"Unexpected \">\" encountered [Row:1,Col:9]"}},
      {"x\n\n  >", {"Unexpected \">\" encountered [Row:3,Col:3]"}},
      {"x\r>", {"Unexpected \">\" encountered [Row:1,Col:3]"}},
      // a row holds at most 257 characters: 300 make rows of 257 and 43
      {line300 + ">", {"Unexpected \">\" encountered [Row:2,Col:44]"}},
      {std::string(257, 'a') + ">", {"Unexpected \">\" encountered [Row:2,Col:1]"}},
      {std::string(256, 'a') + ">", {"Unexpected \">\" encountered [Row:1,Col:257]"}},
      {line300 + "\n>>",
       {"Unexpected \">\" encountered [Row:3,Col:1]",
        "Unexpected \">\" encountered [Row:3,Col:2]"}},
      {"<a>>x</b>",
       {"Unexpected \">\" encountered [Row:1,Col:4]",
        "End tag found without matching start tag: </b> [Row:1,Col:9]"}},
      // ">" is content in comments, sections, and tag-less text inside them
      {"<!-- a > b --><![CDATA[>]]>", {}},
      // "--" before the first ">" ends a comment there
      {"<!-- > -->", {"Unexpected \">\" encountered [Row:1,Col:10]"}},
      {"<<<",
       {"Unexpected \"<\" encountered [Row:1,Col:2]",
        "Unexpected \"<\" encountered [Row:1,Col:3]"}},
  };
  for (const auto& c : cases) {
    Tree(c.page);
    EXPECT_EQ(Warnings, c.warnings) << "page: " << c.page.substr(0, 40);
  }
}

TEST_F(HtmlParserTest, NoHandlersNoReports) {
  THTMLParser quiet;
  quiet.Parse("a>b</x><! y ><a<b>");
  EXPECT_EQ(test::DumpChildren(*quiet.Root()), "\"a>b\" C{|} a<b");
}

TEST_F(HtmlParserTest, ParseAndClearFromAHandlerAreIgnored) {
  Parser.OnStartTag = [](THTMLParser* sender, TTagNode*) {
    sender->Parse("<nested>");
    sender->Clear();
    EXPECT_TRUE(sender->Busy());
  };
  EXPECT_EQ(Tree("<a><b>x</b></a>"), "a(b(\"x\"))");
  EXPECT_FALSE(Parser.Busy());
}

TEST_F(HtmlParserTest, ExceptionFromAHandlerLeavesTheParserUsable) {
  Parser.OnStartTag = [](THTMLParser*, TTagNode*) { throw std::runtime_error("handler"); };
  EXPECT_THROW(Parser.Parse("<a>"), std::runtime_error);
  EXPECT_FALSE(Parser.Busy());
  Parser.OnStartTag = nullptr;
  EXPECT_EQ(Tree("<b>"), "b");
}

TEST(TagListTest, Membership) {
  for (const char* name : {"p", "dt", "dd", "li", "option", "thead", "tfoot", "colgroup", "tr",
                           "th", "td", "body", "html", "head"})
    EXPECT_TRUE(IsOptionalEndTag(name)) << name;
  for (const char* name : {"tbody", "P", "table", ""})
    EXPECT_FALSE(IsOptionalEndTag(name));
  for (const char* name : {"p",    "h1",      "h6",  "ul",     "ol",       "dir",      "menu",
                           "pre",  "dl",      "div", "center", "noscript", "noframes", "blockquote",
                           "form", "isindex", "hr",  "table",  "fieldset", "address"})
    EXPECT_TRUE(IsBlockTag(name)) << name;
  for (const char* name : {"span", "li", "h7", "tr"})
    EXPECT_FALSE(IsBlockTag(name));
  for (const char* name : {"basefont", "br", "area", "link", "img", "param", "hr", "input", "col",
                           "frame", "isindex", "base", "meta"})
    EXPECT_TRUE(IsEmptyTag(name)) << name;
  for (const char* name : {"b", "embed", "wbr", "BR"})
    EXPECT_FALSE(IsEmptyTag(name));
}

TEST(TagStackTest, PushPopTopAndContains) {
  TStack stack;
  TTagNode a, b;
  EXPECT_EQ(stack.Pop(), nullptr);
  EXPECT_EQ(stack.TopName(), nullptr);
  EXPECT_EQ(stack.TopNode(), nullptr);
  stack.Push(stack.Intern("a"), &a);
  stack.Push(stack.Intern("b"), &b);
  stack.Push(stack.Intern("a"), &a);
  EXPECT_TRUE(stack.Contains("A"));
  EXPECT_EQ(stack.TopName()->first, "a");
  EXPECT_EQ(stack.Pop()->first, "a");
  EXPECT_TRUE(stack.Contains("a"));  // the lower entry is still open
  EXPECT_EQ(stack.TopNode(), &b);
  EXPECT_EQ(stack.Pop()->first, "b");
  EXPECT_FALSE(stack.Contains("b"));
  EXPECT_EQ(stack.Pop()->first, "a");
  EXPECT_FALSE(stack.Contains("a"));
  EXPECT_FALSE(stack.Contains("never"));
  EXPECT_TRUE(stack.IsEmpty());
}

}  // namespace
}  // namespace quellion
