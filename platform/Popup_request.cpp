#include "platform/Popup_request.h"

#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

namespace {

// The name the running window owns.
const char SERVICE[] = "org.example.kalvora.Kalvora";
const char OBJECT_PATH[] = "/org/example/kalvora/Kalvora/Popup";
const char INTERFACE[] = "org.example.kalvora.Popup";
// A popup is a quick look: a window that has not answered in this time will not be quick.
constexpr int SEND_TIMEOUT_MS = 5000;

// Calls to the name reach the connection that owns it: the running window's own (see
// Running_window.cpp), not the application's shared one.
QDBusConnection OwnerConnection()
{
    return QDBusConnection(QStringLiteral("kalvora-running-window"));
}

} // namespace

PopupRequest::PopupRequest(QObject *parent)
    : QObject(parent)
{
}

PopupRequest::~PopupRequest()
{
    if (listening)
        OwnerConnection().unregisterObject(QString::fromLatin1(OBJECT_PATH));
}

void PopupRequest::Listen()
{
    QDBusConnection bus = OwnerConnection();
    listening = bus.isConnected()
        && bus.registerObject(
            QString::fromLatin1(OBJECT_PATH), this, QDBusConnection::ExportScriptableSlots);
}

void PopupRequest::SetHandler(Handler newHandler)
{
    handler = std::move(newHandler);
    // Several quick looks asked for during the start show one popup.
    if (std::exchange(pending, false))
        handler();
}

void PopupRequest::ShowSelection()
{
    if (handler)
        handler();
    else
        pending = true;
}

PopupRequest::HandOver PopupRequest::Send(QString &error)
{
    // A connection of its own, closed before returning: the caller may go on to be the running
    // window, with an application object of another kind and the session connection anew.
    const QString name = QStringLiteral("kalvora-popup");
    struct Closer
    {
        QString name;
        ~Closer() { QDBusConnection::disconnectFromBus(name); }
    } closer{name};
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!bus.isConnected())
        return HandOver::NoWindow;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SERVICE),
        QString::fromLatin1(OBJECT_PATH), QString::fromLatin1(INTERFACE),
        QStringLiteral("ShowSelection"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, SEND_TIMEOUT_MS);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return HandOver::Shown;
    const QDBusError::ErrorType type = QDBusError(answer).type();
    // No owner of the name: nothing runs. An owner without the object (a running window too
    // old to know popups) cannot show one either; this start shows it itself.
    if (type == QDBusError::ServiceUnknown || type == QDBusError::UnknownObject
        || type == QDBusError::UnknownMethod || type == QDBusError::UnknownInterface)
        return HandOver::NoWindow;
    error = QDBusError(answer).message();
    return HandOver::Failed;
}
