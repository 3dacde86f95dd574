// 検索: the search window. A query box, the scope (this area, this packet, every open packet),
// あいまい検索 (the fuzzy dictionary for a /pattern/), and the results: mark, area, date, From,
// subject and a line of text around the hit, newest first, with their count. Enter or a double
// click on a result shows that message in the main window; the search window stays open for
// the next one.
//
// Before a search the index is brought up to date with the packets in scope on a thread of its
// own (select/search_index.h), with a progress bar and a 中止 button; the window stays usable
// meanwhile. Bad queries are named under the query box. The window is a view: the search
// itself is select/search_run.h, and the main window is reached only through the Host.
#pragma once

#include "select/search_index.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pelorin {

class TGrp;
class TMsg;
class TSoup;

class TSearchWindow : public QDialog {
    Q_OBJECT
public:
    // What the main window offers the search.
    struct Host {
        std::function<std::vector<TSoup*>()> packets;  // the open packets, in tree order
        std::function<TSoup*()> currentPacket;         // may give null
        std::function<TGrp*()> currentArea;            // may give null
        std::function<void(TSoup*, TGrp*, TMsg*)> show;
    };
    enum Scope { ThisArea = 0, ThisPacket = 1, AllPackets = 2 };

    TSearchWindow(Host host, QWidget* parent = nullptr);
    ~TSearchWindow() override;

    // Puts `text` in the query box and searches (記事の検索 of the text pane).
    void SearchFor(const QString& text);
    // Runs the query in the box (what Enter in the box does).
    void Search();
    // Brings the index up to date with `packets` on the worker thread, with no search after it
    // (a packet was opened). Nothing when the index is being brought up to date already.
    void IndexInBackground(const std::vector<TSoup*>& packets);
    void SetScope(Scope scope);
    // The results shown (for tests): their count, and the message of row `i`.
    int ResultCount() const;
    TMsg* ResultAt(int i) const;
    QString ErrorText() const;
    // True while the index is being brought up to date.
    bool Indexing() const { return worker_.joinable() && !done_; }
    // The index, for tests to point elsewhere.
    void SetIndexDirectory(const std::string& dir);

signals:
    void searchFinished();

private:
    struct Found {
        TSoup* packet;
        TGrp* area;
        TMsg* msg;
    };
    void StartIndexing(const std::vector<TSoup*>& packets);
    void FinishSearch();
    void ShowResults();
    void Activate(QTreeWidgetItem* item);
    void Cancel();
    void Join();
    std::vector<TSoup*> ScopePackets() const;

    Host host_;
    std::unique_ptr<SearchIndex> index_;
    QLineEdit* query_ = nullptr;
    QComboBox* scope_ = nullptr;
    QCheckBox* fuzzy_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* count_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTreeWidget* results_ = nullptr;
    std::vector<Found> found_;
    // The query being run, and the area it is limited to.
    SearchQuery pending_;
    TGrp* pendingArea_ = nullptr;
    std::vector<TSoup*> pendingPackets_;
    std::thread worker_;
    std::atomic<bool> cancel_flag_{false};
    std::atomic<bool> done_{true};
    bool searching_ = false;  // a search waits for the worker
};

}  // namespace pelorin
