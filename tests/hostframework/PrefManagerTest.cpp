// The preference store: defaults for absent keys, counted writes, and a store that cannot be reached.
#include "PrefManager.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kKey = "RevControl.ActionWhenEditingReadOnlyAsset";
constexpr const char* kFlag = "RevControl.AlwaysUseSetting";
constexpr const char* kText = "RevControl.UserName";

struct Read {
    bool answered = true;
    int number = 9;
    bool flag = true;
    std::string text = "left over";
};

// Reads kKey, kFlag and kText with the defaults 1, false and textDefault.
Read ReadAll(standin::PrefManager& prefs, const char* textDefault)
{
    Read read;
    read.answered &= prefs.GetIntPref(kKey, 1, read.number, false);
    read.answered &= prefs.GetBoolPref(kFlag, false, read.flag, false);
    read.answered &= prefs.GetStringPref(kText, textDefault, read.text, false);
    return read;
}

TEST(PrefManager, AbsentKeysGiveDefaultsAndWritesAreCounted)
{
    standin::PrefManager prefs;
    Read read = ReadAll(prefs, "someone");
    EXPECT_TRUE(read.answered);
    EXPECT_EQ(read.number, 1);
    EXPECT_FALSE(read.flag);
    EXPECT_EQ(read.text, "someone");
    EXPECT_EQ(ReadAll(prefs, nullptr).text, ""); // a null default is an empty text, not the caller's
    EXPECT_EQ(prefs.WriteCount(), 0);

    EXPECT_TRUE(prefs.SetIntPref(kKey, 3, true));
    EXPECT_TRUE(prefs.SetBoolPref(kFlag, true, true));
    EXPECT_TRUE(prefs.SetStringPref(kText, "ada", true));
    EXPECT_TRUE(prefs.SetStringPref(kText, "ada", true)); // same value, still a write
    read = ReadAll(prefs, "");
    EXPECT_EQ(read.number, 3);
    EXPECT_TRUE(read.flag);
    EXPECT_EQ(read.text, "ada");
    EXPECT_EQ(prefs.WriteCount(), 4);
    prefs.SetRawValue(kKey, 7); // presetting is not a write
    EXPECT_EQ(ReadAll(prefs, "").number, 7);
    EXPECT_EQ(prefs.WriteCount(), 4);
}

TEST(PrefManager, AnUnreachableStoreAnswersFalseAndTouchesNothing)
{
    standin::PrefManager prefs;
    prefs.SetRawValue(kKey, 2);
    prefs.SetReachable(false);
    const Read read = ReadAll(prefs, "someone");
    EXPECT_FALSE(read.answered);
    EXPECT_EQ(read.number, 9);
    EXPECT_TRUE(read.flag);
    EXPECT_EQ(read.text, "left over");
    EXPECT_FALSE(prefs.SetIntPref(kKey, 3, true));
    EXPECT_EQ(prefs.RawValue(kKey)->toInt(), 2);
    EXPECT_EQ(prefs.WriteCount(), 0);
}

} // namespace
