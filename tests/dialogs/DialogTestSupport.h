// Helpers shared by the dialog tests: finding children, answering a modal run, using a context menu.
#pragma once

#include "ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

template <class T = QPushButton> T* Find(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

// Runs the dialog modally; action answers it from inside its event loop.
inline int RunModal(QDialog& dialog, ModalDriver::Action action)
{
    ModalDriver driver;
    driver.AnswerNext(std::move(action));
    const int result = dialog.exec();
    EXPECT_EQ(driver.Pending(), 0u);
    return result;
}

// Shows the list, right-clicks row and triggers the menu's entry number action; gives the entries' texts.
inline QStringList ChooseFromContextMenu(QTreeWidget& list, QTreeWidgetItem* row, int action)
{
    list.resize(500, 200);
    list.show();
    QStringList texts;
    QTimer::singleShot(0, [&texts, action] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* entry : menu->actions())
            texts << entry->text();
        menu->actions().at(action)->trigger();
        menu->close();
    });
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, list.visualItemRect(row).center());
    return texts;
}
