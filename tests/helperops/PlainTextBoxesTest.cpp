// The plug-in's message boxes show what servers and repositories say as it stands: markup in a
// server's text is neither rendered nor followed, and clicking into the box opens nothing.
#include "HostFixture.h"
#include "PlainTextCheck.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

using PlainTextBoxesTest = HostFixture;

TEST_F(PlainTextBoxesTest, ShowTheServersTextLiterallyAndOpenNothing)
{
    const std::string hostile = kHostileText.toStdString();
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const struct {
        const char* boxName;
        std::function<void()> show; // makes the plug-in show the box with the hostile text in it
    } cases[] = {{"retryBox", [&] { EXPECT_FALSE(CRevisionControlUIHelper::AskRetry("Mark for delete", hostile)); }},
                 {"checkoutErrorBox",
                  [&] {
                      Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, hostile);
                      bool cancelled = false;
                      EXPECT_FALSE(Helper().CheckOutObjects(DbObjectHandles{Handle(asset)}, &cancelled, false));
                  }},
                 {"ioErrorBox",
                  [&] {
                      Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, hostile);
                      EXPECT_FALSE(HelperInterface().MakeObjectWritable(Handle(asset), true));
                  }},
                 // The server's refusal of a login is the box's whole text; last, as it leaves no session.
                 {"connectionErrorBox", [&] {
                      ExpireSession("secret");
                      Server().FailNext(standin::ServerOp::kLogin, standin::ServerCode::kLoginFailed, hostile);
                      auto control = ControlPtr();
                      EXPECT_FALSE(Helper().ReopenSession(control, "", "Password required."));
                  }}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.boxName);
        bool inspected = false;
        Modal().AnswerNext([&](QWidget* box) {
            EXPECT_EQ(box->objectName(), entry.boxName);
            ExpectLabelShowsLiterally(LabelShowing(box));
            inspected = true;
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });

        entry.show();

        EXPECT_TRUE(inspected);
        EXPECT_EQ(Modal().Pending(), 0u);
    }
}

} // namespace
