#include "components/Vhtml/HtmlDocument.h"
#include "components/Vhtml/TCppWebBrowser.h"
#include "components/Vhtml/Vhtml.h"
#include "tests/support/LiteralScans.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"

#include <QListWidget>
#include <QTimer>
#include <QUrl>
#include <random>

using namespace testsupport;

using Values = std::vector<AnsiString>;
Q_DECLARE_METATYPE(Values)

namespace {

enum class Kind { Links, Images, Var };

struct Markers {
    std::string start, begin, end;
};

bool Extract(Kind kind, std::string_view html, Values& list, const Markers& m = {}) {
    switch (kind) {
    case Kind::Links: return vhtml::GetAllLinks(html, list);
    case Kind::Images: return vhtml::GetAllImages(html, list);
    default: return vhtml::GetAllVar(html, list, m.start, m.begin, m.end);
    }
}

bool Literal(Kind kind, std::string_view html, Values& list, const Markers& m = {}) {
    switch (kind) {
    case Kind::Links: return literal::Links(html, list);
    case Kind::Images: return literal::Images(html, list);
    default: return literal::Var(html, list, m.start, m.begin, m.end);
    }
}

// Pieces the random texts are made of: every marker, its parts, and the
// characters around them.
const char* const kPieces[] = {"<A href=\"", "<IMG ", "src=\"", "\"", "<",  "A", " ",  "href=", "x",    "<A ",
                               "IM",         "G",     "s",      "rc", "[[", "=", "]]", "]",     "\"\"", "ab"};

// The case's own markers come up as often as all the other pieces together.
std::string RandomText(std::mt19937& rng, size_t pieces, const Markers& m) {
    const std::string own[] = {m.start, m.begin, m.end};
    std::string text;
    for (size_t i = 0; i < pieces; ++i)
        text += rng() % 2 ? std::string(kPieces[rng() % std::size(kPieces)]) : own[rng() % std::size(own)];
    // Cut anywhere, so that markers also meet the end of the text.
    if (!text.empty()) text.resize(rng() % (text.size() + 1));
    return text;
}

// A page written as people wrote them: lower-case tags, attributes without
// quotes, an entity, a link whose href is not its first attribute, and a
// script with a source.
const char* const kSloppyPage =
    "<html><head><title>\n  The   Film\tList  </title></head>\n"
    "<body bgcolor=white><h1>Films</h1>\n"
    "<p>See <a href=films.html>the list</a> &amp; <a href=\"new films.html\" target=_blank>new ones</a>.\n"
    "<img src=poster.jpg alt=\"The poster\" width=100><br>\n"
    "<a class=menu href=menu.html>menu</a><img alt=none>\n"
    "<script src=tail.js></script>\n"
    "<p>caf\xC3\xA9 &nbsp;end\n";

const char* const kSloppyBody =
    "<H1>Films</H1>\n"
    "<P>See <A href=\"films.html\">the list</A> &amp; <A href=\"new films.html\" target=_blank>new ones</A>.\n"
    "<IMG src=\"poster.jpg\" alt=\"The poster\" width=100><BR>\n"
    "<A class=menu href=\"menu.html\">menu</A><IMG alt=none>\n"
    "<SCRIPT src=\"tail.js\"></SCRIPT>\n"
    "</P><P>caf\xC3\xA9 &nbsp;end\n</P>";

}  // namespace

class TestVhtml : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshSandbox(); }

    // ---- The extractors over texts

    void extractors_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<Values>("found");
        QTest::addColumn<bool>("result");
        const int links = int(Kind::Links), images = int(Kind::Images);
        const QByteArray pad(12, ' ');

        QTest::newRow("links in order") << links << QByteArray("<A href=\"a.html\">A</A> <A href=\"b.html\">B</A> ")
                                        << Values{"a.html", "b.html"} << false;
        QTest::newRow("lower-case a is no link")
            << links << QByteArray("<a href=\"a.html\">A</a> ") << Values{} << false;
        QTest::newRow("HREF in capitals is no link")
            << links << QByteArray("<A HREF=\"a.html\">A</A> ") << Values{} << false;
        QTest::newRow("single quotes are no link")
            << links << QByteArray("<A href='a.html'>A</A> ") << Values{} << false;
        QTest::newRow("href not first is no link")
            << links << QByteArray("<A class=x href=\"a.html\">A</A> ") << Values{} << false;
        QTest::newRow("marker only adds one empty string")
            << links << QByteArray("<A href=\"\">") << Values{""} << false;
        QTest::newRow("marker needs a character after it") << links << QByteArray("<A href=\"x") << Values{} << false;
        QTest::newRow("unterminated last link")
            << links << QByteArray("<A href=\"a\">A</A><A href=\"b.html") << Values{"a"} << true;
        QTest::newRow("closing quote as the last character is never seen")
            << links << QByteArray("<A href=\"ab\"") << Values{} << true;
        QTest::newRow("a marker inside a target starts it anew")
            << links << QByteArray("<A href=\"x<A href=\"y\">") << Values{"y"} << false;
        QTest::newRow("a target's first character is never a marker")
            << links << QByteArray("<A href=\"<A href=\"y\">") << Values{"<A href="} << false;

        QTest::newRow("images in order") << images << "<IMG src=\"a.png\"><IMG alt=x src=\"b.png\">" + pad
                                         << Values{"a.png", "b.png"} << true;
        QTest::newRow("lower-case img is no image") << images << "<img src=\"a.png\">" + pad << Values{} << false;
        QTest::newRow("image without source takes the next element's")
            << images << "<P><IMG alt=x><SCRIPT src=\"s.js\"></SCRIPT></P>" + pad << Values{"s.js"} << true;
        QTest::newRow("a source before any image tag is none")
            << images << "<SCRIPT src=\"s.js\"></SCRIPT><IMG alt=x>" + pad << Values{} << false;
        QTest::newRow("markers too close to the end")
            << images << QByteArray("x<IMG src=\"a\">   ") << Values{} << false;
        QTest::newRow("markers just far enough from the end")
            << images << QByteArray("x<IMG src=\"a\">    ") << Values{"a"} << true;
        QTest::newRow("unterminated source counts as found") << images << "<IMG src=\"a.png" + pad << Values{} << true;
        QTest::newRow("an image tag inside a source is left out of it")
            << images << "<IMG src=\"a<IMG b\">" + pad << Values{"ab"} << true;
    }
    void extractors() {
        QFETCH(int, kind);
        QFETCH(QByteArray, html);
        QFETCH(Values, found);
        QFETCH(bool, result);
        Values list;
        QCOMPARE(Extract(Kind(kind), html.toStdString(), list), result);
        QCOMPARE(list, found);
    }

    void values_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<Values>("found");
        QTest::addColumn<bool>("result");
        // clang-format off
        QTest::newRow("values in order") << QByteArray("x[[a=1]] [[b=22]]   ") << "[[" << "=" << "]]"
                                         << Values{"1", "22"} << true;
        QTest::newRow("begin marker before any start is none") << QByteArray("=1]] [[b   ") << "[[" << "=" << "]]"
                                                                << Values{} << false;
        QTest::newRow("a start marker abandons the value")
            << QByteArray("[[a=1 [[b=2]]   ") << "[[" << "=" << "]]" << Values{"2"} << true;
        QTest::newRow("after the end marker a new start is needed")
            << QByteArray("[[a=1]] =2]]   ") << "[[" << "=" << "]]" << Values{"1"} << true;
        QTest::newRow("unterminated value counts as found")
            << QByteArray("[[a=123456") << "[[" << "=" << "]]" << Values{} << true;
        QTest::newRow("empty end marker gives empty values")
            << QByteArray("[[a=1  [[b=2   ") << "[[" << "=" << "" << Values{"", ""} << true;
        QTest::newRow("empty begin marker") << QByteArray("[[abc]]   ") << "[[" << "" << "]]" << Values{""} << true;
        // An end marker that holds the start marker ends the value and is
        // passed whole: its ">" starts nothing.
        QTest::newRow("table cells: the end holds the start")
            << QByteArray("<tr><td>x=a</td><td>y=bb</td></tr>   ") << ">" << "=" << "</td>" << Values{"a", "bb"}
            << true;
        QTest::newRow("the start within the end starts nothing")
            << QByteArray("<b>x=1</td>=2</td>   ") << ">" << "=" << "</td>" << Values{"1"} << true;
        // clang-format on
    }
    void values() {
        QFETCH(QByteArray, html);
        QFETCH(QString, start);
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(Values, found);
        QFETCH(bool, result);
        Values list;
        QCOMPARE(
            vhtml::GetAllVar(html.toStdString(), list, start.toStdString(), begin.toStdString(), end.toStdString()),
            result);
        QCOMPARE(list, found);
    }

    // A start marker that is empty would be found at every position without
    // the scan ever moving on.
    void emptyStartMarkerRefused() {
        Values list;
        QString message;
        try {
            vhtml::GetAllVar("[[a=1]]   ", list, "", "=", "]]");
        } catch (const EHtmlError& e) {
            message = QString::fromStdString(e.Message);
        }
        QCOMPARE(message, QString("The start marker of GetAllVar is empty"));
        QVERIFY(list.empty());
    }

    // With the image markers, values are image sources, whenever each source
    // is closed by a double quote.
    void varWithImageMarkersIsImages_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::newRow("page") << QByteArray(
            "<P>Poster <IMG src=\"a.jpg\" width=10> and <IMG alt=\"x\" src=\"b c.png\"></P>\n"
            "<IMG alt=none><SCRIPT src=\"s.js\"></SCRIPT> <IMG src=\"\"> text src=\"loose\" "
            "<TABLE><TR><TD><IMG src=\"t.gif\"></TD></TR></TABLE>\n");
        QTest::newRow("no images") << QByteArray("<P>src=\"a\" <A href=\"b\">b</A></P>   ");
        QTest::newRow("image tag without space") << QByteArray("<IMGsrc=\"a\"> <IMG  src=\"b\">          ");
    }
    void varWithImageMarkersIsImages() {
        QFETCH(QByteArray, html);
        Values images, values;
        bool imagesFound = vhtml::GetAllImages(html.toStdString(), images);
        QCOMPARE(vhtml::GetAllVar(html.toStdString(), values, "<IMG ", "src=\"", "\""), imagesFound);
        QCOMPARE(values, images);
    }

    // The one-pass scans find what the position-by-position description
    // finds, on texts crowded with markers, their parts, and ends at every
    // place.
    void scansMatchTheirDescription_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        // clang-format off
        QTest::newRow("links") << int(Kind::Links) << "" << "" << "";
        QTest::newRow("images") << int(Kind::Images) << "" << "" << "";
        QTest::newRow("values, image markers") << int(Kind::Var) << "<IMG " << "src=\"" << "\"";
        QTest::newRow("values, own markers") << int(Kind::Var) << "[[" << "=" << "]]";
        QTest::newRow("values, overlapping markers") << int(Kind::Var) << "<A " << "A" << "\"\"";
        QTest::newRow("values, begin is the end") << int(Kind::Var) << "[[" << "]" << "]";
        QTest::newRow("values, empty begin and end") << int(Kind::Var) << "=" << "" << "";
        QTest::newRow("values, long start") << int(Kind::Var) << "<A href=\"" << "x" << "\"";
        // Markers that start inside the start marker, before its rarest byte.
        QTest::newRow("values, markers within the start") << int(Kind::Var) << "x=\"" << "=" << "\"";
        // An end marker of several bytes that holds the start marker.
        QTest::newRow("values, end holds the start") << int(Kind::Var) << ">" << "" << "</td>";
        QTest::newRow("values, end holds the start, with a begin") << int(Kind::Var) << ">" << "=" << "</td>";
        QTest::newRow("values, end begins with the start") << int(Kind::Var) << "<" << "t" << "<td>";
        // clang-format on
    }
    void scansMatchTheirDescription() {
        QFETCH(int, kind);
        QFETCH(QString, start);
        QFETCH(QString, begin);
        QFETCH(QString, end);
        const Markers m{start.toStdString(), begin.toStdString(), end.toStdString()};
        std::mt19937 rng(1403);
        for (int round = 0; round < 20000; ++round) {
            std::string text = RandomText(rng, rng() % 24, m);
            Values ours{"kept"}, described{"kept"};
            bool ourResult = Extract(Kind(kind), text, ours, m);
            bool describedResult = Literal(Kind(kind), text, described, m);
            if (ours != described || ourResult != describedResult) {
                QString values;
                for (const AnsiString& v : ours) values += "[" + QString::fromStdString(v) + "]";
                values += " against ";
                for (const AnsiString& v : described) values += "[" + QString::fromStdString(v) + "]";
                QFAIL(qPrintable(QString("text '%1': %2, result %3 against %4")
                                     .arg(QString::fromStdString(text), values)
                                     .arg(ourResult)
                                     .arg(describedResult)));
            }
        }
    }

    // None of the extractors clears its list: a second run doubles it, and a
    // list box keeps the items it had.
    void listsAreAppendedTo() {
        const std::string html = "<A href=\"a\">a</A> <A href=\"b\">b</A> ";
        Values list{"first"};
        vhtml::GetAllLinks(html, list);
        vhtml::GetAllLinks(html, list);
        QCOMPARE(list, (Values{"first", "a", "b", "a", "b"}));

        QListWidget box;
        box.addItem("first");
        QVERIFY(vhtml::GetAllImages("<IMG src=\"caf\xE9.png\">          ", &box));
        QVERIFY(!vhtml::GetAllVar("[[x", &box, "[[", "=", "]]"));
        QVERIFY(vhtml::GetAllVar("[[a=1]]   ", &box, "[[", "=", "]]"));
        QCOMPARE(box.count(), 3);
        QCOMPARE(box.item(0)->text(), QString("first"));
        QCOMPARE(box.item(1)->text(), QString::fromUtf8("café.png"));
        QCOMPARE(box.item(2)->text(), QString("1"));

        QVERIFY_THROWS_EXCEPTION(EHtmlError, vhtml::GetAllLinks(html, static_cast<QListWidget*>(nullptr)));
    }

    // A long scan lets the application handle its events meanwhile; what
    // runs then sees the list as far as it is filled.
    void longScanKeepsTheProgramResponsive() {
        std::string html;
        const std::string link = "<P>text <A href=\"https://www.example.com/films/0123456789.html\">film</A></P>\n";
        while (html.size() < size_t{64} * 1024 * 1024) html += link;
        const size_t total = html.size() / link.size();
        QListWidget box;
        std::vector<int> seen;
        QTimer timer;
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, [&] { seen.push_back(box.count()); });
        timer.start();
        QVERIFY(!vhtml::GetAllLinks(html, &box));
        timer.stop();
        QCOMPARE(size_t(box.count()), total);
        QVERIFY2(!seen.empty(), "no event was handled during the scan");
        QVERIFY(std::any_of(seen.begin(), seen.end(), [&](int n) { return n > 0 && size_t(n) < total; }));

        // A handler that destroys the list box stops the scan with an error.
        auto* doomed = new QListWidget;
        QTimer::singleShot(0, doomed, [doomed] { delete doomed; });
        QVERIFY_THROWS_EXCEPTION(EHtmlError, vhtml::GetAllLinks(html, doomed));
    }

    // ---- The body as the old browser wrote it

    void bodySerialisation_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("body");
        QTest::newRow("sloppy page") << QString::fromUtf8(kSloppyPage) << QString::fromUtf8(kSloppyBody);
        QTest::newRow("attribute values") << "<input type=text value=\"a &quot;b&quot; & c\" disabled data-x=''>"
                                          << "<INPUT type=text value=\"a &quot;b&quot; &amp; c\" disabled data-x=\"\">";
        // clang-format off
        QTest::newRow("addresses always quoted")
            << "<a href=x>x</a><img src=y><a href>z</a>" << "<A href=\"x\">x</A><IMG src=\"y\"><A href=\"\">z</A>";
        QTest::newRow("upper-case source") << "<A HREF=\"x\" Class=Y>x</A>" << "<A href=\"x\" class=Y>x</A>";
        QTest::newRow("text escapes") << QString::fromUtf8("a < b > c &lt;d&gt; \u00a0e")
                                      << "a &lt; b &gt; c &lt;d&gt; &nbsp;e";
        QTest::newRow("script and style as they stand")
            << "<p>x<script>if (a < b && c) x = \"<A href=\\\"\";</script><style>p > a {}</style>"
            << "<P>x<SCRIPT>if (a < b && c) x = \"<A href=\\\"\";</SCRIPT><STYLE>p > a {}</STYLE></P>";
        QTest::newRow("comments and unknown tags") << "x<!-- note --><film-card id=1>x</film-card>"
                                                   << "x<!-- note --><FILM-CARD id=1>x</FILM-CARD>";
        QTest::newRow("implied elements") << "<table><tr><td>1<td>2</table>"
                                          << "<TABLE><TBODY><TR><TD>1</TD><TD>2</TD></TR></TBODY></TABLE>";
        QTest::newRow("leading line break of pre kept") << "<pre>\n\nx</pre>" << "<PRE>\n\nx</PRE>";
        QTest::newRow("frameset") << "<frameset><frame src=a.html></frameset>" << "<FRAME src=\"a.html\">";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void bodySerialisation() {
        QFETCH(QString, page);
        QFETCH(QString, body);
        QCOMPARE(vhtml::BodyInnerHtml(page), body);
    }

    void titles_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("title");
        // clang-format off
        QTest::newRow("blanks made one") << "<title>\n  The   Film\tList  </title>" << "The Film List";
        QTest::newRow("entities") << "<title>Tom &amp; Jerry</title>" << "Tom & Jerry";
        QTest::newRow("first of two") << "<title>One</title><body><title>Two</title>" << "One";
        QTest::newRow("none") << "<p>no title" << "";
        // clang-format on
    }
    void titles() {
        QFETCH(QString, page);
        QFETCH(QString, title);
        QCOMPARE(vhtml::DocumentTitle(page), title);
    }

    // ---- TVHTML with a view

    void readsThePageTheViewShows() {
        TCppWebBrowser view;
        TVHTML html;
        html.WebBrowser = &view;
        view.ShowHtml(QString::fromUtf8(kSloppyPage));
        QCOMPARE(html.GetTitel(), AnsiString("The Film List"));
        QCOMPARE(html.GetBodyHtml(), ansi::FromQString(QString::fromUtf8(kSloppyBody)));
        const AnsiString text = html.GetBodyText();
        QVERIFY2(text.find("Films\r\nSee the list & new ones.") != AnsiString::npos, text.c_str());
        QVERIFY2(text.find("caf\xE9  end") != AnsiString::npos, text.c_str());
        QVERIFY(text.find('<') == AnsiString::npos);
        // The lower-case, unquoted page yields its links and images through
        // the serialisation; the link whose href is not first is missed, the
        // image without a source takes the script's.
        Values links, images;
        QVERIFY(!html.GetAllLinks(links));
        QCOMPARE(links, (Values{"films.html", "new films.html"}));
        QVERIFY(html.GetAllImages(images));
        QCOMPARE(images, (Values{"poster.jpg", "tail.js"}));
        QListWidget box;
        QVERIFY(html.GetAllVar(&box, "<A ", "href=\"", "\""));
        QCOMPARE(box.count(), 3);
        QCOMPARE(box.item(2)->text(), QString("menu.html"));
        html.GetActiveImage(1, 2);
        QCOMPARE(html.GetBodyHtml(), ansi::FromQString(QString::fromUtf8(kSloppyBody)));
    }

    void browsesLocalPages() {
        const AnsiString dir = ProgramDir();
        WriteFile(dir + "one.html", "<title>One</title><p><a href=\"two.html\">two</a>");
        WriteFile(dir + "two.html", "<title>Tw\xE4</title><p><img src=\"two.png\">");
        WriteFile(dir + "three.html", "<meta charset=\"utf-8\"><title>Thr\xC3\xA9\xC3\xA9</title><p>3");
        WriteFile(dir + "notes.md", "# Notes\n\nplain *markdown*\n");
        TCppWebBrowser view;
        TVHTML html;
        html.WebBrowser = &view;
        html.BrowseTo("file://" + dir + "one.html");
        QCOMPARE(html.GetTitel(), AnsiString("One"));
        // Relative addresses go from the page shown; a page's bytes that are
        // not UTF-8 are the program's code page.
        html.BrowseTo("two.html");
        QCOMPARE(html.GetTitel(), AnsiString("Tw\xE4"));
        Values images;
        QVERIFY(html.GetAllImages(images));
        QCOMPARE(images, Values{"two.png"});
        QCOMPARE(html.GetBodyHtml(), AnsiString("<P><IMG src=\"two.png\"></P>"));
        html.BrowseTo(dir + "three.html");
        QCOMPARE(html.GetTitel(), AnsiString("Thr\xE9\xE9"));
        // A move to an anchor keeps the page.
        html.BrowseTo("#top");
        QCOMPARE(html.GetTitel(), AnsiString("Thr\xE9\xE9"));
    }

    // A reading operation or a move with nothing to read raises our error
    // with a clear message.
    void nothingToRead_data() {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("message");
        // clang-format off
        QTest::newRow("no view") << "none" << "No HTML view is attached";
        QTest::newRow("empty view") << "empty" << "The view shows no HTML document";
        QTest::newRow("plain text") << "plain" << "The view shows no HTML document";
        QTest::newRow("markdown page") << "markdown" << "The view shows no HTML document";
        QTest::newRow("missing page") << "missing" << "The view shows no HTML document";
        // clang-format on
    }
    void nothingToRead() {
        QFETCH(QString, view);
        QFETCH(QString, message);
        WriteFile(ProgramDir() + "notes.md", "# Notes\n\nplain *markdown*\n");
        TCppWebBrowser browser;
        TVHTML html;
        if (view != "none") html.WebBrowser = &browser;
        browser.ShowHtml("<title>Before</title><a href=\"x\">x</a>");
        if (view == "plain") browser.setPlainText("<A href=\"x\">x</A>");
        else if (view == "empty")
            browser.clear();
        else if (view == "markdown")
            html.BrowseTo(ProgramDir() + "notes.md");
        else if (view == "missing")
            html.BrowseTo(ProgramDir() + "missing.html");
        const std::vector<std::function<void()>> operations{
            [&] { html.GetTitel(); },
            [&] { html.GetBodyText(); },
            [&] { html.GetBodyHtml(); },
            [&] {
                Values list;
                html.GetAllLinks(list);
            },
            [&] {
                QListWidget box;
                html.GetAllImages(&box);
            },
            [&] {
                Values list;
                html.GetAllVar(list, "<A ", "href=\"", "\"");
            },
        };
        for (const auto& operation : operations) {
            try {
                operation();
                QFAIL("a reading operation raised nothing");
            } catch (const EHtmlError& e) {
                QCOMPARE(QString::fromStdString(e.Message), message);
            }
        }
        if (view == "none") QVERIFY_THROWS_EXCEPTION(EHtmlError, html.BrowseTo("x.html"));
    }

    void callExternUrl() {
        UrlSink sink;
        TVHTML html;
        html.CallExternUrl("");
        html.CallExternUrl("https://www.example.com/a%20b?x=1&y=2");
        QCOMPARE(sink.opened, (QList<QUrl>{QUrl("https://www.example.com/a%20b?x=1&y=2")}));
    }
};

FLICKSTOW_TEST_MAIN(TestVhtml)
#include "test_Vhtml.moc"
