#include "analysis/metrics.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/sphere_levels.h"
#include "balloon/sphere_directions.h"

namespace vantrel {

namespace {

constexpr double kNbdLowHz = 100.0;
constexpr double kNbdHighHz = 12000.0;
constexpr double kNbdReferenceHz = 1290.0; // the community tooling's half-octave reference
// A direction is flatter only by more than this: the measurement's noise alone moves NBD by
// a few thousandths of a dB from one direction to the next.
constexpr double kNbdResolution = 0.005; // dB

struct Line {
    double slope = 0;
    double r2 = 0;
};

// Least squares of y against x over the points with lo <= hz <= hi; x = transform(hz).
std::optional<Line> fitLine(std::span<const double> hz, std::span<const double> y, double lo, double hi,
                            double (*transform)(double))
{
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < hz.size() && i < y.size(); ++i) {
        if (hz[i] < lo || hz[i] > hi)
            continue;
        const double x = transform(hz[i]);
        n += 1;
        sx += x;
        sy += y[i];
        sxx += x * x;
        syy += y[i] * y[i];
        sxy += x * y[i];
    }
    const double vx = n * sxx - sx * sx;
    const double vy = n * syy - sy * sy;
    if (n < 2 || !(vx > 0))
        return std::nullopt;
    Line line;
    line.slope = (n * sxy - sx * sy) / vx;
    // A level flat to the last bit is a perfect line.
    line.r2 = vy > 1e-12 * n * n ? (n * sxy - sx * sy) * (n * sxy - sx * sy) / (vx * vy) : 1.0;
    return line;
}

double naturalLog(double hz) { return std::log(hz); }
double octaves(double hz) { return std::log2(hz); }

template <typename Member>
std::vector<double> curveOf(const std::vector<Cta2034Row>& rows, Member member)
{
    std::vector<double> out;
    out.reserve(rows.size());
    for (const Cta2034Row& r : rows)
        out.push_back(r.*member);
    return out;
}

} // namespace

std::optional<double> narrowBandDeviation(std::span<const double> hz, std::span<const double> db)
{
    double sum = 0;
    int bands = 0;
    for (int k = -20; k <= 20; ++k) {
        const double centre = kNbdReferenceHz * std::pow(2.0, k / 2.0);
        if (centre < kNbdLowHz || centre > kNbdHighHz)
            continue;
        const double lo = centre / std::pow(2.0, 0.25), hi = centre * std::pow(2.0, 0.25);
        double mean = 0;
        int n = 0;
        for (std::size_t i = 0; i < hz.size(); ++i)
            if (hz[i] >= lo && hz[i] <= hi) {
                mean += db[i];
                ++n;
            }
        if (n == 0)
            continue;
        mean /= n;
        double deviation = 0;
        for (std::size_t i = 0; i < hz.size(); ++i)
            if (hz[i] >= lo && hz[i] <= hi)
                deviation += std::abs(db[i] - mean);
        sum += deviation / n;
        ++bands;
    }
    if (bands == 0)
        return std::nullopt;
    return sum / bands;
}

std::optional<double> smoothness(std::span<const double> hz, std::span<const double> db)
{
    const auto line = fitLine(hz, db, 100.0, 16000.0, naturalLog);
    if (!line)
        return std::nullopt;
    return line->r2;
}

std::optional<double> slopePerOctave(std::span<const double> hz, std::span<const double> db, double lo, double hi)
{
    const auto line = fitLine(hz, db, lo, hi, octaves);
    if (!line)
        return std::nullopt;
    return line->slope;
}

std::optional<double> lowFrequencyExtensionHz(std::span<const double> hz, std::span<const double> listeningWindow,
                                              std::span<const double> soundPower)
{
    double reference = 0;
    int n = 0;
    for (std::size_t i = 0; i < hz.size(); ++i)
        if (hz[i] >= 300.0 && hz[i] <= 10000.0) {
            reference += listeningWindow[i];
            ++n;
        }
    if (n == 0 || hz.empty())
        return std::nullopt;
    const double threshold = reference / n - 6.0;
    std::optional<double> top;
    for (std::size_t i = 0; i < hz.size() && hz[i] < 300.0; ++i) {
        if (soundPower[i] <= threshold)
            top = hz[i];
        else if (top)
            break;
    }
    return top ? *top : hz.front();
}

double predictedPreference(double nbdOnAxis, double nbdPredictedInRoom, double lfxLog10, double smPredictedInRoom)
{
    return 12.69 - 2.49 * nbdOnAxis - 2.99 * nbdPredictedInRoom - 4.31 * lfxLog10 + 2.32 * smPredictedInRoom;
}

PreferenceNumbers preferenceNumbers(const std::vector<Cta2034Row>& rows)
{
    const std::vector<double> hz = curveOf(rows, &Cta2034Row::frequencyHz);
    const std::vector<double> onAxis = curveOf(rows, &Cta2034Row::onAxis);
    const std::vector<double> pir = curveOf(rows, &Cta2034Row::predictedInRoom);
    PreferenceNumbers p;
    p.nbdOnAxis = narrowBandDeviation(hz, onAxis);
    p.nbdPredictedInRoom = narrowBandDeviation(hz, pir);
    p.smPredictedInRoom = smoothness(hz, pir);
    p.lfxHz = lowFrequencyExtensionHz(hz, curveOf(rows, &Cta2034Row::listeningWindow),
                                      curveOf(rows, &Cta2034Row::soundPower));
    if (p.nbdOnAxis && p.nbdPredictedInRoom && p.smPredictedInRoom) {
        if (p.lfxHz)
            p.rating = predictedPreference(*p.nbdOnAxis, *p.nbdPredictedInRoom, std::log10(*p.lfxHz),
                                           *p.smPredictedInRoom);
        p.ratingWithSubwoofer = predictedPreference(*p.nbdOnAxis, *p.nbdPredictedInRoom,
                                                    std::log10(kIdealSubwooferHz), *p.smPredictedInRoom);
    }
    p.soundPowerDiSlope = slopePerOctave(hz, curveOf(rows, &Cta2034Row::soundPowerDi), 200.0, 16000.0);
    p.earlyReflectionsDiSlope = slopePerOctave(hz, curveOf(rows, &Cta2034Row::earlyReflectionsDi), 200.0, 16000.0);
    return p;
}

namespace {

// The axis points NBD reads (its bands' reach inside the valid band).
void nbdBins(const FrequencyAxis& axis, const ValidBand& band, std::vector<int>& bins, std::vector<double>& hz)
{
    for (int b = band.first; b <= band.last; ++b)
        if (axis[b] >= kNbdLowHz / std::pow(2.0, 0.25) && axis[b] <= kNbdHighHz * std::pow(2.0, 0.25)) {
            bins.push_back(b);
            hz.push_back(axis[b]);
        }
}

struct Candidate {
    ListenerAxis listener;
    double polarCos = 0;
};

// The flattest of the candidates, nearest the axis first (the axis itself leads) so that a
// tie keeps the nearer one; levelsOf(i, db) fills candidate i's dB at the bins.
template <typename LevelsOf>
std::optional<BestAxis> flattest(std::vector<Candidate>& candidates, const std::vector<double>& hz,
                                 const LevelsOf& levelsOf)
{
    std::vector<std::size_t> order(candidates.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return candidates[a].polarCos > candidates[b].polarCos; });
    std::vector<double> db(hz.size());
    std::optional<BestAxis> best;
    for (const std::size_t i : order) {
        levelsOf(i, db);
        const std::optional<double> nbd = narrowBandDeviation(hz, db);
        if (!nbd)
            return std::nullopt;
        if (!best) {
            best = BestAxis{candidates[i].listener, *nbd, *nbd};
            continue;
        }
        if (*nbd < best->nbd - kNbdResolution) {
            best->axis = candidates[i].listener;
            best->nbd = *nbd;
        }
    }
    return best;
}

} // namespace

std::optional<BestAxis> bestListeningAxis(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                          const ValidBand& band)
{
    std::vector<int> bins;
    std::vector<double> hz;
    nbdBins(axis, band, bins, hz);
    if (bins.empty())
        return std::nullopt;

    // Measured directions only, like with like: a direction between cells reads a dB blend of
    // two to four of them, which smooths the ripple inside each band and so would beat the very
    // cells it blends. The grid's unique directions within the window.
    std::vector<Candidate> candidates;
    std::vector<CellIndex> cells;
    for (const SphereDirection& d : sphereDirections(grid)) {
        const double h = d.azimuthDegrees > 180.0 ? d.azimuthDegrees - 360.0 : d.azimuthDegrees;
        const double v = d.elevationDegrees;
        if (d.x > 0 && std::abs(h) <= kBestAxisHDegrees + 1e-9 && std::abs(v) <= kBestAxisVDegrees + 1e-9) {
            candidates.push_back({{h, v}, d.x});
            cells.push_back(d.cell);
        }
    }
    return flattest(candidates, hz, [&](std::size_t i, std::vector<double>& db) {
        const auto cell = matrix.cell(cells[i].row, cells[i].column);
        for (std::size_t k = 0; k < bins.size(); ++k)
            db[k] = binDb(cell[static_cast<std::size_t>(bins[k])]);
    });
}

std::optional<BestAxis> bestListeningAxis(const DirectionLevels& levels, const FrequencyAxis& axis,
                                          const ValidBand& band, double stepDegrees)
{
    std::vector<int> bins;
    std::vector<double> hz;
    nbdBins(axis, band, bins, hz);
    if (bins.empty() || !(stepDegrees > 0))
        return std::nullopt;
    std::vector<Candidate> candidates;
    const int hSteps = static_cast<int>(std::floor(kBestAxisHDegrees / stepDegrees + 1e-9));
    const int vSteps = static_cast<int>(std::floor(kBestAxisVDegrees / stepDegrees + 1e-9));
    for (int i = -hSteps; i <= hSteps; ++i)
        for (int j = -vSteps; j <= vSteps; ++j) {
            const ListenerAxis listener{i * stepDegrees, j * stepDegrees};
            candidates.push_back({listener, listenerDirection(listener.h, listener.v).z});
        }
    std::array<double, kDataBins> row{};
    return flattest(candidates, hz, [&](std::size_t i, std::vector<double>& db) {
        levels.levels(listenerDirection(candidates[i].listener.h, candidates[i].listener.v), row);
        for (std::size_t k = 0; k < bins.size(); ++k)
            db[k] = row[static_cast<std::size_t>(bins[k])];
    });
}

double nominalThirdOctaveHz(int k)
{
    // The preferred numbers of the one-third-octave series (R10), repeated every decade.
    static constexpr std::array<double, 10> kMantissa{1.0, 1.25, 1.6, 2.0, 2.5, 3.15, 4.0, 5.0, 6.3, 8.0};
    const int decade = k >= 0 ? k / 10 : -((-k + 9) / 10);
    return 1000.0 * std::pow(10.0, decade) * kMantissa[static_cast<std::size_t>(k - decade * 10)];
}

std::vector<CoverageRow> coverageAngles(const OrbitLevels& horizontal, const OrbitLevels& vertical,
                                        const FrequencyAxis& axis, const ValidBand& band)
{
    std::vector<CoverageRow> rows;
    for (int k = -20; k <= 23; ++k) {
        const double exact = 1000.0 * std::pow(10.0, k / 10.0);
        if (!band.containsHz(exact, axis))
            continue;
        // Nearest axis point on the log scale.
        int best = band.first;
        for (int b = band.first; b <= band.last; ++b)
            if (std::abs(std::log(axis[b] / exact)) < std::abs(std::log(axis[best] / exact)))
                best = b;
        rows.push_back({nominalThirdOctaveHz(k), axis[best], beamwidthDegrees(horizontal, best),
                        beamwidthDegrees(vertical, best)});
    }
    return rows;
}

} // namespace vantrel
