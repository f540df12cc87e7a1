#include <ares.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "net/SocketErrors.h"

namespace quellion {
namespace {

TEST(SocketErrorsTest, ErrnoMapsOntoWinsockNumbersWithTheirTexts) {
  const struct {
    int err;
    int code;
    const char* text;
  } cases[] = {
      {0, 0, "No Error"},
      {ECONNREFUSED, 10061, "Connection refused"},
      {ETIMEDOUT, 10060, "Connection timed out"},
      {ECONNRESET, 10054, "Connection reset by peer"},
      {EPIPE, 10054, "Connection reset by peer"},
      {EWOULDBLOCK, 10035, "Operation would block"},
      {EINPROGRESS, 10036, "Operation now in progress"},
      {EHOSTUNREACH, 10065, "No route to host"},
      {ENETUNREACH, 10051, "Network is unreachable"},
      {ENOTCONN, 10057, "Socket is not connected"},
      {ECONNABORTED, 10053, "Connection aborted"},
      {EADDRINUSE, 10048, "Address already in use"},
      {EMFILE, 10024, "Too many open files"},
      {EINTR, 10004, "Interrupted system call"},
      {EBADF, 10009, "Bad file number"},
      {ENOTSOCK, 10038, "Socket operation on non-socket"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    EXPECT_EQ(ErrnoToWinsock(c.err), c.code);
    EXPECT_EQ(SocketErrorText(c.code), c.text);
  }
}

TEST(SocketErrorsTest, LookupFailuresMapOntoHostErrors) {
  EXPECT_EQ(AresStatusToWinsock(ARES_SUCCESS), 0);
  EXPECT_EQ(AresStatusToWinsock(ARES_ENOTFOUND), 11001);
  EXPECT_EQ(AresStatusToWinsock(ARES_ENODATA), 11004);
  EXPECT_EQ(AresStatusToWinsock(ARES_ETIMEOUT), 11002);
  EXPECT_EQ(SocketErrorText(11001), "Host not found");
  EXPECT_EQ(SocketErrorText(11002), "Non-authoritative host not found");
  EXPECT_EQ(SocketErrorText(11003), "Non-recoverable error");
  EXPECT_EQ(SocketErrorText(11004), "No Data");
}

TEST(SocketErrorsTest, UnknownCodesAreNotWinsockErrors) {
  for (int code : {1, 3, 10000, 10001, 10090, 11005, -1})
    EXPECT_EQ(SocketErrorText(code), "Not a WinSock error") << code;
  EXPECT_EQ(SocketErrorText(10093), "WinSock not initialized");
  EXPECT_EQ(SocketErrorText(10047), "Address family not supported by protocol family");
}

}  // namespace
}  // namespace quellion
