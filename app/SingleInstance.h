#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace vemba {

// One copy of the program per settings file: two would play twice and each
// overwrite the other's entries. The first copy holds a lock and listens on a
// local socket, both in the user's runtime directory, named after the
// settings directory; a later start asks it to come forward and ends. No
// session bus is needed.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& settingsDirectory);

    // True when this process is the one to run (the first copy, or one that
    // cannot tell, since a missing lock must never keep the program from
    // starting); false when another copy runs and was asked to come forward.
    bool claim();

signals:
    // A later start asked this copy to come forward.
    void raiseRequested();

private:
    bool askRunningCopy();
    void listen();

    QString m_name;
    QLockFile m_lock;
    QLocalServer m_server;
};

} // namespace vemba
