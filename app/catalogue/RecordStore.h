#pragma once
// Compact storage of the catalogue's records, in display order. Each record's
// eleven fields lie one after another, separated by LF, in large shared
// chunks, behind a small header holding where each field ends; a row is a
// 24-byte slot pointing at its bytes and holding sort keys (the start of its
// title, and the MID as a number), computed once as the row is stored, so
// that sorting by title or MID seldom reads the rows' texts. A million films
// take little more than the bytes of their texts, any field is found at
// once, and reordering or removing rows moves only slots.

#include "app/catalogue/MovieRecord.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class RecordStore {
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    using Buffer = std::unique_ptr<char[], Free>;

public:
    using FieldViews = std::array<std::string_view, FieldCount>;

    // A record put together from pieces as they arrive (a reader whose
    // lines come in blocks): bytes are added to the field being made, and
    // fields are ended one after another. The bytes must hold no CR or LF.
    // A large record is taken over by the store as it stands, without a
    // second copy.
    class Draft {
    public:
        void Add(std::string_view bytes);
        void EndField();
        size_t Ended() const { return count_; }
        std::string_view Field(size_t i) const;
        // Gives the last ended field this text instead.
        void ReplaceLast(std::string_view text);
        // Moves the last ended field to place i; those from i on move up one.
        void MoveLastTo(size_t place);

    private:
        friend class RecordStore;
        size_t Start(size_t i) const;
        void Reserve(size_t size);
        void Clear() { size_ = kHeader, count_ = 0, open_ = 0; }

        // The header's room, then each ended field followed by LF, then the
        // open field's bytes.
        Buffer bytes_;
        size_t size_ = kHeader, capacity_ = 0;
        std::array<size_t, FieldCount> lengths_{};
        size_t count_ = 0, open_ = 0;
    };

    size_t size() const { return slots_.size(); }
    bool empty() const { return slots_.empty(); }

    MovieRecord Get(size_t row) const;
    std::string_view Field(size_t row, int field) const;
    FieldViews Fields(size_t row) const;
    // The row's fields as stored: eleven texts joined by LF. A scan may read
    // up to kReadPast bytes past their end (what it finds there is of no
    // record of its own, and may change).
    std::string_view RecordBytes(size_t row) const { return Bytes(slots_[row]); }
    static constexpr size_t kReadPast = 64;

    // Views of the record's fields.
    static FieldViews Views(const MovieRecord& record);

    // The first eight bytes of a text as one number that orders texts as
    // the film list does: a-z folded onto A-Z, bytes unsigned, a shorter
    // text padded with zero bytes. Texts whose prefixes differ are in the
    // order of their prefixes; equal prefixes say nothing.
    static uint64_t SortPrefix(std::string_view text);
    // The title's, kept with the row since it was stored.
    uint64_t TitlePrefix(size_t row) const {
        const Slot& s = slots_[row];
        return uint64_t(s.titleHigh) << 32 | s.titleLow;
    }
    // The MID as a whole number (ansi::TryStrToInt), kept with the row
    // since it was stored; none when its text is no whole number.
    std::optional<int> MidNumber(size_t row) const {
        const uint32_t key = slots_[row].midKey;
        if (key != kMidFromText) return static_cast<int>(key ^ kSignBit);
        return ansi::TryStrToInt(Field(row, FieldMID));
    }

    // Stores the fields with every CR and LF dropped.
    void Append(const MovieRecord& record);
    void Append(const FieldViews& fields);
    // Appends fields that are each one line of a text, so hold no line
    // break: they are copied without being searched for one.
    void AppendLines(const FieldViews& fields);
    // Appends the draft's fields (those it lacks empty) and empties it.
    void Append(Draft& draft);
    void Set(size_t row, const MovieRecord& record);
    // The fields may be views of the row's own texts.
    void Set(size_t row, const FieldViews& fields);
    void Clear();

    // Rows in the given order: row i of the result is row order[i] now.
    void Reorder(const std::vector<uint32_t>& order);
    // Removes the rows whose flag is set; the others keep their order.
    void RemoveFlagged(const std::vector<bool>& flagged);

    // Makes a file's text piece by piece, a few thousand rows at a time: the
    // result, called with an emptied buffer, has append(from, to, buffer) add
    // the text of rows [from, to) and says whether there was any.
    template <class Append>
    auto Pieces(Append append) const {
        return [this, append, next = size_t(0)](AnsiString& piece) mutable {
            if (next >= size()) return false;
            size_t to = std::min(size(), next + kRowsPerPiece);
            append(next, to, piece);
            next = to;
            return true;
        };
    }

private:
    static constexpr size_t kRowsPerPiece = 8192;

    // A row: where its bytes are, its title's sort prefix (in two halves,
    // so that a slot takes 24 bytes) and its MID's value with the sign bit
    // flipped, or kMidFromText for a MID that is no whole number (and for
    // the one number that would give the same key, read from the text).
    struct Slot {
        uint32_t chunk, offset, length;
        uint32_t titleHigh = 0, titleLow = 0;
        uint32_t midKey = kMidFromText;
    };
    static constexpr uint32_t kSignBit = 0x80000000u, kMidFromText = 0;
    static constexpr uint32_t kChunkSize = 1u << 22;
    // End offsets of the first ten fields within the text; the last field
    // ends with the text.
    static constexpr uint32_t kHeader = (FieldCount - 1) * sizeof(uint32_t);

    std::string_view Bytes(const Slot& s) const {
        return {chunks_[s.chunk].get() + s.offset + kHeader, s.length - kHeader};
    }
    // Sets the slot's sort keys from its stored title and MID.
    void KeepSortKeys(Slot& s) const;
    uint32_t FieldEnd(const Slot& s, int field) const;
    Slot Store(const FieldViews& fields, bool lines = false);
    char* Reserve(size_t length, Slot& slot);
    // A record too large to share a chunk has one of its own.
    static bool OwnsChunk(size_t length) { return length > kChunkSize / 4; }
    // Frees the chunk of its own of a row that is gone.
    void Release(const Slot& s);

    std::vector<Buffer> chunks_;
    uint32_t current_ = 0;        // the shared chunk being filled
    uint32_t used_ = kChunkSize;  // bytes used in it
    // The bytes of it whose pages the store asked for ahead, in steps.
    static constexpr uint32_t kReadyStep = 1u << 20;
    uint32_t ready_ = 0;
    std::vector<Slot> slots_;
};
