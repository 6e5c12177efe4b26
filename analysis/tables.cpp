#include "analysis/tables.h"

#include <cmath>
#include <initializer_list>

#include "platform/number_text.h"
#include "analysis/sphere_weights.h"

namespace vantrel {

namespace {

std::string optionalDegrees(const std::optional<double>& degrees)
{
    return degrees ? cleanFixedText(*degrees, 1) : "-";
}

std::string optionalText(const std::optional<double>& value, int decimals, std::string_view unit = {})
{
    if (!value)
        return "- (outside the valid band)";
    std::string text = cleanFixedText(*value, decimals);
    if (!unit.empty()) {
        text += ' ';
        text += unit;
    }
    return text;
}

// One table line: the fields separated by single spaces, after prefix.
void appendRow(std::string& text, std::string_view prefix, std::initializer_list<std::string> fields)
{
    text += prefix;
    for (const std::string& f : fields) {
        if (&f != fields.begin())
            text += ' ';
        text += f;
    }
    text += '\n';
}

std::string signedDegrees(double degrees)
{
    const std::string text = degreesText(degrees);
    return text != "0" && degrees > 0 ? "+" + text : text;
}

} // namespace

std::string degreesText(double degrees)
{
    std::string text = cleanFixedText(degrees, 1);
    if (text.ends_with(".0"))
        text.resize(text.size() - 2);
    return text == "-0" ? "0" : text;
}

std::string hzText(double hz)
{
    if (hz >= 1000.0)
        return cleanFixedText(hz / 1000.0, 2) + " kHz";
    return cleanFixedText(hz, 1) + " Hz";
}

std::string settingText(double value, int decimals)
{
    std::string text = cleanFixedText(value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string settingHz(double hz)
{
    return hz >= 1000.0 ? settingText(hz / 1000.0, 3) + " kHz" : settingText(hz, 1) + " Hz";
}

std::string validFromText(const ValidBand& band, const FrequencyAxis& axis)
{
    std::string text = "valid from " + hzText(axis[band.first]) + " (";
    switch (band.lowReason) {
    case LowEdgeReason::window: text += "time window " + settingText(band.measured.windowSeconds * 1000.0, 2) + " ms"; break;
    case LowEdgeReason::sweep: text += "sweep from " + settingHz(band.measured.sweepF1Hz); break;
    case LowEdgeReason::sequence: text += "shortest sequence"; break;
    }
    text += ")";
    if (band.sweptTop)
        text += " to " + hzText(axis[band.last]) + " (sweep to " + settingHz(band.measured.sweepF2Hz) + ")";
    if (band.measured.merge)
        text += "; near-field merge " + settingHz(band.measured.merge->lowHz) + " .. " + settingHz(band.measured.merge->highHz);
    return text;
}

std::string validBandText(const ValidBand& band, const FrequencyAxis& axis)
{
    return hzText(axis[band.first]) + " .. " + hzText(axis[band.last]) + " (the axis " + hzText(axis.from()) +
           " .. " + hzText(axis.to()) + ", measured at " + cleanFixedText(band.rateHz, 0) + " Hz; " +
           validFromText(band, axis) + ")";
}

std::vector<std::string> preferenceLines(const PreferenceNumbers& n)
{
    return {
        "NBD_ON (on-axis narrow-band deviation) " + optionalText(n.nbdOnAxis, 3, "dB"),
        "NBD_PIR (predicted in-room narrow-band deviation) " + optionalText(n.nbdPredictedInRoom, 3, "dB"),
        "LFX (low-frequency extension) " +
            (n.lfxHz ? cleanFixedText(*n.lfxHz, 1) + " Hz, log10 " + cleanFixedText(std::log10(*n.lfxHz), 3)
                     : std::string("-")),
        "SM_PIR (predicted in-room smoothness) " + optionalText(n.smPredictedInRoom, 3),
        "Predicted preference rating " + optionalText(n.rating, 2),
        "Predicted preference rating with an ideal subwoofer " + optionalText(n.ratingWithSubwoofer, 2),
        "Sound power DI slope " + optionalText(n.soundPowerDiSlope, 3, "dB/octave"),
        "Early reflections DI slope " + optionalText(n.earlyReflectionsDiSlope, 3, "dB/octave"),
    };
}

std::string directivityText(const std::vector<DirectivityRow>& rows, std::string_view source, AngleGrid grid,
                            const DirectivitySummary& summary)
{
    std::string text;
    text += "# Directivity of ";
    text += source;
    text += "\n# valid band ";
    text += summary.bandText;
    text += "\n# levels in dB (90 dB = magnitude 1 as stored); sound power over the whole sphere, ";
    text += std::to_string(sphereWeights(grid).size());
    text += " unique directions of the ";
    text += std::to_string(gridStepDegrees(grid));
    text += "-degree grid weighted by solid angle; DI = on axis - sound power\n";
    if (summary.bestAxis) {
        const BestAxis& b = *summary.bestAxis;
        text += "# best listening axis (" + summary.bestAxisSearch + " within +-30 H, +-20 V; NBD 100 Hz .. 12 kHz): H ";
        text += signedDegrees(b.axis.h);
        text += " V ";
        text += signedDegrees(b.axis.v);
        text += " degrees (+ = left, + = up), NBD ";
        text += cleanFixedText(b.nbd, 3);
        text += " dB; on axis NBD ";
        text += cleanFixedText(b.nbdOnAxis, 3);
        text += " dB\n";
    } else {
        text += "# best listening axis: - (the valid band holds nothing of 100 Hz .. 12 kHz)\n";
    }
    text += "# DI slope (least-squares line against log2(frequency), 200 Hz .. 16 kHz inside the valid band): " +
            optionalText(summary.diSlope, 3, "dB/octave") + "\n";
    text += "# -6 dB coverage at the one-third-octave centres (nominal_Hz axis_Hz horizontal_deg vertical_deg):\n";
    for (const CoverageRow& c : summary.coverage)
        appendRow(text, "#   ",
                  {cleanFixedText(c.centreHz, c.centreHz < 100.0 && c.centreHz != std::floor(c.centreHz) ? 1 : 0),
                   cleanFixedText(c.axisHz, 2), optionalDegrees(c.horizontal), optionalDegrees(c.vertical)});
    text += "# beamwidth: full angle between the -6 dB points, interpolated in amplitude between the measured angles that straddle it; "
            "- where the level never falls 6 dB\n";
    text += "# frequency_Hz on_axis_dB sound_power_dB DI_dB beamwidth_horizontal_deg beamwidth_vertical_deg\n";
    for (const DirectivityRow& r : rows)
        appendRow(text, "",
                  {cleanFixedText(r.frequencyHz, 2), cleanFixedText(r.onAxisDb, 2), cleanFixedText(r.soundPowerDb, 2),
                   cleanFixedText(r.directivityIndexDb, 2), optionalDegrees(r.beamwidthHorizontal),
                   optionalDegrees(r.beamwidthVertical)});
    return text;
}

std::string cta2034Text(const std::vector<Cta2034Row>& rows, std::string_view source, std::string_view bandText,
                        ListenerAxis listener, const PreferenceNumbers& numbers)
{
    std::string text;
    text += "# CTA-2034-A curves of ";
    text += source;
    text += "\n# valid band ";
    text += bandText;
    if (listener.isOnAxis()) {
        text += "\n# from the horizontal and vertical 10-degree orbits; levels in dB (90 dB = magnitude 1 as stored)\n";
    } else {
        text += "\n# around the listener axis H ";
        text += signedDegrees(listener.h);
        text += " V ";
        text += signedDegrees(listener.v);
        text += " degrees (+ = left, + = up): the orbits through it, interpolated on the sphere; levels in dB "
                "(90 dB = magnitude 1 as stored)\n";
    }
    text += "# Olive 2004, \"A Multiple Regression Model for Predicting Loudspeaker Preference Using Objective "
            "Measurements: Part II\" (AES 117th Convention):\n";
    text += "#   rating = 12.69 - 2.49 NBD_ON - 2.99 NBD_PIR - 4.31 LFX + 2.32 SM_PIR; with an ideal subwoofer LFX = "
            "log10(14.5 Hz)\n";
    for (const std::string& line : preferenceLines(numbers)) {
        text += "# ";
        text += line;
        text += '\n';
    }
    text += "# DI slopes: least-squares line against log2(frequency) over 200 Hz .. 16 kHz inside the valid band\n";
    text += "# frequency_Hz on_axis listening_window early_reflections sound_power predicted_in_room "
            "sound_power_DI early_reflections_DI\n";
    for (const Cta2034Row& r : rows)
        appendRow(text, "",
                  {cleanFixedText(r.frequencyHz, 2), cleanFixedText(r.onAxis, 2), cleanFixedText(r.listeningWindow, 2),
                   cleanFixedText(r.earlyReflections, 2), cleanFixedText(r.soundPower, 2),
                   cleanFixedText(r.predictedInRoom, 2), cleanFixedText(r.soundPowerDi, 2),
                   cleanFixedText(r.earlyReflectionsDi, 2)});
    return text;
}

} // namespace vantrel
