// The host system: factories, singletons, Init/Term, shut-down order and the plug-in's view of it.
#include "System.h"

#include "DebugOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_journal;
int g_alphaBuilt = 0;

// Records its life in g_journal; asks for `dependency` during its own Init, as a helper connecting to the
// proxy does.
class Journaled final : public lark::IBase, public lark::ISingleton, public lark::IDestroy {
public:
    explicit Journaled(std::string name, const char* dependency = nullptr)
        : m_name(std::move(name)), m_dependency(dependency)
    {
    }
    ~Journaled() override { g_journal.push_back("delete " + m_name); }
    const char* GetClsName() const override { return m_name.c_str(); }
    void Init() override
    {
        g_journal.push_back("init " + m_name);
        if (m_dependency) found = larkGetSystem()->GetSingleton(m_dependency);
    }
    void Term() override { g_journal.push_back("term " + m_name); }
    lark::IBase* found = nullptr;

private:
    std::string m_name;
    const char* m_dependency;
};

lark::IBase* MakeAlpha()
{
    ++g_alphaBuilt;
    return new Journaled("alpha");
}

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::System::Reset();
        standin::DebugOutput::Clear();
        g_journal.clear();
        g_alphaBuilt = 0;
    }
    void TearDown() override { standin::System::Reset(); }

    standin::System& system() { return standin::System::Instance(); }
};

TEST_F(SystemTest, FactoriesBuildOnceOnRequestAndRefuseBadRegistrations)
{
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    EXPECT_FALSE(system().HasSingleton("alpha"));
    lark::IBase* first = system().GetSingleton("alpha");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(system().GetSingleton("alpha"), first);
    EXPECT_EQ(g_alphaBuilt, 1);
    EXPECT_EQ(g_journal, (std::vector<std::string>{"init alpha"}));

    EXPECT_EQ(system().GetSingleton("nobody"), nullptr);
    EXPECT_EQ(system().GetSingleton(nullptr), nullptr);
    ASSERT_TRUE(system().RegisterFactory("nothing", [] { return static_cast<lark::IBase*>(nullptr); }));
    EXPECT_EQ(system().GetSingleton("nothing"), nullptr);
    // A singleton asking for itself while being built gets null and a debug line.
    ASSERT_TRUE(system().RegisterFactory("self", [] { return larkGetSystem()->GetSingleton("self"); }));
    EXPECT_EQ(system().GetSingleton("self"), nullptr);
    ASSERT_EQ(standin::DebugOutput::Count(), 1u);
    EXPECT_NE(standin::DebugOutput::Lines()[0].find("self"), std::string::npos);

    EXPECT_FALSE(system().RegisterFactory("alpha", &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory(nullptr, &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory("", &MakeAlpha));
    EXPECT_FALSE(system().RegisterFactory("beta", nullptr));
    system().SetRefuseRegistration(true);
    EXPECT_FALSE(system().RegisterFactory("beta", &MakeAlpha));
    EXPECT_FALSE(system().HasFactory("beta"));
    EXPECT_EQ(system().RegisterFactoryCalls(), 8);
}

TEST_F(SystemTest, ShutdownTermsThenDeletesInReverseCreationOrder)
{
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    ASSERT_TRUE(
        system().RegisterFactory("dependent", []() -> lark::IBase* { return new Journaled("dependent", "alpha"); }));
    ASSERT_TRUE(system().RegisterSingleton("gamma", new Journaled("gamma")));
    auto* dependent = dynamic_cast<Journaled*>(system().GetSingleton("dependent"));
    ASSERT_NE(dependent, nullptr);
    // alpha was built inside dependent's Init, so it finished first and must outlive dependent.
    EXPECT_EQ(dependent->found, system().GetSingleton("alpha"));
    EXPECT_EQ(system().CreationOrder(), (std::vector<std::string>{"gamma", "alpha", "dependent"}));

    g_journal.clear();
    system().Shutdown();
    EXPECT_EQ(g_journal, (std::vector<std::string>{"term dependent", "term alpha", "term gamma", "delete dependent",
                                                   "delete alpha", "delete gamma"}));
    EXPECT_FALSE(system().HasSingleton("alpha"));
    EXPECT_NE(system().GetSingleton("alpha"), nullptr); // factories survive and build anew
    EXPECT_EQ(g_alphaBuilt, 2);
}

TEST_F(SystemTest, PluginViewCountsRequestsAndAnswersNullWhenUninitialised)
{
    EXPECT_EQ(larkGetSystem(), &system());
    EXPECT_EQ(system().SystemRequests(), 1);
    system().SetInitialized(false);
    EXPECT_FALSE(larkIsSystemInitialized());
    EXPECT_EQ(system().SystemRequests(), 1); // asking whether it is initialised is not a request
    EXPECT_EQ(larkGetSystem(), nullptr);
    EXPECT_EQ(system().SystemRequests(), 2);
    EXPECT_EQ(standin::DebugOutput::Count(), 1u);

    system().SetInitialized(true);
    system().SetReady(false);
    EXPECT_FALSE(larkGetSystem()->IsReady());
    EXPECT_EQ(system().IsReadyCalls(), 1);

    // Reset gives a fresh, initialised, ready system.
    ASSERT_TRUE(system().RegisterFactory("alpha", &MakeAlpha));
    system().SetInitialized(false);
    standin::System::Reset();
    EXPECT_FALSE(system().HasFactory("alpha"));
    EXPECT_TRUE(system().IsReady());
    EXPECT_TRUE(larkIsSystemInitialized());
    EXPECT_EQ(system().SystemRequests(), 0);
}

} // namespace
