#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "tests/support/CliRunner.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/peers/PeerProcess.h"
#include "tests/support/peers/ScriptServer.h"
#include "tests/support/peers/TlsPeers.h"

namespace quellion {
namespace {

using test::Respond;
using test::TCliRun;
using test::TScriptServer;

class FetchCommandTest : public ::testing::Test {
 protected:
  TCliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "fetch");
    return test::RunCli(args);
  }

  // An empty settings store: no stored proxy reaches these fetches.
  test::TSettingsSandbox config_;
};

TEST_F(FetchCommandTest, WritesTheBodyRawAndTheOutcomeLine) {
  static const char kBody[] = "raw\r\n\x01\xff bytes\0end";
  const std::string body(kBody, sizeof kBody - 1);
  TScriptServer server({Respond("HTTP/1.0 200 OK\r\n\r\n" + body)});
  const TCliRun r = Run({server.Url("/page")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, body);
  EXPECT_EQ(r.err, "error=0 status=200 reason=OK\n");
}

TEST_F(FetchCommandTest, FailuresExitOne) {
  TScriptServer notFound({Respond("HTTP/1.0 404 Not\tFound\r\n\r\n")});
  TCliRun r = Run({notFound.Url("/")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error=0 status=404 reason=Not\\tFound\n");

  const std::string refusedPort = std::to_string(test::RefusedPort());
  r = Run({"http://127.0.0.1:" + refusedPort + "/"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error=10061 status=404 reason=Connection refused (Error #10061): 127.0.0.1:" +
                       refusedPort + "\n");

  r = Run({"/no-host"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quellion-cli: DNS lookup: invalid host name.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(FetchCommandTest, BrokenAnswersExitOneAndSayWhatWasWrong) {
  const struct {
    const char* name;
    std::string answer, out, err;
  } cases[] = {
      {"body short of its length", "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789",
       "0123456789",
       "error=9 status=404 reason=body cut short: 10 of 1000 bytes (Content-Length)\n"},
      {"no last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
       "hello",
       "error=9 status=404 reason=body cut short: the chunked body ended without its last "
       "chunk\n"},
      {"empty reply", "", "",
       "error=8 status=404 reason=no answer: the connection closed before a status line\n"},
      {"invalid length", "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nbody", "",
       "error=8 status=404 reason=invalid Content-Length in the answer: '-1'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptServer server({Respond(c.answer)});
    const TCliRun r = Run({server.Url("/")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

// Counts what is written and keeps none of it.
class TCountingBuffer : public std::streambuf {
 public:
  uint64_t count = 0;

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof())
      ++count;
    return c;
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count += static_cast<uint64_t>(n);
    return n;
  }
};

TEST_F(FetchCommandTest, AnHttpBodyStreamsOutWithBoundedMemory) {
  // A sender of twice the bound on the peak below, without a length.
  constexpr uint64_t kTotal = 128ull << 20;
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::thread sender([listener] {
    const int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0)
      return;
    char request[4096];
    (void)!::recv(fd, request, sizeof request, 0);
    const std::string header = "HTTP/1.0 200 OK\r\n\r\n";
    (void)!::send(fd, header.data(), header.size(), MSG_NOSIGNAL);
    const std::string block(1 << 16, 'x');
    for (uint64_t sent = 0; sent < kTotal; sent += block.size()) {
      if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) <= 0)
        break;
    }
    ::close(fd);
  });
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  TCountingBuffer counted;
  std::ostream out(&counted);
  std::ostringstream err;
  std::istringstream in;
  cli::CommandContext ctx{
      {"--timeout", "60", "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/"},
      in,
      out,
      err};
  EXPECT_EQ(cli::RunFetch(ctx), 0) << err.str();
  sender.join();
  ::close(listener);
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(counted.count, kTotal);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB more at the peak";
}

TEST_F(FetchCommandTest, TimeoutAbortsAndKeepsThePartialBody) {
  TScriptServer server({test::TPeerAnswer().Send("HTTP/1.0 200 OK\r\n\r\npartial").Hold()});
  const TCliRun r = Run({"--timeout", "1", server.Url("/")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "partial");
  EXPECT_EQ(r.err, "error=3 status=404 reason=Connection aborted on request\n");
}

TEST_F(FetchCommandTest, ProxyOptionsReachTheClient) {
  TScriptServer proxy({Respond("HTTP/1.0 200 OK\r\n\r\nproxied")});
  const TCliRun r = Run({"--proxy", "127.0.0.1", "--proxy-port", std::to_string(proxy.Port()),
                         "--proxy-user", "u", "--proxy-password", "p", "http://example.com/x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "proxied");
  const std::string request = proxy.Request(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET http://example.com/x HTTP/1.0");
  EXPECT_NE(request.find("\r\nProxy-Authorization: Basic dTpw\r\n"), std::string::npos);
}

TEST_F(FetchCommandTest, HttpsWithAnExplicitCaFileAndCertificateFailures) {
  const test::TTestCertificates certificates;
  const test::TTlsNginxPeer nginx(certificates);
  const std::string& ca = certificates.CaFile();
  const test::TTlsScriptServer forged(
      certificates, "HTTP/1.0 200 OK\r\n\r\npartial", true,
      std::string("\x17\x03\x03\x00\x20", 5) + std::string(32, '\x5a'));
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {"trusted through --ca-file",
       {"--ca-file", ca, nginx.Url("good", "/index.html")},
       0,
       "<html>nginx</html>\n",
       "error=0 status=200 reason=OK\n"},
      {"untrusted",
       {nginx.Url("good", "/index.html")},
       1,
       "",
       "error=12002 status=404 reason=certificate verify failed: unable to get local issuer "
       "certificate\n"},
      {"misnamed",
       {"--ca-file", ca, nginx.Url("other", "/index.html")},
       1,
       "",
       "error=12002 status=404 reason=certificate verify failed: hostname mismatch\n"},
      {"CA file missing",
       {"--ca-file", ca + ".missing", nginx.Url("good", "/index.html")},
       1,
       "",
       "error=12001 status=404 reason=cannot use CA file " + ca + ".missing: *"},
      {"forged record after a partial body",
       {"--ca-file", ca, forged.Url("/")},
       1,
       "",
       "error=10053 status=404 reason=TLS error: *"},
      {"body over the 64 MiB held",
       {"--ca-file", ca, nginx.Url("good", "/huge.bin")},
       1,
       "",
       "quellion-cli: fetch: the https body is larger than the 64 MiB held before it is "
       "written; nothing written\n*"},
  };
  nginx.AddSparseFile("huge.bin", (64u << 20) + 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TCliRun r = Run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    if (c.err.back() == '*')
      EXPECT_EQ(r.err.rfind(c.err.substr(0, c.err.size() - 1), 0), 0u) << r.err;
    else
      EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(FetchCommandTest, BadUsageExitsTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"--timeout"},
                                                                {"--timeout", "x", "http://h/"},
                                                                {"--timeout", "-1", "http://h/"},
                                                                {"--bogus", "http://h/"},
                                                                {"http://a/", "http://b/"}}) {
    const TCliRun r = Run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.err.rfind("quellion-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const TCliRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: quellion-cli fetch"), std::string::npos);
}

}  // namespace
}  // namespace quellion
