#pragma once
// The state of the automatic balloon walk that the turntable control needs to see: while a
// sequence runs, the motion boxes show the sequence angles and a finished move hands over to
// the next measurement instead of freeing the jog buttons.

namespace vantrel {

struct SequenceState {
    int sequenceRunning = 0; // 1 from "RUN Test" until completion or "ABORT Test"
    int currentHAngle = 0;   // degrees, 0..360
    int currentVAngle = 0;   // degrees, +90 down to -90
    int sequencePhase = 0;   // one phase per V angle; even phases sweep H upward
    int hLimit = 0;          // last H before V steps: 355 (10-degree grid) or 360 (5-degree)
};

} // namespace vantrel
