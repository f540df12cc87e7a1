#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <utility>
#include <vector>

#include "net/HttpCli.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/PeerProcess.h"
#include "tests/support/peers/ScriptServer.h"

namespace quellion {
namespace {

using test::HttpResponse;
using test::Respond;
using test::TPeerAnswer;
using test::TRecordingClient;
using test::TScriptServer;
using test::WaitFor;

const std::string kAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
const std::string kAgent = "User-Agent: Mozilla/3.0 (compatible)\r\n";
const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: Text/HTML\r\n\r\n";

class HttpCliTest : public ::testing::Test {
 protected:
  test::TTestNameServer dns_;
};

// ---------------------------------------------------------------- request bytes

TEST_F(HttpCliTest, RequestBytesDirectAndThroughAProxy) {
  TScriptServer server({Respond(kOk + "body")});
  const std::string hp = server.HostPort();
  const std::string port = std::to_string(server.Port());
  const struct {
    const char* name;
    std::string proxy, proxyPort, proxyUser, proxyPassword, url, request;
    std::vector<std::pair<std::string, std::string>> extraHeaders = {};
  } cases[] = {
      {"direct, path and query", "", "80", "", "", server.Url("/search?q=a+b&x=1"),
       "GET /search?q=a+b&x=1 HTTP/1.0\r\n" + kAccept + kAgent + "Host: 127.0.0.1\r\n\r\n"},
      {"direct, no path", "", "80", "", "", "http://" + hp,
       "GET / HTTP/1.0\r\n" + kAccept + kAgent + "Host: 127.0.0.1\r\n\r\n"},
      {"direct ignores proxy credentials", "", "80", "pu", "pp", server.Url("/"),
       "GET / HTTP/1.0\r\n" + kAccept + kAgent + "Host: 127.0.0.1\r\n\r\n"},
      {"proxy with port, no user, no path", hp, "1", "", "", "http://www.example.com",
       "GET http://www.example.com HTTP/1.0\r\n" + kAccept + kAgent +
           "Host: www.example.com\r\n\r\n"},
      {"proxy port property, credentials, URL port", "127.0.0.1", port, "alice", "s3cret",
       "http://www.example.com:8080/p?q=1",
       "GET http://www.example.com:8080/p?q=1 HTTP/1.0\r\n" + kAccept + kAgent +
           "Host: www.example.com\r\nProxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n\r\n"},
      {"proxy, user with empty password", hp, "80", "bob", "", "www.example.com/x",
       "GET http://www.example.com/x HTTP/1.0\r\n" + kAccept + kAgent +
           "Host: www.example.com\r\nProxy-Authorization: Basic Ym9iOg==\r\n\r\n"},
      {"direct, extra headers after the client's own",
       "",
       "80",
       "",
       "",
       server.Url("/"),
       "GET / HTTP/1.0\r\n" + kAccept + kAgent +
           "Host: 127.0.0.1\r\nX-One: 1\r\nX-Two: two words\r\n\r\n",
       {{"X-One", "1"}, {"X-Two", "two words"}}},
      {"proxy, extra header after the proxy's credentials",
       hp,
       "80",
       "bob",
       "",
       "www.example.com/x",
       "GET http://www.example.com/x HTTP/1.0\r\n" + kAccept + kAgent +
           "Host: www.example.com\r\nProxy-Authorization: Basic Ym9iOg==\r\nX-Api: k\r\n\r\n",
       {{"X-Api", "k"}}},
  };
  size_t connection = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingClient r(false);
    r.client.Proxy = c.proxy;
    r.client.ProxyPort = c.proxyPort;
    r.client.ProxyUsername = c.proxyUser;
    r.client.ProxyPassword = c.proxyPassword;
    r.client.ExtraHeaders = c.extraHeaders;
    ASSERT_TRUE(r.Get(c.url));
    EXPECT_EQ(r.doneError, 0);
    EXPECT_EQ(r.client.StatusCode(), 200);
    EXPECT_EQ(r.stream.DataString(), "body");
    ASSERT_TRUE(server.WaitForConnections(connection + 1));
    EXPECT_EQ(server.Request(connection), c.request);
    ++connection;
  }
}

TEST_F(HttpCliTest, UserInformationSendsAuthorizationFromThenOn) {
  TScriptServer server({Respond(kOk)});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get("http://joe:pw@" + server.HostPort() + "/first"));
  ASSERT_TRUE(r.Get(server.Url("/second")));
  const std::string auth = "Authorization: Basic am9lOnB3\r\n";
  EXPECT_EQ(server.Request(0),
            "GET /first HTTP/1.0\r\n" + kAccept + kAgent + "Host: 127.0.0.1\r\n" + auth + "\r\n");
  EXPECT_EQ(server.Request(1),
            "GET /second HTTP/1.0\r\n" + kAccept + kAgent + "Host: 127.0.0.1\r\n" + auth + "\r\n");
  EXPECT_EQ(r.client.Username, "joe");
  EXPECT_EQ(r.client.Password, "pw");
}

TEST_F(HttpCliTest, OptionalLinesInTableOrderAndCommandMayEndTheHeader) {
  TScriptServer server({Respond(kOk)});
  TRecordingClient r(false);
  r.client.Sender = "me@example.com";
  r.client.Reference = "http://ref/";
  r.client.NoCache = true;
  r.client.ModifiedSince = 36526.5;  // 2000-01-01 12:00:00, a Saturday
  r.client.Cookie = "a=b";
  r.client.ContentRangeBegin = "10";
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(server.Request(0), "GET / HTTP/1.0\r\nFrom: me@example.com\r\n" + kAccept +
                                   "Referer: http://ref/\r\n" + kAgent +
                                   "Host: 127.0.0.1\r\nPragma: no-cache\r\n"
                                   "If-Modified-Since: Sat, 01 Jan 2000 12:00:00 GMT\r\n"
                                   "Cookie: a=b\r\nRange: bytes=10-\r\n\r\n");
  EXPECT_EQ(r.client.ContentRangeBegin, "");

  // A line changed to empty ends the header early.
  r.client.OnCommand = [](THttpCli&, std::string& s) {
    if (s.rfind("User-Agent", 0) == 0)
      s.clear();
  };
  r.client.Sender = r.client.Reference = r.client.Cookie = "";
  r.client.NoCache = false;
  r.client.ModifiedSince = 0;
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(server.Request(1).substr(0, server.Request(1).find("\r\n\r\n") + 4),
            "GET / HTTP/1.0\r\n" + kAccept + "\r\n");
}

// ---------------------------------------------------------------- events

TEST_F(HttpCliTest, EventsOfAPlainGetInOrder) {
  TScriptServer server(
      {Respond("HTTP/1.0 200 OK\r\nSet-Cookie: id=1\r\nContent-Length: 5\r\n\r\nhello")});
  TRecordingClient r;
  r.client.URL = "http://localhost:" + std::to_string(server.Port()) + "/";
  r.client.StartGet();
  r.events.push_back("StartGet returned");
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  const std::vector<std::string> expected = {
      "State httpStarting",
      "State httpResolving",
      "StartGet returned",
      "State httpConnecting",
      "State httpConnected",
      "SessionConnected",
      "State httpReadingHeader",
      "RequestHeaderBegin",
      "Command GET / HTTP/1.0",
      "Command Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
      "Command User-Agent: Mozilla/3.0 (compatible)",
      "Command Host: localhost",
      "RequestHeaderEnd",
      "Command ",
      "HeaderBegin",
      "HeaderData",
      "Cookie id=1 accept",
      "HeaderData",
      "HeaderData",
      "State httpReadingBody",
      "HeaderEnd",
      "DocBegin",
      "DocData",
      "DocEnd",
      "State httpIdle",
      "RequestDone 1 0 idle",
  };
  EXPECT_EQ(r.events, expected);
  EXPECT_EQ(r.stream.DataString(), "hello");
  EXPECT_EQ(r.client.ContentLength(), 5);
  EXPECT_EQ(r.client.ReceivedCount(), 5);
  EXPECT_EQ(r.client.DnsResult(), "127.0.0.1");
  EXPECT_EQ(r.client.ResponseHeader(),
            (std::vector<std::string>{"HTTP/1.0 200 OK", "Set-Cookie: id=1", "Content-Length: 5"}));
  // Later turns of the event loop bring nothing more.
  test::PumpFor(100);
  EXPECT_EQ(r.doneCount, 1);
}

TEST_F(HttpCliTest, DottedAddressConnectsInsideStartGet) {
  TScriptServer server({Respond(kOk)});
  TRecordingClient r(false);
  r.client.URL = server.Url("/");
  r.client.StartGet();
  EXPECT_EQ(r.client.State(), httpConnecting);
  EXPECT_FALSE(r.done);
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
}

TEST_F(HttpCliTest, HeaderFieldsAreInterpreted) {
  TScriptServer server(
      {Respond("HTTP/1.1 206 Partial Content\r\n"
               "content-type: TEXT/Plain; Charset=X\r\n"
               "Accept-Ranges:    bytes\r\n"
               "WWW-Authenticate: Basic realm=\"r\"\r\n"
               "Content-Range: bytes 100-199/1000\r\n"
               "X-Blank:   \r\n"
               "\r\n"
               "range body")});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.client.StatusCode(), 206);
  EXPECT_EQ(r.client.ReasonPhrase(), "Partial Content");
  EXPECT_EQ(r.client.ContentType(), "text/plain; charset=x");
  EXPECT_EQ(r.client.AcceptRanges(), "bytes");
  EXPECT_EQ(r.client.AuthenticateRequests(), std::vector<std::string>{"Basic realm=\"r\""});
  EXPECT_EQ(r.client.ContentRangeBegin, "100");
  EXPECT_EQ(r.client.ContentRangeEnd, "199");
  EXPECT_EQ(r.stream.DataString(), "range body");

  // The next request carries the range once; the one after it none.
  server.SetAnswers({Respond(kOk)});
  ASSERT_TRUE(r.Get(server.Url("/again")));
  EXPECT_NE(server.Request(1).find("\r\nRange: bytes=100-199\r\n"), std::string::npos);
  ASSERT_TRUE(r.Get(server.Url("/third")));
  EXPECT_EQ(server.Request(2).find("Range:"), std::string::npos);
  EXPECT_EQ(r.client.AcceptRanges(), "") << "cleared when a request is sent";
}

// ---------------------------------------------------------------- body handling

TEST_F(HttpCliTest, HeaderlessHtmlIsTakenWholeAsBody) {
  const std::string page = "<HtMl><head><title>t</title></head>\r\n<body>\nline two\r\n</body>";
  TScriptServer server({Respond(page)});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.stream.DataString(), page);
  EXPECT_EQ(r.client.ContentType(), "text/html");
  EXPECT_EQ(r.client.StatusCode(), 0);
  EXPECT_EQ(r.client.ReceivedCount(), static_cast<int32_t>(page.size()));
}

TEST_F(HttpCliTest, BodyIsWrittenAtTheStreamPositionAndPassedOnUntouched) {
  std::string body;
  for (int i = 0; i < 100000; ++i)
    body += static_cast<char>(i % 251);  // NULs and CR LFs too
  TScriptServer server({TPeerAnswer().Send(kOk).Drip(body, 30000, 2)});
  TRecordingClient r(false);
  r.stream.Write("previous page, much longer than nothing at all", 46);
  int maxChunk = 0;
  r.client.OnDocData = [&](THttpCli&, const char*, int32_t len) {
    maxChunk = std::max(maxChunk, len);
  };
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.stream.DataString(), body);
  EXPECT_LE(maxChunk, 8192);
  EXPECT_EQ(r.client.ReceivedCount(), 100000);
}

TEST_F(HttpCliTest, SlowDripStillCompletes) {
  TScriptServer server({TPeerAnswer().Drip("HTTP/1.0 200 OK\r\nX-A: b\r\n\r\nslow body", 1, 3)});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.client.StatusCode(), 200);
  EXPECT_EQ(r.stream.DataString(), "slow body");
}

// ---------------------------------------------------------------- failures

TEST_F(HttpCliTest, FailureRowsEndWithTheirTexts) {
  TScriptServer notFound(
      {Respond(HttpResponse("HTTP/1.0 404 Not Found", {}, "<html>gone</html>"))});
  TScriptServer silentClose({TPeerAnswer()});
  TScriptServer noStatus({Respond("garbage line\r\nX: y\r\n\r\nrest")});
  TScriptServer badStatus({Respond("HTTP/1.0 abc OK\r\n\r\nbody")});
  // Both peers would hold on for ever: the client must end the request itself.
  TScriptServer longLine(
      {TPeerAnswer().Send("HTTP/1.0 200 OK\r\nX-Long: " + std::string(400000, 'a')).Hold()});
  TScriptServer loop({TPeerAnswer().Send("HTTP/1.0 302 Found\r\nLocation: /same\r\n\r\n")});
  const std::string refused = "http://127.0.0.1:" + std::to_string(test::RefusedPort()) + "/";
  const struct {
    const char* name;
    std::string url, proxy, proxyPort;
    uint16_t error;
    int32_t status;
    std::string reason;  // a trailing '*' matches any rest
    std::string body;
  } cases[] = {
      {"host not found", "http://no-such-host.invalid/", "", "80", 11001, 404,
       "can't resolve hostname to IP address", ""},
      {"connect refused", refused, "", "80", 10061, 404, "Connection refused (Error #10061)", ""},
      {"proxy port empty", "http://www.example.com/", "127.0.0.1", "", 0, 404, "can't connect: *",
       ""},
      {"unknown service port", "http://127.0.0.1:nosuchservice/", "", "80", 0, 404,
       "can't connect: *", ""},
      {"404 with body", notFound.Url("/x"), "", "80", 0, 404, "Not Found", "<html>gone</html>"},
      {"closed before any response", silentClose.Url("/"), "", "80", 0, 0, "", ""},
      {"no status line", noStatus.Url("/"), "", "80", 0, 0, "", "rest"},
      {"status code not a number", badStatus.Url("/"), "", "80", 0, 0, "", ""},
      {"header line longer than the buffer", longLine.Url("/"), "", "80", 4, 404,
       "HTTP line too long", ""},
      {"relocation loop", loop.Url("/same"), "", "80", 5, 404,
       "too many relocations (more than 20)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingClient r(false);
    r.client.Proxy = c.proxy;
    r.client.ProxyPort = c.proxyPort;
    ASSERT_TRUE(r.Get(c.url));
    EXPECT_FALSE(r.doneInsideStartGet);
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(r.client.CompletionError(), c.error);
    EXPECT_EQ(r.doneError, c.error);
    EXPECT_EQ(r.client.StatusCode(), c.status);
    if (!c.reason.empty() && c.reason.back() == '*') {
      EXPECT_EQ(r.client.ReasonPhrase().rfind(c.reason.substr(0, c.reason.size() - 1), 0), 0u)
          << r.client.ReasonPhrase();
    } else {
      EXPECT_EQ(r.client.ReasonPhrase(), c.reason);
    }
    EXPECT_EQ(r.stream.DataString(), c.body);
    EXPECT_EQ(r.client.State(), httpIdle);
  }
  EXPECT_TRUE(longLine.WaitForClientClose(0));
  EXPECT_EQ(loop.ConnectionCount(), 21u);
}

TEST_F(HttpCliTest, ErrorStatusClosesAtOnce) {
  // The server would keep the connection open: the client's close ends the request.
  TScriptServer server(
      {TPeerAnswer().Send(HttpResponse("HTTP/1.0 500 Internal Error", {}, "oops")).Hold()});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.client.StatusCode(), 500);
  EXPECT_EQ(r.client.ReasonPhrase(), "Internal Error");
  EXPECT_EQ(r.doneError, 0);
  EXPECT_TRUE(server.WaitForClientClose(0));
}

TEST_F(HttpCliTest, ResetMidBodyEndsLikeAClose) {
  TScriptServer server({TPeerAnswer().Send(kOk + "first part").Pause(50).Reset()});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.doneError, 0);
  EXPECT_EQ(r.client.StatusCode(), 200);
  EXPECT_EQ(r.stream.DataString(), "first part");
  test::PumpFor(50);
  EXPECT_EQ(r.doneCount, 1);
}

TEST_F(HttpCliTest, AfterAnOverlongHeaderLineTheNextRequestStartsClean) {
  const std::string longLine =
      "HTTP/1.0 200 OK\r\nX-Long: " + std::string(9000, 'a') + "\r\n\r\nbody";
  TScriptServer server({TPeerAnswer().Send(longLine).Hold(), Respond(kOk + "fine")});
  TRecordingClient r(false);
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.doneError, kHttpErrorLineTooLong);
  EXPECT_EQ(r.stream.DataString(), "");
  EXPECT_TRUE(server.WaitForClientClose(0));
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.doneError, 0);
  EXPECT_EQ(r.stream.DataString(), "fine");
}

// ---------------------------------------------------------------- relocation

TEST_F(HttpCliTest, RelocationsWithoutAProxy) {
  TScriptServer other({Respond(kOk + "other server")});
  const std::string found = "HTTP/1.0 302 Found\r\nLocation: ";
  const struct {
    const char* name;
    std::string location;
    bool toOther;
    std::string secondRequestLine, newLocation;
  } cases[] = {
      {"absolute path", "/next?a=1", false, "GET /next?a=1 HTTP/1.0", "http://127.0.0.1/next?a=1"},
      {"absolute URL", "http://127.0.0.1:" + std::to_string(other.Port()) + "/abs", true,
       "GET /abs HTTP/1.0", "http://127.0.0.1/abs"},
      {"bare relative name", "page.html", false, "GET http://127.0.0.1/page.html HTTP/1.0",
       "http://127.0.0.1/page.html"},
      {"scheme and path only", "http:/p2", false, "GET /p2 HTTP/1.0", "http://127.0.0.1/p2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptServer server(
        {Respond(found + c.location + "\r\n\r\ndiscarded body"), Respond(kOk + "final")});
    const size_t otherBefore = other.ConnectionCount();
    TRecordingClient r;
    ASSERT_TRUE(r.Get(server.Url("/start")));
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(r.stream.DataString(), c.toOther ? "other server" : "final");
    int changes = 0;
    for (const auto& e : r.events)
      changes += e == "LocationChange " + c.newLocation;
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(r.client.Location(), c.newLocation);
    const std::string second = c.toOther ? other.Request(otherBefore) : server.Request(1);
    EXPECT_EQ(second.substr(0, second.find("\r\n")), c.secondRequestLine);
    EXPECT_NE(second.find("\r\nHost: 127.0.0.1\r\n"), std::string::npos);
    EXPECT_EQ(server.ConnectionCount(), c.toOther ? 1u : 2u);
    EXPECT_EQ(r.client.StatusCode(), 200);
    EXPECT_EQ(r.client.ResponseHeader().front(), "HTTP/1.0 302 Found");
  }
}

TEST_F(HttpCliTest, RelocationChainEndsInOneRequestDone) {
  TScriptServer server({Respond("HTTP/1.0 301 Moved\r\nLocation: /b\r\n\r\n"),
                        Respond("HTTP/1.0 302 Found\r\nLocation: /c\r\n\r\n"), Respond(kOk + "c")});
  TRecordingClient r;
  ASSERT_TRUE(r.Get(server.Url("/a")));
  test::PumpFor(50);
  EXPECT_EQ(r.doneCount, 1);
  EXPECT_EQ(r.stream.DataString(), "c");
  EXPECT_EQ(server.ConnectionCount(), 3u);
  EXPECT_EQ(
      r.client.ResponseHeader(),
      (std::vector<std::string>{"HTTP/1.0 301 Moved", "Location: /b", "HTTP/1.0 302 Found",
                                "Location: /c", "HTTP/1.0 200 OK", "Content-Type: Text/HTML"}));
  EXPECT_EQ(server.Request(2).substr(0, 17), "GET /c HTTP/1.0\r\n");
}

TEST_F(HttpCliTest, RelocationsThroughAProxyStayOnTheProxy) {
  const struct {
    const char* name;
    std::string location, secondRequestLine, secondHost;
  } cases[] = {
      {"absolute path keeps scheme, host and port", "/next",
       "GET http://www.example.com:8080/next HTTP/1.0", "www.example.com"},
      {"absolute URL with its port", "http://other.example:81/x",
       "GET http://other.example:81/x HTTP/1.0", "other.example"},
      {"bare relative name", "rel.html", "GET http://www.example.com:8080/rel.html HTTP/1.0",
       "www.example.com"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptServer proxy({Respond("HTTP/1.0 302 Found\r\nLocation: " + c.location + "\r\n\r\n"),
                         Respond(kOk + "via proxy")});
    TRecordingClient r(false);
    r.client.Proxy = proxy.HostPort();
    ASSERT_TRUE(r.Get("http://www.example.com:8080/start"));
    EXPECT_EQ(r.stream.DataString(), "via proxy");
    ASSERT_EQ(proxy.ConnectionCount(), 2u);
    const std::string second = proxy.Request(1);
    EXPECT_EQ(second.substr(0, second.find("\r\n")), c.secondRequestLine);
    EXPECT_NE(second.find("\r\nHost: " + c.secondHost + "\r\n"), std::string::npos) << second;
  }
}

// ---------------------------------------------------------------- abort and busy

TEST_F(HttpCliTest, AbortWhileIdleFiresNothing) {
  TRecordingClient r;
  r.client.Abort();
  test::PumpFor(50);
  EXPECT_TRUE(r.events.empty());
}

TEST_F(HttpCliTest, AbortDuringTheLookup) {
  test::TTestNameServer silent(true);
  TRecordingClient r(false);
  r.client.URL = "http://pending.example/";
  r.client.StartGet();
  EXPECT_EQ(r.client.State(), httpResolving);
  test::PumpFor(50);
  r.client.Abort();
  EXPECT_FALSE(r.done) << "never from inside Abort";
  EXPECT_EQ(r.client.State(), httpIdle);
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  EXPECT_EQ(r.doneError, 3);
  EXPECT_EQ(r.client.StatusCode(), 404);
  EXPECT_EQ(r.client.ReasonPhrase(), "Connection aborted on request");
  test::PumpFor(50);
  EXPECT_EQ(r.doneCount, 1);
}

TEST_F(HttpCliTest, AbortDuringTheConnect) {
  // A listener whose accept queue is full: further connects stay pending.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::connect(f, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    fillers.push_back(f);
  }
  TRecordingClient r(false);
  r.client.URL = "http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/";
  r.client.StartGet();
  test::PumpFor(200);
  EXPECT_EQ(r.client.State(), httpConnecting);
  r.client.Abort();
  EXPECT_FALSE(r.done);
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  EXPECT_EQ(r.doneError, 3);
  for (int f : fillers)
    ::close(f);
  ::close(listener);
}

TEST_F(HttpCliTest, AbortDuringTheTransferKeepsWhatArrived) {
  TScriptServer server({TPeerAnswer().Send(kOk + "partial ").Hold()});
  TRecordingClient r;
  r.client.URL = server.Url("/");
  r.client.StartGet();
  ASSERT_TRUE(WaitFor([&] { return r.stream.DataString() == "partial "; }));
  // A second start while busy is refused and changes nothing.
  try {
    r.client.StartGet();
    FAIL() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 1);
    EXPECT_EQ(e.Message, "HTTP component is busy");
  }
  EXPECT_EQ(r.client.State(), httpReadingBody);
  r.client.Abort();
  EXPECT_FALSE(r.done);
  ASSERT_GE(r.events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(r.events.end() - 3, r.events.end()),
            (std::vector<std::string>{"State httpAborting", "DocEnd", "State httpIdle"}));
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  EXPECT_EQ(r.doneError, 3);
  EXPECT_EQ(r.stream.DataString(), "partial ");
  EXPECT_TRUE(server.WaitForClientClose(0));

  // The client is usable again at once.
  server.SetAnswers({Respond(kOk + "next")});
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.stream.DataString(), "next");
  EXPECT_EQ(r.doneError, 0);
}

TEST_F(HttpCliTest, AbortThenStartGetBeforeAPumpCompletesOnlyTheNewRequest) {
  TScriptServer server({TPeerAnswer().Send(kOk + "old ").Hold(),
                        TPeerAnswer().Send(kOk + "new ").Pause(300).Send("body")});
  TRecordingClient r(false);
  r.client.URL = server.Url("/");
  r.client.StartGet();
  ASSERT_TRUE(WaitFor([&] { return r.stream.DataString() == "old "; }));
  r.client.Abort();
  r.stream.SetPosition(0);
  r.client.StartGet();  // before the thread pumps: the aborted request's completion is stale
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  EXPECT_EQ(r.doneError, 0);
  EXPECT_EQ(r.stream.DataString(), "new body");
  test::PumpFor(50);
  EXPECT_EQ(r.doneCount, 1);
}

TEST_F(HttpCliTest, StartGetRaisesForAnEmptyHostAndStaysUsable) {
  TRecordingClient r(false);
  r.client.URL = "";
  try {
    r.client.StartGet();
    FAIL() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message, "DNS lookup: invalid host name.");
  }
  test::PumpFor(50);
  EXPECT_FALSE(r.done) << "no OnRequestDone for a start that raised";
  TScriptServer server({Respond(kOk + "ok")});
  ASSERT_TRUE(r.Get(server.Url("/")));
  EXPECT_EQ(r.stream.DataString(), "ok");
}

TEST_F(HttpCliTest, DestroyingTheClientMidRequestFiresNothing) {
  TScriptServer server({TPeerAnswer().Send(kOk + "x").Hold()});
  auto events = std::make_shared<int>(0);
  {
    auto client = std::make_unique<THttpCli>();
    client->OnRequestDone = [events](THttpCli&, THttpRequest, uint16_t) { ++*events; };
    client->OnDocData = [events](THttpCli&, const char*, int32_t) { ++*events; };
    client->URL = server.Url("/");
    client->StartGet();
    ASSERT_TRUE(WaitFor([&] { return *events > 0; }));
    client->Abort();  // request-done is queued...
  }                   // ...and dropped with the client
  const int before = *events;
  test::PumpFor(100);
  EXPECT_EQ(*events, before);
  EXPECT_TRUE(server.WaitForClientClose(0));
}

}  // namespace
}  // namespace quellion
