#include "platform/Platform.h"

#include <QDesktopServices>
#include <QString>
#include <QThread>
#include <QUrl>

void SleepMilliseconds(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

bool OpenWithShell(const QString &target)
{
    // An address without a scheme ("www.example.org") is a web address, as the shell takes it.
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}
