#include "engines/DefinitionExtractor.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "engines/TextTools.h"

namespace quellion {
namespace {

using nlohmann::json;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return s;
}

// The value after "charset=" in text (from pos on), without quotes.
std::string CharsetAfter(const std::string& text, size_t pos) {
  pos += 8;  // "charset="
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '"' || text[pos] == '\''))
    ++pos;
  size_t end = pos;
  while (end < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-' ||
          text[end] == '_' || text[end] == '.' || text[end] == ':'))
    ++end;
  return text.substr(pos, end - pos);
}

// Whether text begins with a URI scheme and its ':' (RFC 3986: ALPHA *( ALPHA / DIGIT /
// "+" / "-" / "." )).
bool HasScheme(const std::string& text) {
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !alpha(text[0]))
    return false;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':')
      return true;
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
      return false;
  }
  return false;
}

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
  return TXPathObjectPtr(xmlXPathCompiledEval(expression, context));
}

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

// Follows a path of members ("a/b/c"). An array on the way is looked into: a
// number picks one element, a name is looked up in every element. Iterative.
std::vector<const json*> Walk(const json& from, const std::string& path) {
  std::vector<const json*> current{&from};
  size_t pos = 0;
  while (pos <= path.size() && !current.empty()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos)
      slash = path.size();
    const std::string key = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (key.empty())
      continue;
    const bool isIndex = key.find_first_not_of("0123456789") == std::string::npos && key.size() < 9;
    std::vector<const json*> next;
    for (const json* value : current) {
      if (value->is_object()) {
        if (auto it = value->find(key); it != value->end())
          next.push_back(&*it);
      } else if (value->is_array()) {
        if (isIndex) {
          const size_t i = std::stoul(key);
          if (i < value->size())
            next.push_back(&(*value)[i]);
        } else {
          for (const json& element : *value)
            if (element.is_object())
              if (auto it = element.find(key); it != element.end())
                next.push_back(&*it);
        }
      }
    }
    current = std::move(next);
  }
  return current;
}

std::string ScalarText(const json& value, bool markup) {
  if (value.is_string())
    return markup ? PlainText(value.get_ref<const std::string&>())
                  : CollapseWhiteSpace(value.get_ref<const std::string&>());
  if (value.is_number() || value.is_boolean())
    return value.dump();
  return {};
}

// Strings, numbers and booleans as text; an array's scalar members joined by blanks.
std::string JsonText(const std::vector<const json*>& values, bool markup) {
  std::string all;
  auto add = [&all](const std::string& t) {
    if (t.empty())
      return;
    if (!all.empty())
      all += ' ';
    all += t;
  };
  for (const json* value : values) {
    if (value->is_array()) {
      for (const json& element : *value)
        add(ScalarText(element, markup));
    } else {
      add(ScalarText(*value, markup));
    }
  }
  return all;
}

}  // namespace

std::string CharsetOfContentType(const std::string& contentType) {
  const std::string lower = Lower(contentType);
  const size_t pos = lower.find("charset=");
  return pos == std::string::npos ? std::string() : CharsetAfter(contentType, pos);
}

std::string CharsetOfMeta(const std::string& page) {
  const std::string head = Lower(page.substr(0, 4096));
  size_t meta = 0;
  while ((meta = head.find("<meta", meta)) != std::string::npos) {
    const size_t end = head.find('>', meta);
    const std::string tag = head.substr(meta, end == std::string::npos ? end : end - meta);
    const size_t pos = tag.find("charset=");
    if (pos != std::string::npos)
      return CharsetAfter(page.substr(meta, tag.size()), pos);
    meta += 5;
  }
  return {};
}

TDefinitionExtractor::TDefinitionExtractor(TEngineDefinition definition, std::string langValue)
    : definition_(std::move(definition)), langValue_(std::move(langValue)) {
  InitLibXml();
  if (definition_.Type == TDefinitionType::Html) {
    if (!definition_.ResultsXPath.empty())
      results_ = CompileXPath(definition_.ResultsXPath);
    url_ = CompileXPath(definition_.UrlXPath);
    title_ = CompileXPath(definition_.TitleXPath);
    if (!definition_.ContentXPath.empty())
      content_ = CompileXPath(definition_.ContentXPath);
  }
}

TDefinitionExtractor::~TDefinitionExtractor() = default;

void TDefinitionExtractor::Extract(const std::string& page, const std::string& contentType,
                                   const std::string& pageUrl, const std::function<bool()>& mayGoOn,
                                   const THitSink& sink) {
  if (definition_.Type == TDefinitionType::Html)
    ExtractHtml(page, contentType, pageUrl, mayGoOn, sink);
  else
    ExtractJson(page, pageUrl, mayGoOn, sink);
}

std::string TDefinitionExtractor::FinalAddress(const std::string& href,
                                               const std::string& pageUrl) const {
  std::string address = CollapseWhiteSpace(href);
  if (address.empty())
    return {};
  auto resolve = [&pageUrl](const std::string& relative) {
    // An address with a scheme comes back from xmlBuildURI as it is (or, when it does
    // not parse, not at all, and is kept as it is): not worth parsing twice.
    if (pageUrl.empty() || HasScheme(relative))
      return relative;
    xmlChar* built = xmlBuildURI(reinterpret_cast<const xmlChar*>(relative.c_str()),
                                 reinterpret_cast<const xmlChar*>(pageUrl.c_str()));
    if (!built)
      return relative;
    std::string result(reinterpret_cast<const char*>(built));
    xmlFree(built);
    return result;
  };
  address = resolve(address);
  if (!definition_.UrlUnwrapParam.empty()) {
    const std::string inner = QueryParameter(address, definition_.UrlUnwrapParam);
    if (!inner.empty())
      address = resolve(inner);
  }
  return StoredAddress(address);
}

void TDefinitionExtractor::ExtractHtml(const std::string& page, const std::string& contentType,
                                       const std::string& pageUrl,
                                       const std::function<bool()>& mayGoOn, const THitSink& sink) {
  if (page.empty() || page.size() > static_cast<size_t>(INT_MAX) || !url_ || !title_)
    return;
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
    return;
  // Numbers the elements in document order, so sorting node sets compares numbers
  // instead of walking the tree.
  xmlXPathOrderDocElems(doc.get());
  std::unique_ptr<xmlXPathContext, TXPathContextFree> context(xmlXPathNewContext(doc.get()));
  if (!context)
    return;
  // Keeps the node sets, strings and numbers the steps and predicates make for reuse
  // instead of freeing them: a sixth of the expressions' cost went to allocation.
  xmlXPathContextSetCache(context.get(), 1, -1, 0);
  xmlNode* const root = reinterpret_cast<xmlNode*>(doc.get());
  TCollapsedText text;

  auto offer = [&](const std::string& href, std::string title, std::string content) {
    std::string address = FinalAddress(href, pageUrl);
    if (address.empty())
      return;
    sink(THit{std::move(title), std::move(address), std::move(content)});
  };

  if (results_) {
    const TXPathObjectPtr nodes = Evaluate(results_.get(), context.get(), root);
    if (!nodes || nodes->type != XPATH_NODESET || !nodes->nodesetval)
      return;
    // The node set belongs to nodes; later evaluations do not touch it.
    for (int i = 0; i < nodes->nodesetval->nodeNr; ++i) {
      if (!mayGoOn())
        return;
      xmlNode* node = nodes->nodesetval->nodeTab[i];
      const std::string href = Text(url_.get(), context.get(), node, true, text);
      std::string title = Text(title_.get(), context.get(), node, false, text);
      std::string content =
          content_ ? Text(content_.get(), context.get(), node, false, text) : std::string();
      offer(href, std::move(title), std::move(content));
    }
    return;
  }
  // Without results_xpath the three lists are read from the whole page and paired
  // by position.
  const std::vector<std::string> urls = Texts(url_.get(), context.get(), root, text);
  std::vector<std::string> titles = Texts(title_.get(), context.get(), root, text);
  std::vector<std::string> contents =
      content_ ? Texts(content_.get(), context.get(), root, text) : std::vector<std::string>();
  for (size_t i = 0; i < urls.size(); ++i) {
    if (!mayGoOn())
      return;
    offer(urls[i], i < titles.size() ? std::move(titles[i]) : std::string(),
          i < contents.size() ? std::move(contents[i]) : std::string());
  }
}

void TDefinitionExtractor::ExtractJson(const std::string& page, const std::string& pageUrl,
                                       const std::function<bool()>& mayGoOn, const THitSink& sink) {
  const json root = json::parse(page, nullptr, false);
  if (root.is_discarded())
    return;
  std::vector<const json*> results;
  for (const json* value : Walk(root, definition_.ResultsQuery)) {
    if (value->is_array()) {
      for (const json& element : *value)
        results.push_back(&element);
    } else {
      results.push_back(value);
    }
  }
  for (const json* result : results) {
    if (!mayGoOn())
      return;
    std::string href;
    if (!definition_.UrlQuery.empty()) {
      href = JsonText(Walk(*result, definition_.UrlQuery), false);
    } else {
      // url_template: every {field} is the result's field, percent-encoded.
      const std::string& pattern = definition_.UrlTemplate;
      bool missing = false;
      size_t pos = 0;
      while (pos < pattern.size()) {
        const size_t open = pattern.find('{', pos);
        const size_t close = open == std::string::npos ? open : pattern.find('}', open);
        if (close == std::string::npos) {
          href.append(pattern, pos, std::string::npos);
          break;
        }
        href.append(pattern, pos, open - pos);
        const std::string field = pattern.substr(open + 1, close - open - 1);
        const std::vector<const json*> values = Walk(*result, field);
        std::string value = JsonText(values, false);
        if (values.empty() && field == "lang")
          value = langValue_;
        else if (value.empty())
          missing = true;
        href += PercentEncode(value);
        pos = close + 1;
      }
      if (missing)
        continue;  // an address without its field would point elsewhere
    }
    const std::string address = FinalAddress(href, pageUrl);
    if (address.empty())
      continue;
    const std::string title = JsonText(Walk(*result, definition_.TitleQuery), true);
    const std::string content = definition_.ContentQuery.empty()
                                    ? std::string()
                                    : JsonText(Walk(*result, definition_.ContentQuery), true);
    sink(THit{title, address, content});
  }
}

}  // namespace quellion
