// Every shipped definition, run on a saved page in its engine's current layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/DefinitionExtractor.h"
#include "engines/EngineCatalog.h"
#include "engines/RequestAddress.h"
#include "tests/engines/EngineTestSupport.h"

namespace quellion {
namespace {

const std::string kData = QUELLION_SOURCE_DATA_DIR;

struct TShippedCase {
  const char* file;
  const char* fixture;
  const char* contentType;
  const char* firstAddress;   // "new york", any language, first page
  const char* secondAddress;  // second page
  const char* secondBody;     // the second page's form body ("" when it is a GET)
  std::vector<THit> hits;
};

TEST(ShippedDefinitions, EachFindsTheRowsOfItsFixture) {
  const TShippedCase cases[] = {
      {"duckduckgo.json",
       "duckduckgo.html",
       "text/html; charset=UTF-8",
       "https://html.duckduckgo.com/html/",
       "https://html.duckduckgo.com/html/",
       "q=new+york&s=10&dc=11&kl=wt-wt",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City, is the most populous city in the United "
         "States & its largest metropolis."},
        {"Welcome to NYC.gov | City of New York", "https://www.nyc.gov/?lang=en&x=1",
         "Official website of the City of New York."},
        {"New York News \xE2\x80\x93 The New York Times",
         "https://www.nytimes.com/section/nyregion",
         "Caf\xC3\xA9 openings, transit and weather."}}},
      {"mojeek.json",
       "mojeek.html",
       "text/html",
       "https://www.mojeek.com/search?q=new+york&s=1&lb=",
       "https://www.mojeek.com/search?q=new+york&s=11&lb=",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City or NYC, is the most populous city in the United "
         "States."},
        {"NYC.gov - City of New York", "https://www.nyc.gov/",
         "Official website of the City of New York. Find information about services."},
        {"Mojeek local & maps", "https://www.mojeek.com/redirect?to=local", "Local results."}}},
      {"wikipedia.json",
       "wikipedia.json",
       "application/json; charset=utf-8",
       "https://en.wikipedia.org/w/api.php?action=query&list=search&srsearch=new+york&format=json"
       "&srlimit=10&sroffset=0",
       "https://en.wikipedia.org/w/api.php?action=query&list=search&srsearch=new+york&format=json"
       "&srlimit=10&sroffset=10",
       "",
       {{"New York City", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City (NYC), is the most populous city in the United "
         "States. With a 2020 population of 8,804,190\xE2\x80\xA6"},
        {"New York (state)", "https://en.wikipedia.org/wiki/New_York_(state)",
         "New York, also called New York State, is a state in the Northeastern United States. It "
         "borders & shares\xE2\x80\xA6"},
        {"The New York Times", "https://en.wikipedia.org/wiki/The_New_York_Times",
         "The New York Times (NYT) is an American daily newspaper based in New York City."}}},
      {"searxng.json",
       "searxng.json",
       "application/json",
       "https://searx.example.org/search?q=new+york&format=json&pageno=1&language=all",
       "https://searx.example.org/search?q=new+york&format=json&pageno=2&language=all",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City or NYC, is the most populous city in the United "
         "States."},
        {"NYC.gov | City of New York", "https://www.nyc.gov/",
         "Official website of the City of New York."},
        {"Official New York State Tourism Website", "www.iloveny.com/",
         "Plan your trip & find things to do."}}},
      // Sub-links of a result's cluster and results of other kinds are left out.
      {"brave.json",
       "brave.html",
       "text/html; charset=utf-8",
       "https://search.brave.com/search?q=new+york&offset=0",
       "https://search.brave.com/search?q=new+york&offset=1",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "January 5, 2026 - New York, often called New York City or NYC, is the most populous "
         "city in the United States."},
        {"Welcome to NYC.gov | City of New York", "https://www.nyc.gov/",
         "Official website of the City of New York & its services."},
        {"New York News \xE2\x80\x93 The New York Times",
         "https://www.nytimes.com/section/nyregion",
         "Caf\xC3\xA9 openings, transit and weather."}}},
      // The <style> inside the title's link is no part of the title.
      {"startpage.json",
       "startpage.html",
       "text/html; charset=utf-8",
       "https://www.startpage.com/sp/search?query=new+york&page=1&language=all",
       "https://www.startpage.com/sp/search?query=new+york&page=2&language=all",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City or NYC, is the most populous city in the United "
         "States."},
        {"NYC.gov | City of New York", "https://www.nyc.gov/",
         "Official website of the City of New York."},
        {"New York News \xE2\x80\x93 The New York Times",
         "https://www.nytimes.com/section/nyregion",
         "Caf\xC3\xA9 openings, transit and weather."}}},
      // Wrapped links unwrapped (URL-safe base64 without padding); a wrapper around
      // something that is no web address stays as it is.
      {"bing.json",
       "bing.html",
       "text/html; charset=utf-8",
       "https://www.bing.com/search?q=new+york&first=1",
       "https://www.bing.com/search?q=new+york&first=11",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "Jan 5, 2026\xC2\xA0\xC2\xB7\xC2\xA0New York, often called New York City or NYC, is the "
         "most populous "
         "city in the United States."},
        {"NYC.gov Visitors", "https://www.nyc.gov/site/visitors/index.page?lang=en&x=~1",
         "Things to do & places to go."},
        {"Not an address inside",
         "https://www.bing.com/ck/a?!&&p=7&u=a1amF2YXNjcmlwdDphbGVydCgxKQ&ntb=1",
         "The wrapper stays."}}},
      {"yahoo.json",
       "yahoo.html",
       "text/html; charset=utf-8",
       "https://search.yahoo.com/search?p=new+york&b=1",
       "https://search.yahoo.com/search?p=new+york&b=8",
       "",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City or NYC, is the most populous city in the United "
         "States."},
        {"News | City of New York", "https://www.nyc.gov/main/news?lang=en&page=2",
         "The latest news from the city."},
        {"New York State Senate", "https://www.nysenate.gov/", "Direct link without a wrapper."}}},
  };
  for (const TShippedCase& c : cases) {
    const TDefinitionLoad load = LoadDefinitionFile(kData + "/engines/" + c.file);
    ASSERT_TRUE(load.Definition) << c.file << ": " << load.Error;
    EXPECT_TRUE(load.Warnings.empty()) << c.file;
    const TEngineDefinition& d = *load.Definition;
    EXPECT_EQ(RequestAddress(d, "new york", 0, 0), c.firstAddress) << c.file;
    EXPECT_EQ(RequestAddress(d, "new york", 0, 1), c.secondAddress) << c.file;
    EXPECT_EQ(d.Post, *c.secondBody != '\0') << c.file;
    if (d.Post) {
      EXPECT_EQ(RequestBody(d, "new york", 0, 1), c.secondBody) << c.file;
    }
    TDefinitionExtractor extractor(d, DefinitionLanguage(d, 0));
    const std::string page = test::ReadFile(kData + "/engines/fixtures/" + c.fixture);
    ASSERT_FALSE(page.empty()) << c.fixture;
    EXPECT_EQ(test::ExtractAll(extractor, page, c.contentType, c.firstAddress), c.hits) << c.file;
  }
}

TEST(ShippedDefinitions, AllLoadOnlySearxngIsSwitchedOffAndFiveAreTheDefaults) {
  const TEngineCatalog catalog = LoadEngineCatalog(kData + "/engines", "");
  EXPECT_TRUE(catalog.Invalid.empty());
  EXPECT_TRUE(catalog.Warnings.empty());
  std::vector<std::string> names;
  for (const TEngineDefinition& d : catalog.Engines)
    names.push_back(d.Name + (d.Enabled ? "" : " (off)") + (d.Default ? " (default)" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Bing", "Brave (default)", "DuckDuckGo (default)", "Mojeek (default)",
                       "SearXNG (off)", "Startpage (default)", "Wikipedia (default)", "Yahoo"}));
  // The German wiki for German results.
  EXPECT_EQ(DefinitionLanguage(*catalog.Find("wikipedia"), 9), "de");
}

}  // namespace
}  // namespace quellion
