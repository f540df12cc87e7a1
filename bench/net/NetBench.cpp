// Throughput and latency of THttpCli against libcurl, side by side in one run, on
// the same local nginx: a 256 MB body with the client pumping continuously, and
// the per-request latency of a small page (a new connection per request for both),
// over plain HTTP and then over TLS (full handshakes: libcurl's session cache off).
//
//   bench_net [--size-mb N] [--rounds N] [--requests N] [--tls-requests N]
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/HttpCli.h"
#include "platform/ThreadQueue.h"
#include "tests/support/peers/RealPeers.h"
#include "tests/support/peers/TlsPeers.h"

namespace {

using namespace quellion;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// One GET with our client, pumping continuously; returns body bytes seen.
int64_t FetchOurs(THttpCli& client, const std::string& url) {
  int64_t bytes = 0;
  bool done = false;
  client.ReceiveStream = nullptr;  // the body is only counted
  client.OnDocData = [&](THttpCli&, const char*, int32_t len) { bytes += len; };
  client.OnRequestDone = [&](THttpCli&, THttpRequest, uint16_t) { done = true; };
  client.URL = url;
  client.StartGet();
  auto& queue = TThreadQueue::Current();
  while (!done) {
    queue.WaitForWork(100);
    queue.Pump();
  }
  if (client.StatusCode() != 200)
    std::fprintf(stderr, "status %d\n", client.StatusCode());
  return bytes;
}

size_t CountBytes(char*, size_t size, size_t n, void* user) {
  *static_cast<int64_t*>(user) += static_cast<int64_t>(size * n);
  return size * n;
}

int64_t FetchCurl(CURL* curl, const std::string& url) {
  int64_t bytes = 0;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CountBytes);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bytes);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  if (curl_easy_perform(curl) != CURLE_OK)
    std::fprintf(stderr, "curl failed\n");
  return bytes;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}
// Runs the throughput rounds and the latency requests for one server.
void Compare(THttpCli& client, CURL* curl, const std::string& big, const std::string& small,
             int sizeMb, int rounds, int requests) {
  const int64_t size = int64_t(sizeMb) << 20;
  std::printf("  body of %d MB, %d rounds, alternating:\n", sizeMb, rounds);
  std::vector<double> ours, theirs;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    const int64_t a = FetchOurs(client, big);
    ours.push_back(Seconds(Clock::now() - t0));
    t0 = Clock::now();
    const int64_t b = FetchCurl(curl, big);
    theirs.push_back(Seconds(Clock::now() - t0));
    if (a != size || b != size)
      std::fprintf(stderr, "short body: ours %lld, curl %lld\n", (long long)a, (long long)b);
  }
  const double mb = sizeMb;
  const double oursBest = mb / *std::min_element(ours.begin(), ours.end());
  const double curlBest = mb / *std::min_element(theirs.begin(), theirs.end());
  const double oursMedian = mb / Percentile(ours, 0.5);
  const double curlMedian = mb / Percentile(theirs, 0.5);
  std::printf("    THttpCli : best %8.1f MB/s, median %8.1f MB/s\n", oursBest, oursMedian);
  std::printf("    libcurl  : best %8.1f MB/s, median %8.1f MB/s\n", curlBest, curlMedian);
  std::printf("    ratio (median) THttpCli / libcurl = %.2f\n", oursMedian / curlMedian);

  std::printf("  small page (%zu bytes), %d requests each, new connection per request:\n",
              std::strlen(test::TNginxPeer::IndexBody()), requests);
  std::vector<double> oursLat, curlLat;
  for (int i = 0; i < requests; ++i) {
    auto t0 = Clock::now();
    FetchOurs(client, small);
    oursLat.push_back(Seconds(Clock::now() - t0) * 1e6);
    t0 = Clock::now();
    FetchCurl(curl, small);
    curlLat.push_back(Seconds(Clock::now() - t0) * 1e6);
  }
  std::printf("    THttpCli : p50 %7.0f us, p90 %7.0f us, p99 %7.0f us\n", Percentile(oursLat, 0.5),
              Percentile(oursLat, 0.9), Percentile(oursLat, 0.99));
  std::printf("    libcurl  : p50 %7.0f us, p90 %7.0f us, p99 %7.0f us\n", Percentile(curlLat, 0.5),
              Percentile(curlLat, 0.9), Percentile(curlLat, 0.99));
  std::printf("    ratio (p50) THttpCli / libcurl = %.2f\n",
              Percentile(oursLat, 0.5) / Percentile(curlLat, 0.5));
}

}  // namespace

int main(int argc, char** argv) {
  int sizeMb = 256, rounds = 5, requests = 500, tlsRequests = 200;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--size-mb"))
      sizeMb = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--rounds"))
      rounds = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--requests"))
      requests = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--tls-requests"))
      tlsRequests = std::atoi(argv[i + 1]);
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const uint64_t size = uint64_t(sizeMb) << 20;
  THttpCli client;
  CURL* curl = curl_easy_init();
  {
    std::printf("HTTP, local nginx:\n");
    test::TNginxPeer nginx;
    nginx.AddSparseFile("big.bin", size);
    Compare(client, curl, nginx.Url("/big.bin"), nginx.Url("/index.html"), sizeMb, rounds,
            requests);
  }
  {
    std::printf("HTTPS (TLS, test CA, EC P-256 certificate), local nginx:\n");
    test::TTestCertificates certificates;
    test::TTlsNginxPeer nginx(certificates);
    nginx.AddSparseFile("big.bin", size);
    client.CaFile = certificates.CaFile();
    curl_easy_setopt(curl, CURLOPT_CAINFO, certificates.CaFile().c_str());
    Compare(client, curl, nginx.Url("good", "/big.bin"), nginx.Url("good", "/index.html"), sizeMb,
            rounds, tlsRequests);
  }
  curl_easy_cleanup(curl);
  curl_global_cleanup();
  return 0;
}
