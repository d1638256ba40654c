#ifndef PLATFORM_POPUP_REQUEST_H
#define PLATFORM_POPUP_REQUEST_H

#include <functional>

#include <QObject>
#include <QString>

// Quick looks handed to the session's running window: a later start with --popup asks it to show
// the selected text's article in a popup, which the running window can do at once, its
// dictionaries loaded and its display connection open. The object sits beside the running
// window's own, under the name that window owns.
class PopupRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.kalvora.Popup")

public:
    enum class HandOver
    {
        Shown, // the running window has the word
        NoWindow, // no window runs (or there is no session bus): this start must show it itself
        Failed, // a window runs but did not answer in time
    };

    using Handler = std::function<void()>;

    explicit PopupRequest(QObject *parent = nullptr);
    ~PopupRequest() override;

    // In the running window, once it owns the session's name. Requests that come before the
    // handler wait for it.
    void Listen();
    void SetHandler(Handler handler);

    // In a later start; needs the application object only, no display. error receives the
    // message of a failure.
    static HandOver Send(QString &error);

public slots:
    Q_SCRIPTABLE void ShowSelection();

private:
    bool listening = false;
    Handler handler;
    bool pending = false;
};

#endif // PLATFORM_POPUP_REQUEST_H
