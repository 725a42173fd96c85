// flickstow-bench: times the film list's operations on generated catalogues
// of 100,000 and 1,000,000 films, each beside a baseline timed in the same
// run, as the median of several runs.
//
//   flickstow-bench [--json] [--runs N] [--sizes 100000,1000000]

#include "app/formats/CatalogueFile.h"
#include "app/formats/Export.h"
#include "app/mainwindow/FilmFinder.h"
#include "app/mainwindow/TForm1.h"
#include "bench/Bench.h"
#include "platform/dialogs/Application.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/dialogs.h"
#include "platform/files/files.h"
#include "platform/module/module.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace bench;

namespace {

// A catalogue with realistic fields: titles of 5-50 characters,
// descriptions of 0-255, about 3 per cent blank MIDs.
RecordStore Generate(size_t n, bool allMidsBlank) {
    static const char* genres[] = {"Adventure", "Action",  "Animation", "Cartoon", "Documentation", "Drama",
                                   "Erotic",    "Fantasy", "History",   "Horror",  "Music",         "Thriller"};
    static const char* languages[] = {"German", "English", "French", "Espaniol", "Other"};
    static const char* media[] = {"VCD", "SVCD", "DVD", "VHS", "DIVX (CDROM)", "SVHS", "Video8", "BETA", "Other"};
    static const char* status[] = {"Owned", "Lend To", "To Be Bought", "Borrowed From"};
    std::mt19937_64 rng(20261207);
    auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
    auto text = [&](size_t lo, size_t hi) {
        size_t len = lo + rng() % (hi - lo + 1);
        AnsiString s(len, ' ');
        for (size_t i = 0; i < len; ++i) {
            unsigned r = static_cast<unsigned>(rng() % 32);
            s[i] = r < 26 ? static_cast<char>((i == 0 || s[i - 1] == ' ' ? 'A' : 'a') + r) : ' ';
        }
        if (len) s[0] = static_cast<char>('A' + rng() % 26);
        return s;
    };
    RecordStore rows;
    for (size_t i = 0; i < n; ++i) {
        MovieRecord r;
        r.Title = text(5, 50);
        r.MID = allMidsBlank || rng() % 100 < 3 ? AnsiString()
                                                : ansi::IntToStr(static_cast<long long>(1 + rng() % 9999));
        r.Genre = pick(genres);
        r.Language = pick(languages);
        r.Media = pick(media);
        r.Disks = ansi::IntToStr(static_cast<long long>(1 + rng() % 3));
        r.Status = pick(status);
        r.Viewed = rng() % 2 ? "Yes" : "No";
        r.Rating = rng() % 3 ? ansi::IntToStr(static_cast<long long>(1 + rng() % 10)) : AnsiString();
        r.Picture = rng() % 4 ? AnsiString()
                              : "t_cover" + ansi::IntToStr(static_cast<long long>(rng() % 1000)) + ".jpg";
        r.Description = text(0, 255);
        rows.Append(r);
    }
    return rows;
}

}  // namespace

RecordStore bench::GenerateFilms(size_t n, bool allMidsBlank) { return Generate(n, allMidsBlank); }

namespace {

void WriteDurably(const AnsiString& path, const AnsiString& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || ::fsync(fd) != 0)
        std::perror("write");
    ::close(fd);
}

// One read of the whole file.
AnsiString ReadPlain(const AnsiString& path) {
    AnsiString text;
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) {
        text.resize(static_cast<size_t>(st.st_size));
        if (::read(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::perror("read");
    }
    if (fd >= 0) ::close(fd);
    return text;
}

void Select(TForm1& form, size_t step) {
    QItemSelection every;
    for (int r = 0; r < form.Catalogue->rowCount(); r += static_cast<int>(step))
        every.select(form.Catalogue->index(r, 0), form.Catalogue->index(r, FieldCount - 1));
    form.ListView1->selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
}

// A figure against a target of its own (none when the target is 0).
void PrintFigure(size_t n, const char* op, double value, const char* unit, double target) {
    if (g_json) std::printf("{\"n\":%zu,\"op\":\"%s\",\"value\":%.1f,\"unit\":\"%s\"}\n", n, op, value, unit);
    else if (target > 0)
        std::printf("%9zu  %-16s %10.1f %-2s (target <= %.0f %s)%s\n", n, op, value, unit, target, unit,
                    value <= target ? "" : "  MISSED");
    else
        std::printf("%9zu  %-16s %10.1f %-2s\n", n, op, value, unit);
    std::fflush(stdout);
}

// The libraries a run that only lists and edits has no need of.
const std::vector<std::string> kOnDemandLibraries = {"libcups.so", "libjpeg.so", "libgumbo.so", "libzip.so",
                                                     "libsane.so"};

// Medians of g_runs starts of the program, copied into `folder` with the
// catalogue file `catalogue` (none when empty).
StartFigures StartMedians(const AnsiString& folder, const AnsiString& catalogue) {
    ::mkdir(folder.c_str(), 0755);
    const QString to = QString::fromStdString(folder) + "/";
    // The program measured is the one built with the bench, or another
    // build's named in FLICKSTOW_PROGRAM (its source manager beside it).
    const QString program = qEnvironmentVariableIsEmpty("FLICKSTOW_PROGRAM")
                                ? QString(FLICKSTOW_PROGRAM)
                                : qEnvironmentVariable("FLICKSTOW_PROGRAM");
    const QString manager = qEnvironmentVariableIsEmpty("FLICKSTOW_PROGRAM")
                                ? QString(TWAIN_DSM_PATH)
                                : QFileInfo(program).absolutePath() + "/" + QFileInfo(TWAIN_DSM_PATH).fileName();
    QFile::copy(program, to + "flickstow");
    QFile::copy(manager, to + QFileInfo(TWAIN_DSM_PATH).fileName());
    if (!catalogue.empty()) QFile::copy(QString::fromStdString(catalogue), to + kCatalogueFileName);
    std::vector<StartFigures> runs;
    for (int i = 0; i < g_runs; ++i) {
        StartFigures f = StartProgram(folder + "/flickstow", folder + "/config", kOnDemandLibraries);
        if (!f.ok) {
            std::fprintf(stderr, "the program in %s did not come to rest\n", folder.c_str());
            return f;
        }
        runs.push_back(f);
    }
    auto median = [&runs](auto field) {
        std::vector<double> v;
        for (const StartFigures& f : runs) v.push_back(static_cast<double>(f.*field));
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    StartFigures out = runs.front();
    out.cpuSeconds = median(&StartFigures::cpuSeconds);
    out.residentKb = static_cast<long>(median(&StartFigures::residentKb));
    out.peakKb = static_cast<long>(median(&StartFigures::peakKb));
    return out;
}

// The file read and split into lines, nothing else: the baseline of a load.
void ReadIntoLines(const AnsiString& path) {
    AnsiString text = ReadPlain(path);
    std::vector<std::string_view> lines;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!lf) lf = end;
        lines.emplace_back(p, static_cast<size_t>(lf - p));
        p = lf + 1;
    }
    if (lines.size() == 1) std::puts("");  // keep the split from being optimised away
}

// The baseline of a sort by the column: std::sort of the bare keys (the
// titles' texts, or the MIDs as numbers).
double SortBase(const RecordStore& rows, int column) {
    if (column == FieldTitle) {
        std::vector<std::string_view> keys;
        return Median([&] { std::sort(keys.begin(), keys.end()); },
                      [&] {
                          keys.clear();
                          for (size_t i = 0; i < rows.size(); ++i) keys.push_back(rows.Field(i, FieldTitle));
                      });
    }
    std::vector<int> keys;
    return Median([&] { std::sort(keys.begin(), keys.end()); },
                  [&] {
                      keys.clear();
                      for (size_t i = 0; i < rows.size(); ++i)
                          keys.push_back(ansi::StrToIntDef(rows.Field(i, FieldMID), 0));
                  });
}

void BenchMemory(size_t n, const AnsiString& program, const AnsiString& dataPath, const AnsiString& dir,
                 size_t fileBytes);

void Bench(size_t n, const AnsiString& dir) {
    const AnsiString program = dir + "/program";
    const AnsiString dataPath = program + "/data.vrx", blankPath = dir + "/blank.vrx";
    ::mkdir(program.c_str(), 0755);
    {
        files::ReplaceWholeFile(dataPath, SerializeCatalogue(Generate(n, false)));
        files::ReplaceWholeFile(blankPath, SerializeCatalogue(Generate(n, true)));
    }
    module::test::SetExecutablePath(program + "/flickstow");
    TForm1 form;

    // load: file -> model, against one read of the file split into lines.
    double load = Median([&] { form.LoadCatalogue(); });
    double loadBase = Median([&] { ReadIntoLines(dataPath); });
    Report(n, "load", load, loadBase, 1.3);

    // load_blank_mids: every MID handed out while reading.
    AnsiString kept = ReadPlain(dataPath);
    files::ReplaceWholeFile(dataPath, ReadPlain(blankPath));
    double loadBlank = Median([&] { form.LoadCatalogue(); });
    files::ReplaceWholeFile(dataPath, kept);
    Report(n, "load_blank_mids", loadBlank, load, 1.2);

    // save: model -> data.vrx, atomic and flushed to disk, against writing
    // the same bytes with one write, also flushed.
    form.LoadCatalogue();
    double save = Median([&] { form.SaveCatalogue(); });
    AnsiString bytes = ReadPlain(dataPath);
    double saveBase = Median([&] { WriteDurably(dir + "/plain.vrx", bytes); });
    Report(n, "save", save, saveBase, 1.2);

    // sorting: one header click from the file's order, against std::sort of
    // the bare keys.
    for (auto sorted : {std::pair{"sort_title", int(FieldTitle)}, std::pair{"sort_mid", int(FieldMID)}}) {
        const char* op = sorted.first;
        const int column = sorted.second;
        double sort = Median([&] { form.ListView1ColumnClick(column); }, [&] { form.LoadCatalogue(); });
        form.LoadCatalogue();
        const RecordStore& rows = form.Catalogue->Records();
        const double base = SortBase(rows, column);
        Report(n, op, sort, base, column == FieldTitle ? 3 : 1.5);
        if (column == FieldTitle && n >= 1000000) PrintFigure(n, "sort_title_ms", sort, "ms", 250);
    }

    // delete_half: every other row selected, deleted after the Yes, against
    // copying the kept rows' texts once.
    double del = Median(
        [&] {
            dialogs::test::QueueAnswer(dialogs::IDYES);
            form.SpeedButton3Click();
        },
        [&] {
            form.LoadCatalogue();
            Select(form, 2);
        });
    form.LoadCatalogue();
    double delBase = Median([&] {
        const RecordStore& rows = form.Catalogue->Records();
        AnsiString copy;
        copy.reserve(bytes.size());
        for (size_t i = 1; i < rows.size(); i += 2)
            for (std::string_view f : rows.Fields(i)) copy.append(f).push_back('\n');
        if (copy.empty()) std::puts("");
    });
    Report(n, "delete_half", del, delBase, 1.5);

    // export_csv: through the menu action, against writing the same bytes.
    form.LoadCatalogue();
    const AnsiString csvPath = dir + "/films.csv";
    double exp = Median([&] {
        dialogs::test::QueueFileDialogAnswer({csvPath, 1});
        form.Exort1Click();
    });
    AnsiString csv = ReadPlain(csvPath);
    double expBase = Median([&] { WriteDurably(dir + "/plain.csv", csv); });
    Report(n, "export_csv", exp, expBase, 1.3);

    BenchMemory(n, program, dataPath, dir, bytes.size());
}

// The memory figures: resident memory after loading and the peak of a
// load, each in a fresh process, and the program itself started on the
// catalogue.
void BenchMemory(size_t n, const AnsiString& program, const AnsiString& dataPath, const AnsiString& dir,
                 size_t fileBytes) {
    // Resident memory right after loading, measured in a fresh process.
    QProcess probe;
    probe.start(QCoreApplication::applicationFilePath(), {"--rss-probe", QString::fromStdString(program)});
    probe.waitForFinished(-1);
    double rssMb = probe.readAllStandardOutput().trimmed().toDouble() / 1024.0;
    double fileMb = static_cast<double>(fileBytes) / (1024.0 * 1024.0);
    if (g_json)
        std::printf("{\"n\":%zu,\"op\":\"rss_after_load\",\"rss_mb\":%.1f,\"file_mb\":%.1f}\n", n, rssMb, fileMb);
    else
        std::printf("%9zu  %-16s %10.1f MB  file     %10.1f MB  ratio %5.2f  (target <= 2.0)%s\n", n, "rss_after_load",
                    rssMb, fileMb, rssMb / fileMb, rssMb / fileMb <= 2.0 ? "" : "  MISSED");
    std::fflush(stdout);

    // peak_rss_load: the peak resident memory of a process that only reads
    // the file into rows.
    std::vector<double> peaks;
    for (int i = 0; i < g_runs; ++i) {
        QProcess peak;
        peak.start(QCoreApplication::applicationFilePath(), {"--peak-probe", QString::fromStdString(dataPath)});
        peak.waitForFinished(-1);
        peaks.push_back(peak.readAllStandardOutput().trimmed().toDouble() / 1024.0);
    }
    std::sort(peaks.begin(), peaks.end());
    ReportValue(n, "peak_rss_load", peaks[peaks.size() / 2], "MB", fileMb, "file", 1.5);

    // The program itself started on this catalogue, until it is idle.
    const AnsiString started = dir + "/started";
    StartFigures start = StartMedians(started, dataPath);
    if (start.ok) {
        PrintFigure(n, "start_idle_cpu", start.cpuSeconds * 1000.0, "ms", n >= 1000000 ? 300 : 0);
        ReportValue(n, "peak_rss_start", static_cast<double>(start.peakKb) / 1024.0, "MB", fileMb, "file", 1.5);
    }
}

// Reads the catalogue file into rows, nothing else, and prints the peak
// resident memory in kB.
int PeakProbe(const char* path) {
    RecordStore rows;
    ReadCatalogueFile(path, rows);
    std::printf("%ld\n", PeakResidentKb());
    return 0;
}

// Loads the catalogue of the given program folder into a main window and
// prints the resident memory in kB.
int RssProbe(const char* program, const char* search) {
    module::test::SetExecutablePath(AnsiString(program) + "/flickstow");
    TForm1 form;
    form.LoadCatalogue();
    // A first search, when asked, shown before measuring.
    if (search) {
        FilmFinder::InlineLimit = SIZE_MAX;
        form.FindEdit1->setText(search);
    }
    std::printf("%ld\n", ResidentKb());
    return 0;
}

std::vector<size_t> g_sizes = {100000, 1000000};

// The resident memory of a fresh process that loaded the program folder's
// catalogue into a main window (and typed `search` into its find field), in MB.
double ResidentAfterLoad(const AnsiString& program, const char* search = nullptr) {
    QStringList arguments{"--rss-probe", QString::fromStdString(program)};
    if (search) arguments << search;
    QProcess probe;
    probe.start(QCoreApplication::applicationFilePath(), arguments);
    probe.waitForFinished(-1);
    return probe.readAllStandardOutput().trimmed().toDouble() / 1024.0;
}

// Find as you type, at each catalogue size.
void FindSizes(const AnsiString& dir) {
    for (size_t n : g_sizes) {
        const AnsiString program = dir + "/" + ansi::IntToStr(static_cast<long long>(n));
        ::mkdir(program.c_str(), 0755);
        files::ReplaceWholeFile(program + "/data.vrx", SerializeCatalogue(Generate(n, false)));
        module::test::SetExecutablePath(program + "/flickstow");
        TForm1 form;
        // filter: one keystroke in the find field until the list shows what it
        // finds (on this thread, however long it takes), against memmem of the
        // same word over each film's stored bytes (case and accents as stored).
        // Each run starts from every film shown; filter_narrow types one more
        // letter, which searches only the films shown.
        form.LoadCatalogue();
        FilmFinder::InlineLimit = SIZE_MAX;
        for (const auto& typed : {std::tuple{"filter", "", "kel"}, std::tuple{"filter_narrow", "ke", "kel"},
                                  std::tuple{"filter_letter", "", "q"}}) {
            const char *op = std::get<0>(typed), *from = std::get<1>(typed), *word = std::get<2>(typed);
            double filter = Median([&] { form.FindEdit1->setText(word); }, [&] { form.FindEdit1->setText(from); });
            const RecordStore& rows = form.Catalogue->Records();
            std::vector<uint32_t> hits;
            const size_t length = std::strlen(word);
            double filterBase = Median(
                [&] {
                    for (size_t i = 0; i < rows.size(); ++i) {
                        const std::string_view text = rows.RecordBytes(i);
                        if (::memmem(text.data(), text.size(), word, length)) hits.push_back(static_cast<uint32_t>(i));
                    }
                },
                [&] { hits.clear(); });
            Report(n, op, filter, filterBase, 3);
            if (n >= 1000000) PrintFigure(n, (std::string(op) + "_ms").c_str(), filter, "ms", 50);
        }
        form.FindEdit1->clear();

        // Memory: a first search that finds nearly every film (the most
        // places the list keeps) against the catalogue loaded.
        const double loaded = ResidentAfterLoad(program), searched = ResidentAfterLoad(program, "e");
        PrintFigure(n, "rss_after_load", loaded, "MB", 0);
        ReportValue(n, "rss_filter_extra", searched - loaded, "MB", loaded, "rss_load", 0.1);
    }
}
FLICKSTOW_BENCH_SUITE("find", FindSizes);

// The film list: every operation at each catalogue size.
void FilmList(const AnsiString& dir) {
    // startup_empty_rss: the program with an empty catalogue, window shown.
    StartFigures empty = StartMedians(dir + "/empty", "");
    if (empty.ok) {
        PrintFigure(0, "startup_empty_rss", static_cast<double>(empty.residentKb) / 1024.0, "MB", 26);
        std::string mapped;
        for (const std::string& m : empty.mapped) mapped += " " + m;
        std::printf("%9s  %-16s %s\n", "", "mapped at start",
                    mapped.empty() ? " none of the libraries loaded on demand" : mapped.c_str());
    }
    for (size_t n : g_sizes) {
        const AnsiString sub = dir + "/" + ansi::IntToStr(static_cast<long long>(n));
        ::mkdir(sub.c_str(), 0755);
        Bench(n, sub);
    }
}
FLICKSTOW_BENCH_SUITE("filmlist", FilmList);

}  // namespace

int main(int argc, char** argv) {
    // Before anything else is set up, so that the peak is the loading's.
    if (argc == 3 && std::string(argv[1]) == "--peak-probe") return PeakProbe(argv[2]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    dialogs::test::Enable();
    if (argc >= 3 && std::string(argv[1]) == "--rss-probe") return RssProbe(argv[2], argc > 3 ? argv[3] : nullptr);
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") g_json = true;
        else if (a == "--runs" && i + 1 < argc)
            g_runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc)
            for (const QString& s : QString(argv[++i]).split(',')) only.push_back(s.toStdString());
        else if (a == "--sizes" && i + 1 < argc) {
            g_sizes.clear();
            for (const QString& s : QString(argv[++i]).split(',')) g_sizes.push_back(s.toULongLong());
        }
    }
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
    return bench::RunSuites(QFile::encodeName(dir.path()).toStdString(), only);
}
