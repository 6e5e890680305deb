#include "PlainMessageBox.h"

#include <QLabel>

PlainMessageBox::PlainMessageBox()
{
    MakeLabelsPlain();
}

PlainMessageBox::PlainMessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
                                 QWidget* parent, Qt::WindowFlags flags)
    : QMessageBox(icon, title, text, buttons, parent, flags)
{
    MakeLabelsPlain();
}

void PlainMessageBox::MakePlain(QLabel& label)
{
    label.setTextFormat(Qt::PlainText);
    label.setOpenExternalLinks(false);
    label.setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void PlainMessageBox::MakeLabelsPlain()
{
    // The box's own format covers its text; its labels would otherwise still open links by themselves.
    setTextFormat(Qt::PlainText);
    for (QLabel* label : findChildren<QLabel*>())
        MakePlain(*label);
}
