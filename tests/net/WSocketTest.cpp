#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/WSocket.h"
#include "platform/ThreadQueue.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/PeerProcess.h"
#include "tests/support/peers/ScriptServer.h"

namespace quellion {
namespace {

using test::WaitFor;

// A socket whose events are written to a log that outlives it.
struct TLoggedSocket {
  std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
  std::unique_ptr<TWSocket> socket = std::make_unique<TWSocket>();
  std::string received;
  int readChunk = 4096;

  TLoggedSocket() {
    auto l = log;
    socket->OnDnsLookupDone = [l](TCustomWSocket&, uint16_t e) {
      l->push_back("DnsLookupDone " + std::to_string(e));
    };
    socket->OnSessionConnected = [l](TCustomWSocket&, uint16_t e) {
      l->push_back("SessionConnected " + std::to_string(e));
    };
    socket->OnSessionClosed = [l](TCustomWSocket&, uint16_t e) {
      l->push_back("SessionClosed " + std::to_string(e));
    };
    socket->OnDataSent = [l](TCustomWSocket&, uint16_t e) {
      l->push_back("DataSent " + std::to_string(e));
    };
    socket->OnDataAvailable = [this](TCustomWSocket& s, uint16_t) {
      std::string buffer(readChunk, '\0');
      const int n = s.Receive(buffer.data(), readChunk);
      if (n > 0)
        received.append(buffer.data(), n);
      if (n > 0 && (log->empty() || log->back() != "Data"))
        log->push_back("Data");
    };
  }
  bool Has(const std::string& event) const {
    for (const auto& e : *log)
      if (e == event)
        return true;
    return false;
  }
  void ConnectTo(uint16_t port) {
    socket->SetAddr("127.0.0.1");
    socket->SetPort(std::to_string(port));
    socket->Connect();
  }
};

class WSocketTest : public ::testing::Test {
 protected:
  test::TTestNameServer dns_;
};

TEST_F(WSocketTest, DottedAddressLookupFinishesInsideTheCall) {
  TLoggedSocket s;
  s.socket->DnsLookup("127.0.0.1");
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 0"});
  EXPECT_EQ(s.socket->DnsResult(), "127.0.0.1");
  EXPECT_FALSE(s.socket->DnsLookupPending());
}

TEST_F(WSocketTest, EmptyHostIsRefused) {
  TLoggedSocket s;
  try {
    s.socket->DnsLookup("");
    FAIL() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message, "DNS lookup: invalid host name.");
  }
  EXPECT_TRUE(s.log->empty());
  // With an error handler the report does not raise and the lookup ends with 10022.
  int errors = 0;
  s.socket->OnError = [&](TCustomWSocket&) { ++errors; };
  s.socket->DnsLookup("");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 10022"});
}

TEST_F(WSocketTest, NameLookupsAnswerFromTheEventLoop) {
  TLoggedSocket s;
  s.socket->DnsLookup("localhost");
  EXPECT_TRUE(s.log->empty()) << "a lookup by name never answers inside DnsLookup";
  ASSERT_TRUE(WaitFor([&] { return !s.log->empty(); }));
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 0"});
  EXPECT_EQ(s.socket->DnsResult(), "127.0.0.1");
  ASSERT_FALSE(s.socket->DnsResultList().empty());

  s.log->clear();
  s.socket->DnsLookup("no-such-host.invalid");
  ASSERT_TRUE(WaitFor([&] { return !s.log->empty(); }));
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 11001"});
  EXPECT_EQ(s.socket->DnsResult(), "");
}

TEST_F(WSocketTest, SecondLookupCancelsTheFirstSilentlyAndItsLateAnswerIsIgnored) {
  TLoggedSocket s;
  s.socket->DnsLookup("localhost");  // its answer is already on its way to the queue
  s.socket->DnsLookup("127.0.0.2");
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 0"});
  test::PumpFor(200);
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 0"});
  EXPECT_EQ(s.socket->DnsResult(), "127.0.0.2");
}

TEST_F(WSocketTest, CancellingAPendingLookupReports10004) {
  test::TTestNameServer silent(true);
  TLoggedSocket s;
  s.socket->DnsLookup("pending.example");
  test::PumpFor(100);
  EXPECT_TRUE(s.log->empty());
  EXPECT_TRUE(s.socket->DnsLookupPending());
  s.socket->CancelDnsLookup();
  EXPECT_EQ(*s.log, std::vector<std::string>{"DnsLookupDone 10004"});
  EXPECT_FALSE(s.socket->DnsLookupPending());
  s.socket->CancelDnsLookup();  // nothing pending: nothing happens
  EXPECT_EQ(s.log->size(), 1u);

  // Replacing a pending lookup fires nothing for it.
  s.log->clear();
  s.socket->DnsLookup("pending.example");
  s.socket->DnsLookup("other.example");
  test::PumpFor(100);
  EXPECT_TRUE(s.log->empty());
}

TEST_F(WSocketTest, RefusedConnectReportsThenCloses) {
  TLoggedSocket s;
  std::vector<std::string> states;
  s.socket->OnChangeState = [&](TCustomWSocket&, TSocketState, TSocketState n) {
    states.push_back(std::to_string(n));
  };
  s.ConnectTo(test::RefusedPort());
  EXPECT_EQ(s.socket->State(), wsConnecting);
  ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsClosed; }));
  EXPECT_EQ(*s.log, (std::vector<std::string>{"SessionConnected 10061", "SessionClosed 0"}));
  EXPECT_EQ(states,
            (std::vector<std::string>{std::to_string(wsOpened), std::to_string(wsConnecting),
                                      std::to_string(wsConnected), std::to_string(wsClosed)}));
}

TEST_F(WSocketTest, ConnectRefusalsAndPropertyGuards) {
  TLoggedSocket s;
  auto message = [&](auto&& f) {
    try {
      f();
    } catch (const ESocketException& e) {
      return e.Message;
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "Connect: No Port Specified");
  s.socket->SetPort("80");
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "Connect: No IP Address Specified");
  s.socket->SetAddr("127.0.0.1");
  s.socket->SetProto("");
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "Connect: No Protocol Specified");
  s.socket->SetProto("tcp");
  s.socket->SetPort("nosuchservice");
  EXPECT_EQ(message([&] { s.socket->Connect(); }),
            "connect: WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004");
  s.socket->SetPort("");
  s.socket->SetPort(std::string(40, '1'));
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "connect: WSocketResolvePort: Invalid Port.");

  test::TScriptServer server({test::TPeerAnswer().Hold()});
  s.ConnectTo(server.Port());
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "Connect: Socket already in use");
  EXPECT_EQ(message([&] { s.socket->SetAddr("127.0.0.2"); }), "Cannot change Addr if not closed");
  EXPECT_EQ(message([&] { s.socket->SetPort("1"); }), "Cannot change Port if not closed");
  EXPECT_EQ(message([&] { s.socket->SetProto("udp"); }), "Cannot change Proto if not closed");
  ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsConnected; }));
  s.socket->Close();
  EXPECT_EQ(s.socket->Addr(), "127.0.0.1") << "kept across a close";
  // ...but it must be set again, like the port.
  EXPECT_EQ(message([&] { s.socket->Connect(); }), "Connect: No Port Specified");
}

TEST_F(WSocketTest, SendOnAClosedSocketIsRefused) {
  TLoggedSocket s;
  try {
    s.socket->Send("x", 1);
    FAIL() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message, "Error 10057 in function Send\r\nSocket is not connected");
  }
  EXPECT_EQ(s.socket->LastError(), 10057);
  s.socket->OnError = [](TCustomWSocket&) {};
  EXPECT_EQ(s.socket->Send("x", 1), -1);
}

TEST_F(WSocketTest, DataSentFiresOnlyFromTheEventLoopAndBigSendsArriveWhole) {
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Hold()});
  TLoggedSocket s;
  s.ConnectTo(server.Port());
  ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsConnected; }));
  EXPECT_EQ(s.socket->Send("hello", 5), 5);
  EXPECT_FALSE(s.Has("DataSent 0")) << "never from inside Send";
  ASSERT_TRUE(WaitFor([&] { return s.Has("DataSent 0"); }));

  // More than the socket buffers take at once: the rest leaves on write readiness.
  std::string big(8 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>('a' + i % 26);
  s.log->clear();
  EXPECT_EQ(s.socket->Send(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
  EXPECT_EQ(s.socket->Send(nullptr, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return server.Request(0).size() == big.size() + 5; }, 20000));
  ASSERT_TRUE(WaitFor([&] { return s.Has("DataSent 0"); }));
  EXPECT_EQ(server.Request(0), "hello" + big);
}

TEST_F(WSocketTest, WaitingDataIsDeliveredBeforeTheClose) {
  std::string payload;
  for (int i = 0; i < 20000; ++i)
    payload += std::to_string(i) + ",";
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Send(payload)});
  TLoggedSocket s;
  s.readChunk = 100;  // many passes of the read loop per notification
  s.ConnectTo(server.Port());
  ASSERT_TRUE(WaitFor([&] { return s.Has("SessionClosed 0"); }));
  EXPECT_EQ(s.received, payload);
  EXPECT_EQ(*s.log, (std::vector<std::string>{"SessionConnected 0", "Data", "SessionClosed 0"}));
  EXPECT_EQ(s.socket->State(), wsClosed);
}

TEST_F(WSocketTest, OnePassPerNotificationStillDeliversEverything) {
  std::string payload(50000, 'x');
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Send(payload).Hold()});
  TLoggedSocket s;
  s.socket->ComponentOptions = 1u << wsoNoReceiveLoop;
  s.readChunk = 700;
  s.ConnectTo(server.Port());
  ASSERT_TRUE(WaitFor([&] { return s.received.size() == payload.size(); }));
  EXPECT_EQ(s.received, payload);
  EXPECT_FALSE(s.Has("SessionClosed 0"));
}

// A peer that sends as fast as it can until the client closes or `seconds` pass, then
// closes: without a bound, one read notification would take all of it.
class TEndlessSender {
 public:
  explicit TEndlessSender(int seconds) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 1) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("endless sender: cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, seconds] {
      const int fd = ::accept(listenFd_, nullptr, nullptr);
      if (fd < 0)
        return;
      const std::string block(64 * 1024, 'e');
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
      while (!stop_ && std::chrono::steady_clock::now() < end)
        if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) < 0)
          break;
      ::close(fd);
    });
  }
  ~TEndlessSender() {
    stop_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
  }
  uint16_t Port() const { return port_; }

 private:
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(WSocketTest, AnEndlessPeerLeavesTheEventLoopItsTurns) {
  TEndlessSender peer(5);
  TLoggedSocket s;
  s.readChunk = 8192;
  size_t total = 0;
  s.socket->OnDataAvailable = [&total, &s](TCustomWSocket& socket, uint16_t) {
    char buffer[8192];
    const int n = socket.Receive(buffer, s.readChunk);
    if (n > 0)
      total += static_cast<size_t>(n);
  };
  s.ConnectTo(peer.Port());
  // Each pump must come back after a bounded amount of data, long before the peer gives up
  // (a pump runs at most 16 rounds; in each the readiness and the socket's own read
  // notice take at most about 1 MiB apiece). Unbounded, a pump takes hundreds of MiB.
  size_t mostInOnePump = 0;
  int pumpsWithData = 0;
  auto& queue = TThreadQueue::Current();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::chrono::steady_clock::now() < deadline && pumpsWithData < 20) {
    const size_t before = total;
    queue.WaitForWork(50);
    queue.Pump();
    mostInOnePump = std::max(mostInOnePump, total - before);
    pumpsWithData += total > before;
  }
  EXPECT_GE(pumpsWithData, 20);
  EXPECT_LE(mostInOnePump, size_t{128} << 20);
  s.socket->Abort();
}

TEST_F(WSocketTest, ResetByPeerEndsTheSessionOnce) {
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Send("part").Reset()});
  TLoggedSocket s;
  s.ConnectTo(server.Port());
  ASSERT_TRUE(WaitFor([&] {
    return s.socket->State() == wsClosed && !s.log->empty() &&
           s.log->back().rfind("SessionClosed", 0) == 0;
  }));
  int closes = 0;
  for (const auto& e : *s.log)
    closes += e.rfind("SessionClosed", 0) == 0;
  EXPECT_EQ(closes, 1);
}

TEST_F(WSocketTest, CloseFiresOnceAndDestructionFiresNothing) {
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Hold()});
  {
    TLoggedSocket s;
    s.ConnectTo(server.Port());
    ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsConnected; }));
    s.socket->Close();
    s.socket->Close();
    EXPECT_EQ(*s.log, (std::vector<std::string>{"SessionConnected 0", "SessionClosed 0"}));
    ASSERT_TRUE(server.WaitForClientClose(0));
  }
  {
    TLoggedSocket s;
    s.ConnectTo(server.Port());
    ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsConnected; }));
    auto log = s.log;
    s.socket.reset();
    EXPECT_EQ(*log, std::vector<std::string>{"SessionConnected 0"});
    ASSERT_TRUE(server.WaitForClientClose(1));
    test::PumpFor(50);  // nothing queued for it may run now
    EXPECT_EQ(*log, std::vector<std::string>{"SessionConnected 0"});
  }
}

TEST_F(WSocketTest, AbortDropsTheLookupAndTheConnection) {
  test::TTestNameServer silent(true);
  test::TScriptServer server({test::TPeerAnswer().WithoutWaitingForRequest().Hold()});
  TLoggedSocket s;
  s.ConnectTo(server.Port());
  ASSERT_TRUE(WaitFor([&] { return s.socket->State() == wsConnected; }));
  s.socket->DnsLookup("pending.example");
  s.socket->Abort();
  EXPECT_EQ(*s.log, (std::vector<std::string>{"SessionConnected 0", "DnsLookupDone 10004",
                                              "SessionClosed 0"}));
  EXPECT_EQ(s.socket->State(), wsClosed);
  EXPECT_TRUE(server.WaitForClientClose(0));
}

TEST_F(WSocketTest, ResolverLibraryFollowsTheLiveSocketCount) {
  ASSERT_EQ(LiveSocketCount(), 0);
  {
    TLoggedSocket s;
    EXPECT_EQ(LiveSocketCount(), 1);
    EXPECT_FALSE(ResolverLibraryStarted()) << "no library call at construction";
    s.socket->DnsLookup("localhost");
    EXPECT_TRUE(ResolverLibraryStarted());
    ASSERT_TRUE(WaitFor([&] { return !s.log->empty(); }));
  }
  EXPECT_EQ(LiveSocketCount(), 0);
  EXPECT_FALSE(ResolverLibraryStarted());
  TLoggedSocket again;
  again.socket->DnsLookup("localhost");
  ASSERT_TRUE(WaitFor([&] { return !again.log->empty(); }));
  EXPECT_EQ(*again.log, std::vector<std::string>{"DnsLookupDone 0"});
}

}  // namespace
}  // namespace quellion
