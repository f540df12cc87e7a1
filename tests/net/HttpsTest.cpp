#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/HttpCli.h"
#include "net/TlsSession.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/RealPeers.h"
#include "tests/support/peers/ScriptServer.h"
#include "tests/support/peers/TlsPeers.h"

namespace quellion {
namespace {

using test::PumpFor;
using test::Respond;
using test::TPeerAnswer;
using test::TRecordingClient;
using test::TScriptServer;
using test::WaitFor;

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

std::string RandomBytes(size_t n) {
  std::mt19937 generator(12345);
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(generator());
  return s;
}

// One CA, its certificates and a TLS nginx for the whole suite (making them costs
// about a second).
class HttpsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certificates_ = std::make_unique<test::TTestCertificates>();
    nginx_ = std::make_unique<test::TTlsNginxPeer>(*certificates_);
    nginx_->AddFile("big.bin", BigBody());
  }
  static void TearDownTestSuite() {
    nginx_.reset();
    certificates_.reset();
  }
  static const std::string& BigBody() {
    static const std::string body = RandomBytes(2 * 1024 * 1024);
    return body;
  }
  // A client that trusts the test CA.
  static std::unique_ptr<TRecordingClient> Client() {
    auto r = std::make_unique<TRecordingClient>(false);
    r->client.CaFile = certificates_->CaFile();
    return r;
  }

  test::TTestNameServer dns_;
  static std::unique_ptr<test::TTestCertificates> certificates_;
  static std::unique_ptr<test::TTlsNginxPeer> nginx_;
};

std::unique_ptr<test::TTestCertificates> HttpsTest::certificates_;
std::unique_ptr<test::TTlsNginxPeer> HttpsTest::nginx_;

TEST_F(HttpsTest, ExactBytesDirectAndThroughProxies) {
  test::TTinyproxyPeer tinyproxy("user", "secret");
  test::TSquidPeer squid("user", "secret");
  const std::string plain = "http://127.0.0.1:" + std::to_string(nginx_->PlainPort());
  const struct {
    const char* name;
    std::string url, proxy, body;
  } cases[] = {
      {"small, direct", nginx_->Url("good", "/index.html"), "", "<html>nginx</html>\n"},
      {"2 MiB, direct", nginx_->Url("good", "/big.bin"), "", BigBody()},
      {"IP literal checked as an address",
       "https://127.0.0.1:" + std::to_string(nginx_->Port("good")) + "/index.html", "",
       "<html>nginx</html>\n"},
      {"small, tinyproxy", nginx_->Url("good", "/index.html"), tinyproxy.HostPort(),
       "<html>nginx</html>\n"},
      {"2 MiB, tinyproxy", nginx_->Url("good", "/big.bin"), tinyproxy.HostPort(), BigBody()},
      {"2 MiB, squid", nginx_->Url("good", "/big.bin"), squid.HostPort(), BigBody()},
      {"http to https", plain + "/to-https", "", "<html>nginx</html>\n"},
      {"https to http", nginx_->Url("good", "/to-http"), "", "<html>nginx</html>\n"},
      {"http to https, tinyproxy", plain + "/to-https", tinyproxy.HostPort(),
       "<html>nginx</html>\n"},
      {"https to http, squid", nginx_->Url("good", "/to-http"), squid.HostPort(),
       "<html>nginx</html>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = Client();
    r->client.Proxy = c.proxy;
    r->client.ProxyUsername = c.proxy.empty() ? "" : "user";
    r->client.ProxyPassword = "secret";
    ASSERT_TRUE(r->Get(c.url, 20000));
    EXPECT_EQ(r->doneError, 0) << r->client.ReasonPhrase();
    EXPECT_EQ(r->client.StatusCode(), 200);
    EXPECT_TRUE(r->stream.DataString() == c.body) << r->stream.Size() << " bytes";
    PumpFor(30);
    EXPECT_EQ(r->doneCount, 1);
  }
}

TEST_F(HttpsTest, CertificateProblemsFailWithTheirCauseAndNoBody) {
  const struct {
    const char* name;
    std::string url;
    bool trustTestCa;
    std::string reason;
  } cases[] = {
      {"untrusted issuer", nginx_->Url("good"), false,
       "certificate verify failed: unable to get local issuer certificate"},
      {"another name", nginx_->Url("other"), true, "certificate verify failed: hostname mismatch"},
      {"self-signed", nginx_->Url("self"), true, "certificate verify failed: self"},
      {"expired", nginx_->Url("expired"), true,
       "certificate verify failed: certificate has expired"},
      {"address not in the certificate",
       "https://127.0.0.1:" + std::to_string(nginx_->Port("other")) + "/", true,
       "certificate verify failed: IP address mismatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = Client();
    if (!c.trustTestCa)
      r->client.CaFile.clear();
    ASSERT_TRUE(r->Get(c.url));
    EXPECT_EQ(r->doneError, kTlsCertificateFailed);
    EXPECT_EQ(r->client.StatusCode(), 404);
    EXPECT_TRUE(StartsWith(r->client.ReasonPhrase(), c.reason)) << r->client.ReasonPhrase();
    EXPECT_EQ(r->stream.DataString(), "");
  }
}

TEST_F(HttpsTest, HostileTlsPeersEndWithOneCompletion) {
  TScriptServer silent({TPeerAnswer().WithoutWaitingForRequest().Hold()});
  TScriptServer plainHttp(
      {TPeerAnswer().WithoutWaitingForRequest().Send("HTTP/1.0 200 OK\r\n\r\nplain text")});
  TScriptServer reset({TPeerAnswer().WithoutWaitingForRequest().Pause(50).Reset()});
  test::TTlsScriptServer longer(
      *certificates_, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello, and more", true);
  test::TTlsScriptServer chunked(
      *certificates_,
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
      true);
  auto url = [](const TScriptServer& s) {
    return "https://localhost:" + std::to_string(s.Port()) + "/";
  };
  const struct {
    const char* name;
    std::string url;
    bool abortAfterAWhile;  // the peer never ends the handshake: the caller gives up
    uint16_t error;
    std::string reason, body;
  } cases[] = {
      {"never finishes the handshake", url(silent), true, kHttpErrorAborted,
       "Connection aborted on request", ""},
      {"plain HTTP on the TLS port", url(plainHttp), false, kTlsHandshakeFailed,
       "TLS handshake failed: ", ""},
      {"reset mid-handshake", url(reset), false, 10054, "TLS handshake failed: Connection reset",
       ""},
      {"body larger than announced", longer.Url(), false, 0, "OK", "hello"},
      {"chunked body", chunked.Url(), false, 0, "OK", "hello world"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = Client();
    r->client.URL = c.url;
    r->client.StartGet();
    if (c.abortAfterAWhile) {
      EXPECT_FALSE(WaitFor([&] { return r->done; }, 300));
      r->client.Abort();
    }
    ASSERT_TRUE(WaitFor([&] { return r->done; }, 3000)) << "promptly";
    EXPECT_EQ(r->doneError, c.error);
    EXPECT_TRUE(StartsWith(r->client.ReasonPhrase(), c.reason)) << r->client.ReasonPhrase();
    EXPECT_EQ(r->stream.DataString(), c.body);
    PumpFor(50);
    EXPECT_EQ(r->doneCount, 1);
  }
  // The client ended both held connections itself, each with the close notice.
  EXPECT_TRUE(WaitFor([&] { return longer.CloseNotices() == 1 && chunked.CloseNotices() == 1; }));
}

TEST_F(HttpsTest, TunnelRequestAndProxyRefusals) {
  const struct {
    const char* name;
    std::string answer;
    int32_t status;
    std::string reason;
  } cases[] = {
      {"407", "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\nno",
       407, "proxy refused the tunnel: 407 Proxy Authentication Required"},
      {"403", "HTTP/1.1 403 Forbidden\r\n\r\n", 403, "proxy refused the tunnel: 403 Forbidden"},
      {"502", "HTTP/1.1 502 Bad Gateway\r\n\r\n", 502, "proxy refused the tunnel: 502 Bad Gateway"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptServer proxy({TPeerAnswer().Send(c.answer).Hold()});
    auto r = Client();
    r->client.Proxy = proxy.HostPort();
    r->client.ProxyUsername = "user";
    r->client.ProxyPassword = "pass";
    ASSERT_TRUE(r->Get("https://www.example.com/search?q=1"));
    EXPECT_EQ(r->doneError, 0);
    EXPECT_EQ(r->client.StatusCode(), c.status);
    EXPECT_EQ(r->client.ReasonPhrase(), c.reason);
    EXPECT_EQ(r->stream.DataString(), "");
    EXPECT_EQ(proxy.Request(0),
              "CONNECT www.example.com:443 HTTP/1.0\r\nHost: www.example.com:443\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
    EXPECT_TRUE(proxy.WaitForClientClose(0));
  }
}

// HTTP/1.1 answers over plain HTTP: the framing ends the body even when the server
// keeps the connection open; an HTTP/1.0 answer still ends only at the close.
TEST_F(HttpsTest, Http11BodiesEndByTheirFraming) {
  const struct {
    const char* name;
    std::string answer;
    bool hold;
    uint16_t error;
    std::string body;
  } cases[] = {
      {"content length, connection kept", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbodyEXTRA",
       true, 0, "body"},
      {"empty body by length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true, 0, ""},
      {"chunked, extension and trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3;x=y\r\nabc\r\n"
       "10\r\n0123456789abcdef\r\n0\r\nX-T: 1\r\n\r\n",
       true, 0, "abc0123456789abcdef"},
      {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n", true,
       kHttpErrorBadChunkedBody, ""},
      {"HTTP/1.0 is not framed", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbodyEXTRA", false, 0,
       "bodyEXTRA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPeerAnswer answer;
    answer.Send(c.answer);
    if (c.hold)
      answer.Hold();
    TScriptServer server({answer});
    TRecordingClient r(false);
    ASSERT_TRUE(r.Get(server.Url("/"), 3000));
    EXPECT_EQ(r.doneError, c.error);
    EXPECT_EQ(r.stream.DataString(), c.body);
    EXPECT_EQ(server.Request(0).find("Accept-Encoding"), std::string::npos);
  }
  // A relocation's length belongs to the relocation's own answer.
  TScriptServer server(
      {Respond("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 3\r\n\r\nabc"),
       Respond("HTTP/1.1 200 OK\r\n\r\nto the close")});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/a"), 3000));
  EXPECT_EQ(r.stream.DataString(), "to the close");
}

}  // namespace
}  // namespace quellion
