// Progress of reading an import file, shared by its readers.
#pragma once

#include "app/formats/Import.h"

#include <algorithm>
#include <cstddef>

namespace import_progress {

// Reports on progress every so many bytes of a file.
inline constexpr size_t kReportBytes = size_t(1) << 20;

// Tells progress how far; raises EImportCancelled when it says stop.
inline void Report(const ReadProgress& progress, double done) {
    if (progress && !progress(std::clamp(done, 0.0, 1.0))) throw EImportCancelled("The import was cancelled.");
}

// The part from..to of a whole reading's progress.
inline ReadProgress Part(const ReadProgress& whole, double from, double to) {
    if (!whole) return {};
    return [whole, from, to](double done) { return whole(from + done * (to - from)); };
}

inline double Share(size_t done, size_t total) { return total ? double(done) / double(total) : 1.0; }

}  // namespace import_progress
