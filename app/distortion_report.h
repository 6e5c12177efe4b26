#pragma once
// The distortion file beside a balloon file, for the views and reports that draw it: its quantities
// turned into a balloon of levels the views and the polar maps take as they are (a cell's
// level in dB is the quantity in dB relative to the fundamental; a value below the noise, or a
// cell never measured, reads as nothing).

#include <optional>
#include <string>
#include <vector>

#include "analysis/directivity_report.h"
#include "balloon/balloon_matrix.h"
#include "balloon/distortion_balloon.h"
#include "balloon/valid_band.h"
#include "platform/canvas.h"

namespace vantrel {

// The file beside balloonPath; nothing when there is none (error empty) or it is unreadable
// (error says why).
std::optional<DistortionBalloon> distortionBeside(const std::string& balloonPath, std::string& error);

// Bins 0..749 of every measured cell: the quantity in dB plus offsetDb as the bin's stored
// level (90 dB is 1), or a zero bin below the noise; cells never measured are zero. The polar
// maps read a stored level S as S dB (offset 0); the balloon views show levels above -80 dB
// re 1 (offset 90).
void distortionLevels(const DistortionBalloon& distortion, DistortionQuantity q, float offsetDb, BalloonMatrix& out);

std::string quantityName(DistortionQuantity q); // "H2", "H3", "THD"

// "THD relative to the fundamental at 2000 Hz: ...": what a view of distortionLevels (offset 90)
// shows, as its caption.
std::string distortionCaption(DistortionQuantity q, double hz);

// The horizontal and vertical THD polar maps ("thd-map-horizontal.png", "thd-map-vertical.png")
// over the balloon's valid band, and the on-axis table ("distortion-on-axis.txt") when that
// cell was measured; source names the balloon. Nothing when there is no memory for the maps.
std::optional<std::vector<ReportItem>> distortionReportItems(const DistortionBalloon& distortion, const ValidBand& band,
                                                             const std::string& source);

// The on-axis cell (H = 0, V = 0) as text: one line per axis point with the frequency, then H2,
// H3 and THD each in dB and in percent relative to the fundamental, "below-noise" under the
// noise, or "not-measured" where the sweep cannot show the harmonic (below twice f1, or n times
// the frequency beyond the sweep's band); nothing when that cell was not measured.
std::optional<std::string> onAxisDistortionText(const DistortionBalloon& distortion, const std::string& source);

} // namespace vantrel
