#include "analysis/tables.h"

#include "platform/number_text.h"
#include "analysis/sphere_weights.h"

namespace vantrel {

namespace {

std::string optionalDegrees(const std::optional<double>& degrees)
{
    return degrees ? cleanFixedText(*degrees, 1) : "-";
}

} // namespace

std::string directivityText(const std::vector<DirectivityRow>& rows, std::string_view source, AngleGrid grid)
{
    std::string text;
    text += "# Directivity of ";
    text += source;
    text += "\n# levels in dB (90 dB = magnitude 1 as stored); sound power over the whole sphere, ";
    text += std::to_string(sphereWeights(grid).size());
    text += " unique directions of the ";
    text += std::to_string(gridStepDegrees(grid));
    text += "-degree grid weighted by solid angle; DI = on axis - sound power\n";
    text += "# beamwidth: full angle between the -6 dB points, interpolated in amplitude between the measured angles that straddle it; "
            "- where the level never falls 6 dB\n";
    text += "# frequency_Hz on_axis_dB sound_power_dB DI_dB beamwidth_horizontal_deg beamwidth_vertical_deg\n";
    for (const DirectivityRow& r : rows) {
        text += cleanFixedText(r.frequencyHz, 2);
        text += ' ';
        text += cleanFixedText(r.onAxisDb, 2);
        text += ' ';
        text += cleanFixedText(r.soundPowerDb, 2);
        text += ' ';
        text += cleanFixedText(r.directivityIndexDb, 2);
        text += ' ';
        text += optionalDegrees(r.beamwidthHorizontal);
        text += ' ';
        text += optionalDegrees(r.beamwidthVertical);
        text += '\n';
    }
    return text;
}

std::string cta2034Text(const std::vector<Cta2034Row>& rows, std::string_view source)
{
    std::string text;
    text += "# CTA-2034-A curves of ";
    text += source;
    text += "\n# from the horizontal and vertical 10-degree orbits; levels in dB (90 dB = magnitude 1 as stored)\n";
    text += "# frequency_Hz on_axis listening_window early_reflections sound_power predicted_in_room "
            "sound_power_DI early_reflections_DI\n";
    for (const Cta2034Row& r : rows) {
        for (double v : {r.frequencyHz, r.onAxis, r.listeningWindow, r.earlyReflections, r.soundPower,
                         r.predictedInRoom, r.soundPowerDi}) {
            text += cleanFixedText(v, 2);
            text += ' ';
        }
        text += cleanFixedText(r.earlyReflectionsDi, 2);
        text += '\n';
    }
    return text;
}

} // namespace vantrel
