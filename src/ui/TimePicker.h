// SPDX-License-Identifier: MIT
#pragma once

#include <QTimeEdit>

// A time picker that takes the keys people use on one: the arrow keys move a whole field and
// typed digits fill it, moving on once it is full. Tab leaves the picker for the next control.
class TimePicker : public QTimeEdit
{
    Q_OBJECT

public:
    explicit TimePicker(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void selectField(int index);
    void typeDigit(int digit);

    // The field whose first digit has been typed and could still take a second; -1 for none.
    int m_halfTyped = -1;
};
