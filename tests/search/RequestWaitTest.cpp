// The engine task's wait for a started request: its steps, its Abort and the one
// OnRequestDone that follows.

#include <gtest/gtest.h>

#include <string>

#include "net/HttpCli.h"
#include "search/RequestWait.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/peers/ScriptServer.h"

namespace quellion {
namespace {

using test::Respond;
using test::TPeerAnswer;
using test::TRecordingClient;
using test::TScriptServer;
using test::WaitFor;

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: Text/HTML\r\n\r\n";

class RequestWaitTest : public ::testing::Test {
 protected:
  test::TTestNameServer dns_;
};

TEST_F(RequestWaitTest, WaitAbortsPastTheStepLimitAndEndsWithOneRequestDone) {
  TScriptServer server({TPeerAnswer().Hold()});
  TRecordingClient r(false);
  r.client.URL = server.Url("/");
  r.client.StartGet();
  WaitForRequest(
      r.client, r.done, [] { return true; }, 3);
  EXPECT_TRUE(r.done);
  EXPECT_EQ(r.doneError, 3);
  EXPECT_EQ(r.doneCount, 1);
}

TEST_F(RequestWaitTest, WaitEndedByTheCallerAbortsOnce) {
  TScriptServer server({TPeerAnswer().Hold()});
  TRecordingClient r(false);
  r.client.URL = server.Url("/");
  r.client.StartGet();
  int polls = 0;
  WaitForRequest(r.client, r.done, [&] { return ++polls <= 2; });
  EXPECT_FALSE(r.done) << "OnRequestDone follows at the next pump";
  EXPECT_EQ(r.client.State(), httpIdle);
  ASSERT_TRUE(WaitFor([&] { return r.done; }));
  EXPECT_EQ(r.doneError, 3);
}

TEST_F(RequestWaitTest, WaitReturnsAsSoonAsTheRequestIsDone) {
  TScriptServer server({Respond(kOk + "quick")});
  TRecordingClient r(false);
  r.client.URL = server.Url("/");
  r.client.StartGet();
  WaitForRequest(
      r.client, r.done, [] { return true; }, 50);
  EXPECT_TRUE(r.done);
  EXPECT_EQ(r.doneError, 0);
  EXPECT_EQ(r.stream.DataString(), "quick");
}

}  // namespace
}  // namespace quellion
