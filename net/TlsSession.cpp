#include "net/TlsSession.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>

#include "net/SocketErrors.h"

namespace quellion {
namespace {

// ---- a socket BIO that never raises SIGPIPE (OpenSSL's own writes with write())

int BioWrite(BIO* bio, const char* data, int len) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::send(fd, data, static_cast<size_t>(len), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int len) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::recv(fd, data, static_cast<size_t>(len), 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    BIO_set_retry_read(bio);
  return static_cast<int>(n);
}

long BioCtrl(BIO*, int cmd, long, void*) {
  return cmd == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                 "non-blocking socket");
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_ctrl(m, BioCtrl);
    BIO_meth_set_create(m, BioCreate);
    return m;
  }();
  return method;
}

// ---- client contexts, one per trust setting, shared by every thread

struct TContextDeleter {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};

struct TContext {
  std::unique_ptr<SSL_CTX, TContextDeleter> ctx;
  std::string error;
};

std::mutex contextMutex;
std::map<std::string, TContext> contexts;

std::string OpenSslReason(unsigned long code) {
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : "error " + std::to_string(ERR_GET_REASON(code));
}

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The context for an extra CA file (empty: none). The standard environment
// variables are part of the key, so a changed SSL_CERT_FILE takes effect.
SSL_CTX* ClientContext(const std::string& caFile, std::string& error) {
  const std::string key = caFile + '\n' + EnvOrEmpty(X509_get_default_cert_file_env()) + '\n' +
                          EnvOrEmpty(X509_get_default_cert_dir_env());
  std::lock_guard lock(contextMutex);
  auto it = contexts.find(key);
  if (it == contexts.end()) {
    TContext made;
    ERR_clear_error();
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
      made.error = "TLS set-up failed: " + OpenSslReason(ERR_get_error());
    } else {
      made.ctx.reset(ctx);
      SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
      SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
      SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_COMPRESSION);
      SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
      SSL_CTX_set_read_ahead(ctx, 1);
      SSL_CTX_set_default_read_buffer_len(ctx, 64 * 1024);
      SSL_CTX_set_default_verify_paths(ctx);
      ERR_clear_error();  // a missing system store only means nothing is trusted by it
      if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
        made.error = "cannot use CA file " + caFile + ": " + OpenSslReason(ERR_get_error());
        made.ctx.reset();
      }
    }
    ERR_clear_error();
    if (!made.ctx) {
      // Not kept: a CA file written or mended later must be tried again.
      error = made.error;
      return nullptr;
    }
    it = contexts.emplace(key, std::move(made)).first;
  }
  error.clear();
  return it->second.ctx.get();
}

bool IsIpLiteral(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

struct TTlsSession::Ssl {
  SSL* ssl = nullptr;
  ~Ssl() {
    if (ssl)
      SSL_free(ssl);
  }
};

TTlsSession::TTlsSession(int fd, const std::string& serverName, const std::string& caFile)
    : ssl_(std::make_unique<Ssl>()) {
  error_ = kTlsHandshakeFailed;
  if (serverName.empty()) {
    errorText_ = "TLS handshake failed: no host name to check the certificate against";
    return;
  }
  SSL_CTX* ctx = ClientContext(caFile, errorText_);
  if (!ctx)
    return;
  ERR_clear_error();
  SSL* ssl = SSL_new(ctx);
  BIO* bio = ssl ? BIO_new(SocketBioMethod()) : nullptr;
  if (!ssl || !bio) {
    if (ssl)
      SSL_free(ssl);
    errorText_ = "TLS set-up failed: " + OpenSslReason(ERR_get_error());
    ERR_clear_error();
    return;
  }
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
  SSL_set_bio(ssl, bio, bio);
  bool named = true;
  if (IsIpLiteral(serverName)) {
    named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), serverName.c_str()) == 1;
  } else {
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    named = SSL_set_tlsext_host_name(ssl, serverName.c_str()) == 1 &&
            SSL_set1_host(ssl, serverName.c_str()) == 1;
  }
  if (!named) {
    SSL_free(ssl);
    errorText_ = "TLS handshake failed: unusable host name '" + serverName + "'";
    ERR_clear_error();
    return;
  }
  SSL_set_connect_state(ssl);
  ssl_->ssl = ssl;
  error_ = 0;
  errorText_.clear();
}

TTlsSession::~TTlsSession() = default;

TTlsFailure ClassifyTlsFailure(const TTlsFailureFacts& facts) {
  const std::string what = facts.Established ? "TLS error" : "TLS handshake failed";
  if (!facts.Established && !facts.VerifyProblem.empty())
    return {kTlsCertificateFailed, "certificate verify failed: " + facts.VerifyProblem};
  if (facts.ProtocolError && !facts.ProtocolReason.empty())
    return {facts.Established ? WSAECONNABORTED : kTlsHandshakeFailed,
            what + ": " + facts.ProtocolReason};
  if (facts.SystemErrno != 0) {
    const int code = ErrnoToWinsock(facts.SystemErrno);
    return {code, what + ": " + SocketErrorText(code)};
  }
  // The peer went away without a close notice.
  return {facts.Established ? WSAECONNRESET : kTlsHandshakeFailed,
          what + ": the server closed the connection"};
}

TTlsSession::TStep TTlsSession::Fail(int result) {
  SSL* ssl = ssl_->ssl;
  TTlsFailureFacts facts;
  facts.Established = established_;
  facts.SystemErrno = errno;
  const int kind = SSL_get_error(ssl, result);
  const long verify = SSL_get_verify_result(ssl);
  if (verify != X509_V_OK)
    facts.VerifyProblem = X509_verify_cert_error_string(verify);
  const unsigned long code = ERR_peek_error();
  facts.ProtocolError = kind == SSL_ERROR_SSL;
  if (code != 0)
    facts.ProtocolReason = OpenSslReason(code);
  if (kind != SSL_ERROR_SYSCALL)
    facts.SystemErrno = 0;
  const TTlsFailure failure = ClassifyTlsFailure(facts);
  error_ = failure.Error;
  errorText_ = failure.Text;
  ERR_clear_error();
  return tlsFailed;
}

TTlsSession::TStep TTlsSession::Handshake() {
  if (!ssl_->ssl)
    return tlsFailed;
  if (established_)
    return tlsDone;
  ERR_clear_error();
  errno = 0;
  const int r = SSL_do_handshake(ssl_->ssl);
  if (r == 1) {
    established_ = true;
    return tlsDone;
  }
  switch (SSL_get_error(ssl_->ssl, r)) {
    case SSL_ERROR_WANT_READ:
      return tlsWantRead;
    case SSL_ERROR_WANT_WRITE:
      return tlsWantWrite;
    default:
      return Fail(r);
  }
}

int TTlsSession::Read(void* buffer, int len, TStep& step) {
  step = tlsFailed;
  if (!ssl_->ssl || !established_)
    return -1;
  ERR_clear_error();
  errno = 0;
  const int n = SSL_read(ssl_->ssl, buffer, len);
  if (n > 0) {
    step = tlsDone;
    return n;
  }
  switch (SSL_get_error(ssl_->ssl, n)) {
    case SSL_ERROR_WANT_READ:
      step = tlsWantRead;
      return -1;
    case SSL_ERROR_WANT_WRITE:
      step = tlsWantWrite;
      return -1;
    case SSL_ERROR_ZERO_RETURN:
      step = tlsClosed;
      return 0;
    case SSL_ERROR_SYSCALL:
      if (errno == 0) {
        step = tlsClosed;
        return 0;
      }
      [[fallthrough]];
    default:
      step = Fail(n);
      return -1;
  }
}

int TTlsSession::Write(const void* data, int len, TStep& step) {
  step = tlsFailed;
  if (!ssl_->ssl || !established_)
    return -1;
  ERR_clear_error();
  errno = 0;
  const int n = SSL_write(ssl_->ssl, data, len);
  if (n > 0) {
    step = tlsDone;
    return n;
  }
  switch (SSL_get_error(ssl_->ssl, n)) {
    case SSL_ERROR_WANT_READ:
      step = tlsWantRead;
      return -1;
    case SSL_ERROR_WANT_WRITE:
      step = tlsWantWrite;
      return -1;
    default:
      step = Fail(n);
      return -1;
  }
}

bool TTlsSession::HasPending() const {
  return ssl_->ssl && SSL_has_pending(ssl_->ssl) == 1;
}

void TTlsSession::Shutdown() {
  if (!ssl_->ssl || !established_ || shutdownSent_)
    return;
  shutdownSent_ = true;
  ERR_clear_error();
  SSL_shutdown(ssl_->ssl);
  ERR_clear_error();
}

}  // namespace quellion
