#pragma once
// Turntable control as the main window sees it: both links, the main window's commands and
// timers that belong to them, and the moves the sequencer drives.

#include <functional>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/window_host.h"
#include "turntable/sequence_state.h"
#include "turntable/turntable_link.h"

namespace vantrel {

class Turntables {
public:
    // Each link gets its own port factory, so that a simulated rig can put a different
    // controller behind each. sequenceStep runs when a move's wait ends during a sequence,
    // with the turntable and whether the end of its move could be sent.
    using SequenceStep = std::function<void(int turntable, bool endSent)>;
    Turntables(WindowHost& mainWindow, Clock& clock, SerialPorts& forLink1, SerialPorts& forLink2,
               const SequenceState& sequence, SequenceStep sequenceStep);

    // Fills list box 3000 or 3001 with the port names and selects the link's port index.
    void fillPortList(int turntable);

    // Main-window commands 1000..1022, 1040..1043, 3000 and 3001; false for any other id.
    // Jogs are ignored while the turntable is busy and while a sequence runs.
    bool command(int id, int code);
    // Main-window timers 4000 and 4001; false for any other id.
    bool timer(int id);

    // The sequencer's moves: 0 when sent and the wait runs, 1 on failure. No busy guard.
    [[nodiscard]] int moveTurntable1(int degrees, int direction) { return link1_.move(degrees, direction); }
    [[nodiscard]] int moveTurntable2(int degrees, int direction) { return link2_.move(degrees, direction); }

    // "ABORT Test": stop both waits, free both turntables, reset and pause turntable 1 then
    // turntable 2 whether or not they are connected.
    void abortAll();
    // Window destruction: close the open links.
    void closeLinks();

    bool connected(int turntable) const { return link(turntable).isOpen(); }
    bool everOpened(int turntable) const { return link(turntable).everOpened(); }
    bool busy(int turntable) const { return link(turntable).busy(); }
    void setBusy(int turntable, bool busy) { link(turntable).setBusy(busy); }
    int hAngleCounter() const { return link1_.angleCounter(); }
    int vAngleCounter() const { return link2_.angleCounter(); }

    TurntableLink& link(int turntable) { return turntable == 2 ? link2_ : link1_; }
    const TurntableLink& link(int turntable) const { return turntable == 2 ? link2_ : link1_; }

private:
    bool linkCommand(TurntableLink& link, int id);

    WindowHost& window_;
    const SequenceState& sequence_;
    TurntableLink link1_;
    TurntableLink link2_;
    SequenceStep sequenceStep_;
};

} // namespace vantrel
