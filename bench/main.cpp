// flickstow-bench: times the film list's operations on generated catalogues
// of 100,000 and 1,000,000 films, each beside a baseline timed in the same
// run, as the median of several runs.
//
//   flickstow-bench [--json] [--runs N] [--sizes 100000,1000000]

#include "app/formats/CatalogueFile.h"
#include "app/formats/Export.h"
#include "app/mainwindow/TForm1.h"
#include "bench/Bench.h"
#include "platform/dialogs/Application.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/dialogs.h"
#include "platform/files/files.h"
#include "platform/module/module.h"

#include <QItemSelectionModel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <functional>
#include <random>
#include <unistd.h>

using namespace bench;

namespace {

// A catalogue with realistic fields: titles of 5-50 characters,
// descriptions of 0-255, about 3 per cent blank MIDs.
RecordStore Generate(size_t n, bool allMidsBlank) {
    static const char* genres[] = {"Adventure", "Action", "Animation", "Cartoon", "Documentation", "Drama",
                                   "Erotic", "Fantasy", "History", "Horror", "Music", "Thriller"};
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
        r.MID = allMidsBlank || rng() % 100 < 3 ? AnsiString() : ansi::IntToStr(static_cast<long long>(1 + rng() % 9999));
        r.Genre = pick(genres);
        r.Language = pick(languages);
        r.Media = pick(media);
        r.Disks = ansi::IntToStr(static_cast<long long>(1 + rng() % 3));
        r.Status = pick(status);
        r.Viewed = rng() % 2 ? "Yes" : "No";
        r.Rating = rng() % 3 ? ansi::IntToStr(static_cast<long long>(1 + rng() % 10)) : AnsiString();
        r.Picture = rng() % 4 ? AnsiString() : "t_cover" + ansi::IntToStr(static_cast<long long>(rng() % 1000)) + ".jpg";
        r.Description = text(0, 255);
        rows.Append(r);
    }
    return rows;
}

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
    double loadBase = Median([&] {
        AnsiString text = ReadPlain(dataPath);
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
    });
    Report(n, "load", load, loadBase, 3);

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
    Report(n, "save", save, saveBase, 2);

    // sorting: one header click from the file's order, against std::sort of
    // the bare keys.
    for (auto sorted : {std::pair{"sort_title", int(FieldTitle)}, std::pair{"sort_mid", int(FieldMID)}}) {
        const char* op = sorted.first;
        const int column = sorted.second;
        double sort = Median([&] { form.ListView1ColumnClick(column); }, [&] { form.LoadCatalogue(); });
        form.LoadCatalogue();
        const RecordStore& rows = form.Catalogue->Records();
        double base;
        if (column == FieldTitle) {
            std::vector<std::string_view> keys;
            base = Median([&] { std::sort(keys.begin(), keys.end()); }, [&] {
                keys.clear();
                for (size_t i = 0; i < rows.size(); ++i) keys.push_back(rows.Field(i, FieldTitle));
            });
        } else {
            std::vector<int> keys;
            base = Median([&] { std::sort(keys.begin(), keys.end()); }, [&] {
                keys.clear();
                for (size_t i = 0; i < rows.size(); ++i) keys.push_back(ansi::StrToIntDef(rows.Field(i, FieldMID), 0));
            });
        }
        Report(n, op, sort, base, 3);
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
    Report(n, "delete_half", del, delBase, 3);

    // export_csv: through the menu action, against writing the same bytes.
    form.LoadCatalogue();
    const AnsiString csvPath = dir + "/films.csv";
    double exp = Median([&] {
        dialogs::test::QueueFileDialogAnswer({csvPath, 1});
        form.Exort1Click();
    });
    AnsiString csv = ReadPlain(csvPath);
    double expBase = Median([&] { WriteDurably(dir + "/plain.csv", csv); });
    Report(n, "export_csv", exp, expBase, 2);

    // Resident memory right after loading, measured in a fresh process.
    QProcess probe;
    probe.start(QCoreApplication::applicationFilePath(), {"--rss-probe", QString::fromStdString(program)});
    probe.waitForFinished(-1);
    double rssMb = probe.readAllStandardOutput().trimmed().toDouble() / 1024.0;
    double fileMb = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
    if (g_json)
        std::printf("{\"n\":%zu,\"op\":\"rss_after_load\",\"rss_mb\":%.1f,\"file_mb\":%.1f}\n", n, rssMb, fileMb);
    else
        std::printf("%9zu  %-16s %10.1f MB  file     %10.1f MB  ratio %5.2f  (target <= 2.5)\n", n, "rss_after_load",
                    rssMb, fileMb, rssMb / fileMb);
    std::fflush(stdout);
}

// Loads the catalogue of the given program folder into a main window and
// prints the resident memory in kB.
int RssProbe(const char* program) {
    module::test::SetExecutablePath(AnsiString(program) + "/flickstow");
    TForm1 form;
    form.LoadCatalogue();
    std::printf("%ld\n", ResidentKb());
    return 0;
}

// The film list: every operation at each catalogue size.
std::vector<size_t> g_sizes = {100000, 1000000};
void FilmList(const AnsiString& dir) {
    for (size_t n : g_sizes) {
        const AnsiString sub = dir + "/" + ansi::IntToStr(static_cast<long long>(n));
        ::mkdir(sub.c_str(), 0755);
        Bench(n, sub);
    }
}
FLICKSTOW_BENCH_SUITE("filmlist", FilmList);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    dialogs::test::Enable();
    if (argc == 3 && std::string(argv[1]) == "--rss-probe") return RssProbe(argv[2]);
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") g_json = true;
        else if (a == "--runs" && i + 1 < argc) g_runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc) for (const QString& s : QString(argv[++i]).split(',')) only.push_back(s.toStdString());
        else if (a == "--sizes" && i + 1 < argc) {
            g_sizes.clear();
            for (const QString& s : QString(argv[++i]).split(',')) g_sizes.push_back(s.toULongLong());
        }
    }
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
    return bench::RunSuites(QFile::encodeName(dir.path()).toStdString(), only);
}
