#include "platform/sim/room.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr double kRadPerDeg = std::numbers::pi / 180.0;

std::string metres(double v) { return cleanFixedText(v, 2) + " m"; }

} // namespace

std::string parseSimRoom(std::string_view text, SimRoom& room)
{
    std::vector<double> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view part = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        double v = 0;
        if (!parseDecimal(part, v))
            return "--sim-room: '" + std::string(part) + "' is not a number (L,W,H[,ALPHA] in metres)";
        values.push_back(v);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (values.size() != 3 && values.size() != 4)
        return "--sim-room takes L,W,H or L,W,H,ALPHA, not " + std::to_string(values.size()) + " numbers";
    SimRoom r = room;
    r.length = values[0];
    r.width = values[1];
    r.height = values[2];
    r.absorption = values.size() == 4 ? values[3] : kDefaultRoomAbsorption;
    room = r;
    return {};
}

std::string parseSimOffset(std::string_view text, Vec3& offset)
{
    Vec3 mm{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string_view::npos))
            return "--sim-offset takes X,Y,Z in mm, not '" + std::string(text) + "'";
        const std::string_view part = text.substr(start, i < 2 ? comma - start : text.npos);
        if (!parseDecimal(part, mm[i]))
            return "--sim-offset: '" + std::string(part) + "' is not a number (X,Y,Z in mm)";
        if (!(std::abs(mm[i]) <= kLargestSimOffsetMm))
            return "--sim-offset: " + std::string("XYZ").substr(i, 1) + " = " + cleanFixedText(mm[i], 1) +
                   " mm lies beyond +-" + cleanFixedText(kLargestSimOffsetMm, 0) + " mm";
        start = comma + 1;
    }
    for (std::size_t i = 0; i < 3; ++i)
        offset[i] = mm[i] / 1000;
    return {};
}

std::string roomProblem(const SimRoom& room, double distance)
{
    const struct {
        const char* name;
        double value;
    } sides[] = {{"length", room.length}, {"width", room.width}, {"height", room.height}};
    for (const auto& s : sides) {
        if (!(s.value > 0))
            return std::string("--sim-room: the ") + s.name + " " + cleanFixedText(s.value, 2) + " must be above 0 m";
        if (s.value > kLargestRoomSide)
            return std::string("--sim-room: the ") + s.name + " " + metres(s.value) + " is above " +
                   metres(kLargestRoomSide);
    }
    if (!(room.absorption > 0 && room.absorption < 1))
        return "--sim-room: the absorption " + cleanFixedText(room.absorption, 3) + " must lie between 0 and 1";
    if (!(room.rigHeight > 0))
        return "--sim-rig-height: " + cleanFixedText(room.rigHeight, 2) + " must be above 0 m";
    const std::string clear = " with " + metres(kRoomClearance) + " clear around them";
    if (room.length < distance + 2 * kRoomClearance)
        return "--sim-room: the length " + metres(room.length) + " cannot hold the rotation centre and the microphone " +
               metres(distance) + " apart" + clear + " (" + metres(distance + 2 * kRoomClearance) + " at least)";
    if (room.width < 2 * kRoomClearance)
        return "--sim-room: the width " + metres(room.width) + " cannot hold the rig" + clear + " (" +
               metres(2 * kRoomClearance) + " at least)";
    if (room.rigHeight < kRoomClearance || room.rigHeight > room.height - kRoomClearance)
        return "--sim-room: the height " + metres(room.height) + " cannot hold the rig at " + metres(room.rigHeight) +
               clear + " (--sim-rig-height between " + metres(kRoomClearance) + " and the height less " +
               metres(kRoomClearance) + ")";
    return {};
}

std::string simRoomFromOptions(std::string_view roomText, std::string_view heightText, double distance, SimRoom& room)
{
    std::string error = parseSimRoom(roomText, room);
    if (error.empty() && !heightText.empty() && !parseDecimal(heightText, room.rigHeight))
        error = "--sim-rig-height: '" + std::string(heightText) + "' is not a number (metres)";
    if (error.empty())
        error = roomProblem(room, distance);
    return error;
}

Vec3 rotationCentre(const SimRoom& room, double distance)
{
    return {(room.length - distance) / 2, room.width / 2, room.rigHeight};
}

Vec3 microphonePosition(const SimRoom& room, double distance)
{
    return {(room.length + distance) / 2, room.width / 2, room.rigHeight};
}

// At rest the loudspeaker's axes in the room: +x_ls = +y (across), +y_ls = +z (up), +z_ls = +x
// (towards the microphone). Its orientation is O = Yaw(H) Roll(V): Roll turns about +z_ls by V,
// Yaw about the vertical +y_ls by -H (the sign that makes the direct path the model's
// direction). A room direction d seen from the turned loudspeaker is O^T d = Roll(-V) Yaw(H) d.
Vec3 loudspeakerDirection(double hDeg, double vDeg, const Vec3& d)
{
    const double h = hDeg * kRadPerDeg, v = vDeg * kRadPerDeg;
    const double x = d[1], y = d[2], z = d[0]; // into the loudspeaker's rest frame
    // Yaw(+H) about y: (x cos H + z sin H, y, -x sin H + z cos H)
    const double x1 = x * std::cos(h) + z * std::sin(h);
    const double z1 = -x * std::sin(h) + z * std::cos(h);
    // Roll(-V) about z: (x cos V + y sin V, -x sin V + y cos V, z)
    return {x1 * std::cos(v) + y * std::sin(v), -x1 * std::sin(v) + y * std::cos(v), z1};
}

// O p = Yaw(-H) Roll(+V) p, then out of the rest frame: room (x, y, z) = (z_ls, x_ls, y_ls).
Vec3 roomVector(double hDeg, double vDeg, const Vec3& p)
{
    const double h = hDeg * kRadPerDeg, v = vDeg * kRadPerDeg;
    const double x1 = p[0] * std::cos(v) - p[1] * std::sin(v);
    const double y1 = p[0] * std::sin(v) + p[1] * std::cos(v);
    const double x2 = x1 * std::cos(h) - p[2] * std::sin(h);
    const double z2 = x1 * std::sin(h) + p[2] * std::cos(h);
    return {z2, x2, y1};
}

// Allen & Berkley's images: along each axis the image of a coordinate m in a side of length s
// is (1 - 2p) m + 2 n s for p in {0, 1} and whole n, after |n - p| + |n| bounces on that axis.
std::vector<RoomPath> roomPaths(const SimRoom& room, double distance, double hDeg, double vDeg, int maxOrder,
                                const Vec3& offset)
{
    Vec3 source = rotationCentre(room, distance);
    if (offset != Vec3{}) {
        const Vec3 shift = roomVector(hDeg, vDeg, offset);
        for (std::size_t a = 0; a < 3; ++a)
            source[a] += shift[a];
    }
    const Vec3 mic = microphonePosition(room, distance);
    const Vec3 side{room.length, room.width, room.height};
    const double beta = std::sqrt(1 - room.absorption);
    struct AxisImage {
        double coordinate;
        int bounces;
    };
    std::array<std::vector<AxisImage>, 3> axes;
    for (std::size_t a = 0; a < 3; ++a)
        for (int n = -maxOrder; n <= maxOrder; ++n)
            for (int p = 0; p <= 1; ++p) {
                const int bounces = std::abs(n - p) + std::abs(n);
                if (bounces <= maxOrder)
                    axes[a].push_back({(1 - 2 * p) * mic[a] + 2 * n * side[a], bounces});
            }
    std::vector<RoomPath> paths;
    for (const AxisImage& ix : axes[0])
        for (const AxisImage& iy : axes[1])
            for (const AxisImage& iz : axes[2]) {
                const int bounces = ix.bounces + iy.bounces + iz.bounces;
                if (bounces == 0 || bounces > maxOrder)
                    continue;
                RoomPath path;
                path.image = {ix.coordinate, iy.coordinate, iz.coordinate};
                path.bounces = bounces;
                const Vec3 d{path.image[0] - source[0], path.image[1] - source[1], path.image[2] - source[2]};
                path.distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                path.gain = std::pow(beta, bounces);
                path.direction = loudspeakerDirection(
                    hDeg, vDeg, {d[0] / path.distance, d[1] / path.distance, d[2] / path.distance});
                paths.push_back(path);
            }
    std::sort(paths.begin(), paths.end(), [](const RoomPath& a, const RoomPath& b) { return a.distance < b.distance; });
    return paths;
}

std::vector<SimPath> roomSimPaths(const SimRoom& room, double distance, double hDeg, double vDeg, int maxOrder,
                                  const Vec3& offset)
{
    std::vector<SimPath> out;
    for (const RoomPath& p : roomPaths(room, distance, hDeg, vDeg, maxOrder, offset)) {
        const double cosT = std::clamp(p.direction[2], -1.0, 1.0);
        out.push_back({{p.direction[1], cosT, std::sqrt(std::max(0.0, 1 - cosT * cosT))}, p.distance, p.gain});
    }
    return out;
}

} // namespace vantrel
