#pragma once
// Find as you type: filters the film list by the text of the find field.
// A small catalogue is searched at once; a large one on a thread of its
// own, so that typing is never held up: the newest text wins, and the
// result of an older one is dropped. A search reads the films while the
// user-interface thread goes on, so anything that changes the films first
// stops it (and searches again afterwards).

#include "app/catalogue/Finding.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <optional>
#include <thread>

class CatalogueModel;

class FilmFinder : public QObject {
    Q_OBJECT
public:
    FilmFinder(CatalogueModel* catalogue, QObject* parent);
    ~FilmFinder() override;

    // Shows the films the text (Windows-1252) finds; every film for a
    // text of blanks alone. Films added or changed since the last search
    // stay shown while the words stay the same.
    void Find(const AnsiString& text);
    // The films were replaced: the text is searched anew.
    void Refresh();
    // A search is still to show its result.
    bool Searching() const { return pending_; }

    // Catalogues of more films than this are searched on a thread of their
    // own (tests set it to 0 to have every search do so).
    static inline size_t InlineLimit = 50000;

signals:
    // The list is about to show other films.
    void AboutToShow();
    // The list shows what the newest text finds.
    void Found();

private:
    // Stops the running search, if any, and waits for its thread.
    void Stop();
    void Show(uint64_t generation, FindWords words, std::vector<uint32_t> films);
    // A change of the films is coming: a search under way is begun anew
    // once it is done.
    void BeforeChange();

    // Gone first when the window that owns both goes.
    QPointer<CatalogueModel> catalogue_;
    AnsiString text_;
    // The words whose films the list shows; none while it shows every film.
    std::optional<FindWords> shown_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    uint64_t generation_ = 0;
    bool pending_ = false;
};
