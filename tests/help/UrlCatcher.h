#pragma once

#include <QObject>
#include <QUrl>

// Stands in for the desktop's browser: collects the addresses it is asked to
// open (QDesktopServices::setUrlHandler with "openUrl").
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl& url) { urls << url; }
};
