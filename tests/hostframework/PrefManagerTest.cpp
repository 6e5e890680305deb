// The preference store: defaults for absent keys, typed and raw values, persistence to a settings file.
#include "PrefManager.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr const char* kKey = "RevControl.ActionWhenEditingReadOnlyAsset";

TEST(PrefManager, AbsentKeysGiveTheirDefaults)
{
    standin::PrefManager prefs;
    int number = 0;
    bool flag = true;
    std::string text = "left over";
    EXPECT_TRUE(prefs.GetIntPref(kKey, 1, number, false));
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(prefs.GetBoolPref("RevControl.AlwaysUseSetting", false, flag, false));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(prefs.GetStringPref("RevControl.UserName", "someone", text, false));
    EXPECT_EQ(text, "someone");
    // A null default text gives an empty text rather than keeping the caller's.
    text = "left over";
    EXPECT_TRUE(prefs.GetStringPref("RevControl.ChangeListToUseWhenAutoCheckingOut", nullptr, text, false));
    EXPECT_EQ(text, "");
    EXPECT_EQ(prefs.WriteCount(), 0);
    EXPECT_EQ(prefs.ReadCount(), 4);
    EXPECT_TRUE(prefs.Keys().empty());
}

TEST(PrefManager, WrittenValuesReadBackAndCountEveryWrite)
{
    standin::PrefManager prefs;
    EXPECT_TRUE(prefs.SetIntPref(kKey, 3, true));
    EXPECT_TRUE(prefs.SetBoolPref("RevControl.UseSourceDataControl", true, true));
    EXPECT_TRUE(prefs.SetStringPref("RevControl.Server", "perforce:1666", true));
    EXPECT_TRUE(prefs.SetStringPref("RevControl.Server", "perforce:1666", true)); // same value, still a write
    int number = 0;
    bool flag = false;
    std::string text;
    prefs.GetIntPref(kKey, 1, number, false);
    prefs.GetBoolPref("RevControl.UseSourceDataControl", false, flag, false);
    prefs.GetStringPref("RevControl.Server", "", text, false);
    EXPECT_EQ(number, 3);
    EXPECT_TRUE(flag);
    EXPECT_EQ(text, "perforce:1666");
    EXPECT_EQ(prefs.WriteCount(), 4);
    EXPECT_EQ(prefs.RawValue(kKey)->toInt(), 3);
}

TEST(PrefManager, RawValuesArePresetWithoutCountingAsWrites)
{
    standin::PrefManager prefs;
    prefs.SetRawValue(kKey, 7);
    EXPECT_EQ(prefs.WriteCount(), 0);
    int number = 0;
    prefs.GetIntPref(kKey, 1, number, false);
    EXPECT_EQ(number, 7);
    ASSERT_TRUE(prefs.RawValue(kKey).has_value());
    EXPECT_EQ(prefs.RawValue(kKey)->typeId(), QMetaType::Int);
    prefs.Remove(kKey);
    EXPECT_FALSE(prefs.RawValue(kKey).has_value());
    prefs.GetIntPref(kKey, 1, number, false);
    EXPECT_EQ(number, 1);
}

TEST(PrefManager, ValuesOfAnotherTypeConvertOrFallBackToTheDefault)
{
    standin::PrefManager prefs;
    prefs.SetRawValue("n", QStringLiteral("12"));
    prefs.SetRawValue("garbage", QStringLiteral("not a number"));
    prefs.SetRawValue("b", QStringLiteral("TRUE"));
    prefs.SetRawValue("one", 1);
    int number = 0;
    bool flag = false;
    prefs.GetIntPref("n", 1, number, false);
    EXPECT_EQ(number, 12);
    prefs.GetIntPref("garbage", 5, number, false);
    EXPECT_EQ(number, 5);
    prefs.GetBoolPref("b", false, flag, false);
    EXPECT_TRUE(flag);
    prefs.GetBoolPref("garbage", false, flag, false);
    EXPECT_FALSE(flag);
    prefs.GetBoolPref("one", false, flag, false);
    EXPECT_TRUE(flag);
}

TEST(PrefManager, AnUnreachableStoreAnswersFalseAndTouchesNothing)
{
    standin::PrefManager prefs;
    prefs.SetRawValue(kKey, 2);
    prefs.SetReachable(false);
    int number = 9;
    std::string text = "kept";
    bool flag = true;
    EXPECT_FALSE(prefs.GetIntPref(kKey, 1, number, false));
    EXPECT_FALSE(prefs.GetStringPref("s", nullptr, text, false));
    EXPECT_FALSE(prefs.GetBoolPref("b", false, flag, false));
    EXPECT_FALSE(prefs.SetIntPref(kKey, 3, true));
    EXPECT_EQ(number, 9);
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(flag);
    EXPECT_EQ(prefs.RawValue(kKey)->toInt(), 2);
    EXPECT_EQ(prefs.WriteCount(), 0);
}

TEST(PrefManager, ASettingsFileKeepsValuesAcrossInstances)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("prefs.ini"));
    {
        standin::PrefManager prefs(path);
        prefs.SetIntPref(kKey, 2, true);
        prefs.SetBoolPref("RevControl.AlwaysUseSetting", true, true);
        prefs.SetStringPref("RevControl.UserName", "ada", true);
        // Written now: another reader sees it before the store goes away.
        EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("RevControl.UserName")).toString(),
                  QStringLiteral("ada"));
        prefs.SetStringPref("RevControl.Workspace", "later", false); // kept until the store flushes
    }
    standin::PrefManager reopened(path);
    int number = 0;
    bool flag = false;
    std::string text;
    reopened.GetIntPref(kKey, 1, number, false);
    reopened.GetBoolPref("RevControl.AlwaysUseSetting", false, flag, false);
    EXPECT_EQ(number, 2);
    EXPECT_TRUE(flag);
    reopened.GetStringPref("RevControl.UserName", "", text, false);
    EXPECT_EQ(text, "ada");
    reopened.GetStringPref("RevControl.Workspace", "", text, false);
    EXPECT_EQ(text, "later");
}

TEST(PrefManager, IsAHostSingleton)
{
    lark::IBase* built = standin::PrefManager::Create();
    EXPECT_STREQ(built->GetClsName(), standin::PrefManager::kClassName);
    EXPECT_NE(dynamic_cast<IZRPrefManager*>(built), nullptr);
    EXPECT_NE(dynamic_cast<lark::ISingleton*>(built), nullptr);
    delete dynamic_cast<lark::IDestroy*>(built);
}

} // namespace
