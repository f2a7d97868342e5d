// SPDX-License-Identifier: MIT
#include "TimePicker.h"

#include <QKeyEvent>

TimePicker::TimePicker(QWidget *parent)
    : QTimeEdit(parent)
{
    setDisplayFormat(QStringLiteral("HH:mm:ss"));
}

void TimePicker::keyPressEvent(QKeyEvent *event)
{
    // Qt's picker moves a field on Ctrl and an arrow key through focusNextPrevChild(), which
    // leaves the picker here; with or without Ctrl, the arrow keys are handled alike.
    const auto modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier);
    const QString text = event->text();
    if (modifiers == Qt::NoModifier
        && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        m_halfTyped = -1;
        const int step = event->key() == Qt::Key_Right ? 1 : -1;
        selectField(qBound(0, currentSectionIndex() + step, sectionCount() - 1));
        return;
    }
    if (!isReadOnly()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && text.size() == 1 && text.front().isDigit()) {
        typeDigit(text.front().digitValue());
        return;
    }
    m_halfTyped = -1;
    QTimeEdit::keyPressEvent(event);
}

void TimePicker::focusInEvent(QFocusEvent *event)
{
    m_halfTyped = -1;
    QTimeEdit::focusInEvent(event);
}

bool TimePicker::focusNextPrevChild(bool next)
{
    // QDateTimeEdit takes Tab to its next field. The dialog's tab order comes first here; the
    // fields have the arrow keys.
    return QWidget::focusNextPrevChild(next);
}

void TimePicker::selectField(int index)
{
    setCurrentSectionIndex(index);
    setSelectedSection(currentSection());
}

void TimePicker::typeDigit(int digit)
{
    // The display format holds hours, minutes and seconds only.
    const int field = currentSectionIndex();
    const Section section = sectionAt(field);
    const int secondsPerUnit = section == HourSection ? 3600 : section == MinuteSection ? 60 : 1;
    const int largest = section == HourSection ? 23 : 59;
    const int shown = time().msecsSinceStartOfDay() / 1000 / secondsPerUnit % (largest + 1);

    // A digit that would make the field too large starts it anew, as a first digit.
    const bool secondDigit = m_halfTyped == field && shown * 10 + digit <= largest;
    const int value = secondDigit ? shown * 10 + digit : digit;
    setTime(time().addSecs((value - shown) * secondsPerUnit));

    // The field is full after two digits, or after a first one that no second could follow.
    if (secondDigit || digit * 10 > largest) {
        m_halfTyped = -1;
        selectField(qMin(field + 1, sectionCount() - 1));
    } else {
        m_halfTyped = field;
        selectField(field);
    }
}
