#pragma once
// Receives what the desktop would be asked to open: a test sets it as the URL handler of a scheme
// (QDesktopServices::setUrlHandler(scheme, &catcher, "Open")) so nothing is really opened.
#include <QList>
#include <QObject>
#include <QUrl>

class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};
