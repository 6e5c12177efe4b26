// The main window's part of the automatic balloon walk: "RUN Test", "ABORT Test", timer 7000
// and the point view the walk marks.

#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "mls/measurement_window.h"

namespace vantrel {

namespace {

constexpr int kOffGridIndex = -100;

} // namespace

void MainWindow::createSequencer()
{
    SequencerContext context{*host_,
                             *turntables_,
                             sequence_,
                             selection_,
                             *matrix_,
                             settings_,
                             platform_.log(),
                             [this] { return angleGrid_; },
                             [this] { return measurementDialog(); },
                             [this] { showRadioMarks(); },
                             [this](const PointViewRequest& request) { drawPointView(request); }};
    sequencer_ = std::make_unique<BalloonSequencer>(std::move(context));
}

bool MainWindow::sequenceCommand(int id)
{
    if (id == main_ids::kRunTest)
        sequencer_->run();
    else if (id == main_ids::kAbortTest)
        sequencer_->abort();
    else
        return false;
    return true;
}

void MainWindow::drawPointView(const PointViewRequest& request)
{
    if (request.clear) {
        // A new walk starts from an empty balloon point grid: rows and points 0..75, all zero.
        PointGrid& points = display_->grids().balloon;
        for (int row = 0; row <= 75; ++row)
            for (int point = 0; point <= 75; ++point)
                points[static_cast<std::size_t>(row)][static_cast<std::size_t>(point)] = ModelPoint{};
        drawBalloonPoints(1, 0, 0, 0);
        platform_.log().record("points", "clear");
    } else if (request.mark) {
        drawBalloonPoints(0, request.vIndex, request.hIndex, 1);
        platform_.log().record("points", "mark " + std::to_string(request.vIndex) + " " + std::to_string(request.hIndex));
    } else {
        // The walk has left the grid: the marked view is drawn again with a position that
        // lies on no grid, so nothing new is marked.
        drawBalloonPoints(0, kOffGridIndex, kOffGridIndex, 1);
        platform_.log().record("points", "redraw");
    }
    host_->showDrawing();
}

} // namespace vantrel
