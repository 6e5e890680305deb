#include "DemoMessageBox.h"

#include <QLabel>
#include <QTextDocument>

namespace demo {

void DemoMessageBox::Warn(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setObjectName(kWarningName);
    MakePlain(box);
    box.exec();
}

bool DemoMessageBox::Ask(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(kQuestionName);
    box.setDefaultButton(QMessageBox::Yes);
    MakePlain(box);
    return box.exec() == QMessageBox::Yes;
}

void DemoMessageBox::MakePlain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own, and message-box labels open links by themselves.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
}

QString DemoMessageBox::ToolTip(const QString& text)
{
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

} // namespace demo
