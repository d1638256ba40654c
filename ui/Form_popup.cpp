#include "ui/Form_popup.h"

#include <utility>
#include <vector>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "lookup/Pane_articles.h"
#include "storage/Database.h"
#include "support/Screen_placement.h"
#include "ui/Ansi_text.h"
#include "ui/Article_render.h"
#include "ui/Window_place.h"

TPopupForm::TPopupForm(const Database *database, Opener openInWindow, QWidget *parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , database(database)
    , openInWindow(std::move(openInWindow))
{
    setObjectName(QStringLiteral("PopupForm"));
    setWindowTitle(QStringLiteral("Kalvora"));
    setAccessibleName(QStringLiteral("Быстрый просмотр"));

    PopupHeadword = new QLabel(this);
    PopupHeadword->setObjectName(QStringLiteral("PopupHeadword"));
    QFont bold = PopupHeadword->font();
    bold.setBold(true);
    PopupHeadword->setFont(bold);

    PopupArticle = new QTextEdit(this);
    PopupArticle->setObjectName(QStringLiteral("PopupArticle"));
    // Not "Статья": that names the main window's article pane.
    PopupArticle->setAccessibleName(QStringLiteral("Статья быстрого просмотра"));
    PopupArticle->setReadOnly(true);
    PopupArticle->setFrameShape(QFrame::NoFrame);

    OpenButton = new QPushButton(QStringLiteral("Открыть в окне"), this);
    OpenButton->setObjectName(QStringLiteral("OpenButton"));
    OpenButton->setAutoDefault(true);
    connect(OpenButton, &QPushButton::clicked, this, [this] { OpenButtonClick(); });

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(OpenButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(PopupHeadword);
    layout->addWidget(PopupArticle, 1);
    layout->addLayout(bottom);

    // Frameless: a line of its own tells the popup from the window under it.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    resize(POPUP_WIDTH, POPUP_HEIGHT);
}

void TPopupForm::ShowWord(const QString &requested, const QPoint &pointer)
{
    word = requested.simplified();
    ShowArticle();
    // The title, which a frameless window does not show, names it for the desktop's window lists.
    setWindowTitle(QStringLiteral("Kalvora: %1").arg(PopupHeadword->text()));
    const ScreenRect place =
        PlacePopup(pointer.x(), pointer.y(), POPUP_WIDTH, POPUP_HEIGHT, AvailableScreens());
    setGeometry(place.x, place.y, place.width, place.height);
    show();
    raise();
    activateWindow();
    OpenButton->setFocus();
}

void TPopupForm::ShowArticle()
{
    WordPosition position;
    if (word.isEmpty()) {
        PopupHeadword->clear();
        PopupArticle->setPlainText(QStringLiteral("Ничего не выделено"));
        return;
    }
    if (!database->Find(0, ToCoreText(word), position) || position.IsNone()) {
        PopupHeadword->setText(word);
        PopupArticle->setPlainText(QStringLiteral("Не найдено"));
        return;
    }
    const PaneArticle article = ReadPaneArticle(*database, position);
    PopupHeadword->setText(ToQString(article.headword));
    PopupArticle->clear();
    QTextCursor cursor(PopupArticle->document());
    InsertArticle(cursor, QString(), article.document, PopupArticle->currentCharFormat());
}

void TPopupForm::OpenButtonClick()
{
    close();
    if (!word.isEmpty())
        openInWindow(word);
}

void TPopupForm::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    // Another window took the focus: the quick look is over.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        close();
}

void TPopupForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void TPopupForm::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    emit painted();
}
