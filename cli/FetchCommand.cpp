#include <string>

#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/StoredDefaults.h"
#include "net/HttpCli.h"
#include "platform/StringStream.h"
#include "search/RequestWait.h"

namespace quellion::cli {
namespace {

constexpr const char* kFetchUsage =
    "Usage: quellion-cli fetch [proxy options] [--timeout SECONDS] [--ca-file FILE] URL\n"
    "\n"
    "Fetches URL with the HTTP client as an engine task does (100 ms wait steps, Abort\n"
    "past SECONDS, default 30), writes the body raw to stdout and, to stderr,\n"
    "  error=<CompletionError> status=<StatusCode> reason=<ReasonPhrase>\n"
    "Exit 0 when the error is 0 and the status below 400, else 1.\n"
    "\n"
    "https:// URLs are fetched over TLS (through a proxy by a CONNECT tunnel); the\n"
    "certificate is always verified against the system's trust store (SSL_CERT_FILE and\n"
    "SSL_CERT_DIR are honoured) and, with --ca-file, the CA certificates in FILE too.\n"
    "\n"
    "Proxy options (defaults: the stored settings):\n"
    "  --proxy HOST[:PORT]  --proxy-port PORT  --proxy-user NAME  --proxy-password PASSWORD\n";

struct TFetchOptions {
  std::string proxy, proxyPort, proxyUser, proxyPassword, caFile, url;
  int timeoutSeconds = 30;
};

TFetchOptions ReadOptions(const std::vector<std::string>& args) {
  const TStoredDefaults stored = ReadStoredDefaults();
  TFetchOptions o;
  o.proxy = stored.ProxyName;
  o.proxyPort = stored.ProxyPort;
  o.proxyUser = stored.ProxyUserName;
  o.proxyPassword = stored.ProxyPassword;
  std::vector<std::string> positional;
  bool optionsOver = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsOver && a == "--") {
      optionsOver = true;
      continue;
    }
    if (optionsOver || a.size() < 3 || a.compare(0, 2, "--") != 0) {
      positional.push_back(a);
      continue;
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size())
        throw EUsageError("missing value for " + a);
      return args[++i];
    };
    if (a == "--proxy") {
      o.proxy = value();
    } else if (a == "--proxy-port") {
      o.proxyPort = value();
    } else if (a == "--proxy-user") {
      o.proxyUser = value();
    } else if (a == "--proxy-password") {
      o.proxyPassword = value();
    } else if (a == "--ca-file") {
      o.caFile = value();
    } else if (a == "--timeout") {
      const std::string& text = value();
      o.timeoutSeconds = ParseNumber(text, a);
      if (o.timeoutSeconds < 0 || o.timeoutSeconds > 24 * 3600)
        throw EUsageError("bad number for --timeout: '" + text + "'");
    } else {
      throw EUsageError("fetch: unknown option '" + a + "'");
    }
  }
  if (positional.empty())
    throw EUsageError("fetch: missing URL");
  if (positional.size() > 1)
    throw EUsageError("fetch: more than one URL");
  o.url = positional.front();
  return o;
}

}  // namespace

int RunFetch(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << kFetchUsage;
    return kExitOk;
  }
  const TFetchOptions options = ReadOptions(ctx.args);

  THttpCli client;
  TStringStream stream;
  bool done = false;
  client.ReceiveStream = &stream;
  client.Proxy = options.proxy;
  client.ProxyPort = options.proxyPort;
  client.ProxyUsername = options.proxyUser;
  client.ProxyPassword = options.proxyPassword;
  client.CaFile = options.caFile;
  client.OnRequestDone = [&done](THttpCli&, THttpRequest, uint16_t) { done = true; };
  client.URL = options.url;
  try {
    client.StartGet();
  } catch (const std::exception& e) {
    ctx.err << "quellion-cli: " << e.what() << "\n";
    return kExitFailed;
  }
  // The engine task's wait; OnRequestDone always follows an Abort at the next pump,
  // so this ends.
  WaitForRequest(
      client, done, [] { return true; }, options.timeoutSeconds * 10);

  ctx.out.write(stream.DataString().data(), static_cast<std::streamsize>(stream.Size()));
  ctx.out.flush();
  ctx.err << "error=" << client.CompletionError() << " status=" << client.StatusCode()
          << " reason=" << Escape(client.ReasonPhrase()) << "\n";
  return client.CompletionError() == 0 && client.StatusCode() < 400 ? kExitOk : kExitFailed;
}

}  // namespace quellion::cli
