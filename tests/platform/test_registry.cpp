#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QProcess>

using namespace testsupport;

namespace {
const AnsiString kKey = "Software\\varnholt\\Flickstow";

AnsiString Read(const AnsiString& name) {
    registry::TRegistry reg;
    return reg.OpenKey(kKey, false) ? reg.ReadString(name) : AnsiString("<no key>");
}
void Write(const AnsiString& name, const AnsiString& value) {
    registry::TRegistry reg;
    QVERIFY(reg.OpenKey(kKey, true));
    reg.WriteString(name, value);
}
AnsiString Hive() { return registry::HiveFilePath(); }
}  // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }
    void cleanup() { files::test::FailReadsOf(""); }

    // A damaged line, or a damaged key line with the values under it, loses
    // only itself: everything else reads, and nothing lands in another key.
    void damagedLinesLoseOnlyThemselves() {
        QVERIFY(QDir().mkpath(QString::fromStdString(ConfigHome() + "/varnholt")));
        WriteFile(Hive(),
                  "[Software\\varnholt\\Flickstow]\r\n"
                  "\"DefGenre\"=sz:\"3\"\r\n"
                  "\"DefType\"=sz:\"broken\r\n"
                  "garbage \x01\x02\xff\r\n"
                  "\"DefDisks\"=sz:\"2\"\r\n"
                  "[Software\\varnholt\\Flickstow\r\n"
                  "\"DefRating\"=sz:\"lost with its key line\"\r\n"
                  "[Software\\varnholt\\Other]\r\n"
                  "\"DefViewed\"=sz:\"1\"\r\n");
        QCOMPARE(Read("DefGenre"), AnsiString("3"));
        QCOMPARE(Read("DefDisks"), AnsiString("2"));
        QCOMPARE(Read("DefType"), AnsiString());
        QCOMPARE(Read("DefRating"), AnsiString());
        registry::TRegistry other;
        QVERIFY(other.OpenKey("Software\\varnholt\\Other", false));
        QCOMPARE(other.ReadString("DefViewed"), AnsiString("1"));
    }

    // Before a damaged file is first rewritten its bytes are kept beside it,
    // once; the rewritten file holds every value that read, and the new one.
    void damagedFileKeptBeforeRewrite() {
        QVERIFY(QDir().mkpath(QString::fromStdString(ConfigHome() + "/varnholt")));
        const AnsiString damaged = "[Software\\varnholt\\Flickstow]\n\"DefGenre\"=sz:\"3\"\nnot a line\n";
        WriteFile(Hive(), damaged);
        Write("DefDisks", "4");
        registry::Flush();
        QCOMPARE(ReadFile(Hive() + ".damaged"), damaged);
        AnsiString now = ReadFile(Hive());
        QVERIFY(now.find("not a line") == AnsiString::npos);
        QCOMPARE(Read("DefGenre"), AnsiString("3"));
        QCOMPARE(Read("DefDisks"), AnsiString("4"));
        // The file is whole now: the next write keeps nothing more.
        Write("DefDisks", "5");
        registry::Flush();
        QStringList kept = QDir(QString::fromStdString(ConfigHome() + "/varnholt")).entryList({"*.damaged*"});
        QCOMPARE(kept, QStringList{"registry.reg.damaged"});
        // A later damage keeps its own copy, never over the first.
        WriteFile(Hive(), ReadFile(Hive()) + "again\n");
        Write("DefDisks", "6");
        registry::Flush();
        QCOMPARE(ReadFile(Hive() + ".damaged"), damaged);
        QVERIFY(ReadFile(Hive() + ".damaged2").ends_with("again\n"));
    }

    // A file that exists but cannot be read is never replaced: the write
    // fails with the registry's error and the file stays as it was.
    void unreadableFileIsNeverReplaced() {
        QVERIFY(QDir().mkpath(QString::fromStdString(ConfigHome() + "/varnholt")));
        const AnsiString content = "[Software\\varnholt\\Flickstow]\n\"DefGenre\"=sz:\"3\"\n";
        WriteFile(Hive(), content);
        registry::TRegistry opened;
        QVERIFY(opened.OpenKey(kKey, false));
        // Another program's write makes the file new; this one cannot read it.
        WriteFile(Hive(), content + "\n");
        files::test::FailReadsOf(Hive());
        try {
            opened.WriteString("DefDisks", "4");
            QFAIL("no error");
        } catch (const ERegistryException& e) {
            QCOMPARE(e.Message, AnsiString("Failed to set data for 'DefDisks'"));
        }
        registry::TRegistry fresh;
        QVERIFY(!fresh.OpenKey("Software\\varnholt\\Other", true));
        files::test::FailReadsOf("");
        QCOMPARE(ReadFile(Hive()), content + "\n");
        QVERIFY(!files::FileExists(Hive() + ".damaged"));
    }

    // A change is there for the next read at once and reaches the file
    // shortly after, without anybody asking.
    void changesReadAtOnceAndReachTheFileSoon() {
        Write("DefRating", "first");
        registry::Flush();
        for (const char* typed : {"s", "se", "sec", "seco", "secon", "second"}) Write("DefRating", typed);
        QCOMPARE(Read("DefRating"), AnsiString("second"));
        QVERIFY(ReadFile(Hive()).find("second") == AnsiString::npos);
        QTRY_VERIFY(ReadFile(Hive()).find("\"DefRating\"=sz:\"second\"") != AnsiString::npos);
    }

    // Two programs writing the same file at the same time never lose each
    // other's values.
    void twoProgramsKeepEachOthersValues() {
        Write("Mine", "kept");
        QProcess a, b;
        for (auto [p, prefix] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
            p->start(REGISTRY_WRITER, {prefix, "60"});
            QVERIFY(p->waitForStarted());
        }
        for (int i = 0; i < 60; ++i) Write(AnsiString("C").append(ansi::IntToStr(i)), ansi::IntToStr(i));
        registry::Flush();
        for (QProcess* p : {&a, &b}) {
            QVERIFY(p->waitForFinished(60000));
            QCOMPARE(p->exitCode(), 0);
        }
        AnsiString file = ReadFile(Hive());
        for (const char* prefix : {"A", "B", "C"})
            for (int i = 0; i < 60; ++i) {
                AnsiString line = AnsiString("\"").append(prefix).append(ansi::IntToStr(i));
                line.append("\"=sz:\"").append(ansi::IntToStr(i)).append("\"");
                QVERIFY2(file.find(line) != AnsiString::npos, line.c_str());
            }
        QVERIFY(file.find("\"Mine\"=sz:\"kept\"") != AnsiString::npos);
    }

    // Control characters and line breaks in values, and a file with CR LF
    // line ends (edited elsewhere), come back as they were.
    void valuesRoundTrip() {
        const AnsiString odd("a\r\nb\tc\x01\"]=%\xe9", 12);
        Write("Odd", odd);
        registry::Flush();
        WriteFile(Hive(), ReadFile(Hive()));  // a new version on disk: read again
        QCOMPARE(Read("Odd"), odd);
        AnsiString crlf;
        for (char c : ReadFile(Hive())) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        WriteFile(Hive(), crlf);
        QCOMPARE(Read("Odd"), odd);
    }

    // A value name written in another case updates the value it names.
    void namesIgnoreCase() {
        Write("DefRating", "a");
        Write("DEFRATING", "b");
        registry::Flush();
        AnsiString file = ReadFile(Hive());
        QCOMPARE(Read("defrating"), AnsiString("b"));
        QVERIFY(file.find("\"DEFRATING\"=sz:\"b\"") != AnsiString::npos);
        QVERIFY(file.find("\"DefRating\"") == AnsiString::npos);
    }

    // $XDG_CONFIG_HOME counts only when it is an absolute path.
    void relativeConfigHomeIgnored() {
        qputenv("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(registry::HiveFilePath(), AnsiString(qgetenv("HOME").constData()) + "/.config/varnholt/registry.reg");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(ConfigHome()));
        QCOMPARE(registry::HiveFilePath(), ConfigHome() + "/varnholt/registry.reg");
    }
};

FLICKSTOW_TEST_MAIN(TestRegistry)
#include "test_registry.moc"
