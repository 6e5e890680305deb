// Making one asset writable through the command manager, and how its failures are reported.
#include "HostFixture.h"

#include "datamodel/ModelAssetFiles.h"

namespace {

constexpr const char* kPassword = "s3cret";

class MakeWritableTest : public HostFixture {
protected:
    bool MakeWritable(standin::DbObject* asset, bool includeExternal = true)
    {
        return HelperInterface().MakeObjectWritable(Handle(asset), includeExternal);
    }

    static std::string Message(const std::string& name, const std::string& error)
    {
        return "Error found while trying to make the asset " + name + " writable:\n" + error;
    }
};

TEST_F(MakeWritableTest, SuccessFirstOrAfterAReopenedSessionClearsTheReadOnlyBitsAndShowsNothing)
{
    for (const bool expired : {false, true}) {
        SCOPED_TRACE(expired ? "expired session" : "live session");
        standin::DbObject* asset = AddCheckedInAsset(expired ? "late" : "asset", 1);
        for (const std::string& file : FilesOf(asset))
            ASSERT_TRUE(standin::IsReadOnlyOnDisk(file));
        const std::size_t executions = Commands().Executions().size();
        if (expired) {
            ExpireSession(kPassword);
            AnswerPasswordNext(kPassword);
        }

        EXPECT_TRUE(MakeWritable(asset));

        for (const std::string& file : FilesOf(asset))
            EXPECT_FALSE(standin::IsReadOnlyOnDisk(file)) << file;
        EXPECT_EQ(Commands().Executions().size(), executions + (expired ? 2 : 1));
        EXPECT_EQ(Modal().Seen().size(), expired ? 1u : 0u);
        EXPECT_EQ(Log().Count(), 0u);
    }
}

TEST_F(MakeWritableTest, ServiceFailureShowsTheIOErrorBoxWithTheFiles)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 2);
    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "disk is read-only\n");
    Modal().PressNext(QMessageBox::Ok);

    EXPECT_FALSE(MakeWritable(asset));

    ASSERT_EQ(Modal().Seen().size(), 1u);
    const ModalDriver::Window& box = Modal().Seen()[0];
    EXPECT_EQ(box.objectName, "ioErrorBox");
    EXPECT_EQ(box.title, "I/O Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.text.toStdString(), Message("asset", "disk is read-only\n"));
    EXPECT_EQ(box.detailedText.toStdString(), SortedLines(FilesOf(asset)));
    EXPECT_TRUE(box.buttons.contains("OK"));
    EXPECT_TRUE(box.sizeGrip);
    EXPECT_EQ(Log().Count(), 0u);
}

TEST_F(MakeWritableTest, WithoutWindowsTheFailureIsLogged)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 1);
    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "locked by scanner");
    WithoutWindows();

    EXPECT_FALSE(MakeWritable(asset));

    EXPECT_EQ(Log().Count(), 1u);
    EXPECT_EQ(LogTexts(Log::MsgType::Error), std::vector<std::string>{Message("asset", "locked by scanner") +
                                                                      "\nDetails:\n" + SortedLines(FilesOf(asset))});
}

TEST_F(MakeWritableTest, ExpiredSessionWithoutWindowsReportsTheServiceText)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    WithoutWindows();

    EXPECT_FALSE(MakeWritable(asset, false));

    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(Message("asset", ""), 0), 0u);
    EXPECT_EQ(errors[0].find("Unknown error"), std::string::npos) << errors[0];
    EXPECT_EQ(Commands().Executions().size(), 1u);
}

TEST_F(MakeWritableTest, RefusedCommandIsReportedWithoutDetailsForAnAssetWithoutFiles)
{
    Commands().RefuseNext();
    Modal().PressNext(QMessageBox::Ok);

    EXPECT_FALSE(HelperInterface().MakeObjectWritable(RemovedAssetHandle("gone"), true));

    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_TRUE(Modal().Seen()[0].text.endsWith("writable:\nCould not execute command: Unknown error"));
    EXPECT_TRUE(Modal().Seen()[0].detailedText.isEmpty());
}

} // namespace
