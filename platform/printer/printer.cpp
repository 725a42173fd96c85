#include "platform/printer/printer.h"

#include "platform/files/files.h"
#include "platform/module/Library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
#include <cups/cups.h>
#include <optional>

namespace {

// CUPS, opened with the first print job.
struct CupsFunctions {
    decltype(&::cupsAddOption) addOption;
    decltype(&::cupsFreeOptions) freeOptions;
    decltype(&::cupsPrintFile) printFile;
    decltype(&::cupsLastErrorString) lastErrorString;
};
const CupsFunctions& Cups() {
    static const CupsFunctions functions = [] {
        static const module::Library cups(FLICKSTOW_CUPS_LIBRARY, "Printing");
        return CupsFunctions{FLICKSTOW_FUNCTION(cups, cupsAddOption), FLICKSTOW_FUNCTION(cups, cupsFreeOptions),
                             FLICKSTOW_FUNCTION(cups, cupsPrintFile), FLICKSTOW_FUNCTION(cups, cupsLastErrorString)};
    }();
    return functions;
}

const char* const kNoDefaultPrinter = "There is no default printer currently selected";

// Bytes for a file replacement, gathered into large writes.
class ReplacementDevice : public QIODevice {
public:
    explicit ReplacementDevice(files::Replacement& file) : file_(file) { open(QIODevice::WriteOnly); }
    void Flush() {
        if (!pending_.empty()) file_.Write(pending_);
        pending_.clear();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        pending_.append(data, static_cast<size_t>(size));
        if (pending_.size() >= kChunk) Flush();
        return size;
    }

private:
    static constexpr size_t kChunk = 1 << 16;
    files::Replacement& file_;
    std::string pending_;
};

// The options a CUPS job carries from the settings: paper, copies, sides,
// orientation, and what the print dialog added for the destination.
int JobOptions(const QPrinter& s, cups_option_t** options) {
    const auto add = Cups().addOption;
    int n = 0;
    const QPageLayout layout = s.pageLayout();
    n = add("media", layout.pageSize().key().toUtf8().constData(), n, options);
    if (s.copyCount() > 1) {
        n = add("copies", QByteArray::number(s.copyCount()).constData(), n, options);
        if (s.collateCopies()) n = add("Collate", "True", n, options);
    }
    const char* sides = "one-sided";
    switch (s.duplex()) {
    case QPrinter::DuplexNone: break;
    case QPrinter::DuplexAuto:
        sides = layout.orientation() == QPageLayout::Portrait ? "two-sided-long-edge" : "two-sided-short-edge";
        break;
    case QPrinter::DuplexLongSide: sides = "two-sided-long-edge"; break;
    case QPrinter::DuplexShortSide: sides = "two-sided-short-edge"; break;
    }
    n = add("sides", sides, n, options);
    if (layout.orientation() == QPageLayout::Landscape) n = add("landscape", "", n, options);
    // Name and value pairs the CUPS print dialog keeps in its engine.
    const QPrintEngine::PrintEnginePropertyKey kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
    const QStringList extra = s.printEngine() ? s.printEngine()->property(kCupsOptions).toStringList() : QStringList();
    for (qsizetype i = 0; i + 1 < extra.size(); i += 2)
        n = add(extra[i].toUtf8().constData(), extra[i + 1].toUtf8().constData(), n, options);
    return n;
}

}  // namespace

// ---- TPrinter

TPrinter::TPrinter() { canvas_.StretchMode = smHalftone; }

TPrinter::~TPrinter() = default;

void TPrinter::AbortOnDestruction() { Abort(); }

void TPrinter::BeginDoc() {
    if (printing_) throw EPrinter("Printing in progress");
    aborted_ = false;
    pageNumber_ = 0;
    QPaintDevice* device = OpenJob();
    if (!painter_.begin(device)) {
        DiscardJob();
        throw EPrinter("The print job could not be started");
    }
    printing_ = true;
    pageNumber_ = 1;
}

void TPrinter::NewPage() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    if (!NextPage(painter_)) {
        Abort();
        throw EPrinter("The printer could not start a new page");
    }
    ++pageNumber_;
}

void TPrinter::EndDoc() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    printing_ = false;
    painter_.end();
    CloseJob();
}

void TPrinter::Abort() {
    if (!printing_) return;
    printing_ = false;
    aborted_ = true;
    painter_.end();
    DiscardJob();
}

int TPrinter::PageWidth() const { return printing_ ? painter_.device()->width() : IdlePageSize().width(); }
int TPrinter::PageHeight() const { return printing_ ? painter_.device()->height() : IdlePageSize().height(); }

// ---- TSystemPrinter

// One job: the PDF writer and where its bytes go (a PDF file replaced at
// the end, or a spool file handed to CUPS). The writer goes first.
struct TSystemPrinter::Job {
    std::optional<files::Replacement> pdfFile;
    std::unique_ptr<ReplacementDevice> pdfDevice;
    std::unique_ptr<QTemporaryFile> spool;
    QString destination;
    std::unique_ptr<QPdfWriter> writer;
};

TSystemPrinter::TSystemPrinter() : settings_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

TSystemPrinter::~TSystemPrinter() { AbortOnDestruction(); }

std::unique_ptr<TSystemPrinter> TSystemPrinter::ToPdfFile(const AnsiString& path, const QPageLayout& layout, int dpi) {
    auto p = std::make_unique<TSystemPrinter>();
    QPrinter& s = p->Settings();
    s.setOutputFormat(QPrinter::PdfFormat);
    s.setOutputFileName(QFile::decodeName(path.c_str()));
    s.setResolution(dpi);
    s.setFullPage(true);
    s.setPageLayout(layout);
    p->SetChosen();
    return p;
}

QPaintDevice* TSystemPrinter::OpenJob() {
    QPrinter& s = *settings_;
    if (!chosen_) {
        const QString name = QPrinterInfo::defaultPrinterName();
        if (name.isEmpty()) throw EPrinter(kNoDefaultPrinter);
        if (s.outputFormat() != QPrinter::NativeFormat) s.setOutputFormat(QPrinter::NativeFormat);
        if (s.printerName() != name) s.setPrinterName(name);
    }
    auto job = std::make_unique<Job>();
    QIODevice* out = nullptr;
    if (s.outputFormat() == QPrinter::PdfFormat) {
        if (s.outputFileName().isEmpty()) throw EPrinter(kNoDefaultPrinter);
        job->pdfFile.emplace(QFile::encodeName(s.outputFileName()).toStdString());
        job->pdfDevice = std::make_unique<ReplacementDevice>(*job->pdfFile);
        out = job->pdfDevice.get();
    } else {
        job->destination = s.printerName();
        if (job->destination.isEmpty()) throw EPrinter(kNoDefaultPrinter);
        job->spool = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/flickstow-XXXXXX.pdf");
        if (!job->spool->open()) throw EPrinter("The print job could not be spooled");
        out = job->spool.get();
    }
    job->writer = std::make_unique<QPdfWriter>(out);
    job->writer->setTitle(ansi::ToQString(Title));
    job->writer->setCreator(QCoreApplication::applicationName());
    job->writer->setResolution(s.resolution());
    job->writer->setPageLayout(s.pageLayout());
    job_ = std::move(job);
    return job_->writer.get();
}

bool TSystemPrinter::NextPage(QPainter&) { return job_->writer->newPage(); }

void TSystemPrinter::CloseJob() {
    const std::unique_ptr<Job> job = std::move(job_);
    job->writer.reset();
    if (job->pdfFile) {
        job->pdfDevice->Flush();
        job->pdfFile->Commit();
        return;
    }
    job->spool->flush();
    if (job->spool->error() != QFileDevice::NoError) throw EPrinter("The print job could not be spooled");
    // CUPS takes the printer's own name, without an instance.
    const QByteArray name = job->destination.section('/', 0, 0).toUtf8();
    const CupsFunctions& cups = Cups();
    cups_option_t* options = nullptr;
    const int count = JobOptions(*settings_, &options);
    const int id = cups.printFile(name.constData(), QFile::encodeName(job->spool->fileName()).constData(),
                                  ansi::ToQString(Title).toUtf8().constData(), count, options);
    cups.freeOptions(count, options);
    if (id == 0) {
        const char* why = cups.lastErrorString();
        throw EPrinter(why && *why ? why : "The print job failed");
    }
}

void TSystemPrinter::DiscardJob() { job_.reset(); }

QSize TSystemPrinter::IdlePageSize() const {
    return settings_->pageLayout().paintRectPixels(settings_->resolution()).size();
}

// ---- TImagePrinter

TImagePrinter::~TImagePrinter() { AbortOnDestruction(); }

QImage TImagePrinter::BlankPage() const {
    QImage page(page_, QImage::Format_RGB32);
    if (page.isNull()) throw EPrinter("The print job could not be started");
    page.fill(Qt::white);
    return page;
}

QPaintDevice* TImagePrinter::OpenJob() {
    pages_.clear();
    pages_.push_back(BlankPage());
    return &pages_.back();
}

bool TImagePrinter::NextPage(QPainter& painter) {
    painter.end();
    pages_.push_back(BlankPage());
    return painter.begin(&pages_.back());
}

// ---- the current printer

namespace printer {
namespace {
std::unique_ptr<TPrinter>& Current() {
    static std::unique_ptr<TPrinter> current;
    static const bool registered = [] {
        // Printers go before the application, which their settings need.
        qAddPostRoutine([] { Current().reset(); });
        return true;
    }();
    (void)registered;
    return current;
}
}  // namespace

TPrinter& Printer() {
    std::unique_ptr<TPrinter>& p = Current();
    if (!p) p = std::make_unique<TSystemPrinter>();
    return *p;
}

void SetPrinter(std::unique_ptr<TPrinter> printer) { Current() = std::move(printer); }

}  // namespace printer
