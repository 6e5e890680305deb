#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <algorithm>

#include <gtest/gtest.h>

namespace {
constexpr int kPollIntervalMs = 5;
// A window still up this long after its answer was applied did not take the answer.
constexpr qint64 kStuckMs = 10000;

QString PlainText(QString text)
{
    return text.remove(QLatin1Char('&'));
}
} // namespace

ModalDriver::ModalDriver()
{
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::Poll);
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::AnswerNext(Action action)
{
    m_actions.push_back(std::move(action));
    if (!m_timer.isActive()) m_timer.start();
}

void ModalDriver::PressNext(QMessageBox::StandardButton button)
{
    AnswerNext([button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QAbstractButton* target = box ? box->button(button) : nullptr;
        if (target) {
            target->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "ModalDriver: the window has no such standard button; rejected it";
            dialog->reject();
        }
    });
}

void ModalDriver::PressNextByText(const QString& text)
{
    AnswerNext([text](QWidget* modal) {
        for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
            if (PlainText(button->text()) == text) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "ModalDriver: no button '" << text.toStdString() << "'; rejected the window";
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
}

void ModalDriver::KeyNext(int key)
{
    AnswerNext([key](QWidget* modal) { QTest::keyClick(modal, static_cast<Qt::Key>(key)); });
}

void ModalDriver::AcceptNext()
{
    AnswerNext([](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
    });
}

void ModalDriver::RejectNext()
{
    AnswerNext([](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
}

void ModalDriver::WatchNext()
{
    AnswerNext([](QWidget*) {});
}

ModalDriver::Window ModalDriver::Describe(QWidget* modal)
{
    Window seen;
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.objectName = modal->objectName();
    seen.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.detailedText = box->detailedText();
        seen.icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << PlainText(button->text());
    }
    return seen;
}

bool ModalDriver::IsUnwindingPast(const QWidget* modal, int loopLevel)
{
    m_handled.erase(
        std::remove_if(m_handled.begin(), m_handled.end(), [](const Handled& h) { return h.window.isNull(); }),
        m_handled.end());
    // An answered window seen from deeper than its own loop: an inner window has just closed and
    // its loop has not returned yet.
    return std::any_of(m_handled.begin(), m_handled.end(),
                       [&](const Handled& h) { return h.window == modal && loopLevel > h.loopLevel; });
}

void ModalDriver::Poll()
{
    if (m_actions.empty()) {
        m_timer.stop();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    // The window just answered may still be on screen until its event loop ends.
    if (modal == nullptr || !modal->isVisible()) return;
    if (modal == m_lastHandled) {
        if (m_sinceAnswer.elapsed() > kStuckMs) {
            ADD_FAILURE() << "ModalDriver: '" << modal->windowTitle().toStdString()
                          << "' stayed open after its answer; closing it";
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            m_sinceAnswer.restart();
        }
        return;
    }
    const int loopLevel = QThread::currentThread()->loopLevel();
    if (IsUnwindingPast(modal, loopLevel)) return;
    m_handled.push_back({modal, loopLevel});
    m_lastHandled = modal;
    m_sinceAnswer.restart();
    m_seen.push_back(Describe(modal));
    Action action = std::move(m_actions.front());
    m_actions.pop_front();
    if (m_actions.empty()) m_timer.stop();
    // Acted on from its own event: a timer does not fire again while its own slot runs, and the
    // action may open the next modal window.
    QTimer::singleShot(0, modal, [modal, action = std::move(action)] { action(modal); });
}
