#include "qfilelistwidget.h"

#include "ModalDriver.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QStyle>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

namespace {

class FileListWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writable = MakeFile("writable.txt", true);
        readOnly = MakeFile("read only.txt", false);
        missing = dir.filePath("missing.txt");
        QApplication::clipboard()->setText("untouched");
    }
    void TearDown() override { QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner); }

    QString MakeFile(const QString& name, bool canWrite)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        if (!canWrite) QFile::setPermissions(path, QFile::ReadOwner);
        return path;
    }

    static QTreeWidgetItem* Row(QFileListWidget& list, const QString& path)
    {
        const QList<QTreeWidgetItem*> found = list.findItems(path, Qt::MatchExactly, QFileListWidget::FileColumn);
        return found.size() == 1 ? found.front() : nullptr;
    }

    QTemporaryDir dir;
    QString writable;
    QString readOnly;
    QString missing;
};

} // namespace

TEST_F(FileListWidgetTest, ShowsReadOnlyStateAndGreysMissingFiles)
{
    QFileListWidget list({writable, readOnly, missing});
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.headerItem()->text(0), "File");
    EXPECT_EQ(list.headerItem()->text(1), "Read Only");

    QTreeWidgetItem* writableRow = Row(list, writable);
    QTreeWidgetItem* readOnlyRow = Row(list, readOnly);
    QTreeWidgetItem* missingRow = Row(list, missing);
    ASSERT_TRUE(writableRow && readOnlyRow && missingRow);
    EXPECT_EQ(writableRow->checkState(1), Qt::Unchecked);
    // A path that does not exist cannot be written, whoever runs the test.
    EXPECT_EQ(missingRow->checkState(1), Qt::Checked);
    EXPECT_EQ(missingRow->foreground(0), QBrush(Qt::darkGray));
    EXPECT_NE(writableRow->foreground(0), QBrush(Qt::darkGray));
    EXPECT_EQ(writableRow->sizeHint(0), QSize(0, QFileListWidget::kRowHeight));
}

TEST_F(FileListWidgetTest, ReadOnlyFileIsCheckedWhoeverRunsTheTest)
{
    QFileListWidget list({readOnly});
    ASSERT_TRUE(Row(list, readOnly));
    EXPECT_EQ(Row(list, readOnly)->checkState(1), Qt::Checked);
    EXPECT_NE(Row(list, readOnly)->foreground(0), QBrush(Qt::darkGray));
}

TEST_F(FileListWidgetTest, RowsAreListedInAscendingOrder)
{
    QFileListWidget list({writable, missing, readOnly});
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.topLevelItem(0)->text(0), missing);
    EXPECT_EQ(list.topLevelItem(1)->text(0), readOnly);
    EXPECT_EQ(list.topLevelItem(2)->text(0), writable);
}

TEST_F(FileListWidgetTest, ViewIsReadOnlySortableAndSelectsWholeRows)
{
    QFileListWidget list({});
    EXPECT_EQ(list.topLevelItemCount(), 0);
    EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(list.isSortingEnabled());
    EXPECT_TRUE(list.alternatingRowColors());
    EXPECT_FALSE(list.header()->stretchLastSection());
    EXPECT_EQ(list.header()->sectionResizeMode(0), QHeaderView::Stretch);
    EXPECT_EQ(list.header()->sectionResizeMode(1), QHeaderView::ResizeToContents);
    EXPECT_TRUE(list.parent() == nullptr);

    const QMetaObject* meta = list.metaObject();
    EXPECT_STREQ(meta->className(), "QFileListWidget");
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), 2);
    EXPECT_EQ(meta->method(meta->methodOffset()).methodSignature(), "ShowFiles()");
    EXPECT_EQ(meta->method(meta->methodOffset() + 1).methodSignature(), "CopyToClipboard()");
}

TEST_F(FileListWidgetTest, RelativePathsAreListedAbsolute)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QFileListWidget list({"writable.txt", "sub/../read only.txt"});
    QDir::setCurrent(previous);
    EXPECT_TRUE(Row(list, writable));
    EXPECT_TRUE(Row(list, readOnly));
}

TEST_F(FileListWidgetTest, CtrlCCopiesSelectedPathsCtrlShiftCDoesNot)
{
    QFileListWidget list({writable, readOnly, missing});
    Row(list, writable)->setSelected(true);
    Row(list, missing)->setSelected(true);

    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "untouched");

    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    QStringList expected;
    for (QTreeWidgetItem* item : list.selectedItems())
        expected << item->text(0) + "\n";
    EXPECT_EQ(QApplication::clipboard()->text(), expected.join(QString()));
    EXPECT_EQ(expected.size(), 2);
    EXPECT_TRUE(QApplication::clipboard()->text().contains(writable + "\n"));
    EXPECT_TRUE(QApplication::clipboard()->text().contains(missing + "\n"));

    list.clearSelection();
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
}

TEST_F(FileListWidgetTest, RightClickSelectsTheRowAndOffersCopy)
{
    QFileListWidget list({writable, readOnly});
    list.resize(500, 200);
    list.show();
    QTreeWidgetItem* target = Row(list, readOnly);
    const QPoint where = list.visualItemRect(target).center();

    QStringList menuTexts;
    QTimer::singleShot(0, [&menuTexts] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            menuTexts << action->text();
            EXPECT_TRUE(action->shortcut().isEmpty());
        }
        menu->actions().at(1)->trigger();
        menu->close();
    });
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, where);

    EXPECT_EQ(menuTexts, (QStringList{"Show in Explorer", "Copy to clipboard"}));
    EXPECT_EQ(list.selectedItems(), QList<QTreeWidgetItem*>{target});
    EXPECT_EQ(QApplication::clipboard()->text(), readOnly + "\n");
    list.hide();
}

TEST_F(FileListWidgetTest, ClickingTheReadOnlyMarkLeavesTheFileAlone)
{
    const QFile::Permissions before = QFile::permissions(readOnly);
    QFileListWidget list({readOnly});
    list.resize(500, 200);
    list.show();
    QTreeWidgetItem* row = Row(list, readOnly);
    const Qt::CheckState shown = row->checkState(1);
    const QRect cell = list.visualRect(list.model()->index(0, 1));
    QStyleOptionViewItem option;
    option.rect = cell;
    const QRect box = list.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &list);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      QPoint(cell.left() + box.width() / 2 + 3, cell.center().y()));
    EXPECT_NE(row->checkState(1), shown);
    EXPECT_EQ(QFile::permissions(readOnly), before);
    list.hide();
}

TEST_F(FileListWidgetTest, DialogShowsTheListWithAnOkButton)
{
    QFileListDialog dialog({writable, missing});
    EXPECT_EQ(dialog.fileListWidget->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.fileListWidget->parentWidget(), &dialog);
    EXPECT_EQ(dialog.minimumWidth(), 500);
    EXPECT_EQ(dialog.layout()->contentsMargins(), QMargins(2, 2, 2, 2));
    auto* ok = dialog.findChild<QPushButton*>("okButton");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), "OK");
}

TEST_F(FileListWidgetTest, ShowFileListDialogRunsModallyWithTheTitle)
{
    ModalDriver driver;
    QString title;
    int rows = -1;
    driver.AnswerNext([&](QWidget* modal) {
        title = modal->windowTitle();
        rows = modal->findChild<QFileListWidget*>()->topLevelItemCount();
        modal->findChild<QPushButton*>("okButton")->click();
    });
    ShowFileListDialog("Asset Files", {writable, readOnly, missing});
    EXPECT_EQ(driver.Pending(), 0u);
    EXPECT_EQ(title, "Asset Files");
    EXPECT_EQ(rows, 3);
}
