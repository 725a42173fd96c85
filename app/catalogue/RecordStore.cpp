#include "app/catalogue/RecordStore.h"

#include "platform/ansi/LineReader.h"
#include "platform/ansi/PutBytes.h"
#include "platform/errors/Exception.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// Texts read from the file never hold a line break: they are found with
// two vectorised searches and copied whole.
bool HasLineBreak(std::string_view text) {
    return ansi::FindLineBreak(text.data(), text.data() + text.size()) != text.data() + text.size();
}

size_t StoredLength(std::string_view text, bool hasLineBreak) {
    if (!hasLineBreak) return text.size();
    size_t n = text.size();
    for (char c : text) n -= (c == '\r' || c == '\n');
    return n;
}

// Offsets are 32 bits: a record of 4 GB or more (only a damaged file has
// one) is refused rather than wrapped.
void CheckLength(size_t length) {
    if (length > UINT32_MAX) throw Exception("A film's texts are too long to be kept in memory");
}

// Room for size bytes and the bytes a scan may read past them, those zero.
char* Allocate(size_t size) {
    auto* p = static_cast<char*>(std::malloc(size + RecordStore::kReadPast));
    if (!p) throw std::bad_alloc();
    std::memset(p + size, 0, RecordStore::kReadPast);
    return p;
}

}  // namespace

// ---- Draft

void RecordStore::Draft::Reserve(size_t size) {
    CheckLength(size);
    if (size <= capacity_) return;
    // Growing by half again: a huge field grows in place where the system
    // can remap its pages, and never needs much more room than it holds.
    size_t capacity = std::max({size, capacity_ + capacity_ / 2, size_t(256)});
    auto* p = static_cast<char*>(std::realloc(bytes_.get(), capacity + kReadPast));
    if (!p) throw std::bad_alloc();
    std::memset(p + capacity, 0, kReadPast);
    (void)bytes_.release();
    bytes_.reset(p);
    capacity_ = capacity;
}

void RecordStore::Draft::Add(std::string_view bytes) {
    Reserve(size_ + bytes.size() + 1);
    std::memcpy(bytes_.get() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
    open_ += bytes.size();
}

void RecordStore::Draft::EndField() {
    Reserve(size_ + 1);
    bytes_[size_++] = '\n';
    lengths_[count_++] = open_;
    open_ = 0;
}

size_t RecordStore::Draft::Start(size_t i) const {
    size_t at = kHeader;
    for (size_t f = 0; f < i; ++f) at += lengths_[f] + 1;
    return at;
}

std::string_view RecordStore::Draft::Field(size_t i) const { return {bytes_.get() + Start(i), lengths_[i]}; }

void RecordStore::Draft::ReplaceLast(std::string_view text) {
    size_ = Start(--count_);
    open_ = 0;
    Add(text);
    EndField();
}

void RecordStore::Draft::MoveLastTo(size_t place) {
    const size_t last = count_ - 1;
    char* at = bytes_.get();
    std::rotate(at + Start(place), at + Start(last), at + Start(count_));
    std::rotate(lengths_.begin() + static_cast<ptrdiff_t>(place), lengths_.begin() + static_cast<ptrdiff_t>(last),
                lengths_.begin() + static_cast<ptrdiff_t>(count_));
}

void RecordStore::Append(Draft& draft) {
    while (draft.Ended() < FieldCount) draft.EndField();
    // The text without the LF after the last field.
    const size_t length = draft.size_ - 1;
    CheckLength(length);
    if (!OwnsChunk(length)) {
        FieldViews v;
        for (size_t f = 0; f < FieldCount; ++f) v[f] = draft.Field(f);
        AppendLines(v);
        draft.Clear();
        return;
    }
    char* header = draft.bytes_.get();
    uint32_t end = 0;
    for (size_t f = 0; f + 1 < FieldCount; ++f) {
        end += static_cast<uint32_t>(draft.lengths_[f] + (f ? 1 : 0));
        std::memcpy(header + sizeof end * f, &end, sizeof end);
    }
    chunks_.push_back(std::move(draft.bytes_));
    Slot slot{static_cast<uint32_t>(chunks_.size() - 1), 0, static_cast<uint32_t>(length), 0, 0};
    KeepSortKeys(slot);
    slots_.push_back(slot);
    draft = Draft();
}

uint32_t RecordStore::FieldEnd(const Slot& s, int field) const {
    if (field == FieldCount - 1) return s.length - kHeader;
    uint32_t end;
    std::memcpy(&end, chunks_[s.chunk].get() + s.offset + sizeof end * static_cast<size_t>(field), sizeof end);
    return end;
}

uint64_t RecordStore::SortPrefix(std::string_view text) {
    uint64_t key = 0;
    for (size_t i = 0; i < 8; ++i) {
        auto b = i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
        key = key << 8 | (b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    }
    return key;
}

void RecordStore::KeepSortKeys(Slot& s) const {
    std::string_view bytes = Bytes(s);
    const uint32_t titleEnd = FieldEnd(s, FieldTitle);
    uint64_t key = SortPrefix(bytes.substr(0, titleEnd));
    s.titleHigh = static_cast<uint32_t>(key >> 32);
    s.titleLow = static_cast<uint32_t>(key);
    const std::optional<int> mid = ansi::TryStrToInt(bytes.substr(titleEnd + 1, FieldEnd(s, FieldMID) - titleEnd - 1));
    s.midKey = mid ? static_cast<uint32_t>(*mid) ^ kSignBit : kMidFromText;
}

std::string_view RecordStore::Field(size_t row, int field) const {
    const Slot& s = slots_[row];
    uint32_t begin = field == 0 ? 0 : FieldEnd(s, field - 1) + 1;
    return Bytes(s).substr(begin, FieldEnd(s, field) - begin);
}

RecordStore::FieldViews RecordStore::Fields(size_t row) const {
    // The header read once for all eleven.
    const Slot& s = slots_[row];
    const char* header = chunks_[s.chunk].get() + s.offset;
    std::array<uint32_t, FieldCount> ends;
    std::memcpy(ends.data(), header, kHeader);
    ends[FieldCount - 1] = s.length - kHeader;
    FieldViews out;
    uint32_t begin = 0;
    for (size_t f = 0; f < FieldCount; ++f) {
        out[f] = {header + kHeader + begin, ends[f] - begin};
        begin = ends[f] + 1;
    }
    return out;
}

MovieRecord RecordStore::Get(size_t row) const {
    MovieRecord r;
    FieldViews v = Fields(row);
    for (int f = 0; f < FieldCount; ++f) r.Field(f) = AnsiString(v[static_cast<size_t>(f)]);
    return r;
}

char* RecordStore::Reserve(size_t length, Slot& slot) {
    CheckLength(length);
    slot.length = static_cast<uint32_t>(length);
    slot.offset = 0;
    if (OwnsChunk(length)) {
        // The shared chunk in use stays the one to fill next.
        Buffer own(Allocate(length));
        chunks_.push_back(std::move(own));
        slot.chunk = static_cast<uint32_t>(chunks_.size() - 1);
        return chunks_.back().get();
    }
    if (used_ + length > kChunkSize) {
        Buffer shared(Allocate(kChunkSize));
        // The first megabyte of a store gets its pages as it is written:
        // a small catalogue keeps to the pages its films fill.
        ready_ = chunks_.empty() ? kReadyStep : 0;
        chunks_.push_back(std::move(shared));
        current_ = static_cast<uint32_t>(chunks_.size() - 1);
        used_ = 0;
    }
    slot.chunk = current_;
    slot.offset = used_;
    used_ += static_cast<uint32_t>(length);
    char* chunk = chunks_[current_].get();
    while (used_ > ready_) {
        // Asking the system for a megabyte of pages at once costs a tenth
        // less time than taking each page when it is first written.
        // (Only the pages wholly inside the step; where the system cannot,
        // the pages come as they are written.)
        static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto at = reinterpret_cast<uintptr_t>(chunk);
        const uintptr_t from = (at + ready_ + page - 1) & ~(page - 1),
                        to = (at + std::min(ready_ + kReadyStep, kChunkSize)) & ~(page - 1);
#ifdef MADV_POPULATE_WRITE
        if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#endif
        ready_ += kReadyStep;
    }
    return chunk + slot.offset;
}

RecordStore::Slot RecordStore::Store(const FieldViews& fields, bool lines) {
    size_t length = kHeader + FieldCount - 1;
    std::array<bool, FieldCount> broken{};
    for (size_t f = 0; f < broken.size(); ++f) {
        broken[f] = !lines && HasLineBreak(fields[f]);
        length += StoredLength(fields[f], broken[f]);
    }
    Slot slot{};
    char* header = Reserve(length, slot);
    char* text = header + kHeader;
    char* out = text;
    for (int f = 0; f < FieldCount; ++f) {
        if (f) *out++ = '\n';
        std::string_view field = fields[static_cast<size_t>(f)];
        if (!broken[static_cast<size_t>(f)]) {
            out = ansi::PutBytes(out, field);
        } else {
            for (char c : field)
                if (c != '\r' && c != '\n') *out++ = c;
        }
        if (f + 1 < FieldCount) {
            auto end = static_cast<uint32_t>(out - text);
            std::memcpy(header + sizeof end * static_cast<size_t>(f), &end, sizeof end);
        }
    }
    KeepSortKeys(slot);
    return slot;
}

void RecordStore::Append(const FieldViews& fields) { slots_.push_back(Store(fields)); }

void RecordStore::AppendLines(const FieldViews& fields) { slots_.push_back(Store(fields, true)); }

RecordStore::FieldViews RecordStore::Views(const MovieRecord& record) {
    FieldViews v;
    for (int f = 0; f < FieldCount; ++f) v[static_cast<size_t>(f)] = record.Field(f);
    return v;
}

void RecordStore::Append(const MovieRecord& record) { Append(Views(record)); }

void RecordStore::Set(size_t row, const MovieRecord& record) { Set(row, Views(record)); }

void RecordStore::Set(size_t row, const FieldViews& fields) {
    // The old texts are read while the new ones are stored.
    const Slot old = slots_[row];
    slots_[row] = Store(fields);
    Release(old);
}

void RecordStore::Release(const Slot& s) {
    if (OwnsChunk(s.length)) chunks_[s.chunk].reset();
}

void RecordStore::Clear() {
    slots_.clear();
    chunks_.clear();
    used_ = kChunkSize;
}

void RecordStore::Reorder(const std::vector<uint32_t>& order) {
    std::vector<Slot> next;
    next.reserve(order.size());
    // The slots are read out of order: ask for those a few rows on early.
    for (size_t i = 0; i < order.size(); ++i) {
        if (i + 16 < order.size()) __builtin_prefetch(&slots_[order[i + 16]]);
        next.push_back(slots_[order[i]]);
    }
    slots_.swap(next);
}

void RecordStore::RemoveFlagged(const std::vector<bool>& flagged) {
    size_t kept = 0;
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (!flagged[i]) slots_[kept++] = slots_[i];
        else
            Release(slots_[i]);
    }
    slots_.resize(kept);
}
