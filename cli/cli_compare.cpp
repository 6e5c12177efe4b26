// vantrel-cli compare A.BAL B.BAL -o DIR [--tolerance DB] [--band F1,F2] [--front] [--within DB]:
// balloon B against
// balloon A (a unit against its reference): difference maps of both planes (B minus A,
// relative and absolute), the differences of on-axis level, sound power and DI, the largest
// difference with its direction and frequency, and with a tolerance a pass/fail verdict in
// the exit status (0 pass, 1 fail), so a production line can hold each unit to its reference.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/compare.h"
#include "analysis/compare_report.h"
#include "analysis/pictures.h"
#include "analysis/tables.h"
#include "balloon/measured_balloon.h"
#include "cli/cli_command.h"
#include "platform/number_text.h"
#include "platform/qt/picture_file.h"

namespace vantrel {
namespace {

constexpr const char* kName = "compare";

struct CompareOptions {
    std::string a, b, outDir;
    double tolerance = 0;
    bool toleranceGiven = false;
    std::vector<double> band;
    bool front = false;
    double within = 0;
    bool withinGiven = false;
};

int usageError(const std::string& message) { return cliUsageError(kName, message); }

int runCompare(const CompareOptions& o)
{
    CompareReportOptions options;
    if (o.toleranceGiven)
        options.tolerance = o.tolerance;
    options.band = o.band;
    options.front = o.front;
    if (o.withinGiven)
        options.within = o.within;
    if (std::string problem = compareOptionsProblem(options); !problem.empty())
        return usageError(problem);

    std::optional<BalloonMatrix> createdA = BalloonMatrix::create();
    std::optional<BalloonMatrix> createdB = BalloonMatrix::create();
    if (!createdA || !createdB)
        return cliRefusal(kName, "not enough memory for two balloons");
    BalloonMatrix a = std::move(*createdA);
    BalloonMatrix b = std::move(*createdB);
    const MeasuredBalloonLoad loadedA = loadMeasuredBalloon(o.a, a);
    if (!loadedA)
        return usageError(o.a + ": " + loadedA.error);
    const MeasuredBalloonLoad loadedB = loadMeasuredBalloon(o.b, b);
    if (!loadedB)
        return usageError(o.b + ": " + loadedB.error);
    CompareReport report;
    if (auto refusal = buildCompareReport({a, *loadedA.settings, loadedA.measured, o.a},
                                          {b, *loadedB.settings, loadedB.measured, o.b}, options, report))
        return usageError(*refusal);

    std::error_code ec;
    const std::filesystem::path dir(o.outDir);
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir))
        return usageError("cannot make the output directory " + o.outDir);
    for (const ReportItem& item : report.items) {
        const std::filesystem::path path = dir / item.file;
        if (item.draw) {
            if (auto error = savePicturePng(item.width, item.height, item.draw, path.string())) {
                std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, error->c_str());
                return kExitUsage;
            }
        } else {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(item.text.data(), static_cast<std::streamsize>(item.text.size()));
            out.close();
            if (!out) {
                std::fprintf(stderr, "vantrel-cli %s: cannot write %s\n", kName, path.string().c_str());
                return kExitUsage;
            }
        }
        std::printf("wrote %s\n", path.string().c_str());
        std::fflush(stdout);
    }
    for (const std::string& line : report.summary)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return report.pass && !*report.pass ? kExitRefused : 0;
}

std::function<int()> setupCompare(CLI::App& app)
{
    auto o = std::make_shared<CompareOptions>();
    app.add_option("a", o->a, "the reference balloon file A (*.BAL)")->required();
    app.add_option("b", o->b, "the balloon file B held against A (*.BAL)")->required();
    app.add_option("-o,--output", o->outDir, "the directory for the pictures and the table (made if missing)")
        ->required();
    auto* tolerance = addDecimalOption(app, "--tolerance", o->tolerance,
                                       "largest |B - A| in dB that passes; exit status 1 beyond it");
    addDecimalListOption(app, "--band", o->band, "compare only F1..F2 Hz (inside the valid band)");
    app.add_flag("--front", o->front, "compare only the front hemisphere (within 90 degrees of the axis)");
    auto* within = addDecimalOption(app, "--within", o->within,
                                    "compare only where A lies within DB of its own axis at that frequency");
    return [o, tolerance, within] {
        o->toleranceGiven = tolerance->count() > 0;
        o->withinGiven = within->count() > 0;
        return runCompare(*o);
    };
}

const CliRegistration registration({"compare",
                                    "Balloon B against balloon A: difference maps, on-axis, sound power and DI "
                                    "differences, the largest difference, pass or fail against a tolerance",
                                    setupCompare});

} // namespace
} // namespace vantrel
