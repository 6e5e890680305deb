// The plug-in's message boxes show what servers and repositories say as it stands: markup in a
// server's text is neither rendered nor followed, and clicking into the box opens nothing.
#include "HostFixture.h"
#include "PlainTextCheck.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

class PlainTextBoxesTest;

struct BoxCase {
    const char* name;
    const char* boxName;
    QMessageBox::StandardButton closeWith;
    // Makes the plug-in show the box with kHostileText in it.
    std::function<void(PlainTextBoxesTest&)> show;
};

void PrintTo(const BoxCase& entry, std::ostream* out)
{
    *out << entry.name;
}

class PlainTextBoxesTest : public HostFixture, public ::testing::WithParamInterface<BoxCase> {
public:
    // What the cases use of the fixture.
    using HostFixture::AddCheckedInAsset;
    using HostFixture::ControlPtr;
    using HostFixture::ExpireSession;
    using HostFixture::Handle;
    using HostFixture::Helper;
    using HostFixture::HelperInterface;
    using HostFixture::Server;
};

const std::string kHostile = kHostileText.toStdString();

TEST_P(PlainTextBoxesTest, ShowsTheServersTextLiterallyAndOpensNothing)
{
    const BoxCase& entry = GetParam();
    bool inspected = false;
    Modal().AnswerNext([&](QWidget* box) {
        EXPECT_EQ(box->objectName(), entry.boxName);
        ExpectLabelShowsLiterally(LabelShowing(box));
        inspected = true;
        qobject_cast<QMessageBox*>(box)->button(entry.closeWith)->click();
    });

    entry.show(*this);

    EXPECT_TRUE(inspected);
    EXPECT_EQ(Modal().Pending(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, PlainTextBoxesTest,
    ::testing::Values(
        // The server's refusal of a login is the box's whole text.
        BoxCase{"ConnectionError", "connectionErrorBox", QMessageBox::Ok,
                [](PlainTextBoxesTest& test) {
                    test.ExpireSession("secret");
                    test.Server().FailNext(standin::ServerOp::kLogin, standin::ServerCode::kLoginFailed, kHostile);
                    qor4::QORPtr<qor4::IDataControl> control = test.ControlPtr();
                    EXPECT_FALSE(test.Helper().ReopenSession(control, "", "Password required."));
                }},
        BoxCase{
            "RetryQuestion", "retryBox", QMessageBox::Ok,
            [](PlainTextBoxesTest&) { EXPECT_FALSE(CRevisionControlUIHelper::AskRetry("Mark for delete", kHostile)); }},
        BoxCase{"CheckoutError", "checkoutErrorBox", QMessageBox::Ok,
                [](PlainTextBoxesTest& test) {
                    standin::DbObject* asset = test.AddCheckedInAsset("hero");
                    test.Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, kHostile);
                    bool cancelled = false;
                    EXPECT_FALSE(test.Helper().CheckOutObjects(DbObjectHandles{PlainTextBoxesTest::Handle(asset)},
                                                               &cancelled, false));
                }},
        BoxCase{"MakeWritableIOError", "ioErrorBox", QMessageBox::Ok,
                [](PlainTextBoxesTest& test) {
                    standin::DbObject* asset = test.AddCheckedInAsset("hero");
                    test.Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, kHostile);
                    EXPECT_FALSE(test.HelperInterface().MakeObjectWritable(PlainTextBoxesTest::Handle(asset), true));
                }}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

} // namespace
