#include "ui/Form_search.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "storage/Article_search.h"
#include "storage/Shared_articles.h"
#include "ui/Ansi_text.h"

namespace {

constexpr int PROGRESS_STEPS = 1000;

} // namespace

// The rows as the search delivered them, one set per dictionary, sixteen bytes a row: the texts
// of the few rows in sight are made when the list asks for them, from the dictionary itself.
// Records that share an article make one row, which names the headwords of them all.
class SearchResultsModel : public QAbstractTableModel
{
public:
    SearchResultsModel(const Database *database, QObject *parent)
        : QAbstractTableModel(parent)
        , database(database)
    {
    }

    void SetDictionaryNames(std::map<std::uint32_t, QString> names)
    {
        dictionaryNames = std::move(names);
    }

    void Append(std::shared_ptr<ArticleMatches> matches)
    {
        const Dictionary *dictionary =
            database && matches ? database->FindById(matches->DicId()) : nullptr;
        if (!dictionary || matches->Empty())
            return;
        const auto set = static_cast<std::uint32_t>(sets.size());
        sets.push_back(std::move(matches));
        const ArticleMatches &added = *sets.back();
        SharedArticles &shared = articles[added.DicId()];
        std::vector<Row> fresh;
        std::vector<std::uint32_t> joined;
        for (std::size_t i = 0; i < added.Size(); ++i) {
            const Row record{set, static_cast<std::uint32_t>(i)};
            const auto next = static_cast<std::uint32_t>(rows.size() + fresh.size());
            const std::optional<std::uint32_t> shownBy =
                shared.Claim(dictionary->GetArticleOffset(added.Index(i)), next);
            if (!shownBy) {
                fresh.push_back(record);
                continue;
            }
            sharers[*shownBy].push_back(record);
            if (*shownBy < rows.size())
                joined.push_back(*shownBy);
        }
        if (!fresh.empty()) {
            const auto first = static_cast<int>(rows.size());
            beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
            rows.insert(rows.end(), fresh.begin(), fresh.end());
            endInsertRows();
        }
        for (const std::uint32_t row : joined)
            emit dataChanged(index(static_cast<int>(row), 1), index(static_cast<int>(row), 1));
    }

    void Clear()
    {
        beginResetModel();
        std::vector<std::shared_ptr<ArticleMatches>>().swap(sets);
        std::vector<Row>().swap(rows);
        sharers.clear();
        articles.clear();
        endResetModel();
    }

    std::size_t Count() const { return rows.size(); }

    WordPosition PositionAt(int row) const
    {
        const Row &record = rows[static_cast<std::size_t>(row)];
        const ArticleMatches &set = *sets[record.set];
        return {set.DicId(), set.Index(record.i)};
    }

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return QVariant();
        const auto row = static_cast<std::uint32_t>(index.row());
        const ArticleMatches &set = *sets[rows[row].set];
        const std::size_t i = rows[row].i;
        Dictionary *dictionary = database ? database->FindById(set.DicId()) : nullptr;
        if (!dictionary)
            return QVariant();
        switch (index.column()) {
        case 0: {
            const auto name = dictionaryNames.find(set.DicId());
            return name == dictionaryNames.end() ? QString() : name->second;
        }
        case 1: {
            std::string headwords = dictionary->GetWord(set.Index(i));
            const auto shared = sharers.find(row);
            if (shared != sharers.end())
                for (const Row &record : shared->second)
                    headwords += ", " + dictionary->GetWord(sets[record.set]->Index(record.i));
            return ToQString(headwords);
        }
        default:
            return ToQString(ReadExcerpt(*dictionary, set, i));
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        static const char *const titles[] = {"Словарь", "Слово", "Отрывок"};
        return QString::fromUtf8(titles[std::clamp(section, 0, 2)]);
    }

private:
    // Record i of set number set.
    struct Row
    {
        std::uint32_t set;
        std::uint32_t i;
    };

    const Database *database;
    std::vector<std::shared_ptr<ArticleMatches>> sets;
    std::vector<Row> rows;
    // The further records of a row's article, for the few rows that have any.
    std::unordered_map<std::uint32_t, std::vector<Row>> sharers;
    std::map<std::uint32_t, SharedArticles> articles;
    std::map<std::uint32_t, QString> dictionaryNames;
};

TSearchForm::TSearchForm(const Database *database, Chooser choose, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , database(database)
    , choose(std::move(choose))
    , PhraseEdit(new QLineEdit(this))
    , FindButton(new QPushButton(QStringLiteral("Найти"), this))
    , CountLabel(new QLabel(this))
    , ProgressBar1(new QProgressBar(this))
    , ResultList(new QTreeView(this))
    , results(new SearchResultsModel(database, this))
{
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("Поиск в статьях"));
    resize(640, 420);

    auto *label = new QLabel(QStringLiteral("&Фраза:"), this);
    label->setBuddy(PhraseEdit);
    PhraseEdit->setObjectName(QStringLiteral("PhraseEdit"));
    PhraseEdit->setAccessibleName(QStringLiteral("Фраза для поиска в статьях"));
    FindButton->setObjectName(QStringLiteral("FindButton"));
    FindButton->setAccessibleName(QStringLiteral("Найти"));
    FindButton->setAutoDefault(false);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    CountLabel->setAccessibleName(QStringLiteral("Число найденных статей"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Ход поиска"));
    ProgressBar1->setRange(0, PROGRESS_STEPS);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    ResultList->setObjectName(QStringLiteral("ResultList"));
    ResultList->setAccessibleName(QStringLiteral("Найденные статьи"));
    ResultList->setModel(results);
    ResultList->setRootIsDecorated(false);
    ResultList->setItemsExpandable(false);
    ResultList->setUniformRowHeights(true);
    ResultList->setAllColumnsShowFocus(true);
    ResultList->setSelectionMode(QAbstractItemView::SingleSelection);
    ResultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultList->header()->setStretchLastSection(true);
    ResultList->setColumnWidth(0, 110);
    ResultList->setColumnWidth(1, 140);
    ResultList->installEventFilter(this);

    auto *top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(PhraseEdit, 1);
    top->addWidget(FindButton);
    auto *status = new QHBoxLayout;
    status->addWidget(CountLabel, 1);
    status->addWidget(ProgressBar1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(status);
    layout->addWidget(ResultList, 1);
    setTabOrder(PhraseEdit, FindButton);
    setTabOrder(FindButton, ResultList);

    connect(PhraseEdit, &QLineEdit::returnPressed, this, [this] { FindButtonClick(); });
    connect(FindButton, &QPushButton::clicked, this, [this] { FindButtonClick(); });
    connect(ResultList, &QTreeView::doubleClicked, this, [this] { ChooseResult(); });
    ShowCount();
}

TSearchForm::~TSearchForm()
{
    // The threads read the database and post to this window: none may outlive it. A stopped
    // scan ends within one stretch of its data file.
    CancelSearch();
    for (Worker &stopped : stoppedWorkers)
        stopped.thread.join();
}

std::size_t TSearchForm::ResultCount() const
{
    return results->Count();
}

void TSearchForm::ShowCount()
{
    CountLabel->setText(QStringLiteral("Найдено: %1").arg(results->Count()));
}

void TSearchForm::FindButtonClick()
{
    CancelSearch();
    results->Clear();
    searchedPhrase = PhraseEdit->text();
    ShowCount();
    if (searchedPhrase.isEmpty() || !database)
        return;

    std::map<std::uint32_t, QString> names;
    for (std::int32_t i = 0; i < database->GetCount(); ++i) {
        const Dictionary *dictionary = database->GetDictionary(i);
        names[dictionary->GetId()] = ToQString(dictionary->GetAttributes().shortName);
    }
    results->SetDictionaryNames(std::move(names));
    ProgressBar1->setValue(0);
    ProgressBar1->show();

    // The worker only posts to this window; the generation number lets a stopped search's
    // late posts be told apart, and deleting the window drops whatever is still queued.
    const std::uint64_t search = ++searchNumber;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    auto scan = std::make_shared<ArticleSearch>(*database, ToCoreText(searchedPhrase), false);
    worker.cancel = cancel;
    worker.ended = ended;
    worker.thread = std::thread([this, scan, search, cancel, ended] {
        const bool completed = scan->Run(
            [this, search](ArticleMatches &&found) {
                auto matches = std::make_shared<ArticleMatches>(std::move(found));
                QMetaObject::invokeMethod(
                    this, [this, search, matches] { OnMatches(search, matches); },
                    Qt::QueuedConnection);
            },
            *cancel, 0,
            [this, search](std::uint64_t done, std::uint64_t total) {
                QMetaObject::invokeMethod(
                    this, [this, search, done, total] { OnProgress(search, done, total); },
                    Qt::QueuedConnection);
            });
        *ended = true;
        if (completed)
            QMetaObject::invokeMethod(
                this, [this, search] { OnFinished(search); }, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(
                this, [this] { ReapWorkers(); }, Qt::QueuedConnection);
    });
}

void TSearchForm::CancelSearch()
{
    if (!worker.thread.joinable())
        return;
    // Joining here would hold the window for as long as the scan takes to notice.
    *worker.cancel = true;
    stoppedWorkers.push_back(std::move(worker));
    worker = Worker();
    ++searchNumber;
    ProgressBar1->hide();
    CountLabel->setText(QStringLiteral("Остановлено. Найдено: %1").arg(results->Count()));
}

void TSearchForm::ReapWorkers()
{
    for (auto stopped = stoppedWorkers.begin(); stopped != stoppedWorkers.end();) {
        if (*stopped->ended) {
            stopped->thread.join();
            stopped = stoppedWorkers.erase(stopped);
        } else {
            ++stopped;
        }
    }
}

void TSearchForm::OnMatches(std::uint64_t search, const std::shared_ptr<ArticleMatches> &matches)
{
    if (search != searchNumber)
        return;
    const bool first = results->Count() == 0;
    results->Append(matches);
    if (first && results->Count() > 0)
        ResultList->setCurrentIndex(results->index(0, 0));
    ShowCount();
}

void TSearchForm::OnProgress(std::uint64_t search, std::uint64_t done, std::uint64_t total)
{
    if (search == searchNumber && total > 0)
        ProgressBar1->setValue(static_cast<int>(done * PROGRESS_STEPS / total));
}

void TSearchForm::OnFinished(std::uint64_t search)
{
    if (search != searchNumber) {
        ReapWorkers();
        return;
    }
    if (worker.thread.joinable())
        worker.thread.join();
    worker = Worker();
    ProgressBar1->hide();
    emit searchFinished();
}

void TSearchForm::ChooseResult()
{
    const QModelIndex current = ResultList->currentIndex();
    if (!current.isValid() || !choose)
        return;
    choose(results->PositionAt(current.row()), searchedPhrase);
}

void TSearchForm::FormKeyPress(int key)
{
    if (key != Qt::Key_Escape)
        return;
    if (Searching())
        CancelSearch();
    else
        close();
}

void TSearchForm::FormClose()
{
    CancelSearch();
    results->Clear();
    ShowCount();
}

bool TSearchForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ResultList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ChooseResult();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSearchForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        FormKeyPress(event->key());
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSearchForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QWidget::closeEvent(event);
}
