#pragma once
// The print spooler: a print job with a title, begun, given new pages and
// ended, drawn through a canvas in device pixels of the printable page.
//
// The current printer (printer::Printer()) is the system printer: the CUPS
// default destination at the time of each job, or what the printer set-up
// dialog chose for the rest of the run, which may also be a PDF file. Its
// settings are a QPrinter; the pages are made with Qt's PDF writer and
// handed to CUPS by the printer itself, so that a job can be dropped before
// anything reaches the queue and a refused job is reported. Tests put in a
// printer that keeps its pages as images, or one that prints to a PDF file.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"
#include "platform/graphics/graphics.h"

#include <QPageLayout>
#include <QPainter>
#include <QSize>
#include <deque>
#include <memory>

class QIODevice;
class QPdfWriter;
class QPrinter;
class QPaintDevice;

// No printer to print on, or a printer that refused or failed a job.
class EPrinter : public Exception {
    using Exception::Exception;
};

class TPrinter {
public:
    TPrinter();
    virtual ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The job's name in the printer's queue (and the PDF's title).
    AnsiString Title;

    // Starts a job on its first page. Raises EPrinter (or the file error of
    // a PDF file that cannot be made) when the printer cannot take a job.
    void BeginDoc();
    void NewPage();
    // Finishes the job. Raises when the printer reports it as failed.
    void EndDoc();
    // Drops the job being printed: nothing of it comes out.
    void Abort();

    bool Printing() const { return printing_; }
    // The last job was dropped.
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return pageNumber_; }
    // The printable page in device pixels.
    int PageWidth() const;
    int PageHeight() const;
    // Draws on the current page while a job is printing; nothing otherwise.
    // It scales pictures with halftone.
    TCanvas& Canvas() { return canvas_; }

protected:
    // A new job's first page to draw on; raises when there is none.
    virtual QPaintDevice* OpenJob() = 0;
    // Moves the painter on to a new page; false when the printer cannot.
    virtual bool NextPage(QPainter& painter) = 0;
    // After the painter has ended: hands the job over, raising on failure.
    virtual void CloseJob() = 0;
    // After the painter has ended: drops everything of the job.
    virtual void DiscardJob() = 0;
    // The printable page while no job runs.
    virtual QSize IdlePageSize() const = 0;
    // Derived printers call this in their destructors: a job still running
    // is dropped.
    void AbortOnDestruction();

private:
    QPainter painter_;
    TCanvas canvas_{&painter_};
    bool printing_ = false, aborted_ = false;
    int pageNumber_ = 0;
};

// The system's printer: a CUPS destination or a PDF file, as its QPrinter
// settings say. Until the user has chosen, each job goes to the CUPS
// default destination of that moment.
class TSystemPrinter : public TPrinter {
public:
    TSystemPrinter();
    ~TSystemPrinter() override;

    // What the printer set-up dialog shows and changes.
    QPrinter& Settings() { return *settings_; }
    // The settings are the user's choice from now on.
    void SetChosen() { chosen_ = true; }

    // A printer that prints to the PDF file at the path, with the page
    // layout and resolution given.
    static std::unique_ptr<TSystemPrinter> ToPdfFile(const AnsiString& path, const QPageLayout& layout, int dpi);

protected:
    QPaintDevice* OpenJob() override;
    bool NextPage(QPainter& painter) override;
    void CloseJob() override;
    void DiscardJob() override;
    QSize IdlePageSize() const override;

private:
    struct Job;
    std::unique_ptr<QPrinter> settings_;
    bool chosen_ = false;
    std::unique_ptr<Job> job_;
};

// A printer that keeps every page as a white image of the given size, for
// tests that look at the pixels.
class TImagePrinter : public TPrinter {
public:
    explicit TImagePrinter(QSize page) : page_(page) {}
    ~TImagePrinter() override;

    // The pages of the last job; none when it was dropped.
    const std::deque<QImage>& Pages() const { return pages_; }
    int JobsEnded() const { return jobsEnded_; }

protected:
    QPaintDevice* OpenJob() override;
    bool NextPage(QPainter& painter) override;
    void CloseJob() override { ++jobsEnded_; }
    void DiscardJob() override { pages_.clear(); }
    QSize IdlePageSize() const override { return page_; }

private:
    QImage BlankPage() const;

    QSize page_;
    std::deque<QImage> pages_;
    int jobsEnded_ = 0;
};

namespace printer {

// The current printer, made on first use as the system printer.
TPrinter& Printer();
// Puts another printer in its place (the set-up of a test, a PDF printer).
void SetPrinter(std::unique_ptr<TPrinter> printer);

}  // namespace printer
