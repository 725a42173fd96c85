#include "catalogue/RecordStore.h"

#include "errors/Exception.h"

#include <algorithm>
#include <cstring>

namespace {
size_t StoredLength(std::string_view text) {
    size_t n = text.size();
    for (char c : text) n -= (c == '\r' || c == '\n');
    return n;
}
}  // namespace

std::string_view RecordStore::Bytes(const Slot& s) const {
    return {chunks_[s.chunk].get() + s.offset + kHeader, s.length - kHeader};
}

uint32_t RecordStore::FieldEnd(const Slot& s, int field) const {
    if (field == FieldCount - 1) return s.length - kHeader;
    uint32_t end;
    std::memcpy(&end, chunks_[s.chunk].get() + s.offset + sizeof end * static_cast<size_t>(field), sizeof end);
    return end;
}

std::string_view RecordStore::Field(size_t row, int field) const {
    const Slot& s = slots_[row];
    uint32_t begin = field == 0 ? 0 : FieldEnd(s, field - 1) + 1;
    return Bytes(s).substr(begin, FieldEnd(s, field) - begin);
}

RecordStore::FieldViews RecordStore::Fields(size_t row) const {
    FieldViews out;
    for (int f = 0; f < FieldCount; ++f) out[static_cast<size_t>(f)] = Field(row, f);
    return out;
}

MovieRecord RecordStore::Get(size_t row) const {
    MovieRecord r;
    FieldViews v = Fields(row);
    for (int f = 0; f < FieldCount; ++f) r.Field(f) = AnsiString(v[static_cast<size_t>(f)]);
    return r;
}

char* RecordStore::Reserve(size_t length, Slot& slot) {
    // Offsets are 32 bits: a record of 4 GB or more (only a damaged file has
    // one) is refused rather than wrapped.
    if (length > UINT32_MAX) throw Exception("A film's texts are too long to be kept in memory");
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
    size_t length = kHeader + FieldCount - 1;
    for (std::string_view f : fields) length += StoredLength(f);
    Slot slot{};
    char* header = Reserve(length, slot);
    char* text = header + kHeader;
    char* out = text;
    for (int f = 0; f < FieldCount; ++f) {
        if (f) *out++ = '\n';
        for (char c : fields[static_cast<size_t>(f)])
            if (c != '\r' && c != '\n') *out++ = c;
        if (f + 1 < FieldCount) {
            auto end = static_cast<uint32_t>(out - text);
            std::memcpy(header + sizeof end * static_cast<size_t>(f), &end, sizeof end);
        }
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
