#include "tests/support/peers/RealPeers.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

namespace quellion::test {
namespace {

constexpr int kStartTimeoutMs = 15000;

void StartAndWait(std::unique_ptr<TChildProcess>& process, const std::vector<std::string>& argv,
                  const std::string& log, uint16_t port, const std::string& what) {
  process = std::make_unique<TChildProcess>(argv, log);
  if (!WaitForListening(port, kStartTimeoutMs)) {
    process->Stop();
    throw std::runtime_error(what + " did not start on port " + std::to_string(port) + ":\n" +
                             Tail(log));
  }
}

// Hands the folder to a user, so a daemon that drops root privileges can use it.
void GiveTo(const std::string& path, uid_t uid, gid_t gid) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
    if (::chown(entry.path().c_str(), uid, gid) != 0)
      throw std::runtime_error("chown failed");
  if (::chown(path.c_str(), uid, gid) != 0)
    throw std::runtime_error("chown failed");
}

}  // namespace

// ---------------------------------------------------------------- nginx

TNginxPeer::TNginxPeer() {
  port_ = FreeLoopbackPort();
  const std::string port = std::to_string(port_);
  nginx_.Start("  server {\n    listen 127.0.0.1:" + port + ";\n    root " + nginx_.Root() +
                   ";\n    location = /moved { return 301 /index.html; }\n"
                   "    location = /moved-absolute { return 301 http://127.0.0.1:" +
                   port + "/index.html; }\n  }\n",
               {port_});
}

// ---------------------------------------------------------------- tinyproxy

TTinyproxyPeer::TTinyproxyPeer(const std::string& user, const std::string& password) {
  const std::string tinyproxy =
      RequireBinary("tinyproxy", {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy"});
  port_ = FreeLoopbackPort();
  const std::string d = dir_.Path();
  dir_.Write("tinyproxy.conf", "Port " + std::to_string(port_) +
                                   "\nListen 127.0.0.1\nTimeout 30\nMaxClients 50\n"
                                   "LogFile \"" +
                                   d +
                                   "/tinyproxy.log\"\nLogLevel Warning\n"
                                   "PidFile \"" +
                                   d +
                                   "/tinyproxy.pid\"\n"
                                   "BasicAuth " +
                                   user + " " + password + "\nAllow 127.0.0.1\n");
  StartAndWait(process_, {tinyproxy, "-d", "-c", d + "/tinyproxy.conf"}, d + "/tinyproxy.out",
               port_, "tinyproxy");
}

TTinyproxyPeer::~TTinyproxyPeer() {
  process_.reset();
}

// ---------------------------------------------------------------- squid

TSquidPeer::TSquidPeer(const std::string& user, const std::string& password) {
  static std::atomic<int> instances{0};
  const std::string squid = RequireBinary("squid", {"/usr/sbin/squid"});
  const std::string helper = RequireBinary("basic_ncsa_auth", {"/usr/lib/squid/basic_ncsa_auth"});
  const std::string htpasswd = RequireBinary("htpasswd", {"/usr/bin/htpasswd"});
  port_ = FreeLoopbackPort();
  const std::string d = dir_.Path();
  // Its own service name keeps the shared-memory segments of parallel squids apart.
  serviceName_ = "quellion" + std::to_string(::getpid()) + "x" + std::to_string(instances++);
  {
    TChildProcess make({htpasswd, "-b", "-c", d + "/passwd", user, password}, d + "/htpasswd.out");
    for (int i = 0; i < 500 && make.Running(); ++i)
      ::usleep(10000);
  }
  if (!std::filesystem::exists(d + "/passwd"))
    throw std::runtime_error("htpasswd failed:\n" + Tail(d + "/htpasswd.out"));
  std::string config = "http_port 127.0.0.1:" + std::to_string(port_) +
                       "\n"
                       "pid_filename " +
                       d +
                       "/squid.pid\n"
                       "cache_log " +
                       d +
                       "/cache.log\n"
                       "access_log none\n"
                       "cache deny all\ncache_mem 0\nmemory_cache_shared off\n"
                       "coredump_dir " +
                       d +
                       "\n"
                       "netdb_filename none\n"
                       "shutdown_lifetime 0 seconds\n"
                       "auth_param basic program " +
                       helper + " " + d +
                       "/passwd\n"
                       "auth_param basic children 2 startup=1 idle=1\n"
                       "auth_param basic realm quellion\n"
                       "acl authed proxy_auth REQUIRED\n"
                       "http_access allow authed\n"
                       "http_access deny all\n";
  if (::geteuid() == 0) {
    // squid refuses to keep root; it drops to an unprivileged user that must be able
    // to use the folder.
    const passwd* pw = ::getpwnam("proxy");
    if (!pw)
      pw = ::getpwnam("nobody");
    if (!pw)
      throw std::runtime_error("squid needs an unprivileged user (proxy or nobody)");
    config += std::string("cache_effective_user ") + pw->pw_name + "\n";
    dir_.Write("squid.conf", config);
    GiveTo(d, pw->pw_uid, pw->pw_gid);
  } else {
    dir_.Write("squid.conf", config);
  }
  StartAndWait(process_, {squid, "-N", "-n", serviceName_, "-f", d + "/squid.conf"},
               d + "/squid.out", port_, "squid");
}

TSquidPeer::~TSquidPeer() {
  process_.reset();
  std::error_code ignored;
  for (const char* part : {"cf__metadata", "cf__queues", "cf__readers"})
    std::filesystem::remove("/dev/shm/" + serviceName_ + "-" + part + ".shm", ignored);
}

}  // namespace quellion::test
