#pragma once
// A shoebox room around the simulated rig, its reflections found by the image method:
//   J. B. Allen and D. A. Berkley, "Image method for efficiently simulating small-room
//   acoustics", J. Acoust. Soc. Am. 65(4), 943-950 (1979).
//
// Room frame: x along the length (0..L), y across the width (0..W), z up from the floor (0..H).
// The rotation centre (the baffle's centre, where the loudspeaker's phase is referred) and the
// microphone stand at the rig height, centred in the width, the microphone the rig distance
// further along x, and the pair centred in the length.
//
// Each wall reflects the pressure by beta = sqrt(1 - alpha), alpha the energy absorption
// coefficient (frequency-independent, the same on all six surfaces). A path of n bounces keeps
// beta^n of the pressure, leaves the loudspeaker towards the image of the microphone and
// travels the distance to it.
//
// The turntables: turntable 2 rolls the loudspeaker by V about its own axis, then turntable 1
// yaws it by H about the vertical. At H = V = 0 the axis (+z of the loudspeaker) points at the
// microphone and the baffle's +y is up, so the direct path leaves in the loudspeaker's
// direction (sin H cos V, -sin H sin V, cos H), the model's own convention.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_paths.h"

namespace vantrel {

inline constexpr double kDefaultRoomAbsorption = 0.1;
inline constexpr double kDefaultRigHeight = 1.3;  // m above the floor
inline constexpr double kRoomClearance = 0.5;     // m kept free around the rotation centre and the microphone
inline constexpr double kLargestRoomSide = 50.0;  // m

struct SimRoom {
    double length = 0, width = 0, height = 0; // m
    double absorption = kDefaultRoomAbsorption;
    double rigHeight = kDefaultRigHeight; // m
    friend bool operator==(const SimRoom&, const SimRoom&) = default;
};

using Vec3 = std::array<double, 3>;

// "L,W,H" or "L,W,H,ALPHA": sizes in m; empty on success, else the reason naming the value.
// Reads the numbers only; roomProblem judges them.
std::string parseSimRoom(std::string_view text, SimRoom& room);
// Empty when the room can hold the rig (distance m between the rotation centre and the
// microphone), else why not, naming the value.
std::string roomProblem(const SimRoom& room, double distance);

// "X,Y,Z" of --sim-offset: the baffle centre's place from the rotation centre in mm, the
// loudspeaker's frame (+z its axis, +y up the baffle, +x = y cross z), each within
// +-kLargestSimOffsetMm; into offset in m. Empty on success, else the reason naming the value.
inline constexpr double kLargestSimOffsetMm = 500;
std::string parseSimOffset(std::string_view text, Vec3& offset);

// --sim-room and --sim-rig-height as given (height empty: the default), read and judged for a
// rig distance m apart: empty on success, else the reason naming the value.
std::string simRoomFromOptions(std::string_view roomText, std::string_view heightText, double distance, SimRoom& room);

// The rotation centre and the microphone in the room frame.
Vec3 rotationCentre(const SimRoom& room, double distance);
Vec3 microphonePosition(const SimRoom& room, double distance);

// A room direction (unit vector, room frame) in the frame of the loudspeaker turned to (H, V).
Vec3 loudspeakerDirection(double hDeg, double vDeg, const Vec3& roomDirection);

struct RoomPath {
    Vec3 image;        // the microphone's image, room frame
    int bounces = 0;
    double distance = 0; // m
    double gain = 1;     // beta^bounces
    Vec3 direction;      // leaving the loudspeaker, in its frame
};

// A vector of the loudspeaker turned to (H, V), given in its own frame, in the room frame: the
// inverse of loudspeakerDirection.
Vec3 roomVector(double hDeg, double vDeg, const Vec3& loudspeakerVector);

// Every path of 1..maxOrder bounces for the loudspeaker at (H, V), shortest first. `offset` (m,
// the loudspeaker's frame) places its baffle centre off the rotation centre: every path then
// leaves from there, turned with the loudspeaker.
std::vector<RoomPath> roomPaths(const SimRoom& room, double distance, double hDeg, double vDeg, int maxOrder = 2,
                                const Vec3& offset = {});

// The same as the simulated sound card's extra paths.
std::vector<SimPath> roomSimPaths(const SimRoom& room, double distance, double hDeg, double vDeg, int maxOrder = 2,
                                  const Vec3& offset = {});

} // namespace vantrel
