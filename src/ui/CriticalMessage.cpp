// SPDX-License-Identifier: MIT
#include "CriticalMessage.h"

#include <QMessageBox>

void showCriticalMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Relvoog"), text, QMessageBox::Ok, parent);
    box.exec();
}
