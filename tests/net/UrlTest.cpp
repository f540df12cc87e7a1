#include <gtest/gtest.h>

#include "net/Url.h"

namespace quellion {
namespace {

TEST(ParseUrlTest, SplitsEveryForm) {
  const struct {
    const char* url;
    TUrlParts parts;  // Proto, User, Pass, Host, Port, Path
  } cases[] = {
      {"", {}},
      {"http://www.example.com", {"http", "", "", "www.example.com", "", ""}},
      {"http://www.example.com/a/b?q=1:2", {"http", "", "", "www.example.com", "", "/a/b?q=1:2"}},
      {"HTTP://Host:8080/X", {"HTTP", "", "", "Host", "8080", "/X"}},
      {"http://user:pw@host:81/p", {"http", "user", "pw", "host", "81", "/p"}},
      {"http://user@host/p", {"http", "user", "", "host", "", "/p"}},
      {"http://us:er:pw@host/p", {"http", "us", "er:pw", "host", "", "/p"}},
      {"http://user:pw@host/p", {"http", "user", "pw", "host", "", "/p"}},
      {"ftp://h/f", {"ftp", "", "", "h", "", "/f"}},
      {"/path/only", {"http", "", "", "", "", "/path/only"}},
      {"/", {"http", "", "", "", "", ""}},
      {"//host/path", {"http", "", "", "", "", "/host/path"}},
      {"http:/abs", {"http", "", "", "", "", "/abs"}},
      {"Http:/abs", {"http", "", "", "", "", "/abs"}},
      {"http:", {"http", "", "", "", "", ""}},
      {"mailto:someone@example.com", {"mailto", "someone", "", "example.com", "", ""}},
      {"www.example.com/x", {"", "", "", "www.example.com", "", "/x"}},
      {"host:99", {"", "", "", "host", "99", ""}},
      {"page.html", {"", "", "", "page.html", "", ""}},
      {"proxy.local:3128", {"", "", "", "proxy.local", "3128", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const TUrlParts p = ParseUrl(c.url);
    EXPECT_EQ(p.Proto, c.parts.Proto);
    EXPECT_EQ(p.User, c.parts.User);
    EXPECT_EQ(p.Pass, c.parts.Pass);
    EXPECT_EQ(p.Host, c.parts.Host);
    EXPECT_EQ(p.Port, c.parts.Port);
    EXPECT_EQ(p.Path, c.parts.Path);
  }
}

}  // namespace
}  // namespace quellion
