#include "ui/Form_dics.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QToolButton>
#include <QTreeWidget>

#include "storage/Database.h"
#include "support/Ini_file.h"
#include "ui/Ansi_text.h"

TDicsForm *DicsForm = nullptr;

namespace {

constexpr char16_t KEY_ESCAPE = 27;
// The row's DIC_ID, kept unsigned: ids with the high bit set are common.
constexpr int ID_ROLE = Qt::UserRole;

// A white arrow on an orange square, pointing up or down.
QIcon ArrowGlyph(bool up)
{
    constexpr int SIZE = 14;
    QPixmap pixmap(SIZE, SIZE);
    pixmap.fill(QColor(0xFF, 0x80, 0x00));
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    QPolygon head;
    head << QPoint(7, 2) << QPoint(12, 7) << QPoint(2, 7);
    QRect shaft(5, 7, 4, 5);
    if (!up) {
        head = QPolygon() << QPoint(7, 11) << QPoint(12, 6) << QPoint(2, 6);
        shaft = QRect(5, 2, 4, 5);
    }
    painter.drawRect(shaft);
    painter.drawPolygon(head);
    return QIcon(pixmap);
}

QToolButton *MakeArrowButton(QWidget *parent, const char *name, const QString &accessible, bool up)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessible);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(ArrowGlyph(up));
    button->setIconSize(QSize(14, 14));
    return button;
}

} // namespace

TDicsForm::TDicsForm(Database *database, IniFile *settings, QWidget *parent)
    : TDialogWindow(parent, Keys::EscapeOnly)
    , ListView1(new QTreeWidget(this))
    , SpeedButton1(MakeArrowButton(this, "SpeedButton1", QStringLiteral("Выше"), true))
    , SpeedButton2(MakeArrowButton(this, "SpeedButton2", QStringLiteral("Ниже"), false))
    , database(database)
    , settings(settings)
{
    setObjectName(QStringLiteral("DicsForm"));
    SetUpDialogWindow(
        this, QStringLiteral("Словари"), 558, 292, PixelFont(QStringLiteral("MS Sans Serif"), 13));

    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Словари"));
    ListView1->setGeometry(8, 8, 514, 273);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({QStringLiteral("Название"), QStringLiteral("Количество статей"),
        QStringLiteral("Источник")});
    ListView1->header()->setStretchLastSection(false);
    ListView1->installEventFilter(this);

    SpeedButton1->setGeometry(528, 8, 22, 20);
    SpeedButton2->setGeometry(528, 34, 22, 19);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });

    FormCreate();
}

void TDicsForm::FormCreate()
{
    FillList();
    SelectRow(0);
}

void TDicsForm::FillList()
{
    ListView1->clear();
    // The list is not shown yet, so its client width is worked out from its frame.
    const int clientWidth = ListView1->width() - 2 * ListView1->frameWidth();
    ListView1->setColumnWidth(0, clientWidth * 2 / 3);
    ListView1->setColumnWidth(1, clientWidth / 6);
    ListView1->setColumnWidth(2, clientWidth / 6);

    if (!database)
        return;
    for (std::int32_t i = 0; i < database->GetCount(); ++i) {
        const Dictionary *dictionary = database->GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary->GetAttributes();
        auto *row = new QTreeWidgetItem(ListView1);
        row->setText(0, ToQString(attributes.longName));
        row->setText(1, QString::number(dictionary->GetWordCount()));
        row->setText(2, ToQString(attributes.source));
        row->setData(0, ID_ROLE, QVariant::fromValue<quint32>(dictionary->GetId()));
    }
}

int TDicsForm::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.first());
}

void TDicsForm::SelectRow(int row)
{
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row))
        ListView1->setCurrentItem(item);
}

// Without a selection nothing moves but the first row becomes selected; the first row stays.
void TDicsForm::SpeedButton1Click()
{
    const int selected = SelectedRow();
    const int target = selected - 1 < 0 ? 0 : selected - 1;
    if (selected > 0)
        ListView1->insertTopLevelItem(target, ListView1->takeTopLevelItem(selected));
    SelectRow(target);
    ListView1->setFocus();
}

// Without a selection nothing happens; the last row stays where it is, selected.
void TDicsForm::SpeedButton2Click()
{
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    const int count = ListView1->topLevelItemCount();
    if (selected + 1 < count)
        ListView1->insertTopLevelItem(selected + 1, ListView1->takeTopLevelItem(selected));
    SelectRow(selected + 1 < count ? selected + 1 : selected);
}

void TDicsForm::FormClose()
{
    if (!database || !settings)
        return;
    std::vector<std::uint32_t> ids;
    std::string order;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const std::uint32_t id = ListView1->topLevelItem(i)->data(0, ID_ROLE).value<quint32>();
        ids.push_back(id);
        if (const Dictionary *dictionary = database->FindById(id))
            order += dictionary->GetFolderName() + ";";
    }
    settings->SetString("DIC_ORDER", order);
    database->Reorder(std::move(ids));
}

void TDicsForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}

bool TDicsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        FormKeyPress(KEY_ESCAPE);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
