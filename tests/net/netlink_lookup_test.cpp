// A name service that never answers: the real NetLink with a stand-in for the
// system's resolver that blocks until the test lets it go. Closing the link must not
// wait for the lookup, and the lookup must not outlast the connect time-out.

#include "net/netlink.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace {

using namespace std::chrono_literals;

class SilentNameService : public ::testing::Test
{
protected:
    // Let go before the members go, so that a link that does wait for its lookup
    // fails the test instead of hanging it.
    void TearDown() override
    {
        release.set_value();
        if (closing.valid()) {
            closing.wait();
        }
        link.reset();
        EXPECT_EQ(returned.wait_for(10s), std::future_status::ready);
    }

    void start(std::chrono::milliseconds connectTimeout)
    {
        NetLink::Target target;
        target.host = "lookup.example";
        target.port = 2217;
        target.connectTimeout = connectTimeout;
        target.resolve = [called = std::make_shared<std::promise<void>>(std::move(calledSignal)),
                             done = std::make_shared<std::promise<void>>(std::move(returnedSignal)),
                             wait = release.get_future().share()](const std::string &host,
                             uint16_t) -> Result<std::vector<netsocket::Endpoint>> {
            called->set_value();
            wait.wait();
            done->set_value();
            return Status(ErrorKind::NotFound, "host not found: " + host);
        };
        link = std::make_unique<NetLink>(std::move(target));
        ASSERT_EQ(called.wait_for(10s), std::future_status::ready);
    }

    std::promise<void> calledSignal, returnedSignal, release;
    std::future<void> called = calledSignal.get_future();
    std::future<void> returned = returnedSignal.get_future();
    std::unique_ptr<NetLink> link;
    std::future<void> closing;
};

// The window's thread closes the port while the name is being looked up.
TEST_F(SilentNameService, ClosingDoesNotWaitForTheLookup)
{
    start(60s);
    closing = std::async(std::launch::async, [this] { link.reset(); });
    // A bound only, so that a link that waits fails here instead of hanging the run.
    EXPECT_EQ(closing.wait_for(10s), std::future_status::ready)
        << "closing the link waited for the name service";
    EXPECT_EQ(returned.wait_for(0s), std::future_status::timeout);
}

// The lookup counts in the connect time-out: the link fails with it, not with the
// resolver's own, much longer, time-outs.
TEST_F(SilentNameService, LookupEndsWithTheConnectTimeout)
{
    start(300ms);
    EXPECT_EQ(link->waitSettled(10s), NetLink::Phase::Failed);
    const Status failure = link->failure();
    EXPECT_EQ(failure.kind(), ErrorKind::Timeout) << failure.reason();
    EXPECT_NE(failure.reason().find("lookup.example"), std::string::npos) << failure.reason();
    EXPECT_EQ(returned.wait_for(0s), std::future_status::timeout);
}

} // namespace
