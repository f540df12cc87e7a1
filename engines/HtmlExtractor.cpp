#include "engines/HtmlExtractor.h"

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "engines/PageCharset.h"
#include "engines/TextTools.h"

namespace quellion {
namespace {

struct TXPathObjectFree {
  void operator()(xmlXPathObject* p) const { xmlXPathFreeObject(p); }
};
using TXPathObjectPtr = std::unique_ptr<xmlXPathObject, TXPathObjectFree>;
struct TXPathContextFree {
  void operator()(xmlXPathContext* p) const { xmlXPathFreeContext(p); }
};

// Appends a node's text content as xmlNodeGetContent gives it; an element's texts
// are read where they are, without copying them into a buffer of their own first.
void AppendNodeText(xmlNode* node, TCollapsedText& out) {
  auto appendContent = [&out](xmlNode* n) {
    xmlChar* content = xmlNodeGetContent(n);
    if (content) {
      out.Append(reinterpret_cast<const char*>(content));
      xmlFree(content);
    }
  };
  switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      if (node->content)
        out.Append(reinterpret_cast<const char*>(node->content));
      return;
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
      break;
    default:
      appendContent(node);
      return;
  }
  // The texts below it in document order; an entity reference's children are its
  // declaration, which is not walked into.
  xmlNode* n = node;
  while (true) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content)
        out.Append(reinterpret_cast<const char*>(n->content));
    } else if (n->type == XML_ENTITY_REF_NODE) {
      appendContent(n);
    }
    if (n->children && n->children->type != XML_ENTITY_DECL) {
      n = n->children;
      continue;
    }
    while (n && n != node && !n->next)
      n = n->parent;
    if (!n || n == node)
      return;
    n = n->next;
  }
}

TXPathObjectPtr Evaluate(xmlXPathCompExpr* expression, xmlXPathContext* context, xmlNode* node) {
  context->node = node;
  if (context->opLimit != 0 && context->opCount >= context->opLimit)
    return nullptr;  // the page's work is used up
  return TXPathObjectPtr(xmlXPathCompiledEval(expression, context));
}

bool WorkUsedUp(const xmlXPathContext* context) {
  return context->opLimit != 0 && context->opCount >= context->opLimit;
}

constexpr const char* kTooCostly = "page too costly to read (XPath work limit reached)";

// The text an XPath gives at node, white space collapsed: of every node of a node
// set, separated by white space (or of the first node only); the value as text for
// a string, number or boolean.
std::string Text(xmlXPathCompExpr* expression, xmlXPathContext* context, xmlNode* node,
                 bool firstOnly, TCollapsedText& out) {
  const TXPathObjectPtr result = Evaluate(expression, context, node);
  if (!result)
    return {};
  if (result->type == XPATH_NODESET) {
    if (result->nodesetval) {
      const int count =
          firstOnly ? std::min(1, result->nodesetval->nodeNr) : result->nodesetval->nodeNr;
      for (int i = 0; i < count; ++i) {
        out.Separate();
        AppendNodeText(result->nodesetval->nodeTab[i], out);
      }
    }
    return out.Take();
  }
  xmlChar* value = xmlXPathCastToString(result.get());
  if (value) {
    out.Append(reinterpret_cast<const char*>(value));
    xmlFree(value);
  }
  return out.Take();
}

// The texts an XPath gives at node, one per node of a node set, each collapsed.
std::vector<std::string> Texts(xmlXPathCompExpr* expression, xmlXPathContext* context,
                               xmlNode* node, TCollapsedText& out) {
  std::vector<std::string> texts;
  const TXPathObjectPtr result = Evaluate(expression, context, node);
  if (!result)
    return texts;
  if (result->type != XPATH_NODESET) {
    xmlChar* value = xmlXPathCastToString(result.get());
    if (value) {
      out.Append(reinterpret_cast<const char*>(value));
      texts.push_back(out.Take());
      xmlFree(value);
    }
    return texts;
  }
  if (result->nodesetval) {
    texts.reserve(result->nodesetval->nodeNr);
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      AppendNodeText(result->nodesetval->nodeTab[i], out);
      texts.push_back(out.Take());
    }
  }
  return texts;
}

}  // namespace

THtmlExtractor::THtmlExtractor(const TEngineDefinition& definition) {
  InitLibXml();
  if (!definition.ResultsXPath.empty())
    results_ = CompileXPath(definition.ResultsXPath);
  url_ = CompileXPath(definition.UrlXPath);
  title_ = CompileXPath(definition.TitleXPath);
  if (!definition.ContentXPath.empty())
    content_ = CompileXPath(definition.ContentXPath);
  if (!definition.BlockedXPath.empty())
    blocked_ = CompileXPath(definition.BlockedXPath);
}

THtmlExtractor::~THtmlExtractor() = default;

bool THtmlExtractor::Extract(const std::string& page, const std::string& contentType,
                             const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                             const std::function<std::string(const std::string& href)>& addressOf,
                             const THitSink& sink) {
  failure_.clear();
  if (page.empty() || page.size() > static_cast<size_t>(INT_MAX) || !url_ || !title_)
    return false;
  std::string encoding = CharsetOfContentType(contentType);
  if (encoding.empty())
    encoding = CharsetOfMeta(page);
  if (encoding.empty())
    encoding = "UTF-8";
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                      HTML_PARSE_NOWARNING |
                      HTML_PARSE_COMPACT;  // short texts inside their nodes: fewer allocations
  TQuietLibXml quiet;
  const char* base = pageUrl.empty() ? nullptr : pageUrl.c_str();
  const int size = static_cast<int>(page.size());
  TDocPtr doc(htmlReadMemory(page.data(), size, base, encoding.c_str(), options));
  if (!doc)  // e.g. an encoding libxml2 does not know
    doc.reset(htmlReadMemory(page.data(), size, base, "UTF-8", options));
  if (!doc)
    return false;
  // Numbers the elements in document order, so sorting node sets compares numbers
  // instead of walking the tree.
  xmlXPathOrderDocElems(doc.get());
  std::unique_ptr<xmlXPathContext, TXPathContextFree> context(xmlXPathNewContext(doc.get()));
  if (!context)
    return false;
  // Keeps the node sets, strings and numbers the steps and predicates make for reuse
  // instead of freeing them: a sixth of the expressions' cost went to allocation.
  xmlXPathContextSetCache(context.get(), 1, -1, 0);
  // One budget for the whole page: a hostile page (deeply nested results, say) or
  // expression ends here instead of keeping the task busy for minutes.
  context->opLimit = kMaxXPathOperations;
  context->opCount = 0;
  auto withinBudget = [&] {
    if (!WorkUsedUp(context.get()))
      return true;
    failure_ = kTooCostly;
    return false;
  };
  xmlNode* const root = reinterpret_cast<xmlNode*>(doc.get());
  TCollapsedText text;
  if (blocked_) {
    const TXPathObjectPtr found = Evaluate(blocked_.get(), context.get(), root);
    if (!withinBudget())
      return false;
    if (found && xmlXPathCastToBoolean(found.get()))
      return true;
  }

  auto offer = [&](const std::string& href, std::string title, std::string content) {
    std::string address = addressOf(href);
    if (address.empty())
      return;
    sink(THit{std::move(title), std::move(address), std::move(content)});
  };

  if (results_) {
    const TXPathObjectPtr nodes = Evaluate(results_.get(), context.get(), root);
    if (!withinBudget() || !nodes || nodes->type != XPATH_NODESET || !nodes->nodesetval)
      return false;
    // The node set belongs to nodes; later evaluations do not touch it. The budget is
    // checked after every expression, the stop before every result.
    for (int i = 0; i < nodes->nodesetval->nodeNr; ++i) {
      if (!mayGoOn())
        return false;
      xmlNode* node = nodes->nodesetval->nodeTab[i];
      const std::string href = Text(url_.get(), context.get(), node, true, text);
      if (!withinBudget())
        return false;
      std::string title = Text(title_.get(), context.get(), node, false, text);
      if (!withinBudget())
        return false;
      std::string content =
          content_ ? Text(content_.get(), context.get(), node, false, text) : std::string();
      if (!withinBudget())
        return false;
      offer(href, std::move(title), std::move(content));
    }
    return false;
  }
  // Without results_xpath the three lists are read from the whole page and paired
  // by position.
  const std::vector<std::string> urls = Texts(url_.get(), context.get(), root, text);
  if (!withinBudget())
    return false;
  std::vector<std::string> titles = Texts(title_.get(), context.get(), root, text);
  if (!withinBudget())
    return false;
  std::vector<std::string> contents =
      content_ ? Texts(content_.get(), context.get(), root, text) : std::vector<std::string>();
  for (size_t i = 0; i < urls.size(); ++i) {
    if (!mayGoOn())
      return false;
    offer(urls[i], i < titles.size() ? std::move(titles[i]) : std::string(),
          i < contents.size() ? std::move(contents[i]) : std::string());
  }
  return false;
}

}  // namespace quellion
