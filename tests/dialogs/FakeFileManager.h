// Stands in for a desktop file manager on the session bus and records every ShowItems request.
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QStringList>

#include <vector>

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    struct Call {
        QStringList uris;
        QString startupId;
    };

    // The requests so far; the fake may serve the bus from another thread.
    std::vector<Call> Calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.push_back({uris, startupId});
    }

private:
    mutable QMutex m_mutex;
    std::vector<Call> m_calls;
};
