// Arbitrary response bytes, split at arbitrary points, through the client's whole
// receive path over a real loopback connection. Every request must end in exactly
// one OnRequestDone, in bounded time, whatever the peer sends.
//
// Input: the response bytes first; from the end, a flag (direct or through a proxy)
// and a seed that chooses the split points.
#include <arpa/inet.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpCli.h"
#include "net/WSocket.h"
#include "platform/ThreadQueue.h"

namespace {

using namespace quellion;

int listener = -1;
uint16_t listenPort = 0;

void Setup() {
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
      ::listen(listener, 16) < 0)
    std::abort();
  getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  listenPort = ntohs(sa.sin_port);
  // Names come from the hosts file only: a location never reaches the network.
  SetResolverConfig({"f", "", 0, 0});
}

// Pumps until pred() or the bound passes; false on timeout.
template <typename P>
bool PumpUntil(P pred, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto& q = TThreadQueue::Current();
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    q.WaitForWork(5);
    q.Pump();
  }
  return true;
}

// The client's next connection; -1 when none comes or the request ended first.
int AcceptOne(const int& done, int ms) {
  int fd = -1;
  PumpUntil(
      [&] { return done > 0 || (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; },
      ms);
  return fd;
}

void Drain(int fd) {
  char buffer[4096];
  while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (listener < 0)
    Setup();
  FuzzedDataProvider input(data, size);
  const bool proxy = input.ConsumeBool();
  uint32_t seed = input.ConsumeIntegral<uint32_t>();
  const std::string response = input.ConsumeRemainingBytesAsString();

  TStringStream stream;
  THttpCli client;
  int done = 0;
  int relocations = 0;
  client.ReceiveStream = &stream;
  client.OnRequestDone = [&](THttpCli& c, THttpRequest, uint16_t) {
    if (c.State() != httpIdle)
      std::abort();
    ++done;
  };
  const std::string self = "127.0.0.1:" + std::to_string(listenPort);
  if (proxy) {
    client.Proxy = self;
    client.URL = "http://www.example.com/start";
  } else {
    client.URL = "http://" + self + "/start";
  }
  client.OnLocationChange = [&](THttpCli& c) {
    ++relocations;
    // A relocation elsewhere than this listener is cut short.
    if (c.ConnectHost() != "127.0.0.1" || c.ConnectPort() != std::to_string(listenPort))
      c.Abort();
  };
  client.StartGet();

  size_t pos = 0;
  int connections = 0;
  while (done == 0 && connections < 64) {
    const int fd = AcceptOne(done, 2000);
    if (fd < 0)
      break;
    ++connections;
    const int relocationsBefore = relocations;
    // Feed pieces until the input ends, the request ends or a relocation leaves
    // this connection.
    while (pos < response.size()) {
      seed = seed * 1103515245u + 12345u;
      const size_t piece = 1 + (seed >> 8) % (seed & 0x100 ? 9000 : 64);
      const std::string chunk = response.substr(pos, piece);
      if (::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0)
        break;
      pos += chunk.size();
      TThreadQueue::Current().WaitForWork(1);
      TThreadQueue::Current().Pump();
      Drain(fd);
      if (done || relocations != relocationsBefore)
        break;
    }
    ::close(fd);
    // The close ends the request, unless a relocation moved on to a new connection.
    if (!PumpUntil([&] { return done > 0 || relocations != relocationsBefore; }, 5000)) {
      std::fprintf(stderr, "the server's close did not end the request\n");
      std::abort();
    }
  }
  if (done == 0) {
    // Whatever state it is in now (a stalled header, a relocation waiting for a
    // connection that no more input will serve), Abort ends it.
    client.Abort();
    if (!PumpUntil([&] { return done > 0; }, 5000)) {
      std::fprintf(stderr, "no OnRequestDone after Abort\n");
      std::abort();
    }
  }
  // Connections the client opened that were never served.
  for (int fd; (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
    ::close(fd);
  PumpUntil([] { return false; }, 0);
  if (done != 1) {
    std::fprintf(stderr, "OnRequestDone fired %d times\n", done);
    std::abort();
  }
  if (static_cast<size_t>(client.ReceivedCount()) > response.size() ||
      stream.Size() > response.size())
    std::abort();
  return 0;
}
