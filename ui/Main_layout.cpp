#include "ui/Main_layout.h"

#include <QFrame>
#include <QMainWindow>
#include <QSplitter>

#include "controls/Grad_button.h"
#include "ui/Article_pane.h"
#include "ui/Colours.h"
#include "ui/Suggestion_strip.h"
#include "ui/Word_input.h"
#include "ui/Word_list.h"

MainControls CreateMainControls(QMainWindow &window, int clientWidth)
{
    MainControls c{};
    c.client = new QWidget(&window);
    c.client->setObjectName(QStringLiteral("ClientArea"));
    window.setCentralWidget(c.client);

    c.WordInput = new TWordInput(c.client);
    c.WordInput->setGeometry(7, 38, 218, c.WordInput->sizeHint().height());
    c.SuggestionStrip = new TSuggestionStrip(c.client);

    c.FindButton = new TGradButton(c.client);
    c.FindButton->setObjectName(QStringLiteral("FindButton"));
    c.FindButton->setAccessibleName(QStringLiteral("Найти"));
    c.FindButton->SetColorScheme(csSilver);
    c.FindButton->SetCaption(QStringLiteral("Найти"));
    c.FindButton->setGeometry(231, 40, 75, 25);

    c.Bevel1 = new QFrame(c.client);
    c.Bevel1->setObjectName(QStringLiteral("Bevel1"));
    c.Bevel1->setFrameShape(QFrame::HLine);
    c.Bevel1->setFrameShadow(QFrame::Sunken);
    c.Bevel1->setGeometry(4, 71, clientWidth, 3);

    c.Panel1 = new QWidget(c.client);
    c.Panel1->setObjectName(QStringLiteral("Panel1"));
    c.Panel1->setAccessibleName(QStringLiteral("Слова и статья"));
    c.Panel1->setGeometry(8, 80, 609, 378);

    c.Splitter1 = new QSplitter(Qt::Horizontal, c.Panel1);
    c.Splitter1->setObjectName(QStringLiteral("Splitter1"));
    c.Splitter1->setAccessibleName(QStringLiteral("Разделитель списка и статьи"));
    c.Splitter1->setHandleWidth(7);
    c.Splitter1->setChildrenCollapsible(false);
    c.Splitter1->setGeometry(c.Panel1->rect());

    c.ListBox1 = new TWordList(c.Splitter1);
    SetLightBackground(c.ListBox1, qRgb(246, 247, 223));
    c.RichEdit1 = new TArticlePane(c.Splitter1);
    SetLightBackground(c.RichEdit1, qRgb(239, 239, 225));
    c.Splitter1->setStretchFactor(0, 0);
    c.Splitter1->setStretchFactor(1, 1);
    c.Splitter1->setSizes({168, 609 - 168 - 7});

    QWidget::setTabOrder(c.WordInput, c.SuggestionStrip);
    QWidget::setTabOrder(c.SuggestionStrip, c.FindButton);
    QWidget::setTabOrder(c.FindButton, c.ListBox1);
    QWidget::setTabOrder(c.ListBox1, c.RichEdit1);
    return c;
}

void LayOutMainControls(const MainControls &c)
{
    const int width = c.client->width();
    c.Bevel1->setFixedWidth(width);
    const int stripHeight =
        c.SuggestionStrip->isHidden() ? 0 : c.SuggestionStrip->sizeHint().height() + 4;
    c.SuggestionStrip->setGeometry(8, 78, width - 16, stripHeight);
    c.Panel1->setGeometry(8, 80 + stripHeight, width - 16, c.client->height() - 88 - stripHeight);
    c.Splitter1->setGeometry(c.Panel1->rect());
}
