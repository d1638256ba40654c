#ifndef UI_FORM_SEARCH_H
#define UI_FORM_SEARCH_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <QWidget>

#include "storage/Database.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;
class ArticleMatches;
class SearchResultsModel;

// Search inside articles: a window of its own beside the main one. The scan runs on a thread of
// its own and its results are shown as each dictionary is done; a new search, Escape or closing
// the window stops it. Closing also gives the results' memory back.
class TSearchForm : public QWidget
{
    Q_OBJECT

public:
    // Shows a chosen result in the main window; phrase is the one that found it.
    using Chooser = std::function<void(WordPosition position, const QString &phrase)>;

    // database must outlive the window, or the window must be deleted first.
    TSearchForm(const Database *database, Chooser choose, QWidget *parent = nullptr);
    ~TSearchForm() override;

    // Starts a search for the phrase in the field; an empty phrase only clears the results.
    void FindButtonClick();
    // Stops a running search at once, without waiting for its thread, which ends by itself
    // soon after; what was shown stays, counted as found until the search was stopped.
    void CancelSearch();
    // Hands the current result to the chooser.
    void ChooseResult();
    // Escape stops a running search, else closes the window.
    void FormKeyPress(int key);
    void FormClose();

    bool Searching() const { return worker.thread.joinable(); }
    std::size_t ResultCount() const;

signals:
    // A search ended by itself, every dictionary scanned.
    void searchFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void OnMatches(std::uint64_t search, const std::shared_ptr<ArticleMatches> &matches);
    void OnProgress(std::uint64_t search, std::uint64_t done, std::uint64_t total);
    void OnFinished(std::uint64_t search);
    // Joins the stopped threads that have ended.
    void ReapWorkers();
    void ShowCount();

    // A search's thread and the flags it shares with this window.
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    const Database *database;
    Chooser choose;
    Worker worker;
    // Stopped searches whose threads have not ended yet.
    std::vector<Worker> stoppedWorkers;
    // Numbers the searches, so that what a stopped one posted is recognised and dropped.
    std::uint64_t searchNumber = 0;
    QString searchedPhrase;

    QLineEdit *PhraseEdit;
    QPushButton *FindButton;
    QLabel *CountLabel;
    QProgressBar *ProgressBar1;
    QTreeView *ResultList;
    SearchResultsModel *results;
};

#endif // UI_FORM_SEARCH_H
