#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/SocketErrors.h"
#include "platform/Exception.h"
#include "platform/ThreadQueue.h"

namespace quellion {

// Host lookup for the socket layer: the process-wide resolver state (c-ares start-up
// follows the live-socket count), the blocking resolvers Connect uses and the
// asynchronous lookup by name that DnsLookup starts.

class ESocketException : public EException {
 public:
  using EException::EException;
};

// Process-wide resolver settings (an injectable edge for tests): empty strings keep
// the system's configuration. Lookups as c-ares's "lookups" option ("f" = hosts file
// only, "b" = DNS, "fb" = both); Servers as "host:port,..."; TimeoutMs/Tries <= 0 keep
// the defaults. Applies to lookups started afterwards.
struct TResolverConfig {
  std::string Lookups;
  std::string Servers;
  int TimeoutMs = 0;
  int Tries = 0;
};
void SetResolverConfig(const TResolverConfig& config);

// The resolvers Connect uses; each raises ESocketException with the system's text.
// Protocol number from a number or a protocol name.
int WSocketResolveProto(const std::string& proto);
// Port in network byte order from a number or a service name under proto.
uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
// IPv4 address in network byte order from a dotted address or (blocking) a host name.
uint32_t WSocketResolveHost(const std::string& host);

// Number of sockets alive in the process (all threads).
int LiveSocketCount();
// True while the resolver library is started (it follows the live-socket count).
bool ResolverLibraryStarted();
// A socket is born / dies; the last one to die shuts the resolver library down.
void AddLiveSocket();
void ReleaseLiveSocket();

// Dotted text of an IPv4 address in network byte order.
std::string DottedAddress(uint32_t networkOrder);

// One asynchronous lookup by name: its own c-ares channel, whose descriptors are
// watched on the endpoint's thread queue and whose timeouts run from a queue timer.
// The answer is posted to the endpoint as message (WParam = serial), so it never
// arrives from inside Start (c-ares may answer from the hosts file synchronously).
// Destroying the lookup cancels it; a message already posted is then stale.
class THostLookup {
 public:
  // Starts the lookup of host; nullptr with error set (a WinSock number) when it
  // cannot be started. Raises ESocketException when the library cannot start.
  static std::unique_ptr<THostLookup> Start(TMessageEndpoint& endpoint, uint32_t message,
                                            uint64_t serial, const std::string& host, int& error);
  ~THostLookup();
  THostLookup(const THostLookup&) = delete;
  THostLookup& operator=(const THostLookup&) = delete;

  uint64_t Serial() const;
  // The answer as a WinSock number (0 when found) and the addresses found, dotted.
  int Error() const;
  std::vector<std::string> TakeAddresses();

 private:
  struct State;
  explicit THostLookup(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quellion
