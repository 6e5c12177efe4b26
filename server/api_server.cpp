#include "server/api_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "analysis/compare.h"
#include "analysis/tables.h"
#include "app/main_window.h"
#include "balloon/measured_balloon.h"
#include "balloon/valid_band.h"
#include "mls/measurement_window.h"
#include "mls/numeric_text.h"
#include "mls/sweep.h"
#include "balloon/balloon_autosave.h"
#include "devices/device_set.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "platform/number_text.h"
#include "platform/version.h"
#include "server/api_balloons.h"
#include "server/api_request.h"

namespace vantrel {

extern const char kOpenApiText[]; // server/openapi.json

namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

QByteArray jsonBytes(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

QHttpServerResponse jsonAnswer(const QJsonObject& object, Status status = Status::Ok)
{
    return QHttpServerResponse("application/json", jsonBytes(object), status);
}

QHttpServerResponse errorAnswer(Status status, const std::string& message, const std::string& field = {})
{
    QJsonObject o{{"error", QString::fromStdString(message)}};
    if (!field.empty())
        o.insert("field", QString::fromStdString(field));
    return jsonAnswer(o, status);
}

QString text(const std::string& s) { return QString::fromStdString(s); }

// Compares without stopping at the first difference, so the time taken tells nothing of the token.
bool sameSecret(const QByteArray& a, const QByteArray& b)
{
    unsigned char differ = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return differ == 0;
}

const char* outcomeName(BalloonJobResult::Outcome o)
{
    switch (o) {
    case BalloonJobResult::Outcome::completed: return "completed";
    case BalloonJobResult::Outcome::interrupted: return "interrupted";
    case BalloonJobResult::Outcome::halted: return "halted";
    case BalloonJobResult::Outcome::refused: return "refused";
    }
    return "refused";
}

QJsonObject progressObject(const BalloonProgress& p)
{
    return {{"done", p.done},
            {"total", p.total},
            {"h", p.hAngle},
            {"v", p.vAngle},
            {"rigSeconds", p.rigSeconds},
            {"wallSeconds", p.wallSeconds}};
}

// One walk: its worker thread writes progress and the end under the lock, the server's thread
// reads them and streams them out.
struct Walk {
    int id = 0;
    std::string file; // the balloon's path
    std::atomic<bool> abort{false};
    std::thread thread;

    std::mutex mutex;
    std::string state = "running";
    BalloonProgress last;
    int lastLineV = 1000;
    bool lastLineShown = false; // the line of the last point went out
    std::vector<QByteArray> events; // Server-Sent Events, complete frames
    BalloonJobResult result;
    bool finished = false;
    int balloonId = 0; // once its balloon file is kept among the server's balloons

    void addEvent(const char* name, const QJsonObject& data)
    {
        events.push_back("id: " + QByteArray::number(static_cast<qsizetype>(events.size() + 1)) + "\nevent: " + name +
                         "\ndata: " + jsonBytes(data) + "\n\n");
    }
};

// A client following a walk's events.
struct EventStream {
    std::shared_ptr<Walk> walk;
    std::size_t sent = 0;
    QPointer<QTcpSocket> socket;
    std::unique_ptr<QHttpServerResponder> responder;
};

// The tables between walks: the main window's own links on their own headless host, connected
// at the first move and let go before a walk connects its own.
class RigSession {
public:
    RigSession(const ApiServerOptions& o)
        : platform_(log_), devices_(o.rig.simulate, platform_.clock(), platform_.log(), o.rig.faults),
          simulate_(o.rig.simulate)
    {
        platform_.setRealTime(!simulate_);
        platform_.setPainting(false);
        main_ = MainWindow::start(platform_, devices_.devices(), o.directory, false);
        if (!main_)
            return;
        std::string setup;
        if (!simulate_) {
            setup += "select main 3000 " + std::to_string(portIndexFor(o.rig.tt1, 1)) + "\n";
            setup += "select main 3001 " + std::to_string(portIndexFor(o.rig.tt2, 2)) + "\n";
        }
        setup += "press main 1004\npress main 1012\n";
        std::istringstream in(setup);
        (void)runSessionScript(platform_, in);
    }

    bool connected() const
    {
        return main_ && main_->turntables().connected(1) && main_->turntables().connected(2);
    }
    int degrees(int turntable) const
    {
        return main_ ? (turntable == 1 ? main_->turntables().hAngleCounter() : main_->turntables().vAngleCounter()) : 0;
    }

    // Whole degrees as the jog steps make them (90, 10, 5, 1), each step's wait run out before
    // the next. Empty when done, else why not.
    std::string move(int turntable, int degrees)
    {
        if (!connected())
            return "the turntables could not be connected";
        const int direction = degrees > 0 ? 1 : -1;
        int left = degrees > 0 ? degrees : -degrees;
        TurntableLink& link = main_->turntables().link(turntable);
        for (const int step : {90, 10, 5, 1})
            while (left >= step) {
                if (link.move(step, direction) != 0)
                    return "turntable " + std::to_string(turntable) + " refused the move";
                const auto wallStart = std::chrono::steady_clock::now();
                const std::uint64_t rigStart = platform_.now();
                while (link.busy()) {
                    platform_.advance(simulate_ ? 100 : 20);
                    platform_.settle();
                    if (!simulate_)
                        std::this_thread::sleep_until(wallStart + std::chrono::milliseconds(platform_.now() - rigStart));
                }
                left -= step;
            }
        return {};
    }

    // The tables to the turntable angles (h, v) of a walk, counted from H = 0, V = +90 where
    // the server connected them; on the axis and the rear axis (H 0, 180) V is left alone.
    std::string moveTo(int h, int v)
    {
        const int dh = h - degrees(1);
        if (dh != 0)
            if (std::string error = move(1, dh); !error.empty())
                return error;
        // Turntable 2 turns V down from +90 by its negative direction.
        const int dv = (v - 90) - degrees(2);
        if (h % 180 != 0 && dv != 0)
            if (std::string error = move(2, dv); !error.empty())
                return error;
        return {};
    }

    struct Measured {
        MlsSettings settings;
        FrequencyAxis axis;
        AxisLevelPhase response{};
        std::optional<HarmonicResponses> harmonics;
        double rigSeconds = 0; // the recording's own time on the rig's clock
    };

    // One recording at the tables' position through the measurement window ("Run MLS", then
    // "IR to SPL"), with its settings where the request gives none. Empty when measured, else why not.
    std::string measure(const MeasurementRequest& r, Measured& out)
    {
        if (!main_)
            return "the main window could not start";
        std::string script;
        if (!main_->measurementDialog())
            script += "press main 1038\n";
        if (main_->settings().useSavedIr == 1)
            script += "press measure 20030\n"; // "Saved IR" off: a live recording
        if (r.order) {
            script += "select measure 10003 " + std::to_string(*r.order - 13) + "\n";
            // As a walk does: a time window longer than the order allows becomes the longest it allows.
            const long longest = (1L << *r.order) - 1;
            if (std::lround(textValue(main_->settings().windowWidthText)) > longest)
                script += "type measure 10012 \"" + std::to_string(longest) + "\"\n";
        }
        if (r.rate)
            script += "select measure 10004 " + std::to_string(*r.rate == 96000 ? 6 : 5) + "\n";
        const std::size_t logged = log_.str().size();
        if (auto error = run(script))
            return *error;
        MeasurementWindow* window = main_->measurementDialog();
        if (!window)
            return "the measurement window did not open";
        ExcitationSettings& e = main_->excitation();
        if (r.excitation)
            e.sweep = *r.excitation == "sweep";
        if (r.f1)
            e.f1Hz = *r.f1;
        if (r.f2)
            e.f2Hz = *r.f2;
        if (e.sweep)
            if (const SweepPlanResult plan = planSweep(main_->settings(), e); !plan.ok())
                return plan.error;
        if (auto error = run("press measure 10007\n"))
            return *error;
        const auto wallStart = std::chrono::steady_clock::now();
        const std::uint64_t rigStart = platform_.now();
        for (int waited = 0; window->recording() && waited < 60000; waited += 20) {
            platform_.advance(20);
            platform_.settle();
            if (!simulate_)
                std::this_thread::sleep_until(wallStart + std::chrono::milliseconds(platform_.now() - rigStart));
        }
        if (window->recording())
            return "the sound card did not deliver the recording within 60 s";
        if (auto error = run("press measure 10009\n"))
            return *error;
        if (const std::string said = messagesSince(logged); !said.empty())
            return said;
        out.settings = main_->settings();
        out.axis = main_->axis();
        out.response = window->engine().response();
        if (e.sweep)
            out.harmonics = window->engine().harmonics();
        out.rigSeconds = static_cast<double>(platform_.now() - rigStart) / 1000.0;
        return {};
    }

private:
    std::optional<std::string> run(const std::string& script)
    {
        std::istringstream in(script);
        if (auto error = runSessionScript(platform_, in))
            return error->message;
        return std::nullopt;
    }

    // The texts of the message boxes shown since the log held `from` characters.
    std::string messagesSince(std::size_t from) const
    {
        std::istringstream lines(log_.str().substr(from));
        std::string line, said;
        while (std::getline(lines, line))
            if (const auto at = line.find(" message "); at != std::string::npos)
                said += (said.empty() ? "" : "; ") + line.substr(at + 9);
        return said;
    }

    std::ostringstream log_;
    HeadlessPlatform platform_;
    DeviceSet devices_;
    bool simulate_;
    std::unique_ptr<MainWindow> main_;
};

} // namespace

class ApiServer::Impl {
public:
    Impl(ApiServer& owner, ApiServerOptions options) : owner_(owner), o_(std::move(options)) { routes(); }

    ~Impl()
    {
        for (auto& [id, walk] : walks_)
            if (walk->thread.joinable()) {
                walk->abort.store(true);
                walk->thread.join();
            }
        if (moveThread_.joinable())
            moveThread_.join();
    }

    QHttpServer http;
    std::function<void(const ApiWalkNews&)> news;

private:
    enum class Busy { idle, walk, move, measure, check };

    bool authorised(const QHttpServerRequest& request) const
    {
        return sameSecret(request.value("Authorization"), QByteArray("Bearer ") + QByteArray::fromStdString(o_.token));
    }

    // The refusal of a request that may not go on, or nothing.
    std::optional<QHttpServerResponse> gate(const QHttpServerRequest& request, bool needsToken,
                                            qsizetype limit = kApiBodyLimit) const
    {
        if (needsToken && !authorised(request))
            return errorAnswer(Status::Unauthorized, "this request moves a table or plays sound: give the header "
                                                     "\"Authorization: Bearer TOKEN\" with the token the server wrote");
        if (request.body().size() > limit)
            return errorAnswer(Status::PayloadTooLarge, "the body is larger than " + std::to_string(limit) + " bytes");
        return std::nullopt;
    }

    std::optional<QHttpServerResponse> busyRefusal() const
    {
        if (busy_ == Busy::walk)
            return errorAnswer(Status::Conflict, "walk " + std::to_string(busyWalk_) + " is running: one walk, move or "
                                                 "measurement at a time (DELETE /api/v1/walks/" + std::to_string(busyWalk_) +
                                                 " aborts it)");
        if (busy_ != Busy::idle)
            return errorAnswer(Status::Conflict, std::string(busy_ == Busy::move      ? "a turntable is moving"
                                                             : busy_ == Busy::measure ? "a measurement is running"
                                                                                      : "a production check is running") +
                                                     ": one walk, move or measurement at a time");
        return std::nullopt;
    }

    static std::string_view bodyOf(const QHttpServerRequest& request)
    {
        const QByteArray& b = request.body();
        return {b.constData(), static_cast<std::size_t>(b.size())};
    }

    QJsonObject rigObject() const
    {
        QJsonObject rig{{"kind", o_.rig.simulate ? "simulated" : "hardware"}};
        if (!o_.rig.simulate) {
            rig.insert("tt1", text(o_.rig.tt1));
            rig.insert("tt2", text(o_.rig.tt2));
        }
        rig.insert("inputDevice", o_.rig.input);
        rig.insert("outputDevice", o_.rig.output);
        return rig;
    }

    const char* stateName() const
    {
        switch (busy_) {
        case Busy::walk: return "walking";
        case Busy::move: return "moving";
        case Busy::measure: return "measuring";
        case Busy::check: return "checking";
        case Busy::idle: break;
        }
        return "idle";
    }

    QJsonObject walkObject(Walk& w)
    {
        std::lock_guard lock(w.mutex);
        QJsonObject o{{"id", w.id},
                      {"state", text(w.state)},
                      {"done", w.last.done},
                      {"total", w.last.total},
                      {"rigSeconds", w.last.rigSeconds},
                      {"wallSeconds", w.last.wallSeconds},
                      {"last", QJsonObject{{"h", w.last.hAngle}, {"v", w.last.vAngle}}},
                      {"file", text(std::filesystem::path(w.file).filename().string())}};
        if (w.finished) {
            o.insert("message", text(w.result.message));
            o.insert("balloon", !w.result.savedTo.empty() ? QJsonValue(QString("/api/v1/walks/%1/balloon").arg(w.id))
                                                          : QJsonValue());
            o.insert("balloonId", w.balloonId > 0 ? QJsonValue(w.balloonId) : QJsonValue());
            const auto kept = readAutosaveProgress(o_.directory);
            o.insert("resumable", w.result.outcome != BalloonJobResult::Outcome::completed && kept &&
                                      kept->state == AutosaveState::running);
        }
        return o;
    }

    void routes()
    {
        http.route("/api/v1/openapi.json", Method::Get,
                   [] { return QHttpServerResponse("application/json", QByteArray(kOpenApiText)); });
        const auto info = [this] {
            return jsonAnswer({{"name", "vantrel"},
                               {"version", text(vantrelVersionText())},
                               {"api", 1},
                               {"rig", rigObject()},
                               {"state", stateName()},
                               {"walk", busy_ == Busy::walk ? QJsonValue(busyWalk_) : QJsonValue()}});
        };
        http.route("/api/v1", Method::Get, info);
        http.route("/api/v1/", Method::Get, info);
        http.route("/api/v1/turntables", Method::Get, [this] {
            QJsonArray tables;
            for (int t = 1; t <= 2; ++t)
                tables.append(QJsonObject{{"id", t},
                                          {"axis", t == 1 ? "H" : "V"},
                                          {"degrees", degrees_[t - 1]},
                                          {"moving", busy_ == Busy::move && movingTable_ == t}});
            return jsonAnswer({{"turntables", tables}, {"state", stateName()}});
        });
        http.route("/api/v1/turntables/<arg>/moves", Method::Post,
                   [this](int turntable, const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                       startMove(turntable, request, std::move(responder));
                   });
        http.route("/api/v1/measurements", Method::Post,
                   [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                       startMeasurement(request, std::move(responder));
                   });
        http.route("/api/v1/checks", Method::Post,
                   [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                       startCheck(request, std::move(responder));
                   });
        http.route("/api/v1/walks", Method::Post,
                   [this](const QHttpServerRequest& request) { return startWalk(request); });
        http.route("/api/v1/walks", Method::Get, [this] {
            QJsonArray list;
            for (auto& [id, walk] : walks_)
                list.append(walkObject(*walk));
            return jsonAnswer({{"walks", list}});
        });
        http.route("/api/v1/walks/<arg>", Method::Get, [this](int id) {
            const auto it = walks_.find(id);
            if (it == walks_.end())
                return errorAnswer(Status::NotFound, "no walk " + std::to_string(id));
            return jsonAnswer(walkObject(*it->second));
        });
        http.route("/api/v1/walks/<arg>", Method::Delete, [this](int id, const QHttpServerRequest& request) {
            if (auto refusal = gate(request, true))
                return std::move(*refusal);
            const auto it = walks_.find(id);
            if (it == walks_.end())
                return errorAnswer(Status::NotFound, "no walk " + std::to_string(id));
            it->second->abort.store(true);
            return jsonAnswer(walkObject(*it->second), Status::Accepted);
        });
        http.route("/api/v1/walks/<arg>/events", Method::Get,
                   [this](int id, const QHttpServerRequest&, QHttpServerResponder&& responder) {
                       const auto it = walks_.find(id);
                       if (it == walks_.end()) {
                           responder.write(jsonBytes({{"error", QString("no walk %1").arg(id)}}), "application/json",
                                           Status::NotFound);
                           return;
                       }
                       follow(it->second, std::move(responder));
                   });
        http.route("/api/v1/walks/<arg>/balloon", Method::Get, [this](int id) {
            const auto it = walks_.find(id);
            if (it == walks_.end())
                return errorAnswer(Status::NotFound, "no walk " + std::to_string(id));
            Walk& w = *it->second;
            std::string saved;
            {
                std::lock_guard lock(w.mutex);
                if (w.finished)
                    saved = w.result.savedTo;
            }
            if (saved.empty())
                return errorAnswer(Status::Conflict, "walk " + std::to_string(id) + " has no balloon file yet");
            return fileAnswer(saved);
        });
        http.route("/api/v1/balloons", Method::Get, [this] {
            QJsonArray list;
            for (const auto& [id, path] : balloons_)
                list.append(balloonObject(id));
            return jsonAnswer({{"balloons", list}});
        });
        http.route("/api/v1/balloons", Method::Post,
                   [this](const QHttpServerRequest& request) { return uploadBalloon(request); });
        http.route("/api/v1/balloons/<arg>", Method::Get, [this](int id) {
            if (!balloons_.count(id))
                return errorAnswer(Status::NotFound, "no balloon " + std::to_string(id));
            return jsonAnswer(balloonObject(id));
        });
        http.route("/api/v1/balloons/<arg>/file", Method::Get, [this](int id) {
            const auto it = balloons_.find(id);
            if (it == balloons_.end())
                return errorAnswer(Status::NotFound, "no balloon " + std::to_string(id));
            return fileAnswer(it->second);
        });
        http.route("/api/v1/balloons/<arg>/exports/<arg>", Method::Get, [this](int id, const QString& format) {
            const auto it = balloons_.find(id);
            if (it == balloons_.end())
                return errorAnswer(Status::NotFound, "no balloon " + std::to_string(id));
            ExportedFile file;
            bool usage = true;
            if (const std::string error = exportBalloon(it->second, format.toStdString(), file, usage); !error.empty())
                return errorAnswer(usage ? Status::BadRequest : Status::InternalServerError, error,
                                   usage ? "format" : "");
            QHttpServerResponse answer(file.mimeType, file.bytes);
            answer.addHeader("Content-Disposition",
                             "attachment; filename=\"" + QByteArray::fromStdString(file.fileName) + "\"");
            return answer;
        });
        http.setMissingHandler([](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            responder.write(jsonBytes({{"error", "no such resource or method: " + request.url().path()}}),
                            "application/json", Status::NotFound);
        });
    }

    static QHttpServerResponse fileAnswer(const std::string& path)
    {
        QFile file(text(path));
        if (!file.open(QIODevice::ReadOnly))
            return errorAnswer(Status::InternalServerError, "cannot read '" + path + "'");
        QHttpServerResponse answer("application/octet-stream", file.readAll());
        answer.addHeader("Content-Disposition",
                         "attachment; filename=\"" + QByteArray::fromStdString(std::filesystem::path(path).filename().string()) + "\"");
        return answer;
    }

    int keepBalloon(const std::string& path)
    {
        for (const auto& [id, kept] : balloons_)
            if (kept == path) {
                goldens_.erase(id); // written anew: read again at its next check
                return id;
            }
        balloons_[nextBalloon_] = path;
        return nextBalloon_++;
    }

    QJsonObject balloonObject(int id) const
    {
        const std::string& path = balloons_.at(id);
        std::string summary;
        const std::string error = checkBalloon(path, summary);
        QJsonObject exports;
        for (const std::string_view f : kApiExportFormats)
            exports.insert(QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size())),
                           QString("/api/v1/balloons/%1/exports/").arg(id) + QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size())));
        return {{"id", id},
                {"file", text(std::filesystem::path(path).filename().string())},
                {"summary", text(error.empty() ? summary : error)},
                {"download", QString("/api/v1/balloons/%1/file").arg(id)},
                {"exports", exports}};
    }

    // A balloon file sent as the body, or {"path": NAME} of one in the server's directory. It is
    // kept only when the balloon reader takes it.
    QHttpServerResponse uploadBalloon(const QHttpServerRequest& request)
    {
        const bool byPath = request.value("Content-Type").startsWith("application/json");
        if (auto refusal = gate(request, true, byPath ? kApiBodyLimit : kApiUploadLimit))
            return std::move(*refusal);
        std::string summary;
        if (byPath) {
            std::string name;
            if (auto error = readBalloonPath(bodyOf(request), name))
                return errorAnswer(Status::BadRequest, error->message, error->field);
            std::string full;
            if (!insideDirectory(name, full))
                return errorAnswer(Status::BadRequest, "\"path\": '" + name + "' lies outside the server's directory",
                                   "path");
            if (const std::string error = checkBalloon(full, summary); !error.empty())
                return errorAnswer(Status::BadRequest, "\"path\": " + error, "path");
            const int id = keepBalloon(full);
            return jsonAnswer(balloonObject(id), Status::Created);
        }
        QTemporaryDir staging(text(o_.directory + "/.upload-XXXXXX"));
        if (!staging.isValid())
            return errorAnswer(Status::InternalServerError, "cannot stage the upload in '" + o_.directory + "'");
        std::string name;
        std::error_code exists;
        for (int n = nextBalloon_; name.empty() || std::filesystem::exists(std::filesystem::path(o_.directory) / name, exists); ++n)
            name = "upload-" + std::to_string(n) + ".BAL";
        const std::string staged = staging.path().toStdString() + "/" + name;
        {
            QFile file(text(staged));
            if (!file.open(QIODevice::WriteOnly) || file.write(request.body()) != request.body().size())
                return errorAnswer(Status::InternalServerError, "cannot stage the upload in '" + o_.directory + "'");
        }
        if (const std::string error = checkBalloon(staged, summary); !error.empty())
            return errorAnswer(Status::BadRequest, error);
        const std::string kept = (std::filesystem::path(o_.directory) / name).string();
        std::error_code ec;
        std::filesystem::rename(staged, kept, ec);
        if (ec)
            return errorAnswer(Status::InternalServerError, "cannot keep the upload as '" + kept + "'");
        const int id = keepBalloon(kept);
        return jsonAnswer(balloonObject(id), Status::Created);
    }

    // name, relative to the server's directory, as a full path that stays inside it (links and
    // ".." followed on the real folders).
    bool insideDirectory(const std::string& name, std::string& full) const
    {
        std::error_code ec;
        const auto root = std::filesystem::weakly_canonical(o_.directory, ec);
        const auto path = std::filesystem::weakly_canonical(root / name, ec);
        const auto relative = path.lexically_relative(root);
        if (ec || relative.empty() || *relative.begin() == "..")
            return false;
        full = path.string();
        return true;
    }

    QHttpServerResponse startWalk(const QHttpServerRequest& request)
    {
        if (auto refusal = gate(request, true))
            return std::move(*refusal);
        WalkRequest w;
        if (auto error = readWalkRequest(bodyOf(request), w))
            return errorAnswer(Status::BadRequest, error->message, error->field);
        if (auto refusal = busyRefusal())
            return std::move(*refusal);

        MeasureRequest m = w.measure;
        for (auto [field, path] : {std::pair{"preferences", &m.preferences}, std::pair{"micFile", &m.micFile},
                                   std::pair{"arc", &m.arcFile}, std::pair{"arcCalibration", &m.arcCalibration}}) {
            std::string full;
            std::error_code ec;
            if (path->empty())
                continue;
            if (!insideDirectory(*path, full))
                return errorAnswer(Status::BadRequest,
                                   "\"" + std::string(field) + "\": '" + *path + "' lies outside the server's directory",
                                   field);
            if (!std::filesystem::is_regular_file(full, ec))
                return errorAnswer(Status::BadRequest,
                                   "\"" + std::string(field) + "\": no file '" + *path + "' in the server's directory",
                                   field);
            *path = full;
        }
        m.simulate = o_.rig.simulate;
        m.tt1 = o_.rig.tt1;
        m.tt2 = o_.rig.tt2;
        m.input = o_.rig.input;
        m.output = o_.rig.output;
        m.faults = o_.rig.faults;
        m.nonlinearity = o_.rig.nonlinearity;
        m.simRoom = o_.rig.simRoom;
        m.rigHeight = o_.rig.rigHeight;
        m.simOffset = o_.rig.simOffset;
        m.simArc = o_.rig.simArc;
        m.micErrorsSeed = o_.rig.micErrorsSeed;
        const int id = nextWalk_;
        const std::string file = w.file.empty() ? "walk-" + std::to_string(id) + ".BAL" : w.file;
        m.balloon = (std::filesystem::path(o_.directory) / file).string();
        if (w.resume) {
            m.resume = o_.directory;
            if (!o_.rig.simulate)
                m.simulate = false;
        }
        MeasurePlan plan = planMeasure(m, o_.directory);
        if (!plan.error.empty())
            return errorAnswer(plan.usage ? Status::BadRequest : Status::Conflict, plan.error);

        plan.job.interruptKeepsResumable = true; // DELETE stops the tables; the walk may be resumed
        ++nextWalk_;
        session_.reset(); // the walk connects the tables itself
        auto walk = std::make_shared<Walk>();
        walk->id = id;
        walk->file = m.balloon;
        walks_[id] = walk;
        busy_ = Busy::walk;
        busyWalk_ = id;
        QPointer<QObject> owner(&owner_);
        walk->thread = std::thread([this, walk, owner, job = plan.job] {
            const auto progress = [&](const BalloonProgress& p) {
                bool line = false;
                {
                    std::lock_guard lock(walk->mutex);
                    walk->last = p;
                    // One line per V angle, as measure writes them, and the last point.
                    if (!walk->lastLineShown && p.total > 0 && (p.vAngle != walk->lastLineV || p.done == p.total)) {
                        walk->lastLineV = p.vAngle;
                        walk->lastLineShown = p.done == p.total;
                        QJsonObject data = progressObject(p);
                        data.insert("line", text(progressLine(p)));
                        walk->addEvent("progress", data);
                        line = true;
                    }
                }
                if (line)
                    QMetaObject::invokeMethod(&owner_, [this, id = walk->id] { walkNews(id); }, Qt::QueuedConnection);
            };
            BalloonJobResult result = runBalloonJob(job, progress, &walk->abort);
            {
                std::lock_guard lock(walk->mutex);
                walk->result = result;
                walk->state = outcomeName(result.outcome);
                walk->finished = true;
                walk->last.rigSeconds = result.rigSeconds;
                walk->last.wallSeconds = result.wallSeconds;
                QJsonObject end{{"state", text(walk->state)}, {"done", result.pointsDone}};
                if (!result.message.empty())
                    end.insert("message", text(result.message));
                if (!result.savedTo.empty())
                    end.insert("balloon", QString("/api/v1/walks/%1/balloon").arg(walk->id));
                walk->addEvent("end", end);
            }
            QMetaObject::invokeMethod(&owner_, [this, id = walk->id] { walkEnded(id); }, Qt::QueuedConnection);
        });
        QJsonObject answer = walkObject(*walk);
        answer.insert("events", QString("/api/v1/walks/%1/events").arg(id));
        return jsonAnswer(answer, Status::Accepted);
    }

    void walkNews(int id)
    {
        const auto it = walks_.find(id);
        if (it == walks_.end())
            return;
        flushStreams();
        if (news) {
            Walk& w = *it->second;
            ApiWalkNews n;
            {
                std::lock_guard lock(w.mutex);
                n = {w.id, w.state, w.last, w.finished ? w.result.message : std::string(),
                     w.finished ? w.result.savedTo : std::string()};
            }
            news(n);
        }
    }

    void walkEnded(int id)
    {
        const auto it = walks_.find(id);
        if (it == walks_.end())
            return;
        Walk& w = *it->second;
        if (w.thread.joinable())
            w.thread.join();
        if (!w.result.savedTo.empty()) {
            std::lock_guard lock(w.mutex);
            w.balloonId = keepBalloon(w.result.savedTo);
        }
        if (busy_ == Busy::walk && busyWalk_ == id)
            busy_ = Busy::idle;
        walkNews(id);
    }

    void follow(const std::shared_ptr<Walk>& walk, QHttpServerResponder&& responder)
    {
        auto stream = std::make_unique<EventStream>();
        stream->walk = walk;
        stream->socket = responder.socket();
        responder.writeStatusLine(Status::Ok);
        responder.writeHeader("Content-Type", "text/event-stream");
        responder.writeHeader("Cache-Control", "no-cache");
        responder.writeHeader("Connection", "close");
        responder.writeBody(QByteArray(": events of walk " + QByteArray::number(walk->id) + "\n\n"));
        stream->responder = std::make_unique<QHttpServerResponder>(std::move(responder));
        streams_.push_back(std::move(stream));
        flushStreams();
    }

    void flushStreams()
    {
        for (auto it = streams_.begin(); it != streams_.end();) {
            EventStream& s = **it;
            bool done = false;
            if (s.socket && s.socket->state() == QAbstractSocket::ConnectedState) {
                std::lock_guard lock(s.walk->mutex);
                for (; s.sent < s.walk->events.size(); ++s.sent)
                    s.socket->write(s.walk->events[s.sent]);
                done = s.walk->finished;
            } else {
                done = true;
            }
            if (done) {
                if (s.socket) {
                    s.socket->flush();
                    s.socket->disconnectFromHost();
                }
                it = streams_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void startMove(int turntable, const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        const auto answer = [&responder](const QHttpServerResponse& r) {
            responder.write(r.data(), r.mimeType(), r.statusCode());
        };
        if (turntable != 1 && turntable != 2)
            return answer(errorAnswer(Status::NotFound, "no turntable " + std::to_string(turntable) + " (1 or 2)"));
        if (auto refusal = gate(request, true))
            return answer(*refusal);
        int degrees = 0;
        if (auto error = readMoveRequest(bodyOf(request), degrees))
            return answer(errorAnswer(Status::BadRequest, error->message, error->field));
        if (auto refusal = busyRefusal())
            return answer(*refusal);
        onRig(Busy::move, turntable, std::move(responder), [turntable, degrees](RigSession& rig) {
            if (const std::string error = rig.move(turntable, degrees); !error.empty())
                return RigAnswer{Status::ServiceUnavailable, {{"error", text(error)}}};
            return RigAnswer{Status::Ok, {{"turntable", turntable}, {"moved", degrees}, {"degrees", rig.degrees(turntable)}}};
        });
    }

    struct RigAnswer {
        Status status = Status::Ok;
        QJsonObject body;
    };

    // Work on the tables or the sound card, on the worker thread; the answer is written on the
    // server's thread once it is done.
    void onRig(Busy kind, int table, QHttpServerResponder&& responder, std::function<RigAnswer(RigSession&)> work)
    {
        if (moveThread_.joinable())
            moveThread_.join();
        busy_ = kind;
        movingTable_ = table;
        auto kept = std::make_shared<QHttpServerResponder>(std::move(responder));
        moveThread_ = std::thread([this, kept, work = std::move(work)] {
            if (!session_)
                session_ = std::make_unique<RigSession>(o_);
            const RigAnswer answer = work(*session_);
            const int h = session_->degrees(1), v = session_->degrees(2);
            QMetaObject::invokeMethod(&owner_, [this, kept, answer, h, v] {
                busy_ = Busy::idle;
                degrees_[0] = h;
                degrees_[1] = v;
                kept->write(jsonBytes(answer.body), "application/json", answer.status);
            }, Qt::QueuedConnection);
        });
    }

    static QJsonArray numbers(const std::function<double(std::size_t)>& value)
    {
        QJsonArray list;
        for (std::size_t j = 0; j < static_cast<std::size_t>(kAxisPoints); ++j)
            list.append(value(j));
        return list;
    }

    static QJsonObject measuredObject(const RigSession::Measured& m)
    {
        const ValidBand band = validBand(trailerOfSettings(m.settings, AngleGrid::Grid10), m.axis);
        QJsonObject o{{"excitation", m.harmonics ? "sweep" : "mls"},
                      {"order", m.settings.mlsOrder()},
                      {"rate", m.settings.sampleRate()},
                      {"rigSeconds", m.rigSeconds},
                      {"validBand", QJsonObject{{"fromHz", m.axis[band.first]}, {"toHz", m.axis[band.last]}}},
                      {"frequencyHz", numbers([&](std::size_t j) { return m.axis[static_cast<int>(j)]; })},
                      {"levelDb", numbers([&](std::size_t j) { return m.response[j].level; })},
                      {"phaseDegrees", numbers([&](std::size_t j) { return m.response[j].phase; })}};
        if (m.harmonics) {
            const HarmonicResponses& h = *m.harmonics;
            // Below the noise a harmonic is not measured: null.
            const auto series = [&](const AxisValues& values) {
                QJsonArray list;
                for (std::size_t j = 0; j < static_cast<std::size_t>(kAxisPoints); ++j)
                    list.append(h.measured(values, j) ? QJsonValue(values[j]) : QJsonValue());
                return list;
            };
            o.insert("h2Db", series(h.harmonicDb[0]));
            o.insert("h3Db", series(h.harmonicDb[1]));
            o.insert("thdDb", series(h.thdDb));
        }
        return o;
    }

    void startMeasurement(const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        if (auto refusal = gate(request, true))
            return writeAnswer(responder, *refusal);
        MeasurementRequest m;
        if (auto error = readMeasurementRequest(bodyOf(request), m))
            return writeAnswer(responder, errorAnswer(Status::BadRequest, error->message, error->field));
        if (auto refusal = busyRefusal())
            return writeAnswer(responder, *refusal);
        onRig(Busy::measure, 0, std::move(responder), [m](RigSession& rig) {
            RigSession::Measured measured;
            if (const std::string error = rig.measure(m, measured); !error.empty())
                return RigAnswer{Status::Conflict, {{"error", text(error)}}};
            return RigAnswer{Status::Ok, measuredObject(measured)};
        });
    }

    // The unit measured in each direction, stored into a copy of the golden balloon where the
    // golden's cell of that direction lies, and both held against each other by compare per band.
    void startCheck(const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        const auto wallStart = std::chrono::steady_clock::now();
        if (auto refusal = gate(request, true))
            return writeAnswer(responder, *refusal);
        CheckRequest c;
        if (auto error = readCheckRequest(bodyOf(request), c))
            return writeAnswer(responder, errorAnswer(Status::BadRequest, error->message, error->field));
        const auto golden = balloons_.find(c.golden);
        if (golden == balloons_.end())
            return writeAnswer(responder, errorAnswer(Status::BadRequest, "\"golden\": no balloon " +
                                                                              std::to_string(c.golden), "golden"));
        // The golden is read once and kept; each check stores into a fresh copy of it.
        auto& kept = goldens_[c.golden];
        if (!kept) {
            auto read = std::make_shared<Golden>();
            read->matrix = BalloonMatrix::create();
            if (!read->matrix)
                return writeAnswer(responder, errorAnswer(Status::InternalServerError, "not enough memory for the golden balloon"));
            read->load = loadMeasuredBalloon(golden->second, *read->matrix);
            if (!read->load)
                return writeAnswer(responder, errorAnswer(Status::BadRequest, "\"golden\": " + read->load.error, "golden"));
            kept = read;
        }
        const std::shared_ptr<Golden> goldenBalloon = kept;
        const MeasuredBalloonLoad& loaded = goldenBalloon->load;
        auto b = std::make_shared<std::optional<BalloonMatrix>>(BalloonMatrix::create());
        if (!*b)
            return writeAnswer(responder, errorAnswer(Status::InternalServerError, "not enough memory for two balloons"));
        std::memcpy((*b)->bytes().data(), goldenBalloon->matrix->bytes().data(), BalloonMatrix::kBlockBytes);
        const AngleGrid grid = angleGridFromFlag(loaded.settings->angleGridFlag);
        const int step = gridStepDegrees(grid);
        for (const CheckDirection& d : c.directions)
            if (d.h % step != 0 || d.v % step != 0)
                return writeAnswer(responder, errorAnswer(Status::BadRequest, "\"directions\": H " + std::to_string(d.h) +
                                                                                  ", V " + std::to_string(d.v) +
                                                                                  " is off the golden balloon's " +
                                                                                  std::to_string(step) + "-degree grid",
                                                          "directions"));
        FrequencyAxis axis;
        axis.buildFromIndexes(loaded.settings->fromIndex, loaded.settings->toIndex);
        const ValidBand valid = validBand(*loaded.settings, axis, loaded.measured);
        std::vector<std::pair<int, int>> spans;
        for (const CheckBand& band : c.bands) {
            int first = valid.first, last = valid.last;
            while (first <= last && axis[first] < band.fromHz)
                ++first;
            while (last >= first && axis[last] > band.toHz)
                --last;
            if (first > last)
                return writeAnswer(responder, errorAnswer(Status::BadRequest, "\"bands\": " + cleanFixedText(band.fromHz, 1) +
                                                                                  ".." + cleanFixedText(band.toHz, 1) +
                                                                                  " Hz holds no point of the golden's valid band " +
                                                                                  validBandText(valid, axis), "bands"));
            spans.emplace_back(first, last);
        }
        if (auto refusal = busyRefusal())
            return writeAnswer(responder, *refusal);
        const BalloonTrailer goldenTrailer = *loaded.settings;
        MeasurementRequest m = c.measurement;
        m.rate = m.rate.value_or(goldenTrailer.rateIndex == 6 ? 96000 : 48000);
        onRig(Busy::check, 0, std::move(responder), [=](RigSession& rig) {
            double rigSeconds = 0, measuringSeconds = 0;
            QJsonArray measuredDirections;
            for (const CheckDirection& d : c.directions) {
                if (const std::string error = rig.moveTo(d.h, d.v); !error.empty())
                    return RigAnswer{Status::ServiceUnavailable, {{"error", text(error)}}};
                RigSession::Measured measured;
                const auto started = std::chrono::steady_clock::now();
                if (const std::string error = rig.measure(m, measured); !error.empty())
                    return RigAnswer{Status::Conflict, {{"error", text(error)}}};
                measuringSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                rigSeconds += measured.rigSeconds;
                if (auto refusal = compareRefusal(goldenTrailer, trailerOfSettings(measured.settings, grid)))
                    return RigAnswer{Status::Conflict, {{"error", text("the measurement cannot be held against the golden balloon: " + *refusal)}}};
                std::array<float, kAxisPoints> levels{}, phases{};
                for (std::size_t j = 0; j < levels.size(); ++j) {
                    levels[j] = measured.response[j].level;
                    phases[j] = measured.response[j].phase;
                }
                // On the axis and the rear axis every row holds the direction; the golden's is at V = 0.
                (void)(*b)->storeMeasurement(d.h, d.h % 180 == 0 ? 0 : d.v, grid, levels, phases);
                measuredDirections.append(QJsonObject{{"h", d.h}, {"v", d.v}});
            }
            QJsonArray results;
            bool pass = true;
            int worst = -1;
            double worstExcess = -1e300;
            for (std::size_t i = 0; i < c.bands.size(); ++i) {
                const BalloonComparison comparison = compareBalloons(*goldenBalloon->matrix, **b, grid, axis, spans[i].first, spans[i].second);
                const LargestDifference& l = comparison.largest;
                const double excess = std::abs(l.db) - c.bands[i].toleranceDb;
                pass = pass && excess <= 0;
                if (excess > worstExcess) {
                    worstExcess = excess;
                    worst = static_cast<int>(i);
                }
                results.append(QJsonObject{{"fromHz", c.bands[i].fromHz},
                                           {"toHz", c.bands[i].toHz},
                                           {"toleranceDb", c.bands[i].toleranceDb},
                                           {"largestDb", l.db},
                                           {"atHz", l.frequencyHz},
                                           {"direction", QJsonObject{{"h", l.direction.hDegrees}, {"v", l.direction.vDegrees}}},
                                           {"pass", excess <= 0}});
            }
            const double answerSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
            return RigAnswer{Status::Ok,
                             {{"pass", pass},
                              {"worstBand", results[worst]},
                              {"bands", results},
                              {"directions", measuredDirections},
                              {"rigSeconds", rigSeconds},
                              {"measuringWallSeconds", measuringSeconds},
                              {"serverWallSeconds", answerSeconds - measuringSeconds}}};
        });
    }

    static void writeAnswer(QHttpServerResponder& responder, const QHttpServerResponse& r)
    {
        responder.write(r.data(), r.mimeType(), r.statusCode());
    }

    ApiServer& owner_;
    ApiServerOptions o_;
    Busy busy_ = Busy::idle;
    int busyWalk_ = 0;
    int movingTable_ = 0;
    int nextWalk_ = 1;
    int degrees_[2] = {0, 0};
    std::map<int, std::shared_ptr<Walk>> walks_;
    std::map<int, std::string> balloons_; // id -> path of the balloon file
    struct Golden {
        std::optional<BalloonMatrix> matrix;
        MeasuredBalloonLoad load;
    };
    std::map<int, std::shared_ptr<Golden>> goldens_; // balloons read for checks, by id
    int nextBalloon_ = 1;
    std::vector<std::unique_ptr<EventStream>> streams_;
    std::unique_ptr<RigSession> session_;
    std::thread moveThread_;
};

ApiServer::ApiServer(ApiServerOptions options, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(*this, std::move(options)))
{
}

ApiServer::~ApiServer() = default;

quint16 ApiServer::listen(const QHostAddress& address, quint16 port) { return impl_->http.listen(address, port); }

void ApiServer::onWalkNews(std::function<void(const ApiWalkNews&)> news) { impl_->news = std::move(news); }

std::string makeApiToken()
{
    static const char hex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) {
        const auto byte = QRandomGenerator::system()->generate() & 0xffu;
        token += hex[byte >> 4];
        token += hex[byte & 0xfu];
    }
    return token;
}

namespace {

// A directory for the user alone: made 0700 when missing, refused when it is a link, someone
// else's or open to others.
bool privateDirectory(const std::string& path, std::string& why)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make '" + path + "': " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        why = "'" + path + "' is not a directory of this user's alone";
        return false;
    }
    return true;
}

} // namespace

std::string sessionRuntimeDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime ? runtime : "";
}

std::string writeApiToken(const std::string& token, quint16 port, const std::string& runtimeDirectory, std::string& why)
{
    std::string base;
    if (!runtimeDirectory.empty()) {
        base = runtimeDirectory;
    } else {
        base = "/tmp/vantrel-" + std::to_string(::getuid());
        if (!privateDirectory(base, why))
            return {};
    }
    const std::string directory = base + "/vantrel";
    if (!privateDirectory(directory, why))
        return {};
    const std::string path = directory + "/api-" + std::to_string(port) + ".token";
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = "cannot write '" + path + "': " + std::strerror(errno);
        return {};
    }
    const std::string line = token + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) {
        why = "cannot write '" + path + "'";
        return {};
    }
    return path;
}

std::string readApiTokenFile(const std::string& path, std::string& why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "'" + path + "' is not a file";
        return {};
    }
    if ((st.st_mode & 077) != 0) {
        why = "'" + path + "' may be read by others: chmod 600 it";
        return {};
    }
    std::ifstream in(path);
    std::string token;
    std::getline(in, token);
    while (!token.empty() && (token.back() == '\r' || token.back() == ' ' || token.back() == '\t'))
        token.pop_back();
    if (token.size() < 16 || token.find_first_of(" \t") != std::string::npos) {
        why = "the token in '" + path + "' is shorter than 16 characters or holds blanks";
        return {};
    }
    return token;
}

} // namespace vantrel
