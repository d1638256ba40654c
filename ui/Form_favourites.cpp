#include "ui/Form_favourites.h"

#include <algorithm>
#include <utility>

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "support/Favourites.h"
#include "ui/Ansi_text.h"
#include "ui/Dialog_window.h"

TFavouritesForm::FileAsker TFavouritesForm::askExportFile = [](QWidget *parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Экспорт избранного"),
        QStringLiteral("favourites.txt"), QStringLiteral("Текст (*.txt)"));
};

TFavouritesForm::MessageShower TFavouritesForm::showErrorMessage = [](QWidget *parent,
                                                                       const QString &text) {
    ShowErrorBox(parent, QStringLiteral("Kalvora"), text);
};

TFavouritesForm::TFavouritesForm(Favourites *favourites, Opener open, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , favourites(favourites)
    , open(std::move(open))
{
    setObjectName(QStringLiteral("FavouritesForm"));
    setWindowTitle(QStringLiteral("Избранное"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    FavouritesList = new QListWidget(this);
    FavouritesList->setObjectName(QStringLiteral("FavouritesList"));
    FavouritesList->setAccessibleName(QStringLiteral("Избранные слова"));
    FavouritesList->installEventFilter(this);
    connect(FavouritesList, &QListWidget::itemDoubleClicked, this, [this] { OpenSelected(); });

    OpenButton = new QPushButton(QStringLiteral("&Открыть"), this);
    OpenButton->setObjectName(QStringLiteral("OpenButton"));
    connect(OpenButton, &QPushButton::clicked, this, [this] { OpenSelected(); });
    RemoveButton = new QPushButton(QStringLiteral("&Удалить"), this);
    RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
    connect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    ExportButton = new QPushButton(QStringLiteral("&Экспорт..."), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    connect(ExportButton, &QPushButton::clicked, this, [this] { ExportButtonClick(); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(OpenButton);
    buttons->addWidget(RemoveButton);
    buttons->addStretch();
    buttons->addWidget(ExportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FavouritesList);
    layout->addLayout(buttons);
    resize(320, 400);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

void TFavouritesForm::FillList()
{
    const QString selected =
        FavouritesList->currentItem() ? FavouritesList->currentItem()->text() : QString();
    favourites->Load();
    FavouritesList->clear();
    for (const std::string &word : favourites->Words())
        FavouritesList->addItem(ToQString(word));
    const QList<QListWidgetItem *> same = FavouritesList->findItems(selected, Qt::MatchExactly);
    FavouritesList->setCurrentRow(
        same.isEmpty() ? (FavouritesList->count() ? 0 : -1) : FavouritesList->row(same.front()));
    const bool any = FavouritesList->count() > 0;
    OpenButton->setEnabled(any);
    RemoveButton->setEnabled(any);
}

void TFavouritesForm::OpenSelected()
{
    if (const QListWidgetItem *item = FavouritesList->currentItem())
        open(item->text());
}

void TFavouritesForm::RemoveSelected()
{
    const QListWidgetItem *item = FavouritesList->currentItem();
    if (!item)
        return;
    const int row = FavouritesList->currentRow();
    favourites->Remove(ToCoreText(item->text()));
    FillList();
    FavouritesList->setCurrentRow(std::min(row, FavouritesList->count() - 1));
}

void TFavouritesForm::ExportButtonClick()
{
    const QString path = askExportFile(this);
    if (path.isEmpty())
        return;
    favourites->Load();
    if (!favourites->Export(QFile::encodeName(path).toStdString()))
        showErrorMessage(this, QStringLiteral("Не удалось записать файл %1.").arg(path));
}

bool TFavouritesForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FavouritesList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenSelected();
            return true;
        }
        if (key == Qt::Key_Delete) {
            RemoveSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFavouritesForm::showEvent(QShowEvent *event)
{
    FillList();
    QWidget::showEvent(event);
}
