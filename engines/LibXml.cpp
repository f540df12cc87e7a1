#include "engines/LibXml.h"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <mutex>

namespace quellion {
namespace {

void IgnoreGeneric(void*, const char*, ...) {}
void IgnoreStructured(void*, xmlErrorPtr) {}

}  // namespace

void InitLibXml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

// libxml2 keeps its error handlers per thread.
TQuietLibXml::TQuietLibXml() {
  InitLibXml();
  previousGenericContext_ = xmlGenericErrorContext;
  previousGeneric_ = reinterpret_cast<void*>(xmlGenericError);
  previousStructuredContext_ = xmlStructuredErrorContext;
  previousStructured_ = reinterpret_cast<void*>(xmlStructuredError);
  xmlSetGenericErrorFunc(nullptr, IgnoreGeneric);
  xmlSetStructuredErrorFunc(nullptr, IgnoreStructured);
}

TQuietLibXml::~TQuietLibXml() {
  xmlSetGenericErrorFunc(previousGenericContext_,
                         reinterpret_cast<xmlGenericErrorFunc>(previousGeneric_));
  xmlSetStructuredErrorFunc(previousStructuredContext_,
                            reinterpret_cast<xmlStructuredErrorFunc>(previousStructured_));
}

void TXPathFree::operator()(xmlXPathCompExpr* p) const {
  xmlXPathFreeCompExpr(p);
}

void TDocFree::operator()(xmlDoc* p) const {
  xmlFreeDoc(p);
}

TXPathPtr CompileXPath(const std::string& expression) {
  if (expression.find('\0') != std::string::npos)
    return nullptr;
  TQuietLibXml quiet;
  return TXPathPtr(xmlXPathCompile(reinterpret_cast<const xmlChar*>(expression.c_str())));
}

}  // namespace quellion
