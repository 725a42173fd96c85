#pragma once
// One film of the catalogue: eleven texts, in the order the film list shows
// them. Numbers (MID, Disks) are kept as their decimal text. No field holds
// a CR or LF: the catalogue file has one field per line and relies on it.

#include "platform/ansi/ansi.h"

#include <array>

enum MovieField {
    FieldTitle,
    FieldMID,
    FieldGenre,
    FieldLanguage,
    FieldMedia,
    FieldDisks,
    FieldStatus,
    FieldViewed,
    FieldRating,
    FieldPicture,
    FieldDescription,
    FieldCount
};

struct MovieRecord {
    AnsiString Title, MID, Genre, Language, Media, Disks, Status, Viewed, Rating, Picture, Description;

    AnsiString& Field(int f) { return *Fields()[static_cast<size_t>(f)]; }
    const AnsiString& Field(int f) const { return const_cast<MovieRecord*>(this)->Field(f); }
    bool operator==(const MovieRecord&) const = default;

private:
    std::array<AnsiString*, FieldCount> Fields() {
        return {&Title, &MID, &Genre, &Language, &Media, &Disks, &Status, &Viewed, &Rating, &Picture, &Description};
    }
};
