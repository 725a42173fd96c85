#include "app/mainwindow/FilmFinder.h"

#include "app/catalogue/CatalogueModel.h"

#include <QTimer>

FilmFinder::FilmFinder(CatalogueModel* catalogue, QObject* parent) : QObject(parent), catalogue_(catalogue) {
    catalogue_->SetBeforeChange([this] { BeforeChange(); });
}

FilmFinder::~FilmFinder() {
    if (catalogue_) catalogue_->SetBeforeChange({});
    Stop();
}

void FilmFinder::Stop() {
    if (!worker_.joinable()) return;
    stop_ = true;
    worker_.join();
    stop_ = false;
}

void FilmFinder::Find(const AnsiString& text) {
    text_ = text;
    FindWords words(text);
    // Whatever runs is for an older text.
    Stop();
    ++generation_;
    pending_ = false;
    if (words.empty()) {
        shown_.reset();
        if (catalogue_->Filtered()) emit AboutToShow();
        catalogue_->ShowAll();
        emit Found();
        return;
    }
    if (shown_ && catalogue_->Filtered() && shown_->Words() == words.Words()) {
        emit Found();
        return;
    }
    // Longer words find fewer films: those shown are all there is to search.
    std::optional<std::vector<uint32_t>> among;
    if (shown_ && catalogue_->Filtered() && words.Narrows(*shown_)) among = catalogue_->Shown();
    const size_t films = among ? among->size() : catalogue_->Records().size();
    pending_ = true;
    if (films <= InlineLimit) {
        std::vector<uint32_t> found = *words.Find(catalogue_->Records(), among ? &*among : nullptr);
        Show(generation_, std::move(words), std::move(found));
        return;
    }
    worker_ = std::thread([this, generation = generation_, words = std::move(words), among = std::move(among),
                           &records = catalogue_->Records()]() mutable {
        std::optional<std::vector<uint32_t>> found = words.Find(records, among ? &*among : nullptr, &stop_);
        if (!found) return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, words = std::move(words), found = std::move(*found)]() mutable {
                Show(generation, std::move(words), std::move(found));
            },
            Qt::QueuedConnection);
    });
}

void FilmFinder::Show(uint64_t generation, FindWords words, std::vector<uint32_t> films) {
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    pending_ = false;
    shown_ = std::move(words);
    emit AboutToShow();
    catalogue_->ShowOnly(std::move(films));
    emit Found();
}

void FilmFinder::Refresh() {
    shown_.reset();
    if (!FindWords(text_).empty()) Find(text_);
}

void FilmFinder::BeforeChange() {
    if (!pending_) return;
    // The films found are places in the films as they are now: a result on
    // its way is dropped, and the text searched again after the change.
    Stop();
    ++generation_;
    QTimer::singleShot(0, this, [this] {
        if (catalogue_) Find(text_);
    });
}
