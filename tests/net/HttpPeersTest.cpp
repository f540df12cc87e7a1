// Fetches against real servers and proxies started by the tests themselves.
#include <gtest/gtest.h>

#include "net/HttpCli.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/RealPeers.h"

namespace quellion {
namespace {

using test::TRecordingClient;

TEST(HttpPeersTest, NginxPagesAndRedirects) {
  test::TNginxPeer nginx;
  const struct {
    std::string path;
    int32_t status;
    std::string body;
    int relocations;
  } cases[] = {
      {"/index.html", 200, test::TNginxPeer::IndexBody(), 0},
      {"/", 200, test::TNginxPeer::IndexBody(), 0},
      {"/moved", 200, test::TNginxPeer::IndexBody(), 1},
      {"/moved-absolute", 200, test::TNginxPeer::IndexBody(), 1},
      {"/missing.html", 404, "", 0},  // the body may or may not have arrived before the close
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TRecordingClient r(false);
    int relocations = 0;
    r.client.OnLocationChange = [&](THttpCli&) { ++relocations; };
    ASSERT_TRUE(r.Get(nginx.Url(c.path)));
    EXPECT_EQ(r.doneError, 0);
    EXPECT_EQ(r.client.StatusCode(), c.status);
    if (c.status == 200) {
      EXPECT_EQ(r.stream.DataString(), c.body);
      EXPECT_EQ(r.client.ContentType(), "text/html");
    }
    EXPECT_EQ(relocations, c.relocations);
  }
}

TEST(HttpPeersTest, TinyproxyWithBasicAuthentication) {
  test::TNginxPeer nginx;
  test::TTinyproxyPeer proxy("alice", "wonderland");
  const struct {
    const char* name;
    std::string user, password;
    int32_t status;
  } cases[] = {
      {"right credentials", "alice", "wonderland", 200},
      {"wrong password", "alice", "nope", 401},
      {"no credentials", "", "", 407},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingClient r(false);
    r.client.Proxy = proxy.HostPort();
    r.client.ProxyUsername = c.user;
    r.client.ProxyPassword = c.password;
    ASSERT_TRUE(r.Get(nginx.Url("/index.html"), 15000));
    EXPECT_EQ(r.doneError, 0);
    EXPECT_EQ(r.client.StatusCode(), c.status) << r.client.ReasonPhrase();
    if (c.status == 200) {
      EXPECT_EQ(r.stream.DataString(), test::TNginxPeer::IndexBody());
    }
  }
}

TEST(HttpPeersTest, SquidWithBasicAuthenticationAnswersHttp11) {
  test::TNginxPeer nginx;
  test::TSquidPeer proxy("bob", "builder");
  const struct {
    const char* name;
    std::string user, password;
    int32_t status;
  } cases[] = {
      {"right credentials", "bob", "builder", 200},
      {"wrong password", "bob", "nope", 407},
      {"no credentials", "", "", 407},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingClient r(false);
    r.client.Proxy = "127.0.0.1";
    r.client.ProxyPort = std::to_string(proxy.Port());
    r.client.ProxyUsername = c.user;
    r.client.ProxyPassword = c.password;
    ASSERT_TRUE(r.Get(nginx.Url("/index.html"), 15000));
    EXPECT_EQ(r.doneError, 0);
    EXPECT_EQ(r.client.StatusCode(), c.status) << r.client.ReasonPhrase();
    ASSERT_FALSE(r.client.ResponseHeader().empty());
    EXPECT_EQ(r.client.ResponseHeader().front().substr(0, 8), "HTTP/1.1");
    if (c.status == 200) {
      EXPECT_EQ(r.stream.DataString(), test::TNginxPeer::IndexBody());
    }
  }
}

}  // namespace
}  // namespace quellion
