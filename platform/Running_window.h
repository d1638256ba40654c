#ifndef PLATFORM_RUNNING_WINDOW_H
#define PLATFORM_RUNNING_WINDOW_H

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

// One running window per user session. The first start owns a name on the D-Bus session bus;
// a later start hands its request (a word to look up, or none to only show the window) to the
// owner and ends.
class RunningWindow : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.kalvora.Kalvora")

public:
    enum class Start
    {
        Alone, // no session bus: nothing is shared, the program runs as a window of its own
        First, // this process is the session's running window and receives later requests
        HandedOver, // the running window has the request; this process should end
        Failed, // another process owns the name but did not take the request
    };

    using Handler = std::function<void(const QString &word)>;

    explicit RunningWindow(QObject *parent = nullptr);
    ~RunningWindow() override;

    // Needs the application object. word is empty when there is nothing to look up.
    Start Claim(const QString &word);

    // Requests that came before the handler are handed to it at once, in order.
    void SetHandler(Handler handler);

    // Gives the name up, so that the next start opens a window of its own.
    void Release();

    // The message of the last failure, for the user.
    QString ErrorText() const { return errorText; }

public slots:
    // Called over the bus by later starts.
    Q_SCRIPTABLE void Present(const QString &word);

private:
    bool registered = false;
    Handler handler;
    QStringList pending;
    QString errorText;
};

#endif // PLATFORM_RUNNING_WINDOW_H
