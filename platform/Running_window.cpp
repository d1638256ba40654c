#include "platform/Running_window.h"

#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>

namespace {

const char SERVICE[] = "org.example.kalvora.Kalvora";
const char OBJECT_PATH[] = "/org/example/kalvora/Kalvora";
const char INTERFACE[] = "org.example.kalvora.Kalvora";
// The running window answers as soon as its event loop runs; it does not run while that window
// loads its dictionaries, which can take a while on a slow disk.
constexpr int HAND_OVER_TIMEOUT_MS = 60000;

} // namespace

RunningWindow::RunningWindow(QObject *parent)
    : QObject(parent)
{
}

RunningWindow::~RunningWindow()
{
    Release();
}

void RunningWindow::Release()
{
    if (!registered)
        return;
    registered = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromLatin1(SERVICE));
    bus.unregisterObject(QString::fromLatin1(OBJECT_PATH));
}

RunningWindow::Start RunningWindow::Claim(const QString &word)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Start::Alone;
    const QString service = QString::fromLatin1(SERVICE);
    const QString path = QString::fromLatin1(OBJECT_PATH);
    // The object comes before the name, so whoever finds the name finds the object too. Asking
    // for the name is what decides between two starts at the same moment.
    if (!bus.registerObject(path, this, QDBusConnection::ExportScriptableSlots))
        return Start::Alone;
    // Two tries: an owner that ends between our request and our call leaves the name free.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
                QDBusConnectionInterface::DontAllowReplacement);
        // A bus that refuses the name to everyone cannot be how two windows agree: run alone.
        if (!reply.isValid()) {
            bus.unregisterObject(path);
            return Start::Alone;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            registered = true;
            return Start::First;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, path, QString::fromLatin1(INTERFACE), QStringLiteral("Present"));
        call << word;
        const QDBusMessage answer = bus.call(call, QDBus::Block, HAND_OVER_TIMEOUT_MS);
        if (answer.type() == QDBusMessage::ReplyMessage) {
            bus.unregisterObject(path);
            return Start::HandedOver;
        }
        const QDBusError error(answer);
        errorText = error.message();
        if (error.type() != QDBusError::ServiceUnknown)
            break;
    }
    bus.unregisterObject(path);
    return Start::Failed;
}

void RunningWindow::SetHandler(Handler newHandler)
{
    handler = std::move(newHandler);
    const QStringList waiting = std::exchange(pending, QStringList());
    for (const QString &word : waiting)
        handler(word);
}

void RunningWindow::Present(const QString &word)
{
    if (handler)
        handler(word);
    else
        pending.append(word);
}
