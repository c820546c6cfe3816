// A name service that never answers: the real NetLink with a stand-in for the
// system's resolver that blocks until the test lets it go. Closing the link must not
// wait for the lookup, and the lookup must not outlast the connect time-out.

#include "net/netlink.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace {

using namespace std::chrono_literals;

// A resolver that does not answer until released; it says when it was called and
// when it returned.
struct SilentResolver
{
    std::mutex lock;
    std::condition_variable changed;
    bool called = false;
    bool released = false;
    bool returned = false;

    bool waitFor(bool SilentResolver::*flag, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, [&] { return this->*flag; });
    }
    void set(bool SilentResolver::*flag)
    {
        const std::lock_guard<std::mutex> guard(lock);
        this->*flag = true;
        changed.notify_all();
    }
};

class SilentNameService : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // Let go before the members go, so that a link that does wait for its lookup
        // fails the test instead of hanging it; the lookup's thread ends once its
        // resolver returns, and the next test starts without it.
        resolver->set(&SilentResolver::released);
        if (closing.valid()) {
            closing.wait();
        }
        link.reset();
        EXPECT_TRUE(resolver->waitFor(&SilentResolver::returned, 10s));
    }

    bool resolverReturned()
    {
        const std::lock_guard<std::mutex> guard(resolver->lock);
        return resolver->returned;
    }

    NetLink::Target target(std::chrono::milliseconds connectTimeout)
    {
        NetLink::Target target;
        target.host = "lookup.example";
        target.port = 2217;
        target.rfc2217 = true;
        target.connectTimeout = connectTimeout;
        target.resolve = [shared = resolver](const std::string &host,
                             uint16_t) -> Result<std::vector<netsocket::Endpoint>> {
            shared->set(&SilentResolver::called);
            shared->waitFor(&SilentResolver::released, 60s);
            shared->set(&SilentResolver::returned);
            return Status(ErrorKind::NotFound, "host not found: " + host);
        };
        return target;
    }

    std::shared_ptr<SilentResolver> resolver = std::make_shared<SilentResolver>();
    std::unique_ptr<NetLink> link;
    std::future<void> closing;
};

// The window's thread closes the port while the name is being looked up.
TEST_F(SilentNameService, ClosingDoesNotWaitForTheLookup)
{
    link = std::make_unique<NetLink>(target(60s));
    ASSERT_TRUE(resolver->waitFor(&SilentResolver::called, 10s));
    closing = std::async(std::launch::async, [this] { link.reset(); });
    // A bound only, so that a link that waits fails here instead of hanging the run.
    EXPECT_EQ(closing.wait_for(10s), std::future_status::ready)
        << "closing the link waited for the name service";
    EXPECT_FALSE(resolverReturned()) << "the resolver answered before the close";
}

// The lookup counts in the connect time-out: the link fails with it, not with the
// resolver's own, much longer, time-outs.
TEST_F(SilentNameService, LookupEndsWithTheConnectTimeout)
{
    link = std::make_unique<NetLink>(target(300ms));
    ASSERT_TRUE(resolver->waitFor(&SilentResolver::called, 10s));
    EXPECT_EQ(link->waitSettled(10s), NetLink::Phase::Failed);
    const Status failure = link->failure();
    EXPECT_EQ(failure.kind(), ErrorKind::Timeout) << failure.reason();
    EXPECT_NE(failure.reason().find("lookup.example"), std::string::npos) << failure.reason();
    EXPECT_FALSE(resolverReturned()) << "the resolver answered before the time-out";
}

} // namespace
