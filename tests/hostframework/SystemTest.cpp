// The host system: factories, singletons, Init/Term, shut-down order and the plug-in's view of it.
#include "System.h"

#include "DebugOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records its life in a shared journal so that tests can check the order of Init, Term and deletion.
class Journaled final : public lark::IBase, public lark::ISingleton, public lark::IDestroy {
public:
    Journaled(std::string name, std::vector<std::string>& journal) : m_name(std::move(name)), m_journal(journal) {}
    ~Journaled() override { m_journal.push_back("delete " + m_name); }
    const char* GetClsName() const override { return m_name.c_str(); }
    void Init() override { m_journal.push_back("init " + m_name); }
    void Term() override { m_journal.push_back("term " + m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_journal;
};

// A plain object with neither ISingleton nor IDestroy: built, kept and deleted through IBase.
class Plain final : public lark::IBase {
public:
    explicit Plain(int& deletions) : m_deletions(deletions) {}
    ~Plain() override { ++m_deletions; }
    const char* GetClsName() const override { return "Plain"; }

private:
    int& m_deletions;
};

std::vector<std::string> g_journal;
int g_factoryCalls = 0;

lark::IBase* MakeAlpha()
{
    ++g_factoryCalls;
    return new Journaled("alpha", g_journal);
}

// Asks for "alpha" during its own Init, as a helper connecting to the proxy does.
class Dependent final : public lark::IBase, public lark::ISingleton, public lark::IDestroy {
public:
    const char* GetClsName() const override { return "dependent"; }
    void Init() override
    {
        g_journal.push_back("init dependent");
        found = larkGetSystem()->GetSingleton("alpha");
    }
    void Term() override { g_journal.push_back("term dependent"); }
    ~Dependent() override { g_journal.push_back("delete dependent"); }
    lark::IBase* found = nullptr;
};

lark::IBase* MakeDependent()
{
    return new Dependent();
}
lark::IBase* MakeNothing()
{
    return nullptr;
}
lark::IBase* MakeSelfRequesting()
{
    return larkGetSystem()->GetSingleton("self");
}

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::System::Reset();
        g_journal.clear();
        g_factoryCalls = 0;
    }
    void TearDown() override { standin::System::Reset(); }

    standin::System& system() { return standin::System::Instance(); }
};

TEST_F(SystemTest, FactoryBuildsOnFirstRequestInitsAndKeepsTheObject)
{
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    EXPECT_TRUE(system().HasFactory("alpha"));
    EXPECT_FALSE(system().HasSingleton("alpha"));
    EXPECT_EQ(g_factoryCalls, 0);

    lark::IBase* first = system().GetSingleton("alpha");
    lark::IBase* second = system().GetSingleton("alpha");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(g_factoryCalls, 1);
    EXPECT_EQ(g_journal, (std::vector<std::string>{"init alpha"}));
    EXPECT_STREQ(first->GetClsName(), "alpha");
}

TEST_F(SystemTest, RegistrationRefusesDuplicatesMissingArgumentsAndTheRefusalControl)
{
    EXPECT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory("alpha", &MakeDependent));
    EXPECT_FALSE(system().RegisterFactory(nullptr, &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory("", &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory("beta", nullptr));
    system().SetRefuseRegistration(true);
    EXPECT_FALSE(system().RegisterFactory("beta", &MakeAlpha));
    EXPECT_FALSE(system().HasFactory("beta"));
    EXPECT_EQ(system().RegisterFactoryCalls(), 6);
    // The first registration still builds what it registered.
    EXPECT_NE(system().GetSingleton("alpha"), nullptr);
}

TEST_F(SystemTest, UnknownNamesAndFailingFactoriesGiveNull)
{
    EXPECT_EQ(system().GetSingleton("nobody"), nullptr);
    EXPECT_EQ(system().GetSingleton(nullptr), nullptr);
    ASSERT_TRUE(system().RegisterFactory("nothing", &MakeNothing));
    EXPECT_EQ(system().GetSingleton("nothing"), nullptr);
    EXPECT_FALSE(system().HasSingleton("nothing"));
}

TEST_F(SystemTest, ASingletonRequestingItselfWhileBeingBuiltGetsNullAndALine)
{
    ASSERT_TRUE(system().RegisterFactory("self", &MakeSelfRequesting));
    standin::DebugOutput::Clear();
    EXPECT_EQ(system().GetSingleton("self"), nullptr);
    ASSERT_EQ(standin::DebugOutput::Count(), 1u);
    EXPECT_NE(standin::DebugOutput::Lines()[0].find("self"), std::string::npos);
}

TEST_F(SystemTest, ShutdownTermsThenDeletesInReverseCreationOrder)
{
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    ASSERT_TRUE(system().RegisterFactory("dependent", &MakeDependent));
    ASSERT_TRUE(system().RegisterSingleton("gamma", new Journaled("gamma", g_journal)));
    auto* dependent = dynamic_cast<Dependent*>(system().GetSingleton("dependent"));
    ASSERT_NE(dependent, nullptr);
    // alpha was built inside dependent's Init, so it finished first and must outlive dependent.
    EXPECT_EQ(dependent->found, system().GetSingleton("alpha"));
    EXPECT_EQ(system().CreationOrder(), (std::vector<std::string>{"gamma", "alpha", "dependent"}));

    g_journal.clear();
    system().Shutdown();
    EXPECT_EQ(g_journal, (std::vector<std::string>{"term dependent", "term alpha", "term gamma", "delete dependent",
                                                   "delete alpha", "delete gamma"}));
    EXPECT_FALSE(system().HasSingleton("alpha"));
    // Factories survive: the next request builds a new object.
    EXPECT_NE(system().GetSingleton("alpha"), nullptr);
    EXPECT_EQ(g_factoryCalls, 2);
}

TEST_F(SystemTest, RegisteredObjectsAreInitialisedOwnedAndExternalOnesAreLeftAlone)
{
    int plainDeletions = 0;
    Journaled external("external", g_journal);
    EXPECT_TRUE(system().RegisterSingleton("plain", new Plain(plainDeletions)));
    EXPECT_TRUE(system().RegisterExternalSingleton("external", &external));
    EXPECT_EQ(system().GetSingleton("external"), &external);
    EXPECT_TRUE(g_journal.empty()); // no Init for someone else's object

    // A taken name refuses the object and deletes it rather than leaking it.
    EXPECT_FALSE(system().RegisterSingleton("plain", new Plain(plainDeletions)));
    EXPECT_EQ(plainDeletions, 1);
    EXPECT_FALSE(system().RegisterExternalSingleton("plain", &external));
    EXPECT_FALSE(system().RegisterSingleton("", new Plain(plainDeletions)));
    EXPECT_EQ(plainDeletions, 2);

    standin::System::Reset();
    EXPECT_EQ(plainDeletions, 3);
    EXPECT_TRUE(g_journal.empty());
    EXPECT_FALSE(standin::System::Instance().HasSingleton("external"));
}

TEST_F(SystemTest, ResetGivesAFreshInitialisedReadySystem)
{
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    system().SetReady(false);
    system().SetInitialized(false);
    standin::System::Reset();
    EXPECT_FALSE(system().HasFactory("alpha"));
    EXPECT_TRUE(system().IsReady());
    EXPECT_TRUE(larkIsSystemInitialized());
    EXPECT_EQ(system().SystemRequests(), 0);
}

TEST_F(SystemTest, PluginViewCountsRequestsAndAnswersNullWhenUninitialised)
{
    EXPECT_TRUE(larkIsSystemInitialized());
    EXPECT_EQ(larkGetSystem(), &system());
    EXPECT_EQ(system().SystemRequests(), 1);

    system().SetInitialized(false);
    EXPECT_FALSE(larkIsSystemInitialized());
    EXPECT_EQ(system().SystemRequests(), 1); // asking whether it is initialised is not a request
    standin::DebugOutput::Clear();
    EXPECT_EQ(larkGetSystem(), nullptr);
    EXPECT_EQ(system().SystemRequests(), 2);
    EXPECT_EQ(standin::DebugOutput::Count(), 1u);

    system().SetInitialized(true);
    system().SetReady(false);
    EXPECT_FALSE(larkGetSystem()->IsReady());
    EXPECT_EQ(system().IsReadyCalls(), 1);
}

} // namespace
