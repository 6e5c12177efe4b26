#pragma once
// The versioned HTTP/JSON interface (/api/v1) on Qt's HTTP server: status, turntable moves and
// balloon walks run by the same job as `vantrel-cli measure`, with their progress as
// Server-Sent Events. One walk or move at a time; everything that moves a table or plays sound
// needs the bearer token. The walk and the moves run on a worker thread; every answer is given
// on the thread of the server's event loop.

#include <QHostAddress>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/balloon_job.h"
#include "app/measure_plan.h"

namespace vantrel {

inline constexpr int kApiDefaultPort = 4747;
inline constexpr qsizetype kApiBodyLimit = 64 * 1024;          // bytes of a JSON request body
inline constexpr qsizetype kApiUploadLimit = 17 * 1024 * 1024; // bytes of an uploaded balloon file

struct ApiServerOptions {
    MeasureRequest rig;    // simulate, tt1, tt2, input, output, faults (the rig's own, as its tables and
                           // single measurements use it), nonlinearity, simRoom, rigHeight, simOffset,
                           // simArc, micErrorsSeed (every walk's)
    std::string directory; // where walks autosave and write their balloons
    std::string token;     // the bearer token of every request that moves or plays
};

// What the server tells its host about a walk (the desktop shows it).
struct ApiWalkNews {
    int id = 0;
    std::string state; // "running", "completed", "interrupted", "halted", "refused"
    BalloonProgress progress;
    std::string message;
    std::string file; // the balloon written, once there is one
};

class ApiServer final : public QObject {
public:
    explicit ApiServer(ApiServerOptions options, QObject* parent = nullptr);
    ~ApiServer() override; // a running walk is aborted as "ABORT Test" does, and waited for

    // The port listened on, 0 when the address or port cannot be taken.
    quint16 listen(const QHostAddress& address, quint16 port);

    // Called on the server's thread at every progress line and at a walk's end.
    void onWalkNews(std::function<void(const ApiWalkNews&)> news);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// A random token: 32 bytes from the system's generator as 64 hex digits.
std::string makeApiToken();

// Writes the token readable by the user only (0600) into dir/vantrel/api-<port>.token, dir
// being runtimeDirectory (XDG_RUNTIME_DIR as the session set it), else /tmp/vantrel-<uid> (made
// 0700 and refused unless the user's own). Returns the path, or empty with why.
std::string writeApiToken(const std::string& token, quint16 port, const std::string& runtimeDirectory, std::string& why);
// The session's XDG_RUNTIME_DIR, empty when unset.
std::string sessionRuntimeDirectory();

// A user's token file: its first line, at least 16 characters, in a file no one else may read.
std::string readApiTokenFile(const std::string& path, std::string& why);

} // namespace vantrel
