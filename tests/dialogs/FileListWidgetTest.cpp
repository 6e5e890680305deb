#include "qfilelistwidget.h"

#include "DialogTestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QTemporaryDir>

namespace {

class FileListWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const QString& path : {writable, readOnly}) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        QFile::setPermissions(readOnly, QFile::ReadOwner);
        QApplication::clipboard()->setText("untouched");
    }
    void TearDown() override { QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner); }

    static QTreeWidgetItem* Row(QFileListWidget& list, const QString& path)
    {
        const QList<QTreeWidgetItem*> found = list.findItems(path, Qt::MatchExactly, QFileListWidget::FileColumn);
        return found.size() == 1 ? found.front() : nullptr;
    }

    QTemporaryDir dir;
    QString writable = dir.filePath("writable.txt");
    QString readOnly = dir.filePath("read only.txt");
    QString missing = dir.filePath("missing.txt");
};

constexpr int kWideList = 800;

} // namespace

TEST_F(FileListWidgetTest, ListsFilesAscendingWithReadOnlyMarkAndGreyedMissingOnes)
{
    QFileListWidget list({writable, missing, readOnly});
    EXPECT_EQ(list.headerItem()->text(0), "File");
    EXPECT_EQ(list.headerItem()->text(1), "Read Only");
    EXPECT_EQ(list.header()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft) << "headings start left";
    // The path takes the width; the mark's column stays as narrow as its heading.
    list.resize(kWideList, kWideList / 2);
    list.show();
    QApplication::processEvents();
    EXPECT_LT(list.header()->sectionSize(1), kWideList / 4);
    EXPECT_GT(list.header()->sectionSize(0), kWideList / 2);
    list.hide();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    // A path that does not exist cannot be written, whoever runs the test.
    const struct {
        QString path;
        Qt::CheckState readOnlyMark;
        bool grey;
    } rows[] = {{missing, Qt::Checked, true}, {readOnly, Qt::Checked, false}, {writable, Qt::Unchecked, false}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].path.toStdString());
        QTreeWidgetItem* row = list.topLevelItem(i);
        EXPECT_EQ(row->text(0), rows[i].path);
        EXPECT_EQ(row->checkState(1), rows[i].readOnlyMark);
        EXPECT_EQ(row->foreground(0) == QBrush(Qt::darkGray), rows[i].grey);
    }

    EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(list.isSortingEnabled());
    const QMetaObject* meta = list.metaObject();
    EXPECT_STREQ(meta->className(), "QFileListWidget");
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), 2);
    EXPECT_EQ(meta->method(meta->methodOffset()).methodSignature(), "ShowFiles()");
    EXPECT_EQ(meta->method(meta->methodOffset() + 1).methodSignature(), "CopyToClipboard()");
}

TEST_F(FileListWidgetTest, CtrlCOrTheContextMenuCopiesSelectedPathsANameWithMarkupAsItStands)
{
    // Another user can commit such a name; a file name cannot hold '/', so the markup uses entities.
    const QString marked = dir.filePath(QStringLiteral(
        "<b>x<a href=file:&#47;&#47;&#47;etc>y<img src=&#47;usr&#47;share&#47;pixmaps&#47;debian-logo.png>.qor"));
    QFile file(marked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QFileListWidget list({writable, readOnly, missing, marked});
    Row(list, writable)->setSelected(true);
    Row(list, missing)->setSelected(true);

    const std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> otherKeys = {
        {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_C, Qt::NoModifier},
        {Qt::Key_C, Qt::AltModifier},
        {Qt::Key_X, Qt::ControlModifier},
        {Qt::Key_V, Qt::ControlModifier},
    };
    for (const auto& [key, modifiers] : otherKeys) {
        QTest::keyClick(&list, key, modifiers);
        EXPECT_EQ(QApplication::clipboard()->text(), "untouched") << key << " " << modifiers.toInt();
    }

    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    QStringList lines = QApplication::clipboard()->text().split('\n');
    EXPECT_EQ(lines.takeLast(), QString()); // every line ends in "\n", the last one too
    lines.sort();
    EXPECT_EQ(lines, (QStringList{missing, writable}));

    // The list's own keys still work: Ctrl+A selects every row for the next copy.
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().count('\n'), 4) << QApplication::clipboard()->text().toStdString();

    list.clearSelection();
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString());

    QTreeWidgetItem* row = Row(list, marked);
    ASSERT_TRUE(row);
    // Item texts are drawn as plain text; no role that Qt would render as rich text is set.
    for (int role : {Qt::ToolTipRole, Qt::WhatsThisRole, Qt::StatusTipRole})
        EXPECT_FALSE(row->data(0, role).isValid()) << role;
    // A right click selects the row and offers its copy.
    EXPECT_EQ(ChooseFromContextMenu(list, row, 1), (QStringList{"Show in Explorer", "Copy to clipboard"}));
    EXPECT_EQ(list.selectedItems(), QList<QTreeWidgetItem*>{row});
    EXPECT_EQ(QApplication::clipboard()->text(), marked + "\n");
}

TEST_F(FileListWidgetTest, ShowFileListDialogRunsModallyWithTheTitleAndOk)
{
    ModalDriver driver;
    driver.AnswerNext([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "Asset Files");
        EXPECT_EQ(modal->layout()->contentsMargins(), QMargins(2, 2, 2, 2)) << "the list fills the dialog";
        EXPECT_EQ(modal->findChild<QFileListWidget*>()->topLevelItemCount(), 3);
        auto* ok = modal->findChild<QPushButton*>("okButton");
        ASSERT_TRUE(ok);
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_GE(modal->layout()->indexOf(ok), 0) << "the button has its place below the list";
        EXPECT_GE(modal->width(), 500) << "long paths need the room";
        ok->click();
    });
    ShowFileListDialog("Asset Files", {writable, readOnly, missing});
    EXPECT_EQ(driver.Pending(), 0u);
}
