#include "tests/support/TestSupport.h"

#include "platform/dialogs/Application.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/PrinterSetupDialog.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/module/module.h"
#include "platform/printer/printer.h"
#include "platform/registry/registry.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace testsupport {
namespace {
std::unique_ptr<QTemporaryDir> g_root;
AnsiString g_programDir, g_configHome;
}  // namespace

void FreshSandbox() {
    // Settings the last test changed go to its own sandbox, not the next.
    try {
        registry::Flush();
    } catch (const Exception&) {
    }
    g_root = std::make_unique<QTemporaryDir>();
    QDir(g_root->path()).mkpath("program");
    QDir(g_root->path()).mkpath("config");
    QDir(g_root->path()).mkpath("home");
    g_programDir = QFile::encodeName(g_root->path() + "/program/").toStdString();
    g_configHome = QFile::encodeName(g_root->path() + "/config").toStdString();
    setenv("XDG_CONFIG_HOME", g_configHome.c_str(), 1);
    setenv("HOME", QFile::encodeName(g_root->path() + "/home").constData(), 1);
    module::test::SetExecutablePath(g_programDir + "flickstow");
    dialogs::test::Reset();
    dialogs::test::ResetFileDialogs();
    dialogs::test::ResetPrinterSetup();
    // Each test starts with the system printer, as the program does.
    printer::SetPrinter(nullptr);
}

void ConfigureSane(const QStringList& testConf, const QString& backends) {
    static QTemporaryDir folder;
    static const QStringList defaults{"number_of_devices 2",
                                      "mode Gray",
                                      "depth 8",
                                      "three-pass false",
                                      "hand-scanner false",
                                      "test-picture \"Solid black\"",
                                      "read-delay false",
                                      "read-delay-duration 1000",
                                      "read-status-code \"Default\"",
                                      "geometry_max 200.0",
                                      "br_x 80.0",
                                      "br_y 100.0"};
    AnsiString dir = folder.path().toStdString();
    WriteFile(files::JoinPath(dir, "dll.conf"), backends.toStdString() + "\n");
    WriteFile(files::JoinPath(dir, "test.conf"), (defaults + testConf).join('\n').toStdString() + "\n");
    setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
}

AnsiString ProgramDir() { return g_programDir; }
AnsiString ConfigHome() { return g_configHome; }
AnsiString InProgramDir(std::string_view name) { return g_programDir + AnsiString(name); }

void WriteFile(const AnsiString& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    QVERIFY2(out.good(), path.c_str());
}

AnsiString ReadFile(const AnsiString& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<AnsiString, AnsiString> ProgramFolderFiles() {
    std::map<AnsiString, AnsiString> files;
    for (const QString& name : QDir(QString::fromStdString(g_programDir)).entryList(QDir::Files | QDir::Hidden))
        files[name.toStdString()] = ReadFile(InProgramDir(name.toStdString()));
    return files;
}

void ChangeAsAnotherProgram(const AnsiString& path, const QString& change, std::string_view bytes) {
    if (change == "bytes") WriteFile(path, bytes);
    if (change == "remove") QVERIFY(std::remove(path.c_str()) == 0);
    // A time of its own: writes within one tick of the clock get the same.
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
    if (change == "time") QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void AddChangedOnDiskRows() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("answer");
    QTest::newRow("changed, Yes: replaced, the other kept as backup") << "bytes" << int(dialogs::IDYES);
    QTest::newRow("changed, No: the other kept, this one aside") << "bytes" << int(dialogs::IDNO);
    QTest::newRow("changed, Cancel: back, nothing written") << "bytes" << int(dialogs::IDCANCEL);
    QTest::newRow("vanished: written, no question") << "remove" << 0;
    QTest::newRow("only the time changed: no question") << "time" << 0;
}

AnsiString ChangedQuestion(const AnsiString& path, const char* content, const char* backup, const AnsiString& side) {
    return path + " was changed by another program after Flickstow read it.\n\nYes: replace it with the " + content +
           " in this window (the other version is kept as " + backup + ").\nNo: keep the other version, and save the " +
           content + " in this window as " + side + ".\nCancel: go back to the list without saving.";
}

AnsiString OfferedSideFile(const AnsiString& question) {
    static const QRegularExpression side(" as ([a-z]+-\\d{8}-\\d{6}\\.vrx)\\.\n");
    return side.match(QString::fromStdString(question)).captured(1).toStdString();
}

void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        // QTest maps printable ASCII onto its key codes; other characters go
        // as text of an unknown key, as an input method would send them.
        Qt::Key key = c.unicode() >= 0x20 && c.unicode() < 0x7F ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

int PdfPageCount(const AnsiString& path) {
    const QString pdf = QString::fromLatin1(QByteArray::fromStdString(ReadFile(path)));
    static const QRegularExpression tree("/Type\\s*/Pages\\b[^>]*?/Count\\s+(\\d+)");
    static const QRegularExpression page("/Type\\s*/Page(?![a-zA-Z])");
    const QRegularExpressionMatch m = tree.match(pdf);
    if (!m.hasMatch()) return -1;
    // The tree's count and the page objects agree in a whole file.
    const int count = m.captured(1).toInt();
    return count == int(pdf.count(page)) ? count : -1;
}

void NoCupsServer() {
    setenv("CUPS_SERVER", (QDir::tempPath() + "/flickstow-no-cups-server.sock").toLocal8Bit().constData(), 1);
}
void Activate(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window)) QTest::qFail("the window never became active", __FILE__, __LINE__);
}

QWidget* FocusedNow() {
    QWidget* w = QApplication::focusWidget();
    if (!w) QTest::qFail("no control has the keyboard focus", __FILE__, __LINE__);
    return w;
}

void UserKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    if (QWidget* w = FocusedNow()) QTest::keyClick(w, key, modifiers);
}

void ReleaseOnly(Qt::Key key) {
    if (QWidget* w = FocusedNow()) QTest::keyRelease(w, key);
}

const std::vector<dialogs::test::ShownBox>& Boxes() { return dialogs::test::Log(); }

int Run(int argc, char** argv, QObject* test) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // SANE's test scanner stays loaded to the end of the run (SANE unloads
    // its backends at sane_exit), so that the leak checker can name it: the
    // memory that backend never frees is its own, and tests/lsan.supp says so.
    dlopen(SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle("Varnholt Flickstow");
    dialogs::test::Enable();
    FreshSandbox();
    return QTest::qExec(test, argc, argv);
}

}  // namespace testsupport
