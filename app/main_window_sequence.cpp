// The main window's part of the automatic balloon walk: "RUN Test", "ABORT Test", timer 7000
// and the point view the walk marks.

#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "mls/measurement_window.h"
#include "views/view_area.h"

namespace vantrel {

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
        clearViewArea(host_->surface());
        platform_.log().record("points", "clear");
        return;
    }
    if (request.mark)
        platform_.log().record("points", "mark " + std::to_string(request.vIndex) + " " + std::to_string(request.hIndex));
    else
        platform_.log().record("points", "redraw");
}

} // namespace vantrel
