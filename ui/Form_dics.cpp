#include "ui/Form_dics.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "storage/Database.h"
#include "support/Added_dictionaries.h"
#include "support/Ini_file.h"
#include "ui/Ansi_text.h"

TDicsForm *DicsForm = nullptr;

namespace {

constexpr char16_t KEY_ESCAPE = 27;
// The row's DIC_ID, kept unsigned: ids with the high bit set are common.
constexpr int ID_ROLE = Qt::UserRole;
// The installed dictionary's file, or a failed one's folder or file; empty for the rest.
constexpr int PATH_ROLE = Qt::UserRole + 1;

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

TDicsForm::SourceChooser TDicsForm::chooseSource = [](QWidget *parent) {
    // One chooser for both: a dictionary file, or with "Папка" the folder shown.
    QFileDialog dialog(parent, QStringLiteral("Добавить словарь"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Словари dictd и StarDict (*.index *.ifo)"));
    QString folder;
    auto *whole = new QPushButton(QStringLiteral("&Папка"), &dialog);
    whole->setToolTip(QStringLiteral("Добавить все словари показанной папки"));
    QObject::connect(whole, &QPushButton::clicked, &dialog, [&dialog, &folder] {
        folder = dialog.directory().absolutePath();
        dialog.reject();
    });
    if (auto *layout = qobject_cast<QGridLayout *>(dialog.layout()))
        layout->addWidget(whole, layout->rowCount(), 0);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().front();
    return folder;
};

TDicsForm::Notice TDicsForm::tellUser = [](QWidget *parent, const QString &text) {
    QMessageBox::information(parent, QStringLiteral("Словари"), text);
};

TDicsForm::TDicsForm(
    Database *database, IniFile *settings, QWidget *parent, std::function<void()> changed)
    : TDialogWindow(parent, Keys::EscapeOnly)
    , ListView1(new QTreeWidget(this))
    , SpeedButton1(MakeArrowButton(this, "SpeedButton1", QStringLiteral("Выше"), true))
    , SpeedButton2(MakeArrowButton(this, "SpeedButton2", QStringLiteral("Ниже"), false))
    , AddButton(new QPushButton(QStringLiteral("Добавить..."), this))
    , RemoveButton(new QPushButton(QStringLiteral("Убрать"), this))
    , database(database)
    , settings(settings)
    , changed(std::move(changed))
{
    setObjectName(QStringLiteral("DicsForm"));
    SetUpDialogWindow(
        this, QStringLiteral("Словари"), 558, 322, PixelFont(QStringLiteral("MS Sans Serif"), 13));

    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Словари"));
    ListView1->setAccessibleDescription(
        QStringLiteral("Порядок, в котором словари просматриваются при поиске. Alt+Вверх и "
                       "Alt+Вниз перемещают выбранный словарь. Словари, которые не удалось "
                       "загрузить, показаны серым, с причиной."));
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

    AddButton->setObjectName(QStringLiteral("AddButton"));
    AddButton->setAccessibleName(QStringLiteral("Добавить словарь dictd или StarDict"));
    AddButton->setAutoDefault(false);
    AddButton->setGeometry(8, 289, 100, 25);
    RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
    RemoveButton->setAccessibleName(QStringLiteral("Убрать добавленный словарь"));
    RemoveButton->setAutoDefault(false);
    RemoveButton->setGeometry(116, 289, 100, 25);
    connect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    connect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveButtonClick(); });
    connect(ListView1, &QTreeWidget::currentItemChanged, this, [this] { UpdateRemoveButton(); });

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

    loadedRows = 0;
    if (!database)
        return UpdateRemoveButton();
    for (std::int32_t i = 0; i < database->GetCount(); ++i) {
        const Dictionary *dictionary = database->GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary->GetAttributes();
        auto *row = new QTreeWidgetItem(ListView1);
        row->setText(0, ToQString(attributes.longName));
        row->setText(1, QString::number(dictionary->GetWordCount()));
        row->setText(2, ToQString(attributes.source));
        row->setData(0, ID_ROLE, QVariant::fromValue<quint32>(dictionary->GetId()));
        row->setData(0, PATH_ROLE, QString::fromStdString(dictionary->GetSourcePath()));
    }
    loadedRows = ListView1->topLevelItemCount();
    // Selectable, so that the reason can be read and an added one taken away, but grey.
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (const LoadFailure &failure : database->Failures()) {
        auto *row = new QTreeWidgetItem(ListView1);
        row->setText(0, ToQString(failure.name));
        row->setText(1, QStringLiteral("не загружен"));
        row->setText(2, ToQString(failure.reason));
        row->setData(0, PATH_ROLE, QString::fromStdString(failure.path));
        for (int column = 0; column < 3; ++column) {
            row->setForeground(column, grey);
            row->setToolTip(column, ToQString(failure.reason));
        }
    }
    UpdateRemoveButton();
}

std::string TDicsForm::AddedPathOf(int row) const
{
    const QTreeWidgetItem *item = ListView1->topLevelItem(row);
    if (!item || !settings)
        return std::string();
    const std::string path = item->data(0, PATH_ROLE).toString().toStdString();
    for (const std::string &added : ReadAddedDictionaries(*settings))
        if (!path.empty() && (path == added || path.rfind(added + "/", 0) == 0))
            return added;
    return std::string();
}

void TDicsForm::UpdateRemoveButton()
{
    RemoveButton->setEnabled(!AddedPathOf(SelectedRow()).empty());
}

void TDicsForm::AddButtonClick()
{
    if (!database || !settings)
        return;
    const QString chosen = chooseSource(this);
    if (chosen.isEmpty())
        return;
    const std::string path = chosen.toStdString();
    // The order edited so far is kept before the list is filled again.
    FormClose();
    std::int32_t known = 0;
    const std::size_t failed = database->Failures().size();
    if (database->LoadSources({path}, &known) == 0 && known > 0
        && database->Failures().size() == failed) {
        tellUser(this,
            QStringLiteral("Словарь «%1» уже есть в списке, второй раз он не добавляется.")
                .arg(chosen));
        return;
    }
    std::vector<std::string> added = ReadAddedDictionaries(*settings);
    if (std::find(added.begin(), added.end(), path) == added.end())
        added.push_back(path);
    SaveAddedDictionaries(*settings, added);
    FillList();
    // The new ones are last among the loaded rows.
    SelectRow(loadedRows > 0 ? loadedRows - 1 : 0);
    if (changed)
        changed();
}

void TDicsForm::RemoveButtonClick()
{
    const std::string path = AddedPathOf(SelectedRow());
    if (path.empty() || !database)
        return;
    const int row = SelectedRow();
    FormClose();
    database->RemoveSources(path);
    std::vector<std::string> added = ReadAddedDictionaries(*settings);
    added.erase(std::remove(added.begin(), added.end(), path), added.end());
    SaveAddedDictionaries(*settings, added);
    FillList();
    SelectRow(std::min(row, ListView1->topLevelItemCount() - 1));
    if (changed)
        changed();
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

// Without a selection nothing moves but the first row becomes selected; the first row stays,
// and so does a dictionary that did not load.
void TDicsForm::SpeedButton1Click()
{
    const int selected = SelectedRow();
    if (selected >= loadedRows)
        return;
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
    if (selected < 0 || selected >= loadedRows)
        return;
    const int count = loadedRows;
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
    for (int i = 0; i < loadedRows; ++i) {
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
    if (watched != ListView1 || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        FormKeyPress(KEY_ESCAPE);
        return true;
    }
    if ((key->modifiers() & Qt::AltModifier)
        && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        if (key->key() == Qt::Key_Up)
            SpeedButton1Click();
        else
            SpeedButton2Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
