#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpCli.h"
#include "net/WSocket.h"
#include "tests/support/WaitFor.h"

namespace quellion::test {

// A name server on loopback (UDP) for the resolver: it answers every query with
// "no such name", or, when silent, never answers, so lookups stay pending until
// cancelled. Names in the hosts file ("localhost") are found before it is asked.
class TTestNameServer {
 public:
  explicit TTestNameServer(bool silent = false) : silent_(silent) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Serve(); });
    SetResolverConfig({"fb", "127.0.0.1:" + std::to_string(port_), 20000, 1});
  }
  ~TTestNameServer() {
    SetResolverConfig({});
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      unsigned char q[512];
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      const ssize_t n =
          ::recvfrom(fd_, q, sizeof q, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n < 12 || silent_)
        continue;
      size_t end = 12;  // header, then the question: labels, a zero, type and class
      while (end < static_cast<size_t>(n) && q[end] != 0)
        end += q[end] + 1;
      end += 5;
      if (end > static_cast<size_t>(n))
        continue;
      q[2] = 0x81;  // response, recursion desired
      q[3] = 0x83;  // recursion available, NXDOMAIN
      q[6] = q[7] = q[8] = q[9] = q[10] = q[11] = 0;
      ::sendto(fd_, q, end, 0, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
  }

  const bool silent_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// An HTTP client with every event recorded in order.
struct TRecordingClient {
  THttpCli client;
  TStringStream stream;
  std::vector<std::string> events;
  bool done = false;
  int doneCount = 0;
  uint16_t doneError = 0xFFFF;
  bool recordDocData = true;
  bool doneInsideStartGet = false;  // must never happen

  explicit TRecordingClient(bool recordAll = true) {
    client.ReceiveStream = &stream;
    client.OnRequestDone = [this](THttpCli& c, THttpRequest rq, uint16_t error) {
      events.push_back("RequestDone " + std::to_string(rq) + " " + std::to_string(error) +
                       (c.State() == httpIdle ? " idle" : " NOT IDLE"));
      done = true;
      ++doneCount;
      doneError = error;
    };
    if (!recordAll)
      return;
    client.OnStateChange = [this](THttpCli& c) { events.push_back("State " + Name(c.State())); };
    client.OnSessionConnected = [this](THttpCli&) { events.push_back("SessionConnected"); };
    client.OnRequestHeaderBegin = [this](THttpCli&) { events.push_back("RequestHeaderBegin"); };
    client.OnCommand = [this](THttpCli&, std::string& s) { events.push_back("Command " + s); };
    client.OnRequestHeaderEnd = [this](THttpCli&) { events.push_back("RequestHeaderEnd"); };
    client.OnHeaderBegin = [this](THttpCli&) { events.push_back("HeaderBegin"); };
    client.OnCookie = [this](THttpCli&, const std::string& d, bool& accept) {
      events.push_back("Cookie " + d + (accept ? " accept" : ""));
    };
    client.OnHeaderData = [this](THttpCli&) { events.push_back("HeaderData"); };
    client.OnHeaderEnd = [this](THttpCli&) { events.push_back("HeaderEnd"); };
    client.OnDocBegin = [this](THttpCli&) { events.push_back("DocBegin"); };
    client.OnDocData = [this](THttpCli&, const char*, int32_t) {
      if (recordDocData && (events.empty() || events.back() != "DocData"))
        events.push_back("DocData");  // chunking depends on timing: runs are folded
    };
    client.OnDocEnd = [this](THttpCli&) { events.push_back("DocEnd"); };
    client.OnLocationChange = [this](THttpCli& c) {
      events.push_back("LocationChange " + c.Location());
    };
  }

  static std::string Name(THttpCliState s) {
    static const char* names[] = {"httpIdle",        "httpStarting",   "httpConnected",
                                  "httpResolving",   "httpConnecting", "httpReadingHeader",
                                  "httpReadingBody", "httpAborting"};
    return names[s];
  }

  // StartGet, then pump until OnRequestDone (bounded).
  bool Get(const std::string& url, int timeoutMs = 10000) {
    done = false;
    stream.SetPosition(0);
    client.URL = url;
    client.StartGet();
    doneInsideStartGet = done;
    return WaitFor([this] { return done; }, timeoutMs);
  }
};

}  // namespace quellion::test
