#ifndef PLATFORM_RUNNING_WINDOW_H
#define PLATFORM_RUNNING_WINDOW_H

#include <functional>
#include <memory>

#include <QObject>
#include <QString>

// A handed-over word longer than this is cut: no headword is nearly that long, and a lookup goes
// by the word's beginning.
constexpr qsizetype MAX_REQUEST_LENGTH = 256;

// The word's first MAX_REQUEST_LENGTH characters, without half a surrogate pair at the cut.
QString CutRequest(const QString &word);

// One running window per user session. The first start owns a name on the D-Bus session bus;
// a later start hands its request (a word to look up, or none to only show the window) to the
// owner and ends.
class RunningWindow : public QObject
{
    Q_OBJECT

public:
    enum class Start
    {
        Alone, // no session bus: nothing is shared, the program runs as a window of its own
        First, // this process is the session's running window and receives later requests
        HandedOver, // the running window has the request; this process should end
        Failed, // another process owns the name but did not take the request
    };

    using Handler = std::function<void(const QString &word)>;

    // How long a later start waits for the running window's answer.
    static constexpr int HAND_OVER_TIMEOUT_MS = 5000;

    explicit RunningWindow(QObject *parent = nullptr);
    ~RunningWindow() override;

    // Opens the bus connection Claim goes through, and the application's shared one. Any thread
    // may call it, before the application object too, so that their cost (without a session bus,
    // libdbus tries to start one along the whole PATH, once for each) overlaps the toolkit's own
    // start on the other core. Qt must already know the main thread: it takes the first thread
    // that asks for its own.
    static void Reach();

    // Needs the application object. word is empty when there is nothing to look up.
    Start Claim(const QString &word);

    // Requests that came before the handler are handed to it at once: only the last one, as a
    // later request replaces an earlier one. The handler runs on this object's thread.
    void SetHandler(Handler handler);

    // Gives the name up, so that the next start opens a window of its own.
    void Release();

    // What went wrong at the last failure, for the user.
    QString ErrorText() const { return errorText; }

    // A later start's request; called from any thread. An empty word only shows the window.
    void Present(const QString &word);

    struct Requests;

private:
    void Deliver();

    std::shared_ptr<Requests> requests;
    QObject *answerer = nullptr; // lives on the bus connection's own thread
    bool registered = false;
    Handler handler;
    QString errorText;
};

#endif // PLATFORM_RUNNING_WINDOW_H
