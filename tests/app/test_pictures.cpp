// Cover pictures in the entry editor: browsing for a JPEG file, the
// thumbnail the program keeps of it, the preview, replacing and clearing.

#include "app/forms/TImage.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/edits/edits.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/random/Random.h"
#include "tests/app/Windows.h"
#include "tests/support/JpegSamples.h"
#include "tests/support/SampleFilms.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QWindow>
#include <cerrno>
#include <cstring>

using namespace testsupport;
using dialogs::test::FileDialogLog;
using dialogs::test::QueueFileDialogAnswer;

Q_DECLARE_METATYPE(testsupport::JpegKind)

namespace {

const QColor kRed(200, 30, 40), kBlue(20, 60, 190), kGreen(40, 170, 60);
const QRgb kPanelGrey = qRgb(209, 209, 209);
const AnsiString kReplace =
    "Do you want to replace the current picture?\n\nIf you choose YES the current picture will be deleted and you may "
    "browse for a new one.";

// The user's own pictures lie outside the program folder.
AnsiString PictureDir() {
    AnsiString dir = ProgramDir() + "../pictures/";
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

AnsiString UserPicture(const char* name, const AnsiString& bytes) {
    AnsiString path = PictureDir() + name;
    WriteFile(path, bytes);
    return path;
}

AnsiString UserPicture(const char* name, JpegKind kind = JpegKind::Baseline, QSize size = QSize(600, 200),
                       QColor colour = kRed) {
    return UserPicture(name, MakeJpeg(kind, size.width(), size.height(), colour, colour));
}

// The files in the program folder whose names begin with "t_".
QStringList Thumbnails() {
    return QDir(QString::fromStdString(ProgramDir())).entryList({"t_*"}, QDir::Files | QDir::System | QDir::Hidden);
}

// Every file in the program folder.
QStringList Files() {
    return QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

bool Matches(const QString& pattern, const QString& text) {
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch();
}

// Dark pixels (text) in a band of rows across the middle of a thumbnail.
int DarkPixels(const QImage& image, int top, int bottom) {
    int dark = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 20; x < image.width() - 20; ++x) dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}

}  // namespace

class TestPictures : public QObject {
    Q_OBJECT

    Windows w;
    TForm2* f2 = nullptr;

    void Start(const std::vector<MovieRecord>& films = {kSolaris}) {
        w.Create(films);
        f2 = w.form2;
    }
    MovieRecord Row(int i) { return w.Row(i); }
    void New(std::function<void()> steps) { w.NewEntry(std::move(steps)); }
    void Modify(int row, std::function<void()> steps) { w.ModifyEntry(row, std::move(steps)); }
    // "&browse ..." on the "&More Details" page, choosing the file (empty:
    // the user cancels the dialog).
    void Browse(const AnsiString& path) {
        f2->PageControl1->setCurrentIndex(1);
        QueueFileDialogAnswer({path, 1});
        f2->Button1->click();
    }
    QString Picture() { return f2->Edit4->text(); }
    AnsiString ThumbnailPath() { return InProgramDir(f2->Edit4->text().toStdString()); }

private slots:
    void init() {
        FreshSandbox();
        rng::test::SetClock({});
    }
    void cleanup() {
        w.Destroy();
        f2 = nullptr;
        rng::test::SetClock({});
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
    }

    // Browsing shows "Open Picture" with the three JPEG filters; the chosen
    // file becomes a thumbnail in the program folder, named after it, which
    // the stored entry names. A file named like a thumbnail is copied as it
    // is; any other is captured from the preview.
    void browseMakesThumbnail_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<JpegKind>("kind");
        QTest::addColumn<QString>("name");  // a regular expression
        QTest::addColumn<bool>("copied");
        QTest::newRow("Cover.JPEG") << "Cover.JPEG" << JpegKind::Baseline << "t_cover\\d{1,3}\\.jpg" << false;
        QTest::newRow("progressive") << "Photo.jpg" << JpegKind::Progressive << "t_photo\\d{1,3}\\.jpg" << false;
        QTest::newRow("greyscale") << "grey.jpg" << JpegKind::Greyscale << "t_grey\\d{1,3}\\.jpg" << false;
        QTest::newRow("cmyk") << "print.jpeg" << JpegKind::AdobeCmyk << "t_print\\d{1,3}\\.jpg" << false;
        QTest::newRow("exif") << "IMG_0042.JPG" << JpegKind::Exif << "t_img_0042\\d{1,3}\\.jpg" << false;
        QTest::newRow("capital T is captured")
            << "T_cover.jpg" << JpegKind::Baseline << "t_t_cover\\d{1,3}\\.jpg" << false;
        QTest::newRow("a thumbnail is copied")
            << "t_cover417.jpg" << JpegKind::Baseline << "t_t_cover417\\d{1,3}\\.jpg" << true;
    }
    void browseMakesThumbnail() {
        QFETCH(QString, file);
        QFETCH(JpegKind, kind);
        QFETCH(QString, name);
        QFETCH(bool, copied);
        const AnsiString source = UserPicture(file.toUtf8().constData(), kind);
        Start();
        bool ran = false;
        New([&] {
            for (QToolButton* button : {f2->SpeedButton6, f2->Button1, f2->SpeedButton4}) QVERIFY(button->isEnabled());
            TypeText(f2->Edit1, "Mirror");
            Browse(source);
            QCOMPARE(FileDialogLog().size(), size_t(1));
            const auto& shown = FileDialogLog()[0];
            QCOMPARE(shown.title, AnsiString("Open Picture"));
            QCOMPARE(shown.filter, AnsiString("All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|JPEG "
                                              "Image File (*.jpeg)|*.jpeg"));
            QCOMPARE(shown.filterIndex, 1);
            QVERIFY(shown.open);
            QVERIFY2(Matches(name, Picture()), qPrintable(Picture()));
            QCOMPARE(Thumbnails(), QStringList{Picture()});
            const AnsiString bytes = ReadFile(ThumbnailPath());
            if (copied) {
                QCOMPARE(bytes, ReadFile(source));
            } else {
                JpegFacts facts = ReadJpegFacts(bytes);
                QCOMPARE(QSize(facts.width, facts.height), QSize(161, 157));
                QVERIFY(!facts.progressive);
                QCOMPARE(facts.components, 3);
                QVERIFY(facts.tables == TablesAtQuality(80));
                QVERIFY(!f2->Image2->Picture().isNull());
            }
            QVERIFY(Boxes().empty());
            f2->SpeedButton3->click();
            ran = true;
        });
        QVERIFY(ran);
        QCOMPARE(Row(1).Picture, Thumbnails().front().toStdString());
    }

    // The thumbnail is the preview panel as it looks: the picture scaled and
    // placed in it, the panel's grey where the picture leaves it uncovered,
    // with the caption "(no picture)" showing there, and no bevel.
    void thumbnailShowsThePanel_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QRect>("place");  // of the preview image in the panel
        QTest::addColumn<QPoint>("uncovered");
        QTest::addColumn<bool>("captionShows");
        QTest::newRow("wide") << QSize(600, 200) << kRed << QRect(3, 53, 155, 51) << QPoint(80, 20) << false;
        QTest::newRow("tall") << QSize(100, 600) << kBlue << QRect(68, 3, 25, 151) << QPoint(20, 78) << true;
        QTest::newRow("square") << QSize(300, 300) << kGreen << QRect(5, 3, 151, 151) << QPoint(1, 78) << false;
        QTest::newRow("very wide") << QSize(3000, 100) << kRed << QRect(3, 76, 155, 5) << QPoint(80, 20) << true;
        QTest::newRow("large") << QSize(3000, 2000) << kGreen << QRect(3, 27, 155, 103) << QPoint(80, 10) << false;
    }
    void thumbnailShowsThePanel() {
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        QFETCH(QRect, place);
        QFETCH(QPoint, uncovered);
        QFETCH(bool, captionShows);
        const AnsiString source = UserPicture("cover.jpg", JpegKind::Baseline, size, colour);
        Start();
        QImage thumbnail;
        New([&] {
            Browse(source);
            QCOMPARE(f2->Image2->geometry(), place);
            QCOMPARE(f2->Image2->Picture().size(), place.size());
            // The bevel is back once the capture is done.
            QCOMPARE(f2->Panel2->frameShape(), QFrame::Panel);
            QCOMPARE(f2->Panel2->frameShadow(), QFrame::Sunken);
            thumbnail = jpeg::DecodeFile(ThumbnailPath()).image;
            f2->SpeedButton1->click();
        });
        QCOMPARE(thumbnail.size(), QSize(161, 157));
        const QPoint middle = place.center();
        QVERIFY2(ColourDistance(thumbnail.pixel(middle), colour.rgb()) <= 16,
                 qPrintable(QColor(thumbnail.pixel(middle)).name()));
        QVERIFY(ColourDistance(thumbnail.pixel(uncovered), kPanelGrey) <= 10);
        // No bevel: the corners are the panel's grey (give or take the
        // colour the compression spreads from a picture close by), not the
        // bevel's dark or white edge.
        for (QPoint corner : {QPoint(0, 0), QPoint(160, 156), QPoint(0, 156)})
            QVERIFY2(ColourDistance(thumbnail.pixel(corner), kPanelGrey) <= 24,
                     qPrintable(QColor(thumbnail.pixel(corner)).name()));
        // The caption sits in the middle rows; where the picture covers
        // them it hides, elsewhere its dark letters show.
        const int captionTop = 70, captionBottom = 87;
        QImage outside = thumbnail.copy();
        for (int y = place.top(); y <= place.bottom(); ++y)
            for (int x = place.left(); x <= place.right(); ++x) outside.setPixel(x, y, kPanelGrey);
        QCOMPARE(DarkPixels(outside, captionTop, captionBottom) > 10, captionShows);
    }

    // Replacing asks first. Yes removes the picture at once, even when the
    // file dialog is then cancelled; No keeps it and shows no dialog.
    void replaceQuestion_data() {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("chooseAnother");
        QTest::newRow("new entry, yes, dialog cancelled") << false << int(dialogs::IDYES) << false;
        QTest::newRow("new entry, yes, another picture") << false << int(dialogs::IDYES) << true;
        QTest::newRow("new entry, no") << false << int(dialogs::IDNO) << false;
        QTest::newRow("change, yes, dialog cancelled") << true << int(dialogs::IDYES) << false;
        QTest::newRow("change, yes, another picture") << true << int(dialogs::IDYES) << true;
        QTest::newRow("change, no") << true << int(dialogs::IDNO) << false;
    }
    void replaceQuestion() {
        QFETCH(bool, modify);
        QFETCH(int, answer);
        QFETCH(bool, chooseAnother);
        const AnsiString first = UserPicture("first.jpg"), second = UserPicture("second.jpg");
        MovieRecord film = kSolaris;
        if (modify) {
            film.Picture = "t_first1.jpg";
            WriteFile(InProgramDir("t_first1.jpg"), MakeJpeg(JpegKind::Baseline, 161, 157, kRed, kRed));
        }
        Start({film});
        const bool yes = answer == dialogs::IDYES;
        QString before, after;
        auto steps = [&] {
            if (!modify) {
                TypeText(f2->Edit1, "Mirror");
                Browse(first);
            }
            before = Picture();
            QVERIFY(!before.isEmpty());
            const size_t dialogsBefore = FileDialogLog().size();
            dialogs::test::QueueAnswer(answer);
            f2->PageControl1->setCurrentIndex(1);
            if (yes) QueueFileDialogAnswer({chooseAnother ? second : AnsiString(), 1});
            f2->Button1->click();
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(Boxes()[0].text, kReplace);
            QCOMPARE(Boxes()[0].caption, AnsiString("Warning"));
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Question);
            QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::YesNo);
            QCOMPARE(FileDialogLog().size(), dialogsBefore + (yes ? 1 : 0));
            after = Picture();
            // The old thumbnail goes on Yes, before the dialog opens.
            QCOMPARE(files::FileExists(InProgramDir(before.toStdString())), !yes);
            if (modify && yes) QCOMPARE(Row(0).Picture, AnsiString());
            QCOMPARE(f2->Image2->Picture().isNull(), yes && !chooseAnother);
            f2->SpeedButton3->click();
        };
        if (modify) Modify(0, steps);
        else
            New(steps);
        if (!yes) QCOMPARE(after, before);
        else if (chooseAnother)
            QVERIFY(Matches("t_second\\d{1,3}\\.jpg", after));
        else
            QCOMPARE(after, QString());
        QCOMPARE(Thumbnails(), after.isEmpty() ? QStringList() : QStringList{after});
    }

    // A new entry's thumbnail goes with the entry when the entry is dropped.
    void cancelledNewEntryDropsItsThumbnail_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void cancelledNewEntryDropsItsThumbnail() {
        QFETCH(bool, byKey);
        const AnsiString source = UserPicture("cover.jpg");
        Start();
        New([&] {
            Browse(source);
            QCOMPARE(Thumbnails().size(), 1);
            if (byKey) {
                f2->Edit1->setFocus();
                UserKey(Qt::Key_Escape);
            } else {
                f2->SpeedButton1->click();
            }
        });
        QVERIFY(!f2->isVisible());
        QCOMPARE(Thumbnails(), QStringList());
        QCOMPARE(w.form1->Catalogue->rowCount(), 1);
        QVERIFY(files::FileExists(source));
    }

    // Opening an entry shows its stored thumbnail; a missing one leaves the
    // preview empty without a word; one that cannot be read is reported, and
    // the rest of the entry is filled all the same.
    void openingShowsTheThumbnail_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("box");
        QTest::newRow("present") << "present" << QString();
        QTest::newRow("missing") << "missing" << QString();
        // clang-format off
        QTest::newRow("damaged") << "damaged" << "Premature end of JPEG file.";
        QTest::newRow("not a picture") << "text" << "Not a JPEG file: starts with 0x6e 0x6f.";
        // clang-format on
    }
    void openingShowsTheThumbnail() {
        QFETCH(QString, state);
        QFETCH(QString, box);
        const AnsiString thumbnail = MakeJpeg(JpegKind::Baseline, 161, 157, kBlue, kBlue, 80);
        if (state == "present") WriteFile(InProgramDir("t_solaris5.jpg"), thumbnail);
        if (state == "damaged") WriteFile(InProgramDir("t_solaris5.jpg"), thumbnail.substr(0, thumbnail.size() / 2));
        if (state == "text") WriteFile(InProgramDir("t_solaris5.jpg"), "not a picture");
        MovieRecord film = kSolaris;
        film.Picture = "t_solaris5.jpg";
        Start({film});
        if (!box.isEmpty()) dialogs::test::QueueAnswer(dialogs::IDOK);
        bool ran = false;
        Modify(0, [&] {
            QCOMPARE(Picture(), QString("t_solaris5.jpg"));
            QCOMPARE(f2->Memo2->Text(), kSolaris.Description);
            if (state == "present") {
                QCOMPARE(f2->Image2->geometry(), QRect(3, 3, 155, 151));
                QVERIFY(ColourDistance(f2->Image2->Picture().pixel(77, 75), kBlue.rgb()) <= 16);
            } else {
                QVERIFY(f2->Image2->Picture().isNull());
            }
            f2->SpeedButton1->click();
            ran = true;
        });
        QVERIFY(ran);
        if (box.isEmpty()) {
            QVERIFY(Boxes().empty());
        } else {
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(QString::fromStdString(Boxes()[0].text), box);
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        }
        // Nothing was deleted or changed by looking.
        QCOMPARE(Row(0).Picture, AnsiString("t_solaris5.jpg"));
        QCOMPARE(Thumbnails().size(), state == "missing" ? 0 : 1);
    }

    // A file that is no picture (or no whole one) is reported with the
    // library's message; nothing is written and the entry gets no picture.
    void badFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const AnsiString good = MakeJpeg(JpegKind::Baseline, 300, 200, kRed, kBlue);
        AnsiString huge = good;
        const size_t sof = huge.find("\xff\xc0");
        huge[sof + 5] = huge[sof + 7] = '\xff';
        huge[sof + 6] = huge[sof + 8] = '\xdc';
        QTest::newRow("truncated") << QByteArray::fromStdString(good.substr(0, good.size() / 2))
                                   << "Premature end of JPEG file.";
        QTest::newRow("png renamed") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20)
                                     << "Not a JPEG file: starts with 0x89 0x50.";
        QTest::newRow("zero bytes") << QByteArray() << "Empty input file.";
        QTest::newRow("claims 65500 x 65500")
            << QByteArray::fromStdString(huge) << "JPEG image too large (65500 x 65500 pixels)";
    }
    void badFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const AnsiString source = UserPicture("cover.jpg", bytes.toStdString());
        const AnsiString good = UserPicture("good.jpg");
        Start();
        New([&] {
            const QStringList before = Files();
            dialogs::test::QueueAnswer(dialogs::IDOK);
            Browse(source);
            QCOMPARE(Files(), before);
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(QString::fromStdString(Boxes()[0].text), message);
            QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
            QCOMPARE(Picture(), QString());
            QVERIFY(f2->Image2->Picture().isNull());
            QCOMPARE(Thumbnails(), QStringList());
            QVERIFY(f2->isVisible());
            // The next picture is taken as usual.
            Browse(good);
            QVERIFY(Matches("t_good\\d{1,3}\\.jpg", Picture()));
            f2->SpeedButton1->click();
        });
        QCOMPARE(Thumbnails(), QStringList());
    }

    // A thumbnail that cannot be written (the disk is full) is reported
    // with the reason, in a box above the editor, also when the main window
    // had the keyboard meanwhile; the entry names no file.
    void unwritableThumbnail_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("captured") << "cover.jpg";
        QTest::newRow("copied") << "t_cover5.jpg";
    }
    void unwritableThumbnail() {
        QFETCH(QString, file);
        const AnsiString source = UserPicture(file.toUtf8().constData());
        Start();
        QStringList before;
        New([&] {
            before = Files();
            dialogs::test::QueueAnswer(dialogs::IDOK);
            files::test::FailNextWriteAfter(0);
            QApplication::setActiveWindow(w.form1.get());
            bool active = false, above = false;
            dialogs::test::ShowBoxes([&](QWidget* box) {
                active = QTest::qWaitFor([box] { return QApplication::activeWindow() == box; });
                above = box->windowHandle()->transientParent() == f2->windowHandle() &&
                        box->windowFlags().testFlag(Qt::WindowStaysOnTopHint) && box->isModal();
            });
            Browse(source);
            dialogs::test::ShowBoxes({});
            QVERIFY(active);
            QVERIFY(above);
            QCOMPARE(Files(), before);
            QCOMPARE(Boxes().size(), size_t(1));
            QCOMPARE(Boxes()[0].window, static_cast<const QWidget*>(f2));
            QVERIFY2(QString::fromStdString(Boxes()[0].text)
                         .startsWith("Cannot create file " + QString::fromStdString(ProgramDir()) + "t_"),
                     Boxes()[0].text.c_str());
            QVERIFY(QString::fromStdString(Boxes()[0].text)
                        .endsWith(".jpg.\n" + QString::fromLocal8Bit(std::strerror(ENOSPC)) + "."));
            QCOMPARE(Picture(), QString());
            QVERIFY(f2->Image2->Picture().isNull());
            TypeText(f2->Edit1, "Mirror");
            f2->SpeedButton3->click();
        });
        QCOMPARE(Row(1).Picture, AnsiString());
        QCOMPARE(Thumbnails(), QStringList());
    }

    // A file named like a thumbnail is copied as it is, however it is read;
    // thumbnails are small, and one of more than 16 MB is refused and
    // named, with no copy left behind.
    void copiedThumbnailSize_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("16 MB") << 16 * 1024 * 1024;
        QTest::newRow("one byte more") << 16 * 1024 * 1024 + 1;
    }
    void copiedThumbnailSize() {
        QFETCH(int, size);
        AnsiString bytes(static_cast<size_t>(size), '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 / 3);
        const AnsiString source = UserPicture("t_huge5.jpg", bytes);
        const bool refused = size > 16 * 1024 * 1024;
        Start();
        New([&] {
            if (refused) dialogs::test::QueueAnswer(dialogs::IDOK);
            Browse(source);
            if (refused) QCOMPARE(Thumbnails(), QStringList());
            else
                QVERIFY(ReadFile(ThumbnailPath()) == bytes);
            QCOMPARE(Picture().isEmpty(), refused);
        });
        QCOMPARE(Boxes().size(), size_t(refused ? 1 : 0));
        if (refused) QCOMPARE(Boxes()[0].text, source + " is too large for a thumbnail (more than 16 MB)");
    }

    // Two pictures of the same name chosen within one second draw the same
    // number; the second thumbnail gets another name and the first stays.
    void takenNameIsNeverOverwritten() {
        rng::test::SetClock([] { return int64_t(1733650000); });
        const AnsiString source = UserPicture("cover.jpg", JpegKind::Baseline, QSize(600, 200), kRed);
        Start();
        QString first, second;
        AnsiString firstBytes;
        New([&] {
            TypeText(f2->Edit1, "Mirror");
            Browse(source);
            first = Picture();
            firstBytes = ReadFile(ThumbnailPath());
            f2->SpeedButton2->click();  // Save & New
            TypeText(f2->Edit1, "Stalker");
            // Another picture of the same name.
            UserPicture("cover.jpg", JpegKind::Baseline, QSize(200, 600), kBlue);
            Browse(source);
            second = Picture();
            f2->SpeedButton3->click();
        });
        QVERIFY(Matches("t_cover\\d{1,3}\\.jpg", first));
        QVERIFY(Matches("t_cover\\d{1,3}\\.jpg", second));
        QVERIFY(first != second);
        QCOMPARE(ReadFile(InProgramDir(first.toStdString())), firstBytes);
        QCOMPARE(Row(1).Picture, first.toStdString());
        QCOMPARE(Row(2).Picture, second.toStdString());
    }

    // A double click on the preview, and the button's key, browse too.
    void otherWaysToBrowse_data() {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("double click on the preview") << true;
        QTest::newRow("Alt+B") << false;
    }
    void otherWaysToBrowse() {
        QFETCH(bool, doubleClick);
        const AnsiString source = UserPicture("cover.jpg");
        Start();
        New([&] {
            f2->PageControl1->setCurrentIndex(1);
            QueueFileDialogAnswer({source, 1});
            if (doubleClick) {
                QTest::mouseDClick(f2->Image2, Qt::LeftButton);
            } else {
                f2->Memo2->setFocus();
                UserKey(Qt::Key_B, Qt::AltModifier);
            }
            QTRY_COMPARE(FileDialogLog().size(), size_t(1));
            QVERIFY(Matches("t_cover\\d{1,3}\\.jpg", Picture()));
            f2->SpeedButton1->click();
        });
    }
};

FLICKSTOW_TEST_MAIN(TestPictures)
#include "test_pictures.moc"
