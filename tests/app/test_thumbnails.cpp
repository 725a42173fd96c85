#include "app/entryeditor/Thumbnails.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "tests/support/TestSupport.h"

#include <barrier>
#include <future>
#include <set>
#include <utility>

using namespace testsupport;

class TestThumbnails : public QObject {
    Q_OBJECT

private slots:
    // A thumbnail is named after the picture file it was made from.
    void names_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("jpeg, upper case") << QByteArray("Cover.JPEG") << 417 << QByteArray("t_cover417.jpg");
        QTest::newRow("jpg") << QByteArray("cover.jpg") << 0 << QByteArray("t_cover0.jpg");
        QTest::newRow("mixed case ending") << QByteArray("Solaris.JpG") << 999 << QByteArray("t_solaris999.jpg");
        QTest::newRow("a thumbnail's thumbnail")
            << QByteArray("t_cover417.jpg") << 123 << QByteArray("t_t_cover417123.jpg");
        QTest::newRow("capital T") << QByteArray("T_cover.jpg") << 5 << QByteArray("t_t_cover5.jpg");
        QTest::newRow("only the last ending") << QByteArray("a.jpeg.jpg") << 7 << QByteArray("t_a.jpeg7.jpg");
        QTest::newRow("jpg then jpeg") << QByteArray("a.jpg.jpeg") << 7 << QByteArray("t_a.jpg7.jpg");
        QTest::newRow("nothing before the ending") << QByteArray(".jpg") << 3 << QByteArray("t_3.jpg");
        QTest::newRow("other ending kept, no number") << QByteArray("Cover.PNG") << 417 << QByteArray("t_cover.png");
        QTest::newRow("no ending") << QByteArray("COVER") << 417 << QByteArray("t_cover");
        QTest::newRow("jpg inside the name") << QByteArray("cover.jpgx") << 1 << QByteArray("t_cover.jpgx");
        // Every capital of the code page is lowered; the multiplication sign
        // and the sharp s are no capitals.
        QTest::newRow("code-page capitals") << QByteArray("\xC4RGER \xC0\xD6\xD7\xD8\xDE\xDF.JPG") << 8
                                            << QByteArray(
                                                   "t_\xE4rger \xE0\xF6\xD7\xF8\xFE\xDF"
                                                   "8.jpg");
        QTest::newRow("capitals outside the Latin-1 block") << QByteArray("\x8A\x8C\x8E\x9F\x9A.jpg") << 1
                                                            << QByteArray(
                                                                   "t_\x9A\x9C\x9E\xFF\x9A"
                                                                   "1.jpg");
        QTest::newRow("blanks kept") << QByteArray("My Cover.jpg") << 8 << QByteArray("t_my cover8.jpg");
        // A picture field reads '\' and ':' as separators, and a catalogue
        // line cannot hold a line break.
        QTest::newRow("separators") << QByteArray("a\\b:c.jpg") << 1 << QByteArray("t_a_b_c1.jpg");
        QTest::newRow("line break") << QByteArray("two\r\nlines\t.jpg") << 1 << QByteArray("t_two__lines_1.jpg");
    }
    void names() {
        QFETCH(QByteArray, source);
        QFETCH(int, number);
        QFETCH(QByteArray, name);
        QCOMPARE(QByteArray::fromStdString(ThumbnailName(source.toStdString(), number)), name);
        // Every name made is one the program takes for its own thumbnail,
        // and a picture field holding it names that very file.
        QVERIFY(IsThumbnailName(name.toStdString()));
        QCOMPARE(QByteArray::fromStdString(PictureFileName(name.toStdString())), name);
    }

    // A name already in the folder is never taken again: another number is
    // drawn among the free ones, and more digits follow once all from 0 to
    // 999 are taken.
    void freeNames_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QStringList>("taken");  // "*": all numbered names below 1000
        QTest::addColumn<QString>("expected");   // a regular expression
        QTest::addColumn<int>("offered");        // how many free numbers the draw chose among
        QTest::newRow("free: the drawn number") << QByteArray("Cover.JPEG") << QStringList() << "t_cover417\\.jpg" << 0;
        QTest::newRow("taken: another number")
            << QByteArray("Cover.JPEG") << QStringList{"t_cover417.jpg"} << "t_cover(?!417)\\d{1,3}\\.jpg" << 999;
        QTest::newRow("only one left") << QByteArray("cover.jpg") << QStringList{"*", "-t_cover12.jpg"}
                                       << "t_cover12\\.jpg" << 1;
        QTest::newRow("all 1000 taken: four digits")
            << QByteArray("cover.jpg") << QStringList{"*"} << "t_cover\\d{4}\\.jpg" << 9000;
        QTest::newRow("kept ending, free") << QByteArray("cover.png") << QStringList() << "t_cover\\.png" << 0;
        QTest::newRow("kept ending, taken: a number before it")
            << QByteArray("cover.png") << QStringList{"t_cover.png"} << "t_cover\\d{1,3}\\.png" << 1000;
        QTest::newRow("no ending, taken") << QByteArray("cover") << QStringList{"t_cover"} << "t_cover\\d{1,3}" << 1000;
    }
    void freeNames() {
        QFETCH(QByteArray, source);
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        QFETCH(int, offered);
        std::set<AnsiString> names;
        bool allBelow1000 = taken.contains("*");
        for (const QString& t : taken)
            if (t != "*" && !t.startsWith('-')) names.insert(t.toStdString());
        auto isTaken = [&](const AnsiString& name) {
            if (names.count(name)) return true;
            if (taken.contains("-" + QString::fromStdString(name))) return false;
            if (!allBelow1000) return false;
            // A numbered name with at most three digits.
            static const QRegularExpression below1000("^t_cover\\d{1,3}\\.jpg$");
            return below1000.match(QString::fromStdString(name)).hasMatch();
        };
        int drawnAmong = 0;
        auto draw = [&](int n) {
            drawnAmong = n;
            return n / 2;
        };
        AnsiString name = FreeThumbnailName(source.toStdString(), 417, isTaken, draw);
        QVERIFY2(QRegularExpression("^" + expected + "$").match(QString::fromStdString(name)).hasMatch(), name.c_str());
        QVERIFY(!isTaken(name));
        QCOMPARE(drawnAmong, offered);
    }

    void noFreeNameIsAnError() {
        QVERIFY_THROWS_EXCEPTION(EFCreateError,
                                 FreeThumbnailName(
                                     "cover.jpg", 1, [](const AnsiString&) { return true; }, [](int) { return 0; }));
    }

    // Two programs that draw the same free name at the same moment never
    // write one file: the one that comes second draws again.
    void sameNameDrawnTwiceAtOnce() {
        const AnsiString dir = ProgramDir();
        std::barrier bothChose(2);
        auto make = [&](AnsiString bytes) {
            bool first = true;
            auto choose = [&] {
                AnsiString name = FreeThumbnailName(
                    "cover.jpg", 417, [&](const AnsiString& n) { return files::Occupied(files::JoinPath(dir, n)); },
                    [](int) { return 0; });
                if (std::exchange(first, false)) bothChose.arrive_and_wait();
                return name;
            };
            return files::CreateNewFileIn(dir, choose, bytes);
        };
        auto a = std::async(std::launch::async, make, AnsiString("picture A"));
        auto b = std::async(std::launch::async, make, AnsiString("picture B"));
        const std::set<AnsiString> names{a.get(), b.get()};
        QCOMPARE(names, (std::set<AnsiString>{"t_cover0.jpg", "t_cover417.jpg"}));
        std::set<AnsiString> contents;
        for (const AnsiString& name : names) contents.insert(ReadFile(files::JoinPath(dir, name)));
        QCOMPARE(contents, (std::set<AnsiString>{"picture A", "picture B"}));
    }

    // The preview fits a picture into the panel less a 3-pixel margin, with
    // whole-number arithmetic, multiplying first.
    void previewPlacement_data() {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QRect>("place");
        const QSize panel(161, 157);
        QTest::newRow("wide: full width, centred vertically") << QSize(600, 200) << QRect(3, 53, 155, 51);
        QTest::newRow("very wide") << QSize(6000, 100) << QRect(3, 77, 155, 2);
        QTest::newRow("too wide for a pixel") << QSize(1000, 1) << QRect(3, 78, 155, 0);
        QTest::newRow("tall: full height, centred horizontally") << QSize(200, 600) << QRect(55, 3, 50, 151);
        QTest::newRow("very tall") << QSize(100, 6000) << QRect(79, 3, 2, 151);
        QTest::newRow("square counts as tall") << QSize(500, 500) << QRect(5, 3, 151, 151);
        QTest::newRow("small square is enlarged") << QSize(10, 10) << QRect(5, 3, 151, 151);
        QTest::newRow("nearly square wide one is higher than 151") << QSize(1000, 990) << QRect(3, 2, 155, 153);
        QTest::newRow("the panel itself") << panel << QRect(3, 3, 155, 151);
        QTest::newRow("6000 x 4000") << QSize(6000, 4000) << QRect(3, 27, 155, 103);
        QTest::newRow("0 x 0: nothing") << QSize(0, 0) << QRect();
        QTest::newRow("0 wide: nothing") << QSize(0, 50) << QRect();
        QTest::newRow("0 high: nothing") << QSize(50, 0) << QRect();
    }
    void previewPlacement() {
        QFETCH(QSize, natural);
        QFETCH(QRect, place);
        QCOMPARE(PreviewRect(natural, QSize(161, 157)), place);
    }
};

FLICKSTOW_TEST_MAIN(TestThumbnails)
#include "test_thumbnails.moc"
