// zrconnection over a real Boost.Signals2 signal, and the proxy's three signals.
#include "BaseSystem/zrconnection.h"
#include "LiveCounters.h"
#include "QORDBProxy.h"
#include "System.h"

#include <boost/signals2/signal.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Signal = boost::signals2::signal<void()>;

TEST(ZrConnection, BlockSkipsTheListenerAndDisconnectStopsIt)
{
    Signal signal;
    int calls = 0;
    BaseSystem::zrconnection connection(signal.connect([&calls] { ++calls; }));
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_FALSE(connection.Blocked());
    connection.Block();
    connection.Block(); // blocking twice is still one block
    EXPECT_TRUE(connection.Blocked());
    signal();
    EXPECT_EQ(calls, 0);
    connection.Unblock();
    EXPECT_FALSE(connection.Blocked());
    signal();
    EXPECT_EQ(calls, 1);

    connection.Block();
    const long disconnects = standin::LiveCounters::DisconnectCalls();
    connection.Disconnect();
    EXPECT_EQ(standin::LiveCounters::DisconnectCalls(), disconnects + 1);
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_FALSE(connection.Blocked());
    EXPECT_EQ(signal.num_slots(), 0u);
    connection.Unblock(); // harmless on a disconnected connection
    connection.Disconnect();
    signal();
    EXPECT_EQ(calls, 1);
}

TEST(ZrConnection, DeletingLeavesTheListenerConnectedAndEndsItsBlock)
{
    Signal signal;
    int calls = 0;
    const long live = standin::LiveCounters::LiveConnections();
    auto connection = std::make_unique<BaseSystem::zrconnection>(signal.connect([&calls] { ++calls; }));
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), live + 1);
    connection->Block();
    connection.reset();
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), live);
    signal();
    EXPECT_EQ(calls, 1);
}

class Listener final : public lark::fwk::IQORDBProxy_Slot {
public:
    explicit Listener(std::vector<std::string>& journal, std::string name, standin::QORDBProxy* proxy = nullptr)
        : m_journal(journal), m_name(std::move(name)), m_proxy(proxy)
    {
    }
    void OnDataModelMgrReady() override { m_journal.push_back(m_name + " manager"); }
    void OnItemLibraryReady() override { m_journal.push_back(m_name + " library"); }
    void OnItemLibraryReleased() override
    {
        // The released library is still reported while the release is announced.
        const bool reported = m_proxy && m_proxy->GetItemLibrary().IsValid();
        m_journal.push_back(m_name + " released" + (reported ? " (library still reported)" : ""));
    }

private:
    std::vector<std::string>& m_journal;
    std::string m_name;
    standin::QORDBProxy* m_proxy;
};

class NullLibrary final : public opal::datamodel::IItemLibrary {
public:
    void AddNotification(opal::datamodel::IItemLibraryNotification*, std::uint32_t, int) override {}
    void RemoveNotification(opal::datamodel::IItemLibraryNotification*, std::uint32_t, int) override {}
    opal::datamodel::ItemID BuildItemID(const std::string&, const void*) override { return {}; }
    opal::datamodel::IItem* FindItem(const opal::datamodel::ItemID&) override { return nullptr; }
    void DeliverAccessStateChanged(int, const opal::datamodel::ItemID&, std::uint32_t) override {}
};

TEST(QORDBProxy, SignalsReachConnectedListenersAndSkipBlockedOnes)
{
    standin::QORDBProxy proxy;
    std::vector<std::string> journal;
    Listener one(journal, "one", &proxy);
    Listener two(journal, "two", &proxy);
    lark::signalling::IConnection* oneLibrary = nullptr;
    lark::signalling::IConnection* twoLibrary = nullptr;
    lark::signalling::IConnection* oneReleased = nullptr;
    proxy.ConnectItemLibraryReady(&one, &oneLibrary);
    proxy.ConnectItemLibraryReady(&two, &twoLibrary);
    proxy.ConnectItemLibraryReleased(&one, &oneReleased);
    proxy.ConnectDataModelMgrReady(&two, nullptr); // connected for the proxy's lifetime
    ASSERT_NE(oneLibrary, nullptr);
    ASSERT_NE(twoLibrary, nullptr);
    EXPECT_NE(oneLibrary, twoLibrary);
    EXPECT_EQ(proxy.ItemLibraryReadyListeners(), 2u);

    NullLibrary library;
    oneLibrary->Block();
    proxy.SetItemLibrary(opal::datamodel::ItemLibraryAccessor(&library, 3));
    EXPECT_TRUE(proxy.GetItemLibrary().IsValid());
    EXPECT_EQ(journal, (std::vector<std::string>{"two library"}));

    journal.clear();
    oneLibrary->Unblock();
    proxy.SetItemLibrary(opal::datamodel::ItemLibraryAccessor(&library, 4));
    proxy.ReleaseItemLibrary();
    EXPECT_EQ(journal,
              (std::vector<std::string>{"one library", "two library", "one released (library still reported)"}));
    EXPECT_FALSE(proxy.GetItemLibrary().IsValid());

    for (lark::signalling::IConnection* connection : {oneLibrary, twoLibrary, oneReleased}) {
        connection->Disconnect();
        delete connection;
    }
    EXPECT_EQ(proxy.ItemLibraryReadyListeners(), 0u);
    EXPECT_EQ(proxy.ItemLibraryReleasedListeners(), 0u);
    EXPECT_EQ(proxy.DataModelMgrReadyListeners(), 1u);
}

TEST(QORDBProxy, NeitherAnEmptyManagerNorAMissingListenerIsConnected)
{
    standin::QORDBProxy proxy;
    std::vector<std::string> journal;
    Listener listener(journal, "l");
    proxy.ConnectDataModelMgrReady(&listener, nullptr);
    proxy.SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr>());
    EXPECT_FALSE(proxy.HasDataModelMgr());
    EXPECT_TRUE(proxy.GetDataModelMgr().IsNull());
    EXPECT_TRUE(journal.empty());

    auto* connection = reinterpret_cast<lark::signalling::IConnection*>(0x1);
    const long live = standin::LiveCounters::LiveConnections();
    proxy.ConnectItemLibraryReady(nullptr, &connection);
    EXPECT_EQ(connection, nullptr);
    EXPECT_EQ(proxy.ItemLibraryReadyListeners(), 0u);
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), live);
}

TEST(QORDBProxy, ConnectionsOutliveTheProxySafely)
{
    std::vector<std::string> journal;
    Listener listener(journal, "l");
    lark::signalling::IConnection* connection = nullptr;
    {
        standin::System::Reset();
        standin::System::Instance().RegisterFactory(standin::QORDBProxy::kSingletonName, &standin::QORDBProxy::Create);
        auto* proxy = standin::System::Instance().Get<standin::QORDBProxy>(standin::QORDBProxy::kSingletonName);
        ASSERT_NE(proxy, nullptr);
        EXPECT_STREQ(proxy->GetClsName(), standin::QORDBProxy::kClassName);
        proxy->ConnectItemLibraryReady(&listener, &connection);
        standin::System::Reset(); // deletes the proxy and its signals
    }
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->IsConnected());
    connection->Disconnect();
    delete connection;
}

} // namespace
