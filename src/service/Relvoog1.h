// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The names of the service's D-Bus interface (ee.relvoog.Relvoog1.xml), for the service and its
// clients alike.
namespace Relvoog1 {
// The bus name, which is the interface's name too.
inline const QString kService = QStringLiteral("ee.relvoog.Relvoog1");
inline const QString kPath = QStringLiteral("/ee/relvoog/Relvoog1");

inline const QString kInvalidChannel = QStringLiteral("ee.relvoog.Relvoog1.Error.InvalidChannel");
inline const QString kInvalidTime = QStringLiteral("ee.relvoog.Relvoog1.Error.InvalidTime");
inline const QString kInvalidPort = QStringLiteral("ee.relvoog.Relvoog1.Error.InvalidPort");
inline const QString kTimesMissing = QStringLiteral("ee.relvoog.Relvoog1.Error.TimesMissing");
inline const QString kPortFailed = QStringLiteral("ee.relvoog.Relvoog1.Error.PortFailed");
inline const QString kSuperseded = QStringLiteral("ee.relvoog.Relvoog1.Error.Superseded");
} // namespace Relvoog1
