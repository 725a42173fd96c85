#include "app/catalogue/Finding.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <random>

using namespace testsupport;

namespace {

// A film whose every field but one is empty.
MovieRecord FilmWith(int field, const AnsiString& text) {
    MovieRecord r;
    r.Field(field) = text;
    return r;
}

std::vector<uint32_t> Found(const std::vector<MovieRecord>& films, const AnsiString& text) {
    RecordStore rows;
    for (const MovieRecord& f : films) rows.Append(f);
    return *FindWords(text).Find(rows);
}

// What a film's fields say, folded byte by byte, the picture left out: the
// slow and plain way the search must agree with.
bool PlainMatch(const MovieRecord& film, const AnsiString& text) {
    FindWords words(text);
    for (const AnsiString& w : words.Words()) {
        bool inSome = false;
        for (int f = 0; f < FieldCount; ++f)
            inSome = inSome || (f != FieldPicture && Folded(film.Field(f)).find(w) != AnsiString::npos);
        if (!inSome) return false;
    }
    return true;
}

// Texts of up to `most` bytes, mostly letters that fold, any byte but CR
// and LF among them.
AnsiString RandomText(std::mt19937& rng, size_t most) {
    static const char alphabet[] = "aAeEsSoO \xDF\xE9\xC9\x8C\x9C\xC6\xE6\xDE\xFEtThH";
    AnsiString s(rng() % (most + 1), ' ');
    for (char& c : s) c = rng() % 8 ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng() % 256);
    for (char& c : s)
        if (c == '\r' || c == '\n') c = 'x';
    return s;
}

std::vector<MovieRecord> RandomFilms(std::mt19937& rng) {
    std::vector<MovieRecord> films(400);
    for (MovieRecord& f : films)
        for (int field = 0; field < FieldCount; ++field)
            f.Field(field) = RandomText(rng, field == FieldDescription ? 70 : 6);
    return films;
}

}  // namespace

class TestFinding : public QObject {
    Q_OBJECT

private slots:
    // Every letter of Windows-1252, in both cases, folds to its plain
    // lower-case spelling, and a word typed either way finds the other.
    void fold_data() {
        QTest::addColumn<QByteArray>("letters");  // Windows-1252
        QTest::addColumn<QByteArray>("folded");
        QTest::newRow("A-Z") << QByteArray("ABCXYZabcxyz") << QByteArray("abcxyzabcxyz");
        QTest::newRow("a accents") << QByteArray("\xC0\xC1\xC2\xC3\xC4\xC5\xE0\xE1\xE2\xE3\xE4\xE5\xAA")
                                   << QByteArray("aaaaaaaaaaaaa");
        QTest::newRow("ae") << QByteArray("\xC6\xE6") << QByteArray("aeae");
        QTest::newRow("c cedilla") << QByteArray("\xC7\xE7") << QByteArray("cc");
        QTest::newRow("e accents") << QByteArray("\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB") << QByteArray("eeeeeeee");
        QTest::newRow("i accents") << QByteArray("\xCC\xCD\xCE\xCF\xEC\xED\xEE\xEF") << QByteArray("iiiiiiii");
        QTest::newRow("eth") << QByteArray("\xD0\xF0") << QByteArray("dd");
        QTest::newRow("n tilde") << QByteArray("\xD1\xF1") << QByteArray("nn");
        QTest::newRow("o accents") << QByteArray("\xD2\xD3\xD4\xD5\xD6\xD8\xF2\xF3\xF4\xF5\xF6\xF8\xBA")
                                   << QByteArray("ooooooooooooo");
        QTest::newRow("oe") << QByteArray("\x8C\x9C") << QByteArray("oeoe");
        QTest::newRow("u accents") << QByteArray("\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC") << QByteArray("uuuuuuuu");
        QTest::newRow("y accents") << QByteArray("\xDD\xFD\xFF\x9F") << QByteArray("yyyy");
        QTest::newRow("thorn") << QByteArray("\xDE\xFE") << QByteArray("thth");
        QTest::newRow("sharp s") << QByteArray("\xDF") << QByteArray("ss");
        QTest::newRow("s caron") << QByteArray("\x8A\x9A") << QByteArray("ss");
        QTest::newRow("z caron") << QByteArray("\x8E\x9E") << QByteArray("zz");
        QTest::newRow("f hook") << QByteArray("\x83") << QByteArray("f");
        QTest::newRow("not letters stay")
            << QByteArray("09 -.\x80\xA9\xB5\xD7\xF7") << QByteArray("09 -.\x80\xA9\xB5\xD7\xF7");
    }
    void fold() {
        QFETCH(QByteArray, letters);
        QFETCH(QByteArray, folded);
        QCOMPARE(QByteArray::fromStdString(Folded(letters.toStdString())), folded);
        // Each letter found in a title by its folded spelling, and the other
        // way round; a title of other letters is not.
        for (char c : letters) {
            const AnsiString one(1, c), plain = Folded(one);
            if (plain == one && !std::isalpha(static_cast<unsigned char>(c))) continue;
            QCOMPARE(Found({FilmWith(FieldTitle, "-" + one + "-"), FilmWith(FieldTitle, "-q-")}, plain),
                     std::vector<uint32_t>{0});
            QCOMPARE(Found({FilmWith(FieldTitle, "-" + plain + "-")}, one), std::vector<uint32_t>{0});
        }
    }

    // The examples a user tries first, and how words combine.
    void words_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<int>>("found");  // films of the list below
        // 0 Amélie (Comedy, French), 1 Été (Drama), 2 Straße (Drama, a
        // picture named after the sea), 3 Œdipe (Drama, Greek in its
        // description), 4 Mirror (MID 12, rated 9).
        QTest::newRow("amelie") << QByteArray("amelie") << QList<int>{0};
        QTest::newRow("ETE") << QByteArray("ETE") << QList<int>{1};
        QTest::newRow("strasse") << QByteArray("strasse") << QList<int>{2};
        QTest::newRow("oe") << QByteArray("oe") << QList<int>{3};
        QTest::newRow("inside a ligature") << QByteArray("ras") << QList<int>{2};
        QTest::newRow("one field") << QByteArray("drama") << QList<int>{1, 2, 3};
        QTest::newRow("several words") << QByteArray("drama  ete") << QList<int>{1};
        QTest::newRow("words in different fields") << QByteArray("greek DRAMA") << QList<int>{3};
        QTest::newRow("MID and rating") << QByteArray("12 9") << QList<int>{4};
        QTest::newRow("a word matching nothing") << QByteArray("drama zzz") << QList<int>{};
        QTest::newRow("the picture is not searched") << QByteArray("sea") << QList<int>{};
        QTest::newRow("blanks only: every film") << QByteArray(" \t ") << QList<int>{0, 1, 2, 3, 4};
    }
    void words() {
        QFETCH(QByteArray, text);
        QFETCH(QList<int>, found);
        const std::vector<MovieRecord> films = {
            {"Am\xE9lie", "1", "Comedy", "French", "DVD", "1", "Owned", "Yes", "", "", ""},
            {"\xC9t\xE9", "2", "Drama", "German", "VHS", "1", "Owned", "No", "", "", ""},
            {"Stra\xDF"
             "e",
             "3", "Drama", "German", "DVD", "1", "Owned", "No", "", "t_sea1.jpg", ""},
            {"\x8C"
             "dipe",
             "4", "Drama", "Other", "DVD", "1", "Owned", "No", "", "", "After the Greek play"},
            {"Mirror", "12", "Art", "Other", "DVD", "1", "Owned", "No", "9", "", ""},
        };
        QCOMPARE(Found(films, text.toStdString()), std::vector<uint32_t>(found.begin(), found.end()));
    }

    // A film's bytes lie before the next film's in memory, and the scan
    // reads past their end: what lies there is never taken for the film's
    // own. (The second film's title of 100 bytes and MID of 6 put a 'k',
    // 107, into the bytes right after the first film's.)
    void nothingPastAFilmsEnd() {
        MovieRecord next = FilmWith(FieldTitle, AnsiString(100, 'x'));
        next.MID = "123456";
        QCOMPARE(Found({FilmWith(FieldTitle, "ab"), next}, "k"), std::vector<uint32_t>{});
        QCOMPARE(Found({FilmWith(FieldTitle, "ab"), next}, "6"), std::vector<uint32_t>{1});
    }

    // Random films and words, every byte among them: the fast scan finds
    // exactly the films a plain folded search finds, also among some films
    // only, and a narrower text finds no film the wider one missed.
    void agreesWithPlainSearch() {
        std::mt19937 rng(26);
        const std::vector<MovieRecord> films = RandomFilms(rng);
        RecordStore rows;
        for (const MovieRecord& f : films) rows.Append(f);
        std::vector<uint32_t> odd;
        for (uint32_t i = 1; i < films.size(); i += 2) odd.push_back(i);
        for (int round = 0; round < 300; ++round) {
            const AnsiString typed = RandomText(rng, 5);
            std::vector<uint32_t> expected, expectedOdd;
            for (uint32_t i = 0; i < films.size(); ++i)
                if (PlainMatch(films[i], typed)) (i % 2 ? expectedOdd : expected).push_back(i);
            QCOMPARE(*FindWords(typed).Find(rows, &odd), expectedOdd);
            expected.insert(expected.end(), expectedOdd.begin(), expectedOdd.end());
            std::sort(expected.begin(), expected.end());
            QCOMPARE(*FindWords(typed).Find(rows), expected);
        }
        // A search asked to stop gives nothing.
        std::atomic<bool> stop{true};
        QVERIFY(!FindWords("a").Find(rows, nullptr, &stop));
    }

    // Many films are searched in two halves at once: the same films, in the
    // same order, as one pass would find.
    void agreesWithPlainSearchInHalves() {
        std::mt19937 rng(27);
        const std::vector<MovieRecord> films = RandomFilms(rng);
        RecordStore many;
        for (size_t i = 0; i < 150000; ++i) many.Append(films[i % films.size()]);
        for (int round = 0; round < 5; ++round) {
            const AnsiString typed = RandomText(rng, 3);
            std::vector<bool> match;
            for (const MovieRecord& f : films) match.push_back(PlainMatch(f, typed));
            std::vector<uint32_t> expected;
            for (uint32_t i = 0; i < many.size(); ++i)
                if (match[i % films.size()]) expected.push_back(i);
            QCOMPARE(*FindWords(typed).Find(many), expected);
        }
        std::atomic<bool> stop{true};
        QVERIFY(!FindWords("a").Find(many, nullptr, &stop));
    }

    void narrows_data() {
        QTest::addColumn<QByteArray>("wider");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("narrows");
        QTest::newRow("a letter more") << QByteArray("ame") << QByteArray("amel") << true;
        QTest::newRow("a word more") << QByteArray("ame") << QByteArray("ame drama") << true;
        QTest::newRow("folded alike") << QByteArray("AME") << QByteArray("\xC1mel") << true;
        QTest::newRow("a letter less") << QByteArray("amel") << QByteArray("ame") << false;
        QTest::newRow("another word") << QByteArray("ame") << QByteArray("drama") << false;
    }
    void narrows() {
        QFETCH(QByteArray, wider);
        QFETCH(QByteArray, text);
        QFETCH(bool, narrows);
        QCOMPARE(FindWords(text.toStdString()).Narrows(FindWords(wider.toStdString())), narrows);
    }
};

FLICKSTOW_TEST_MAIN(TestFinding)
#include "test_finding.moc"
