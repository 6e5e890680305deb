#include "PlainTextCheck.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

const char* const kSchemes[] = {"file", "http", "https"};
// Clicks this far apart cover every character of a label's text.
constexpr int kClickStep = 3;

} // namespace

DesktopOpenRecorder::DesktopOpenRecorder()
{
    for (const char* scheme : kSchemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "Open");
}

DesktopOpenRecorder::~DesktopOpenRecorder()
{
    for (const char* scheme : kSchemes)
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void DesktopOpenRecorder::Open(const QUrl& url)
{
    opened << url.toString();
}

QLabel* LabelShowing(QWidget* window, const QString& text)
{
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text().contains(text)) return label;
    return nullptr;
}

void ExpectLabelShowsLiterally(QLabel* label, const QString& part)
{
    ASSERT_TRUE(label);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_TRUE(label->text().contains(part)) << label->text().toStdString();
    EXPECT_FALSE(label->openExternalLinks());
    const DesktopOpenRecorder recorder;
    for (int y = 0; y < label->height(); y += kClickStep)
        for (int x = 0; x < label->width(); x += kClickStep)
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
    EXPECT_TRUE(recorder.Opened().isEmpty()) << recorder.Opened().join(' ').toStdString();
}

void ExpectEditShowsLiterally(const QTextEdit* edit, const QString& text)
{
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->toPlainText(), text);
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            EXPECT_FALSE(format.isAnchor() || format.isImageFormat()) << fragment.fragment().text().toStdString();
        }
}
