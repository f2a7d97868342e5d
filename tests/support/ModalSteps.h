// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// For widget tests: runs step on the modal window on top (null while there is none) until it
// returns true. Modal windows run their own event loops, so a test acts from inside them.
class ModalSteps
{
public:
    explicit ModalSteps(std::function<bool(QWidget *)> step)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, step] {
            if (step(QApplication::activeModalWidget()))
                m_timer.stop();
        });
        m_timer.start(1);
    }
    bool done() const { return !m_timer.isActive(); }

private:
    QTimer m_timer;
};

// What the program's message boxes showed, kept as a step dismisses them.
struct ShownMessage
{
    int shown = 0;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

    // Keeps what the modal window shows and dismisses it, if it is a message box.
    bool answer(QWidget *modal)
    {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        ++shown;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
        return true;
    }
};
