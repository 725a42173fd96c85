#pragma once
// The entry editor's remembered defaults for a new entry: the names of the
// settings values that hold them, each written as the user changes the
// control and read when a new entry is prepared.

namespace defaults {
inline constexpr const char* Genre = "DefGenre";        // index in the genre list
inline constexpr const char* Type = "DefType";          // index of the media item
inline constexpr const char* Disks = "DefDisks";        // number of disks
inline constexpr const char* Rating = "DefRating";      // the rating as typed
inline constexpr const char* Language = "DefLanguage";  // index of the language
inline constexpr const char* Status = "DefStatus";      // index of the status item; -1: typed by the user
inline constexpr const char* Viewed = "DefViewed";      // index of the viewed item
}  // namespace defaults
