// Making one asset writable through the command manager, and how its failures are reported.
#include "HostFixture.h"

#include "ModelAssetFiles.h"

#include <algorithm>

namespace {

constexpr const char* kPassword = "s3cret";
constexpr const char* kTitle = "I/O Error";

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

    static std::string Lines(std::vector<std::string> files)
    {
        std::sort(files.begin(), files.end());
        std::string text;
        for (const std::string& file : files)
            text += file + "\n";
        return text;
    }
};

TEST_F(MakeWritableTest, SuccessClearsTheReadOnlyBitsAndShowsNothing)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 1);
    for (const std::string& file : FilesOf(asset))
        ASSERT_TRUE(standin::IsReadOnlyOnDisk(file));

    EXPECT_TRUE(MakeWritable(asset));

    for (const std::string& file : FilesOf(asset))
        EXPECT_FALSE(standin::IsReadOnlyOnDisk(file)) << file;
    EXPECT_EQ(Commands().Executions().size(), 1u);
    EXPECT_EQ(Log().Count(), 0u);
}

TEST_F(MakeWritableTest, ExpiredSessionIsReopenedAndTheCommandRunAgain)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    AnswerPasswordNext(kPassword);

    EXPECT_TRUE(MakeWritable(asset));

    EXPECT_EQ(Commands().Executions().size(), 2u);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(asset->GetAssetFile()));
}

TEST_F(MakeWritableTest, ServiceFailureShowsTheIOErrorBoxWithTheFiles)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 2);
    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "disk is read-only\n");
    Modal().PressNext(QMessageBox::Ok);

    EXPECT_FALSE(MakeWritable(asset));

    ASSERT_EQ(Modal().Seen().size(), 1u);
    const ModalDriver::Window& box = Modal().Seen()[0];
    EXPECT_EQ(box.title, kTitle);
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.text.toStdString(), Message("asset", "disk is read-only\n"));
    EXPECT_EQ(box.detailedText.toStdString(), Lines(FilesOf(asset)));
    EXPECT_TRUE(box.buttons.contains("OK"));
    EXPECT_EQ(Log().Count(), 0u);
}

TEST_F(MakeWritableTest, WithoutWindowsTheFailureIsLogged)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 1);
    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "locked by scanner");
    WithoutWindows();

    EXPECT_FALSE(MakeWritable(asset));

    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], Message("asset", "locked by scanner") + "\nDetails:\n" + Lines(FilesOf(asset)));
    EXPECT_EQ(Log().Count(), 1u);
}

TEST_F(MakeWritableTest, ExpiredSessionWithoutWindowsReportsTheServiceText)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    WithoutWindows();

    EXPECT_FALSE(MakeWritable(asset, false));

    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Error found while trying to make the asset asset writable:\n", 0), 0u);
    EXPECT_EQ(errors[0].find("Unknown error"), std::string::npos) << errors[0];
    EXPECT_EQ(Commands().Executions().size(), 1u);
}

TEST_F(MakeWritableTest, RefusedCommandIsReportedWithoutDetailsForAnAssetWithoutFiles)
{
    standin::DbObject* gone = AddCheckedInAsset("gone");
    const qor4::QORHandle<qor4::IDbObject> handle = Handle(gone);
    Manager().DeleteAsset(gone);
    Commands().RefuseNext();
    Modal().PressNext(QMessageBox::Ok);

    EXPECT_FALSE(HelperInterface().MakeObjectWritable(handle, true));

    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_TRUE(Modal().Seen()[0].text.endsWith("writable:\nCould not execute command: Unknown error"));
    EXPECT_TRUE(Modal().Seen()[0].detailedText.isEmpty());
}

} // namespace
