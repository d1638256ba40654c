#include "platform/Running_window.h"

#include <mutex>
#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QThread>

namespace {

const char SERVICE[] = "org.example.kalvora.Kalvora";
const char OBJECT_PATH[] = "/org/example/kalvora/Kalvora";
const char INTERFACE[] = "org.example.kalvora.Kalvora";
// A connection of its own: the application's shared one holds back every call until the event
// loop runs, and the window's thread does not run it while the dictionaries load.
const char CONNECTION[] = "kalvora-running-window";

QDBusConnection Bus()
{
    return QDBusConnection(QString::fromLatin1(CONNECTION));
}

} // namespace

// The requests that wait for the window's thread. Later requests replace earlier ones, so however
// many starts come while the window loads, one request waits.
struct RunningWindow::Requests
{
    std::mutex mutex;
    RunningWindow *window; // cleared when the window goes
    bool waiting = false;
    bool deliveryPosted = false;
    QString word;

    explicit Requests(RunningWindow *owner)
        : window(owner)
    {
    }

    void Put(const QString &requested)
    {
        const QString cut = CutRequest(requested);
        const std::lock_guard<std::mutex> lock(mutex);
        waiting = true;
        // A start without a word only shows the window: it keeps the word that came before it.
        if (!cut.isEmpty())
            word = cut;
        // Posted under the lock, so the window cannot go between the test and the posting.
        if (window && !deliveryPosted) {
            deliveryPosted = true;
            QMetaObject::invokeMethod(window, &RunningWindow::Deliver, Qt::QueuedConnection);
        }
    }

    // Whether a request waited; then word is its word.
    bool Take(QString &taken)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        deliveryPosted = false;
        taken = std::exchange(word, QString());
        return std::exchange(waiting, false);
    }
};

namespace {

// Answers later starts on the thread of the bus connection, which reads the socket. The window's
// own thread does not run its event loop while it loads the dictionaries; calls delivered to it
// would wait there, each holding its message. Once about 64 MB of messages wait, libdbus stops
// reading the socket, and it starts again only when the last one is freed: on the window's thread,
// where Qt cannot enable the bus thread's socket notifier. The window would keep the name and
// never answer again. Here a call is answered and freed on the thread that read it.
class Answerer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.kalvora.Kalvora")

public:
    explicit Answerer(std::shared_ptr<RunningWindow::Requests> requests)
        : requests(std::move(requests))
    {
    }

public slots:
    Q_SCRIPTABLE void Present(const QString &word) { requests->Put(word); }

private:
    std::shared_ptr<RunningWindow::Requests> requests;
};

} // namespace

QString CutRequest(const QString &word)
{
    if (word.size() <= MAX_REQUEST_LENGTH)
        return word;
    qsizetype length = MAX_REQUEST_LENGTH;
    if (word.at(length - 1).isHighSurrogate())
        --length;
    return word.left(length);
}

RunningWindow::RunningWindow(QObject *parent)
    : QObject(parent)
    , requests(std::make_shared<Requests>(this))
{
}

RunningWindow::~RunningWindow()
{
    Release();
    {
        const std::lock_guard<std::mutex> lock(requests->mutex);
        requests->window = nullptr;
    }
    if (answerer) {
        // The bus connection blocks on its own thread to hear of an object's end, and the answerer
        // ends on that thread: it no longer needs to hear, as the object is unregistered.
        QObject::disconnect(answerer, &QObject::destroyed, nullptr, nullptr);
        answerer->deleteLater();
    }
}

void RunningWindow::Release()
{
    if (!registered)
        return;
    registered = false;
    QDBusConnection bus = Bus();
    bus.unregisterService(QString::fromLatin1(SERVICE));
    bus.unregisterObject(QString::fromLatin1(OBJECT_PATH));
}

void RunningWindow::Reach()
{
    // A named connection is kept by name, the failed one too: Claim's call gets this one, and no
    // second attempt is made.
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::fromLatin1(CONNECTION));
    // The toolkit's accessibility asks for the shared session connection when the first window
    // shows, and would pay for a second attempt there, on the window's thread.
    QDBusConnection::sessionBus();
}

RunningWindow::Start RunningWindow::Claim(const QString &word)
{
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::fromLatin1(CONNECTION));
    if (!bus.isConnected() || !bus.interface())
        return Start::Alone;
    const QString service = QString::fromLatin1(SERVICE);
    const QString path = QString::fromLatin1(OBJECT_PATH);
    if (!answerer) {
        answerer = new Answerer(requests);
        // The bus's interface object lives on the connection's thread.
        answerer->moveToThread(bus.interface()->thread());
    }
    // The object comes before the name, so whoever finds the name finds the object too. Asking
    // for the name is what decides between two starts at the same moment.
    if (!bus.registerObject(path, answerer, QDBusConnection::ExportScriptableSlots))
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
        call << CutRequest(word);
        // The running window answers on the bus's thread even while it loads, so a wait this long
        // means it is stopped or hung, or the name belongs to another program.
        const QDBusMessage answer = bus.call(call, QDBus::Block, HAND_OVER_TIMEOUT_MS);
        if (answer.type() == QDBusMessage::ReplyMessage) {
            bus.unregisterObject(path);
            return Start::HandedOver;
        }
        const QDBusError error(answer);
        if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout)
            errorText = QStringLiteral("the running Kalvora did not answer within %1 seconds")
                            .arg(HAND_OVER_TIMEOUT_MS / 1000);
        else
            errorText = QStringLiteral("the running Kalvora did not answer: ") + error.message();
        if (error.type() != QDBusError::ServiceUnknown)
            break;
    }
    bus.unregisterObject(path);
    return Start::Failed;
}

void RunningWindow::SetHandler(Handler newHandler)
{
    handler = std::move(newHandler);
    Deliver();
}

void RunningWindow::Present(const QString &word)
{
    requests->Put(word);
}

void RunningWindow::Deliver()
{
    // Until the handler is set the request waits; setting it delivers it.
    if (!handler)
        return;
    QString word;
    if (requests->Take(word))
        handler(word);
}

#include "Running_window.moc"
