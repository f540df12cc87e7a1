#include "net/HostLookup.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "platform/TextUtil.h"

namespace quellion {
namespace {

// Process-wide state: the resolver library follows the live-socket count.
std::mutex libraryMutex;
int liveSockets = 0;
bool aresStarted = false;
TResolverConfig resolverConfig;

void EnsureResolverLibrary() {
  std::lock_guard lock(libraryMutex);
  if (aresStarted)
    return;
  const int r = ares_library_init(ARES_LIB_INIT_ALL);
  if (r != ARES_SUCCESS)
    throw ESocketException(Format("%s: WSAStartup error #%d", "libcares", r));
  aresStarted = true;
}

// Four decimal numbers of at most 255 joined by three dots, blanks allowed around.
bool LooksLikeDottedAddress(const std::string& value) {
  const std::string s(TrimSpaceAscii(value));
  int parts = 0, digits = 0, number = 0;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      if (++digits > 3 || number > 255)
        return false;
    } else if (c == '.') {
      if (digits == 0)
        return false;
      ++parts;
      digits = number = 0;
    } else {
      return false;
    }
  }
  return parts == 3 && digits > 0;
}

}  // namespace

std::string DottedAddress(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = networkOrder;
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

void SetResolverConfig(const TResolverConfig& config) {
  std::lock_guard lock(libraryMutex);
  resolverConfig = config;
}

int LiveSocketCount() {
  std::lock_guard lock(libraryMutex);
  return liveSockets;
}

bool ResolverLibraryStarted() {
  std::lock_guard lock(libraryMutex);
  return aresStarted;
}

void AddLiveSocket() {
  std::lock_guard lock(libraryMutex);
  ++liveSockets;
}

void ReleaseLiveSocket() {
  std::lock_guard lock(libraryMutex);
  if (--liveSockets < 1) {
    liveSockets = 0;
    if (aresStarted)
      ares_library_cleanup();
    aresStarted = false;
  }
}

// ---------------------------------------------------------------- resolvers

int WSocketResolveProto(const std::string& proto) {
  if (proto.empty() || proto.size() >= 32)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (std::isdigit(static_cast<unsigned char>(proto[0])))
    return std::atoi(proto.c_str());
  protoent entry{}, *result = nullptr;
  char buffer[1024];
  if (getprotobyname_r(proto.c_str(), &entry, buffer, sizeof buffer, &result) != 0 || !result)
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                  proto.c_str(), WSANO_DATA));
  return result->p_proto;
}

uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
  if (port.empty() || port.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (std::isdigit(static_cast<unsigned char>(port[0]))) {
    unsigned long value = 0;
    for (char c : port) {
      if (c < '0' || c > '9')
        break;
      value = std::min<unsigned long>(value * 10 + (c - '0'), 0x10000);
    }
    return htons(static_cast<uint16_t>(value));  // wraps like a 16-bit conversion
  }
  servent entry{}, *result = nullptr;
  char buffer[1024];
  if (getservbyname_r(port.c_str(), proto.c_str(), &entry, buffer, sizeof buffer, &result) != 0 ||
      !result)
    throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d",
                                  port.c_str(), WSANO_DATA));
  return static_cast<uint16_t>(result->s_port);
}

uint32_t WSocketResolveHost(const std::string& host) {
  if (host.empty() || host.size() > 256)
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  if (LooksLikeDottedAddress(host)) {
    in_addr a{};
    const std::string trimmed(TrimSpaceAscii(host));
    if (inet_aton(trimmed.c_str(), &a) == 0 && trimmed != "255.255.255.255")
      throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
    return a.s_addr;
  }
  addrinfo hints{}, *list = nullptr;
  hints.ai_family = AF_INET;
  const int r = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (r != 0 || !list) {
    if (list)
      freeaddrinfo(list);
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                  host.c_str(), WSAHOST_NOT_FOUND));
  }
  const uint32_t address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(list);
  return address;
}

// ---------------------------------------------------------------- lookup by name

struct THostLookup::State {
  TMessageEndpoint* endpoint = nullptr;
  uint32_t message = 0;
  uint64_t serial = 0;
  ares_channel channel = nullptr;
  std::map<int, int> watches;  // ares descriptor -> watch id
  int timerId = 0;
  bool cancelled = false;
  bool answered = false;
  int status = ARES_SUCCESS;
  std::vector<std::string> addresses;

  TThreadQueue& Queue() { return endpoint->Queue(); }

  static void SockState(void* data, ares_socket_t fd, int readable, int writable) {
    auto* self = static_cast<State*>(data);
    auto& queue = self->Queue();
    const short events = (readable ? POLLIN : 0) | (writable ? POLLOUT : 0);
    auto it = self->watches.find(fd);
    if (events == 0) {
      if (it != self->watches.end()) {
        queue.UnwatchFd(it->second);
        self->watches.erase(it);
      }
      return;
    }
    if (it != self->watches.end()) {
      queue.SetFdEvents(it->second, events);
      return;
    }
    self->watches[fd] = queue.WatchFd(fd, events, [self](int readyFd, short revents) {
      const bool read = revents & (POLLIN | POLLERR | POLLHUP);
      const bool write = revents & POLLOUT;
      ares_process_fd(self->channel, read ? readyFd : ARES_SOCKET_BAD,
                      write ? readyFd : ARES_SOCKET_BAD);
      self->ArmTimer();
    });
  }

  static void Answer(void* arg, int status, int /*timeouts*/, hostent* host) {
    auto* self = static_cast<State*>(arg);
    if (self->cancelled || self->answered)
      return;
    self->answered = true;
    self->status = status;
    if (status == ARES_SUCCESS && host && host->h_addrtype == AF_INET) {
      for (char** p = host->h_addr_list; p && *p; ++p) {
        uint32_t a;
        std::copy(*p, *p + 4, reinterpret_cast<char*>(&a));
        self->addresses.push_back(DottedAddress(a));
      }
    }
    self->endpoint->Post(self->message, static_cast<uintptr_t>(self->serial));
  }

  void ArmTimer() {
    if (timerId)
      Queue().KillTimer(timerId);
    timerId = 0;
    if (answered || cancelled || !channel)
      return;
    timeval limit{1, 0}, tv{};
    timeval* next = ares_timeout(channel, &limit, &tv);
    const int ms = static_cast<int>(next->tv_sec * 1000 + next->tv_usec / 1000) + 1;
    timerId = Queue().SetTimer(ms, [this] {
      ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
      ArmTimer();
    });
  }

  ~State() {
    cancelled = true;
    if (timerId)
      Queue().KillTimer(timerId);
    if (channel)
      ares_destroy(channel);  // closes its descriptors through SockState
    for (auto& [fd, id] : watches)
      Queue().UnwatchFd(id);
  }
};

THostLookup::THostLookup(std::unique_ptr<State> state) : state_(std::move(state)) {}

THostLookup::~THostLookup() = default;

std::unique_ptr<THostLookup> THostLookup::Start(TMessageEndpoint& endpoint, uint32_t message,
                                                uint64_t serial, const std::string& host,
                                                int& error) {
  error = 0;
  EnsureResolverLibrary();
  TResolverConfig config;
  {
    std::lock_guard lock(libraryMutex);
    config = resolverConfig;
  }
  auto state = std::make_unique<State>();
  state->endpoint = &endpoint;
  state->message = message;
  state->serial = serial;
  ares_options options{};
  int mask = ARES_OPT_SOCK_STATE_CB;
  options.sock_state_cb = &State::SockState;
  options.sock_state_cb_data = state.get();
  if (!config.Lookups.empty()) {
    options.lookups = const_cast<char*>(config.Lookups.c_str());
    mask |= ARES_OPT_LOOKUPS;
  }
  if (config.TimeoutMs > 0) {
    options.timeout = config.TimeoutMs;
    mask |= ARES_OPT_TIMEOUTMS;
  }
  if (config.Tries > 0) {
    options.tries = config.Tries;
    mask |= ARES_OPT_TRIES;
  }
  int r = ares_init_options(&state->channel, &options, mask);
  if (r == ARES_SUCCESS && !config.Servers.empty())
    r = ares_set_servers_ports_csv(state->channel, config.Servers.c_str());
  if (r != ARES_SUCCESS) {
    error = AresStatusToWinsock(r);
    return nullptr;
  }
  std::unique_ptr<THostLookup> lookup(new THostLookup(std::move(state)));
  State& s = *lookup->state_;
  ares_gethostbyname(s.channel, host.c_str(), AF_INET, &State::Answer, &s);
  s.ArmTimer();
  return lookup;
}

uint64_t THostLookup::Serial() const {
  return state_->serial;
}

int THostLookup::Error() const {
  int error = AresStatusToWinsock(state_->status);
  if (error == 0 && state_->addresses.empty())
    error = WSANO_DATA;
  return error;
}

std::vector<std::string> THostLookup::TakeAddresses() {
  return std::move(state_->addresses);
}

}  // namespace quellion
