// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QJsonObject>
#include <QObject>

class Relvoog1Proxy;

// relvoogctl monitor: prints each change the service announces as it comes, one line each (one
// JSON object each with --json), and the service stopping and starting again.
class Monitor : public QObject
{
    Q_OBJECT

public:
    Monitor(Relvoog1Proxy &service, const QDBusConnection &bus, bool json);

private:
    void print(const QString &line, const QJsonObject &event) const;

    bool m_json;
    QDBusServiceWatcher m_watcher;
};
