#include "turntable/turntables.h"

#include "turntable/port_list.h"

namespace vantrel {

Turntables::Turntables(WindowHost& mainWindow, Clock& clock, SerialPorts& forLink1, SerialPorts& forLink2,
                       const SequenceState& sequence, SequenceStep sequenceStep)
    : window_(mainWindow), sequence_(sequence), link1_(turntable1Profile(), mainWindow, clock, forLink1, sequence),
      link2_(turntable2Profile(), mainWindow, clock, forLink2, sequence), sequenceStep_(std::move(sequenceStep))
{
}

void Turntables::fillPortList(int turntable)
{
    const TurntableLink& l = link(turntable);
    const int id = l.profile().listId;
    window_.clearList(id);
    for (auto name : kPortNames)
        window_.insertListItem(id, -1, name);
    window_.setListSelection(id, l.portIndex());
}

bool Turntables::command(int id, int /*code*/)
{
    return linkCommand(link1_, id) || linkCommand(link2_, id);
}

bool Turntables::linkCommand(TurntableLink& link, int id)
{
    const LinkProfile& p = link.profile();
    if (id == p.connectId) {
        link.connect();
        return true;
    }
    if (id == p.listId) {
        link.selectPort(window_.listCaret(id));
        return true;
    }
    if (id == p.abortId) {
        link.abort();
        return true;
    }
    for (const JogButton& jog : p.jogs) {
        if (jog.id != id)
            continue;
        // A turntable that has not yet moved in a sequence is not busy, but a jog now would
        // turn the table off the grid point and its timer would start a second measurement.
        if (!link.busy() && !sequence_.sequenceRunning)
            (void)link.move(jog.degrees, jog.direction); // a failure has shown its message
        return true;
    }
    return false;
}

bool Turntables::timer(int id)
{
    TurntableLink* l = id == link1_.profile().timerId ? &link1_ : id == link2_.profile().timerId ? &link2_ : nullptr;
    if (!l)
        return false;
    bool endSent = true;
    if (l->moveTimerFired(endSent) && sequenceStep_)
        sequenceStep_(l->profile().turntable, endSent);
    return true;
}

void Turntables::abortAll()
{
    window_.killTimer(link1_.profile().timerId);
    window_.killTimer(link2_.profile().timerId);
    link1_.setBusy(false);
    link2_.setBusy(false);
    link1_.sendAbortCommands();
    link2_.sendAbortCommands();
}

void Turntables::closeLinks()
{
    link1_.close();
    link2_.close();
}

} // namespace vantrel
