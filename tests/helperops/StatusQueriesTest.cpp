// The status questions of the UI-helper interface, forwarded to the data control.
#include "HostFixture.h"

#include <algorithm>

namespace {

namespace fs = qor4::FileStatus;

using StatusQueriesTest = HostFixture;

TEST_F(StatusQueriesTest, SwitchedOffStateQueryDoesNotAskWhileTheOthersStillDo)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    EXPECT_TRUE(HelperInterface().IsSourceDataControlEnabled());
    Properties().SetUseSourceDataControl(false);
    Control().ClearCalls();

    EXPECT_FALSE(HelperInterface().IsSourceDataControlEnabled());
    EXPECT_FALSE(HelperInterface().QueryObjectStateIfEnabled(Handle(asset), true));
    EXPECT_EQ(DataControlCallCount("QueryObjectState"), 0);
    HelperInterface().QueryObjectFlag(Handle(asset), true);
    HelperInterface().QueryObjectInContext(Handle(asset));
    EXPECT_EQ(DataControlCallCount("QueryObjectFlag"), 1);
    EXPECT_EQ(DataControlCallCount("QueryObjectInContext"), 1);
}

TEST_F(StatusQueriesTest, StateFlagAndContextAnswerWhatTheDataControlSays)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    standin::DbObject* local = AddLocalAsset("local");
    EXPECT_TRUE(HelperInterface().QueryObjectStateIfEnabled(Handle(asset), true));
    EXPECT_FALSE(HelperInterface().QueryObjectStateIfEnabled(Handle(local), true));

    EXPECT_FALSE(HelperInterface().QueryObjectFlag(Handle(asset), true));
    std::string errorText;
    ASSERT_EQ(Control().CheckOut({Handle(asset)}, true, {1, 2, -1}, "", errorText), qor4::kResultOk);
    EXPECT_TRUE(HelperInterface().QueryObjectFlag(Handle(asset), true));

    EXPECT_TRUE(HelperInterface().QueryObjectInContext(Handle(asset)));
    QTemporaryDir elsewhere;
    standin::DbObject* outside =
        Manager().CreateAsset({"outside", elsewhere.filePath("outside.qor").toStdString(), {}, true});
    EXPECT_FALSE(HelperInterface().QueryObjectInContext(Handle(outside)));
    // An asset never saved has no file in the workspace yet.
    EXPECT_FALSE(HelperInterface().QueryObjectInContext(Handle(Manager().CreateAsset({"unsaved", "", {}, false}))));

    // A state that cannot be read counts as controlled.
    ExpireSession();
    EXPECT_TRUE(HelperInterface().QueryObjectStateIfEnabled(Handle(local), true));
}

TEST_F(StatusQueriesTest, WithoutDataControlTheAnswersAreFalse)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    EXPECT_EQ(HelperInterface().GetDataControl(ManagerPtr()).Get(), &Control());
    EXPECT_EQ(HelperInterface().GetDataControl({}).Get(), &Control()) << "the proxy's manager is the fallback";
    Manager().GetInstance()->RemoveComponent(qor4::UID_DataControl());

    EXPECT_FALSE(HelperInterface().QueryObjectStateIfEnabled(Handle(asset), true));
    EXPECT_FALSE(HelperInterface().QueryObjectFlag(Handle(asset), true));
    EXPECT_FALSE(HelperInterface().QueryObjectInContext(Handle(asset)));
    EXPECT_TRUE(HelperInterface().GetDataControl(ManagerPtr()).IsNull());
    std::list<qor4::StatusWord> states;
    // The plug-in's own failure code, never the service's "session expired".
    EXPECT_EQ(HelperInterface().GetAccessStates({Handle(asset)}, true, false, states).GetCode(), -1);
    // An empty list needs no data control: nothing is asked and the caller's list stays.
    states = {fs::kLockedByOther};
    Control().ClearCalls();
    EXPECT_EQ(HelperInterface().GetAccessStates({}, true, false, states).GetCode(), 1);
    EXPECT_EQ(states, std::list<qor4::StatusWord>{fs::kLockedByOther});
    EXPECT_TRUE(Control().GetCalls().empty());
    Manager().GetInstance()->RegisterComponent(qor4::UID_DataControl(), qor4::QORPtr<qor4::IQORUnknown>(&Control()));
}

// Many files per object (more than the request's first guess of one per object) and an object asked
// twice: one answer per object, in order, in one call. Who holds a file replaces the caller's list,
// also when there is none (an unknown account).
TEST_F(StatusQueriesTest, AccessStatesAreOnePerObjectInOrderAndFileUsersReplaceTheCallersList)
{
    standin::DbObject* first = AddCheckedInAsset("first", 6);
    standin::DbObject* second = AddCheckedInAsset("second", 6);
    standin::DbObject* held = AddCheckedInAsset("held", 6);
    LockAs(kOtherUser, held);
    std::list<qor4::StatusWord> states;

    ASSERT_EQ(HelperInterface().GetAccessStates(Handles({held, first, second, held}), true, true, states).GetCode(), 0);

    const qor4::StatusWord lockedByOther = fs::kCheckedOutByOther | fs::kLockedByOther;
    EXPECT_EQ(states, (std::list<qor4::StatusWord>{lockedByOther, 0, 0, lockedByOther}));
    ASSERT_EQ(DataControlCallCount("GetAccessStates"), 1);
    EXPECT_EQ(Control().GetCalls().back().arguments.back(), "true");
    // The server is asked each file once, in the order first met.
    std::vector<std::string> expected;
    for (standin::DbObject* asset : {held, first, second})
        for (const std::string& file : FilesOf(asset))
            expected.push_back(file);
    ASSERT_FALSE(ServerRecord().Calls().empty());
    EXPECT_EQ(ServerRecord().Calls().back().arguments, expected);

    std::string message;
    std::list<std::string> users{"stale"};
    ASSERT_EQ(FileControl().Service().GetUsers(CurrentAccount(), {held->GetAssetFile()}, users, message, true), 0)
        << message;
    EXPECT_EQ(std::count(users.begin(), users.end(), "stale"), 0);
    EXPECT_EQ(std::count_if(users.begin(), users.end(),
                            [](const std::string& user) { return user.find(kOtherUser) != std::string::npos; }),
              1);
    users = {"stale"};
    EXPECT_NE(FileControl().Service().GetUsers(nullptr, {held->GetAssetFile()}, users, message, true), 0);
    EXPECT_TRUE(users.empty());
}

// A null handle is no object of the data model: a query or a change says so instead of reading
// through it, and no file of the other objects is asked or changed.
TEST_F(StatusQueriesTest, ANullHandleIsAnInvalidObjectAndNoFileIsAskedOrChanged)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    const qor4::DbObjectHandle none;
    std::list<qor4::StatusWord> states;
    std::string message;
    ServerRecord().ClearCalls();

    EXPECT_EQ(Control().GetAccessStates({Handle(asset), none}, true, {1, 2, -1}, false, states, message),
              standin::DataControl::kResultInvalidObject);
    EXPECT_EQ(message, standin::DataControl::kInvalidObjectText);
    EXPECT_FALSE(Control().HasExternalFiles(none, {1, 2, -1}));
    EXPECT_FALSE(Control().IsReadOnly(none, true, {1, 2, -1}));
    std::string changed;
    EXPECT_EQ(Control().MarkForAdd({Handle(asset), none}, true, {1, 2, -1}, "", changed),
              standin::DataControl::kResultInvalidObject);
    EXPECT_EQ(changed, standin::DataControl::kInvalidObjectText);
    EXPECT_TRUE(ServerRecord().Calls().empty());
}

} // namespace
