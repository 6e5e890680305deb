// The shared ModalDriver answers nested modal windows in order and records what they showed.
#include "ModalDriver.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

int AskWithBox(const QString& title)
{
    QMessageBox box(QMessageBox::Critical, title, QStringLiteral("Something failed"),
                    QMessageBox::Ok | QMessageBox::Retry);
    box.setDetailedText(QStringLiteral("file1\nfile2"));
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Ok);
    return box.exec();
}

TEST(ModalDriver, AnswersSuccessiveWindowsInOrderAndRecordsThem)
{
    ModalDriver driver;
    driver.PressNext(QMessageBox::Retry);
    driver.KeyNext(Qt::Key_Escape);
    driver.RejectNext();
    EXPECT_EQ(AskWithBox(QStringLiteral("First")), QMessageBox::Retry);
    EXPECT_EQ(AskWithBox(QStringLiteral("Second")), QMessageBox::Ok);

    QDialog dialog;
    dialog.setObjectName(QStringLiteral("plainDialog"));
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);

    EXPECT_EQ(driver.Pending(), 0u);
    ASSERT_EQ(driver.Seen().size(), 3u);
    EXPECT_EQ(driver.Seen()[0].title, QStringLiteral("First"));
    EXPECT_EQ(driver.Seen()[0].text, QStringLiteral("Something failed"));
    EXPECT_EQ(driver.Seen()[0].detailedText, QStringLiteral("file1\nfile2"));
    EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(driver.Seen()[0].buttons.contains(QStringLiteral("OK")));
    EXPECT_TRUE(driver.Seen()[0].buttons.contains(QStringLiteral("Retry")));
    EXPECT_EQ(driver.Seen()[1].title, QStringLiteral("Second"));
    EXPECT_EQ(driver.Seen()[2].objectName, QStringLiteral("plainDialog"));
    EXPECT_EQ(driver.Seen()[2].className, QStringLiteral("QDialog"));
}

TEST(ModalDriver, PressesButtonsByTextAndAnswersNestedWindows)
{
    QDialog outer;
    auto* layout = new QVBoxLayout(&outer);
    auto* open = new QPushButton(QStringLiteral("&Open"), &outer);
    layout->addWidget(open);
    int innerResult = -1;
    QObject::connect(open, &QPushButton::clicked, &outer, [&outer, &innerResult] {
        innerResult = AskWithBox(QStringLiteral("Inner"));
        outer.accept();
    });

    ModalDriver driver;
    driver.PressNextByText(QStringLiteral("Open"));
    driver.KeyNext(Qt::Key_Return);
    EXPECT_EQ(outer.exec(), QDialog::Accepted);
    EXPECT_EQ(innerResult, QMessageBox::Retry); // Enter takes the default button
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].title, QStringLiteral("Inner"));
}

} // namespace
