#pragma once
// TVGraphics: plots functions of x onto a canvas. It clears the drawing
// area, draws a grid and the two axes when asked, then samples each
// expression (the language of TVParser, variable x) over the x range and
// draws its curve in its own colour, as dots or joined. Between steps it
// processes pending events, so the user interface stays alive and a handler
// can call Cancel.
//
// Colours are the system's colour values, red in the low byte: the colour
// text "255" is red, "16711680" blue.

#include "platform/ansi/ansi.h"
#include "platform/graphics/graphics.h"

#include <QObject>
#include <vector>

using TStrings = std::vector<AnsiString>;

class TVGraphics : public QObject {
    Q_OBJECT
    Q_PROPERTY(TStrings Expressions READ Expressions WRITE SetExpressions)
    Q_PROPERTY(TStrings Colors READ Colors WRITE SetColors)
    Q_PROPERTY(TStrings Steps READ Steps WRITE SetSteps)
    Q_PROPERTY(TColor Background READ Background WRITE SetBackground)
    Q_PROPERTY(bool PointsOnly READ PointsOnly WRITE SetPointsOnly)
    Q_PROPERTY(bool Cross READ Cross WRITE SetCross)
    Q_PROPERTY(TColor CrossColor READ CrossColor WRITE SetCrossColor)
    Q_PROPERTY(bool Grid READ Grid WRITE SetGrid)
    Q_PROPERTY(TColor GridColor READ GridColor WRITE SetGridColor)
    Q_PROPERTY(long double GridSpace READ GridSpace WRITE SetGridSpace)
    Q_PROPERTY(long double X_From READ X_From WRITE SetMinusX)
    Q_PROPERTY(long double X_To READ X_To WRITE SetPlusX)
    Q_PROPERTY(long double Y_From READ Y_From WRITE SetMinusY)
    Q_PROPERTY(long double Y_To READ Y_To WRITE SetPlusY)
    Q_PROPERTY(int DestinationWidth READ DestinationWidth WRITE SetDestWidth)
    Q_PROPERTY(int DestinationHeight READ DestinationHeight WRITE SetDestHeight)
    Q_PROPERTY(long double Y_MaxDifference READ Y_MaxDifference WRITE SetAbstand)
    Q_PROPERTY(bool ClearCanvas READ ClearCanvas WRITE SetClearCanvas)

public:
    explicit TVGraphics(QObject* owner = nullptr);

    // One expression per entry; the colour (a decimal colour value) and the
    // sampling step (a number in x units) of the entry with the same index.
    TStrings Expressions() const { return s_.expressions; }
    void SetExpressions(const TStrings& value) { s_.expressions = value; }
    TStrings Colors() const { return s_.colors; }
    void SetColors(const TStrings& value) { s_.colors = value; }
    TStrings Steps() const { return s_.steps; }
    void SetSteps(const TStrings& value) { s_.steps = value; }
    TColor Background() const { return s_.background; }
    void SetBackground(TColor value) { s_.background = value; }
    bool PointsOnly() const { return s_.pointsOnly; }
    void SetPointsOnly(bool value) { s_.pointsOnly = value; }
    bool Cross() const { return s_.cross; }
    void SetCross(bool value) { s_.cross = value; }
    TColor CrossColor() const { return s_.crossColor; }
    void SetCrossColor(TColor value) { s_.crossColor = value; }
    bool Grid() const { return s_.grid; }
    void SetGrid(bool value) { s_.grid = value; }
    TColor GridColor() const { return s_.gridColor; }
    void SetGridColor(TColor value) { s_.gridColor = value; }
    long double GridSpace() const { return s_.gridSpace; }
    void SetGridSpace(long double value) { s_.gridSpace = value; }
    long double X_From() const { return s_.xFrom; }
    void SetMinusX(long double value) { s_.xFrom = value; }
    long double X_To() const { return s_.xTo; }
    void SetPlusX(long double value) { s_.xTo = value; }
    long double Y_From() const { return s_.yFrom; }
    void SetMinusY(long double value) { s_.yFrom = value; }
    long double Y_To() const { return s_.yTo; }
    void SetPlusY(long double value) { s_.yTo = value; }
    int DestinationWidth() const { return s_.width; }
    void SetDestWidth(int value) { s_.width = value; }
    int DestinationHeight() const { return s_.height; }
    void SetDestHeight(int value) { s_.height = value; }
    // When above 0, a curve breaks at every sample whose value lies this
    // far from 0 or farther.
    long double Y_MaxDifference() const { return s_.maxDifference; }
    void SetAbstand(long double value) { s_.maxDifference = value; }
    bool ClearCanvas() const { return s_.clearCanvas; }
    void SetClearCanvas(bool value) { s_.clearCanvas = value; }

    // Draws everything. Returns -1 when cancelled; otherwise 0 when every
    // expression prepared, or the index + 1 of the last one that did not
    // (it is skipped). A sample that cannot be evaluated leaves a gap.
    // Raises EListError when Colors or Steps have fewer entries than
    // Expressions, EConvertError for a colour text that is not a number.
    // The canvas must outlive the drawing; the component may be changed or
    // deleted by a handler that runs meanwhile (the drawing then stops).
    int DrawToCanvas(TCanvas& canvas);
    // Makes a running DrawToCanvas stop at its next check.
    void Cancel() { cancel_ = true; }

    // The pixel column of x: trunc((x - from) * size / trunc(to - from)),
    // and the pixel row of y: trunc((to - y) * size / trunc(to - from)), so
    // that larger values lie higher. A span below 1 (which would truncate to
    // 0) divides untruncated; an empty or endless span maps every value to
    // 0. Results are kept within +-kFar.
    static int UmrechnenX(long double x, int size, long double from, long double to);
    static int UmrechnenY(long double y, int size, long double from, long double to);
    static constexpr int kFar = 1'000'000'000;

private:
    struct Settings {
        TStrings expressions, colors, steps;
        TColor background = clWhite;
        bool pointsOnly = true;
        bool cross = true;
        TColor crossColor = clBlack;
        bool grid = false;
        TColor gridColor = clSilver;
        long double gridSpace = 1;
        long double xFrom = -10, xTo = 10, yFrom = -10, yTo = 10;
        int width = 640, height = 480;
        long double maxDifference = 0;
        bool clearCanvas = true;
    };
    Settings s_;
    bool cancel_ = false;
};
