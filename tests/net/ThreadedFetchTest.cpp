// Several engine-like threads, each with its own clients and sockets, at once:
// the process-wide socket state is shared (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "net/HttpCli.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/ScriptServer.h"
#include "tests/support/peers/TlsPeers.h"

namespace quellion {
namespace {

TEST(ThreadedFetchTest, ClientsOnSeveralThreadsFetchAtOnce) {
  test::TTestNameServer dns;
  std::string body;
  for (int i = 0; i < 3000; ++i)
    body += "line " + std::to_string(i) + "\n";
  test::TScriptServer server({test::Respond("HTTP/1.0 200 OK\r\n\r\n" + body)});
  constexpr int kThreads = 5;
  constexpr int kPages = 6;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int page = 0; page < kPages; ++page) {
        // A fresh client now and then, as tasks come and go.
        THttpCli client;
        TStringStream stream;
        bool done = false;
        client.ReceiveStream = &stream;
        client.OnRequestDone = [&](THttpCli&, THttpRequest, uint16_t) { done = true; };
        // Half of them look the host up by name.
        client.URL = (t % 2 ? "http://localhost:" : "http://127.0.0.1:") +
                     std::to_string(server.Port()) + "/page" + std::to_string(page);
        try {
          client.StartGet();
        } catch (const std::exception&) {
          continue;
        }
        if (!test::WaitFor([&] { return done; }, 10000))
          client.Abort();
        if (done && client.CompletionError() == 0 && client.StatusCode() == 200 &&
            stream.DataString() == body)
          ++good;
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(good.load(), kThreads * kPages);
  EXPECT_EQ(LiveSocketCount(), 0);
  EXPECT_FALSE(ResolverLibraryStarted());
}

TEST(ThreadedFetchTest, HttpsClientsOnSeveralThreadsShareTheTlsContext) {
  test::TTestNameServer dns;
  const test::TTestCertificates certificates;
  std::string body;
  for (int i = 0; i < 3000; ++i)
    body += "tls line " + std::to_string(i) + "\n";
  const test::TTlsScriptServer server(
      certificates,
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
      false);
  constexpr int kThreads = 4;
  constexpr int kPages = 3;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int page = 0; page < kPages; ++page) {
        THttpCli client;
        TStringStream stream;
        bool done = false;
        client.ReceiveStream = &stream;
        client.CaFile = certificates.CaFile();
        client.OnRequestDone = [&](THttpCli&, THttpRequest, uint16_t) { done = true; };
        client.URL = server.Url("/page" + std::to_string(page));
        client.StartGet();
        if (!test::WaitFor([&] { return done; }, 15000))
          client.Abort();
        if (done && client.CompletionError() == 0 && stream.DataString() == body)
          ++good;
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(good.load(), kThreads * kPages);
  EXPECT_EQ(LiveSocketCount(), 0);
}

TEST(ThreadedFetchTest, SocketsComeAndGoOnManyThreads) {
  test::TTestNameServer dns;
  std::vector<std::thread> threads;
  std::atomic<int> answered{0};
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        TWSocket socket;
        bool done = false;
        socket.OnDnsLookupDone = [&](TCustomWSocket&, uint16_t e) {
          done = true;
          if (e == 0)
            ++answered;
        };
        socket.DnsLookup("localhost");
        test::WaitFor([&] { return done; }, 5000);
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(answered.load(), 120);
  EXPECT_EQ(LiveSocketCount(), 0);
}

}  // namespace
}  // namespace quellion
