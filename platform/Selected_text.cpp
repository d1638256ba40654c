#include "platform/Selected_text.h"

#include <algorithm>
#include <optional>
#include <poll.h>

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include "platform/Running_window.h"

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
// clang-format on

namespace {

// Qt's clipboard waits for a selection owner that does not answer several times over, half a
// minute in all.
constexpr int SELECTION_TIMEOUT_MS = 2000;
// A selection is read this far: the word is taken from its beginning.
constexpr long MAX_SELECTION_BYTES = 64 * 1024;

bool IsCutAtEnds(QChar character)
{
    return character.isSpace() || character.isPunct()
        || character.category() == QChar::Other_Format;
}

bool IsLineBreak(QChar character)
{
    return character == u'\n' || character == u'\r' || character == QChar::LineSeparator
        || character == QChar::ParagraphSeparator;
}

QString TrimEnds(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsCutAtEnds(text.at(first)))
        ++first;
    while (last > first && IsCutAtEnds(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

// The text up to the first character that ends, or the whole text.
template <typename Ends> QString UpTo(const QString &text, Ends ends)
{
    const auto end = std::find_if(text.begin(), text.end(), ends);
    return text.left(end - text.begin());
}

// Reads a selection from its owner over a display connection of its own, giving up at a deadline.
class SelectionReader
{
public:
    explicit SelectionReader(const char *displayName)
        : display(XOpenDisplay(displayName))
        , deadline(SELECTION_TIMEOUT_MS)
    {
        if (!display)
            return;
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        // The pieces of a long selection are announced as property changes.
        XSelectInput(display, window, PropertyChangeMask);
        utf8String = XInternAtom(display, "UTF8_STRING", False);
        incremental = XInternAtom(display, "INCR", False);
        property = XInternAtom(display, "KALVORA_SELECTION", False);
        clipboard = XInternAtom(display, "CLIPBOARD", False);
    }

    ~SelectionReader()
    {
        if (!display)
            return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }

    SelectionReader(const SelectionReader &) = delete;
    SelectionReader &operator=(const SelectionReader &) = delete;

    bool IsOpen() const { return display != nullptr; }
    Atom Primary() const { return XA_PRIMARY; }
    Atom Clipboard() const { return clipboard; }

    // The selection's text, empty when it has no owner or none as text; nothing when the owner
    // did not answer in time.
    std::optional<QString> Read(Atom selection)
    {
        if (XGetSelectionOwner(display, selection) == None)
            return QString();
        for (const Atom target : {utf8String, Atom(XA_STRING)}) {
            XConvertSelection(display, selection, target, property, window, CurrentTime);
            XEvent event;
            do {
                if (!WaitFor(SelectionNotify, event))
                    return std::nullopt;
            } while (event.xselection.selection != selection || event.xselection.target != target);
            if (event.xselection.property == None)
                continue; // the owner has no text of this kind
            // The owner's setting of the value was announced before its answer; the value's
            // pieces, if it comes in pieces, are announced after it.
            while (XCheckTypedWindowEvent(display, window, PropertyNotify, &event)) { }
            QByteArray bytes;
            if (!ReadProperty(bytes))
                return std::nullopt;
            return target == utf8String ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
        }
        return QString();
    }

private:
    bool WaitFor(int type, XEvent &event)
    {
        while (!XCheckTypedWindowEvent(display, window, type, &event)) {
            const qint64 left = deadline.remainingTime();
            if (left <= 0)
                return false;
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, static_cast<int>(left));
        }
        return true;
    }

    // Appends the property's value, and deletes it, which asks an owner that sends a long text
    // in pieces for the next one. False when such an owner stopped answering.
    bool ReadProperty(QByteArray &bytes)
    {
        if (!Append(bytes, true))
            return true;
        bool more = true;
        while (more && bytes.size() < MAX_SELECTION_BYTES) {
            XEvent event;
            do {
                if (!WaitFor(PropertyNotify, event))
                    return false;
            } while (event.xproperty.atom != property || event.xproperty.state != PropertyNewValue);
            more = Append(bytes, false);
        }
        return true;
    }

    // Whether the value announced pieces to come (at the first read) or was a piece (after it).
    bool Append(QByteArray &bytes, bool first)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, window, property, 0, MAX_SELECTION_BYTES / 4, True,
                AnyPropertyType, &type, &format, &items, &after, &data)
            != Success)
            return false;
        const bool pieces = first && type == incremental;
        if (!pieces && format == 8)
            bytes.append(reinterpret_cast<const char *>(data), static_cast<qsizetype>(items));
        if (data)
            XFree(data);
        return first ? pieces : items > 0;
    }

    Display *display;
    QDeadlineTimer deadline;
    Window window = 0;
    Atom utf8String = None;
    Atom incremental = None;
    Atom property = None;
    Atom clipboard = None;
};

QString ClipboardText()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) {
        const QString selected = TrimSelection(clipboard->text(QClipboard::Selection));
        if (!selected.isEmpty())
            return selected;
    }
    return TrimSelection(clipboard->text(QClipboard::Clipboard));
}

} // namespace

QString TrimSelection(const QString &text)
{
    const QString whole = TrimEnds(text);
    if (whole.size() <= MAX_REQUEST_LENGTH)
        return whole.simplified();
    // A passage rather than a word: what was meant is at its beginning.
    const QString line = TrimEnds(UpTo(whole, IsLineBreak)).simplified();
    if (line.size() <= MAX_REQUEST_LENGTH)
        return line;
    return CutRequest(TrimEnds(UpTo(line, [](QChar character) { return character.isSpace(); })));
}

QString SelectedText()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return ClipboardText();
    SelectionReader reader(DisplayString(x11->display()));
    if (!reader.IsOpen())
        return ClipboardText();
    for (const Atom selection : {reader.Primary(), reader.Clipboard()}) {
        const std::optional<QString> text = reader.Read(selection);
        // An owner that does not answer: the window is shown without a word.
        if (!text)
            return QString();
        const QString word = TrimSelection(*text);
        if (!word.isEmpty())
            return word;
    }
    return QString();
}
