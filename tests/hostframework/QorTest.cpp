// Host exceptions, debug output, result codes and the log stream.
#include "DebugOutput.h"
#include "MemoryLog.h"

#include "qor4/IDataControl.h"
#include "qor4/QORPtr.h"
#include "qor4/qorResult.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kDataControlNullText = "qor4::QORPtrBase<class qor4::IDataControl>::GetPointeeNotNull";

class DebugOutputTest : public ::testing::Test {
protected:
    void SetUp() override { standin::DebugOutput::Clear(); }
    void TearDown() override { standin::DebugOutput::SetHook({}); }
};

TEST_F(DebugOutputTest, DereferencingAnEmptyPointerThrowsNullPtrAfterEchoingIt)
{
    qor4::QORPtr<qor4::IDataControl> empty;
    try {
        empty->GetCurrentUserParameters();
        FAIL() << "no exception";
    } catch (const qor4::ExBase::NullPtr& error) {
        EXPECT_EQ(error.GetText(), kDataControlNullText);
        EXPECT_STREQ(error.what(), kDataControlNullText);
        EXPECT_EQ(error.GetLine(), 102);
        EXPECT_NE(std::string(error.GetFile()).find("QORPtr.h"), std::string::npos);
    }
    ASSERT_EQ(standin::DebugOutput::Count(), 1u);
    EXPECT_EQ(standin::DebugOutput::Lines()[0], kDataControlNullText);
    EXPECT_THROW(static_cast<void>(*empty), qor4::ExBase);
    EXPECT_EQ(standin::DebugOutput::Count(), 2u);
}

TEST_F(DebugOutputTest, AGuardSilencesTheEchoButNotTheException)
{
    qor4::QORPtr<qor4::IDataControl> empty;
    {
        qor4::DisableErrorReportingGuard outer;
        {
            qor4::DisableErrorReportingGuard inner;
            EXPECT_TRUE(qor4::DisableErrorReportingGuard::IsErrorReportingDisabled());
        }
        // Still one guard alive.
        EXPECT_TRUE(qor4::DisableErrorReportingGuard::IsErrorReportingDisabled());
        EXPECT_THROW(empty.operator->(), qor4::ExBase::NullPtr);
        EXPECT_EQ(standin::DebugOutput::Count(), 0u);
    }
    EXPECT_FALSE(qor4::DisableErrorReportingGuard::IsErrorReportingDisabled());
    EXPECT_THROW(empty.operator->(), qor4::ExBase::NullPtr);
    EXPECT_EQ(standin::DebugOutput::Count(), 1u);
}

TEST_F(DebugOutputTest, TheHookSeesEveryLineAndANullTextIsAnEmptyLine)
{
    std::vector<std::string> hooked;
    standin::DebugOutput::SetHook([&hooked](const std::string& line) { hooked.push_back(line); });
    qor4::PrintDebugString("first");
    qor4::PrintDebugString(nullptr);
    EXPECT_EQ(hooked, (std::vector<std::string>{"first", ""}));
    EXPECT_EQ(standin::DebugOutput::Lines(), hooked);
}

TEST(QorResult, FailureWinsWhenOutcomesCombine)
{
    qor4::qorResult result;
    EXPECT_EQ(result, qor4::kResultOk);
    EXPECT_TRUE(result.Succeeded());
    result |= 1;
    EXPECT_EQ(result.GetCode(), 1);
    result |= 0;
    EXPECT_EQ(result.GetCode(), 1); // a plain success keeps the meaningful one
    result |= qor4::kResultSessionExpired;
    EXPECT_TRUE(result.Failed());
    result |= -1;
    EXPECT_EQ(result, qor4::kResultSessionExpired); // the first failure stays
    EXPECT_EQ((qor4::qorResult(0) | qor4::qorResult(-5)).GetCode(), -5);
    EXPECT_EQ((qor4::qorResult(2) | 3).GetCode(), 2);
    EXPECT_TRUE(qor4::qorResult::Failed(-34));
    EXPECT_TRUE(qor4::qorResult::Succeeded(0));
    EXPECT_NE(result, 0);
    EXPECT_EQ(static_cast<std::int32_t>(result), -34);
    result.Reset();
    EXPECT_EQ(result, qor4::qorResult(0));
    result = -7;
    EXPECT_EQ(result.GetCode(), -7);
}

TEST(LogStream, EachTextIsOneEntryOfTheLastType)
{
    {
        standin::MemoryLog log;
        Log::Stream& stream = Log::Singleton::Instance();
        stream << Log::MsgType::Error << "first" << std::string("second");
        stream << Log::MsgType(1) << "warned";
        stream << static_cast<const char*>(nullptr);
        ASSERT_EQ(log.Count(), 4u);
        EXPECT_EQ(log.Entries()[0].type, Log::MsgType::Error);
        EXPECT_EQ(log.Entries()[1].text, "second");
        EXPECT_EQ(log.Entries()[2].type, Log::MsgType::Warning);
        EXPECT_EQ(log.Entries()[3].text, "");
        EXPECT_EQ(log.Count(Log::MsgType::Error), 2u);
        EXPECT_EQ(log.Format(), "error: first\nerror: second\nwarning: warned\nwarning: \n");
        log.Clear();
        EXPECT_EQ(log.Count(), 0u);
    }
    // Without a sink, entries are dropped.
    Log::Singleton::Instance() << Log::MsgType::Info << "nobody listens";
    standin::MemoryLog later;
    EXPECT_EQ(later.Count(), 0u);
}

} // namespace
