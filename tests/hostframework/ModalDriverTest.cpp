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

TEST(ModalDriver, AnswersSuccessiveAndNestedWindowsInOrderAndRecordsThem)
{
    QDialog outer;
    outer.setObjectName(QStringLiteral("outerDialog"));
    auto* open = new QPushButton(QStringLiteral("&Open"), &outer);
    (new QVBoxLayout(&outer))->addWidget(open);
    std::vector<int> inner;
    QObject::connect(open, &QPushButton::clicked, &outer, [&inner] {
        for (const char* title : {"Enter", "Pressed", "Escaped"})
            inner.push_back(AskWithBox(title));
    });

    ModalDriver driver;
    driver.PressNextByText(QStringLiteral("Open"));
    driver.KeyNext(Qt::Key_Return);
    driver.PressNext(QMessageBox::Ok);
    driver.KeyNext(Qt::Key_Escape);
    driver.RejectNext();
    EXPECT_EQ(outer.exec(), QDialog::Rejected);
    // Enter takes the default button, Escape the escape button.
    EXPECT_EQ(inner, (std::vector<int>{QMessageBox::Retry, QMessageBox::Ok, QMessageBox::Ok}));

    EXPECT_EQ(driver.Pending(), 0u);
    ASSERT_EQ(driver.Seen().size(), 5u);
    EXPECT_EQ(driver.Seen()[0].objectName, QStringLiteral("outerDialog"));
    EXPECT_EQ(driver.Seen()[0].className, QStringLiteral("QDialog"));
    const ModalDriver::Window& box = driver.Seen()[1];
    EXPECT_EQ(box.title, QStringLiteral("Enter"));
    EXPECT_EQ(box.text, QStringLiteral("Something failed"));
    EXPECT_EQ(box.detailedText, QStringLiteral("file1\nfile2"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(box.buttons.contains(QStringLiteral("OK")));
    EXPECT_TRUE(box.buttons.contains(QStringLiteral("Retry")));
    EXPECT_EQ(driver.Seen()[3].title, QStringLiteral("Escaped"));
    EXPECT_EQ(driver.Seen()[4].objectName, QStringLiteral("outerDialog")); // the outer window again
}

} // namespace
