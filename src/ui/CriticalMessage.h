// SPDX-License-Identifier: MIT
#pragma once

class QString;
class QWidget;

// The program's message box: modal, titled "Relvoog", with the critical icon and one OK
// button. Returns once it is dismissed.
void showCriticalMessage(QWidget *parent, const QString &text);
