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
    std::vector<std::string> hooked;
    standin::DebugOutput::SetHook([&hooked](const std::string& line) { hooked.push_back(line); });
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
    EXPECT_THROW(static_cast<void>(*empty), qor4::ExBase);
    qor4::PrintDebugString(nullptr);
    EXPECT_EQ(hooked, (std::vector<std::string>{kDataControlNullText, kDataControlNullText, ""}));
    EXPECT_EQ(standin::DebugOutput::Lines(), hooked);
}

TEST_F(DebugOutputTest, AGuardSilencesTheEchoButNotTheException)
{
    qor4::QORPtr<qor4::IDataControl> empty;
    {
        qor4::DisableErrorReportingGuard outer;
        {
            qor4::DisableErrorReportingGuard inner;
        }
        EXPECT_TRUE(qor4::DisableErrorReportingGuard::IsErrorReportingDisabled()); // still one guard alive
        EXPECT_THROW(empty.operator->(), qor4::ExBase::NullPtr);
        EXPECT_EQ(standin::DebugOutput::Count(), 0u);
    }
    EXPECT_FALSE(qor4::DisableErrorReportingGuard::IsErrorReportingDisabled());
    EXPECT_THROW(empty.operator->(), qor4::ExBase::NullPtr);
    EXPECT_EQ(standin::DebugOutput::Count(), 1u);
}

TEST(QorResult, FailureWinsWhenOutcomesCombine)
{
    qor4::qorResult result;
    EXPECT_TRUE(result.Succeeded());
    result |= 1;
    result |= 0;
    EXPECT_EQ(result.GetCode(), 1); // a plain success keeps the meaningful one
    result |= qor4::kResultSessionExpired;
    result |= -1;
    EXPECT_TRUE(result.Failed());
    EXPECT_EQ(static_cast<std::int32_t>(result), -34); // the first failure stays
    EXPECT_EQ((qor4::qorResult(0) | qor4::qorResult(-5)).GetCode(), -5);
    EXPECT_EQ((qor4::qorResult(2) | 3).GetCode(), 2);
    result.Reset();
    EXPECT_EQ(result, qor4::qorResult(0));
}

TEST(LogStream, EachTextIsOneEntryOfTheLastType)
{
    {
        standin::MemoryLog log;
        Log::Stream& stream = Log::Singleton::Instance();
        stream << Log::MsgType::Error << "first" << std::string("second");
        stream << Log::MsgType(1) << "warned";
        stream << static_cast<const char*>(nullptr);
        EXPECT_EQ(log.Count(Log::MsgType::Error), 2u);
        EXPECT_EQ(log.Entries().at(2).type, Log::MsgType::Warning);
        EXPECT_EQ(log.Format(), "error: first\nerror: second\nwarning: warned\nwarning: \n");
    }
    // Without a sink, entries are dropped.
    Log::Singleton::Instance() << Log::MsgType::Info << "nobody listens";
    EXPECT_EQ(standin::MemoryLog().Count(), 0u);
}

} // namespace
