#include "engines/JsonExtractor.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "engines/Placeholders.h"
#include "engines/TextTools.h"

namespace quellion {
namespace {

using nlohmann::json;

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

TJsonExtractor::TJsonExtractor(const TEngineDefinition& definition, std::string langValue)
    : definition_(definition), langValue_(std::move(langValue)) {}

bool TJsonExtractor::Extract(const std::string& page, const std::function<bool()>& mayGoOn,
                             const std::function<std::string(const std::string& href)>& addressOf,
                             const THitSink& sink) {
  const json root = json::parse(page, nullptr, false);
  if (root.is_discarded())
    return false;
  if (!definition_.BlockedQuery.empty() && !Walk(root, definition_.BlockedQuery).empty())
    return true;
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
      return false;
    std::string href;
    if (!definition_.UrlQuery.empty()) {
      href = JsonText(Walk(*result, definition_.UrlQuery), false);
    } else {
      // url_template: every {field} is the result's field, percent-encoded;
      // {field:wiki} writes it as MediaWiki writes an article title.
      bool missing = false;
      href = ExpandPlaceholders(
          definition_.UrlTemplate, [&](std::string_view field, std::string& out) {
            bool wiki = false;
            if (field.size() > 5 && field.substr(field.size() - 5) == ":wiki") {
              wiki = true;
              field.remove_suffix(5);
            }
            const std::vector<const json*> values = Walk(*result, std::string(field));
            std::string value = JsonText(values, false);
            if (values.empty() && field == "lang")
              value = langValue_;
            else if (value.empty())
              missing = true;
            out += wiki ? WikiTitleEncode(value) : PercentEncode(value);
            return true;
          });
      if (missing)
        continue;  // an address without its field would point elsewhere
    }
    const std::string address = addressOf(href);
    if (address.empty())
      continue;
    const std::string title = JsonText(Walk(*result, definition_.TitleQuery), true);
    const std::string content = definition_.ContentQuery.empty()
                                    ? std::string()
                                    : JsonText(Walk(*result, definition_.ContentQuery), true);
    sink(THit{title, address, content});
  }
  return false;
}

}  // namespace quellion
