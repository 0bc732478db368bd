#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace vemba {

// One copy of the program per settings file: two would play twice and each
// overwrite the other's entries. The first copy holds a lock and listens on a
// local socket, both in the user's runtime directory, named after the
// settings directory; a later start asks it to come forward and ends. No
// session bus is needed, and plain sockets spare the window Qt's network
// library and the Kerberos libraries it loads.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& settingsDirectory);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

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
    void answer();

    QString m_name;
    QLockFile m_lock;
    int m_listener = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vemba
