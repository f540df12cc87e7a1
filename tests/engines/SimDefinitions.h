#pragma once

// Definitions of the simulator's layouts, pointed at a running simulator.

#include <string>

#include "tools/engine-sim/EngineSimulator.h"

namespace quellion::test {

inline std::string SimDuckDuckGoDefinition(const std::string& host, bool paging = true) {
  return R"({
    // offset paging, redirect-wrapped links
    "name": "SimDuck", "type": "html",
    "search_url": "http://)" +
         host + R"(/html/?q={query}&s={offset}&kl={lang}",
    "paging": )" +
         (paging ? "true" : "false") + R"(, "page_size": 10, "lang_all": "wt-wt",
    "languages": {"German": "de-de"},
    "headers": {"User-Agent": "Custom Agent/1", "X-Test": "yes"},
    "results_xpath": "//div[contains(@class, 'web-result')]",
    "url_xpath": ".//a[@class='result__a']/@href",
    "title_xpath": ".//a[@class='result__a']",
    "content_xpath": ".//a[@class='result__snippet']",
    "url_unwrap_param": "uddg"
  })";
}

// As the shipped definition asks: every page posts the "Next" form's fields; 202 is
// a refusal.
inline std::string SimDuckDuckGoPostDefinition(const std::string& host) {
  return R"({"name": "SimDuckPost", "type": "html", "method": "POST",
    "search_url": "http://)" +
         host + R"(/html/", "post_body": "q={query}&s={offset}&dc={first}&kl={lang}",
    "paging": true, "page_size": 10, "lang_all": "wt-wt",
    "results_xpath": "//div[contains(@class, 'web-result')]",
    "url_xpath": ".//a[@class='result__a']/@href", "title_xpath": ".//a[@class='result__a']",
    "url_unwrap_param": "uddg", "blocked_status": [202, 403, 429]})";
}

inline std::string SimMojeekDefinition(const std::string& host) {
  return R"({"name": "SimMojeek", "type": "html",
    "search_url": "http://)" +
         host + R"(/search?q={query}&s={first}", "paging": true,
    "results_xpath": "//ul[@class='results-standard']/li", "url_xpath": "./a[@class='ob']/@href",
    "title_xpath": "./h2/a", "content_xpath": "./p[@class='s']",
    "blocked_xpath": "//title[normalize-space() = 'Captcha']"})";
}

inline std::string SimBingDefinition(const std::string& host) {
  return R"({"name": "SimBing", "type": "html",
    "search_url": "http://)" +
         host + R"(/search?q={query}&first={first}", "paging": true,
    "results_xpath": "//ol[@id='b_results']/li[@class='b_algo']", "url_xpath": ".//h2/a/@href",
    "title_xpath": ".//h2/a", "content_xpath": ".//div[@class='b_caption']/p",
    "url_unwrap_param": "u", "url_unwrap_base64_prefix": "a1", "blocked_status": [429],
    "rest_minutes": 1})";
}

inline std::string SimWikipediaDefinition(const std::string& host) {
  return R"({"name": "SimWiki", "type": "json",
    "search_url": "http://)" +
         host + R"(/w/api.php?list=search&srsearch={query}&sroffset={offset}",
    "paging": true, "page_size": 10, "results_query": "query/search", "title_query": "title",
    "content_query": "snippet", "url_template": "http://www.wikipedia{pageid}.example/page.html"})";
}

inline std::string SimSearxngDefinition(const std::string& host) {
  return R"({"name": "SimSearx", "type": "json",
    "search_url": "http://)" +
         host + R"(/search?q={query}&format=json&pageno={pageno}",
    "paging": true, "first_page_num": 1, "results_query": "results", "url_query": "url",
    "title_query": "title", "content_query": "content"})";
}

}  // namespace quellion::test
