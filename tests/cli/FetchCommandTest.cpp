#include <gtest/gtest.h>

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

  r = Run({"http://127.0.0.1:" + std::to_string(test::RefusedPort()) + "/"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error=10061 status=404 reason=Connection refused (Error #10061)\n");

  r = Run({"/no-host"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quellion-cli: DNS lookup: invalid host name.\n");
  EXPECT_EQ(r.out, "");
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
  };
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
