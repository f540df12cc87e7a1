#pragma once

#include <memory>
#include <string>

// Small owners for the libxml2 objects the defined engines use.

typedef struct _xmlXPathCompExpr xmlXPathCompExpr;
typedef struct _xmlDoc xmlDoc;

namespace quellion {

// Initialises libxml2 once per process (required before threads use it).
void InitLibXml();

// Keeps libxml2 from printing parse and XPath errors on this thread while it lives:
// pages and definitions are hostile input, and their errors are reported otherwise.
class TQuietLibXml {
 public:
  TQuietLibXml();
  ~TQuietLibXml();
  TQuietLibXml(const TQuietLibXml&) = delete;
  TQuietLibXml& operator=(const TQuietLibXml&) = delete;

 private:
  void* previousGenericContext_;
  void* previousGeneric_;
  void* previousStructuredContext_;
  void* previousStructured_;
};

struct TXPathFree {
  void operator()(xmlXPathCompExpr* p) const;
};
using TXPathPtr = std::unique_ptr<xmlXPathCompExpr, TXPathFree>;

struct TDocFree {
  void operator()(xmlDoc* p) const;
};
using TDocPtr = std::unique_ptr<xmlDoc, TDocFree>;

// The compiled XPath 1.0 expression; nullptr when it does not compile.
TXPathPtr CompileXPath(const std::string& expression);

}  // namespace quellion
