#include "catalogue/RecordStore.h"

#include <algorithm>
#include <cstring>

namespace {
size_t StoredLength(std::string_view text) {
    size_t n = text.size();
    for (char c : text) n -= (c == '\r' || c == '\n');
    return n;
}
}  // namespace

std::string_view RecordStore::Bytes(const Slot& s) const { return {chunks_[s.chunk].get() + s.offset, s.length}; }

RecordStore::FieldViews RecordStore::Fields(size_t row) const {
    FieldViews out;
    std::string_view rest = Bytes(slots_[row]);
    for (int f = 0; f < FieldCount; ++f) {
        size_t lf = f + 1 < FieldCount ? rest.find('\n') : rest.size();
        out[static_cast<size_t>(f)] = rest.substr(0, lf);
        rest.remove_prefix(std::min(rest.size(), lf + 1));
    }
    return out;
}

std::string_view RecordStore::Field(size_t row, int field) const {
    std::string_view rest = Bytes(slots_[row]);
    for (int f = 0; f < field; ++f) {
        const void* lf = std::memchr(rest.data(), '\n', rest.size());
        if (!lf) return {};
        rest.remove_prefix(static_cast<size_t>(static_cast<const char*>(lf) - rest.data()) + 1);
    }
    const void* lf = std::memchr(rest.data(), '\n', rest.size());
    return lf ? rest.substr(0, static_cast<size_t>(static_cast<const char*>(lf) - rest.data())) : rest;
}

MovieRecord RecordStore::Get(size_t row) const {
    MovieRecord r;
    FieldViews v = Fields(row);
    for (int f = 0; f < FieldCount; ++f) r.Field(f) = AnsiString(v[static_cast<size_t>(f)]);
    return r;
}

char* RecordStore::Reserve(size_t length, Slot& slot) {
    slot.length = static_cast<uint32_t>(length);
    slot.offset = 0;
    if (length > kChunkSize / 4) {
        // A record too large to share a chunk gets one of its own; the shared
        // chunk in use stays the one to fill next.
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(length));
        slot.chunk = static_cast<uint32_t>(chunks_.size() - 1);
        return chunks_.back().get();
    }
    if (used_ + length > kChunkSize) {
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkSize));
        current_ = static_cast<uint32_t>(chunks_.size() - 1);
        used_ = 0;
    }
    slot.chunk = current_;
    slot.offset = used_;
    used_ += static_cast<uint32_t>(length);
    return chunks_[current_].get() + slot.offset;
}

RecordStore::Slot RecordStore::Store(const FieldViews& fields) {
    size_t length = FieldCount - 1;
    for (std::string_view f : fields) length += StoredLength(f);
    Slot slot{};
    char* out = Reserve(length, slot);
    for (int f = 0; f < FieldCount; ++f) {
        if (f) *out++ = '\n';
        for (char c : fields[static_cast<size_t>(f)])
            if (c != '\r' && c != '\n') *out++ = c;
    }
    return slot;
}

void RecordStore::Append(const FieldViews& fields) { slots_.push_back(Store(fields)); }

void RecordStore::Append(const MovieRecord& record) {
    FieldViews v;
    for (int f = 0; f < FieldCount; ++f) v[static_cast<size_t>(f)] = record.Field(f);
    Append(v);
}

void RecordStore::Set(size_t row, const MovieRecord& record) {
    FieldViews v;
    for (int f = 0; f < FieldCount; ++f) v[static_cast<size_t>(f)] = record.Field(f);
    slots_[row] = Store(v);
}

void RecordStore::Clear() {
    slots_.clear();
    chunks_.clear();
    used_ = kChunkSize;
}

void RecordStore::Reorder(const std::vector<uint32_t>& order) {
    std::vector<Slot> next;
    next.reserve(order.size());
    for (uint32_t i : order) next.push_back(slots_[i]);
    slots_.swap(next);
}

void RecordStore::RemoveFlagged(const std::vector<bool>& flagged) {
    size_t kept = 0;
    for (size_t i = 0; i < slots_.size(); ++i)
        if (!flagged[i]) slots_[kept++] = slots_[i];
    slots_.resize(kept);
}
