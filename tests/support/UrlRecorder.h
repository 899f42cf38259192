#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Receives what the program hands to the desktop instead of starting a viewer; a test makes it
// the handler with QDesktopServices::setUrlHandler(scheme, &recorder, "open").
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};
