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
  std::vector<THit> hits;
};

TEST(ShippedDefinitions, EachFindsTheRowsOfItsFixture) {
  const TShippedCase cases[] = {
      {"duckduckgo.json",
       "duckduckgo.html",
       "text/html; charset=UTF-8",
       "https://html.duckduckgo.com/html/?q=new+york&kl=wt-wt&s=0",
       "https://html.duckduckgo.com/html/?q=new+york&kl=wt-wt&s=30",
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
       "https://www.mojeek.com/search?q=new+york&s=0&lb=",
       "https://www.mojeek.com/search?q=new+york&s=10&lb=",
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
       {{"New York City", "https://en.wikipedia.org/wiki/New%20York%20City",
         "New York, often called New York City (NYC), is the most populous city in the United "
         "States. With a 2020 population of 8,804,190\xE2\x80\xA6"},
        {"New York (state)", "https://en.wikipedia.org/wiki/New%20York%20%28state%29",
         "New York, also called New York State, is a state in the Northeastern United States. It "
         "borders & shares\xE2\x80\xA6"},
        {"The New York Times", "https://en.wikipedia.org/wiki/The%20New%20York%20Times",
         "The New York Times (NYT) is an American daily newspaper based in New York City."}}},
      {"searxng.json",
       "searxng.json",
       "application/json",
       "https://searx.example.org/search?q=new+york&format=json&pageno=1&language=all",
       "https://searx.example.org/search?q=new+york&format=json&pageno=2&language=all",
       {{"New York City - Wikipedia", "https://en.wikipedia.org/wiki/New_York_City",
         "New York, often called New York City or NYC, is the most populous city in the United "
         "States."},
        {"NYC.gov | City of New York", "https://www.nyc.gov/",
         "Official website of the City of New York."},
        {"Official New York State Tourism Website", "www.iloveny.com/",
         "Plan your trip & find things to do."}}},
  };
  for (const TShippedCase& c : cases) {
    const TDefinitionLoad load = LoadDefinitionFile(kData + "/engines/" + c.file);
    ASSERT_TRUE(load.Definition) << c.file << ": " << load.Error;
    EXPECT_TRUE(load.Warnings.empty()) << c.file;
    const TEngineDefinition& d = *load.Definition;
    EXPECT_EQ(RequestAddress(d, "new york", 0, 0), c.firstAddress) << c.file;
    EXPECT_EQ(RequestAddress(d, "new york", 0, 1), c.secondAddress) << c.file;
    TDefinitionExtractor extractor(d, DefinitionLanguage(d, 0));
    const std::string page = test::ReadFile(kData + "/engines/fixtures/" + c.fixture);
    ASSERT_FALSE(page.empty()) << c.fixture;
    EXPECT_EQ(test::ExtractAll(extractor, page, c.contentType, c.firstAddress), c.hits) << c.file;
  }
}

TEST(ShippedDefinitions, AllLoadAndOnlySearxngIsSwitchedOff) {
  const TEngineCatalog catalog = LoadEngineCatalog(kData + "/engines", "");
  EXPECT_TRUE(catalog.Invalid.empty());
  EXPECT_TRUE(catalog.Warnings.empty());
  std::vector<std::string> names;
  for (const TEngineDefinition& d : catalog.Engines)
    names.push_back(d.Name + (d.Enabled ? "" : " (off)"));
  EXPECT_EQ(names,
            (std::vector<std::string>{"DuckDuckGo", "Mojeek", "SearXNG (off)", "Wikipedia"}));
  // The German wiki for German results.
  EXPECT_EQ(DefinitionLanguage(*catalog.Find("wikipedia"), 9), "de");
}

}  // namespace
}  // namespace quellion
