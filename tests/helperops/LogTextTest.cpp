// What reaches a log is printable: server answers and hook output with terminal escape sequences,
// other controls and bytes that are not UTF-8 come out escaped, in the host log and in the debug
// output alike; letters of any script, line breaks and tabs stay as they are.
#include "framework/DebugOutput.h"
#include "framework/MemoryLog.h"
#include "framework/PrintableText.h"

#include <gtest/gtest.h>

namespace {

// ESC sequences that colour and clear a terminal, a carriage return that overwrites the line, a
// bell, C1's control sequence introducer, a right-to-left override and a byte that is no UTF-8.
constexpr const char* kHostile = "hook: \x1b[31mdenied\x1b[2J\rok\x07 \xc2\x9b"
                                 "1m \xe2\x80\xae"
                                 "cod.exe \xff\n"
                                 "next\tline, Ünïcödé ✓";
constexpr const char* kEscaped = "hook: \\x1B[31mdenied\\x1B[2J\\x0Dok\\x07 \\xC2\\x9B1m \\xE2\\x80\\xAEcod.exe \\xFF\n"
                                 "next\tline, Ünïcödé ✓";

TEST(LogTextTest, ControlsAndBytesThatAreNotUtf8AreEscapedInEveryLogAndUtf8IsToldApart)
{
    EXPECT_EQ(standin::PrintableText(kHostile), kEscaped);
    EXPECT_EQ(standin::PrintableText(kEscaped), kEscaped) << "escaping twice changes nothing";

    standin::MemoryLog log;
    Log::Singleton::Instance() << Log::MsgType::Error << kHostile;
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entries().front().text, kEscaped);

    standin::DebugOutput::Write(kHostile);
    EXPECT_EQ(standin::DebugOutput::Lines().back(), kEscaped);

    // UTF-8 is told from bytes that only look like it.
    EXPECT_TRUE(standin::IsUtf8("plain, Ünïcödé ✓ \xf0\x9f\x99\x82"));
    EXPECT_FALSE(standin::IsUtf8("bad\xff.qor"));
    EXPECT_FALSE(standin::IsUtf8("\xc0\xaf")) << "an overlong '/'";
    EXPECT_FALSE(standin::IsUtf8("\xed\xa0\x80")) << "a surrogate";
    EXPECT_FALSE(standin::IsUtf8("\xe2\x82")) << "a sequence cut short";
    EXPECT_FALSE(standin::IsUtf8("\xf4\x90\x80\x80")) << "beyond the last code point";
}

} // namespace
