#include "server/api_request.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>
#include <array>
#include <cmath>
#include <utility>

#include "platform/number_text.h"
#include "sequencer/walk_pacing.h"

namespace vantrel {

namespace {

RequestError fieldError(const std::string& field, const std::string& takes)
{
    return {field, "\"" + field + "\": " + takes};
}

// The body as one object; an empty body is an empty object.
std::optional<RequestError> readObject(std::string_view body, QJsonObject& object)
{
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        object = {};
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return RequestError{"", "the body is not JSON: " + error.errorString().toStdString() + " at byte " +
                                    std::to_string(error.offset)};
    if (!document.isObject())
        return RequestError{"", "the body is not a JSON object"};
    object = document.object();
    return std::nullopt;
}

std::optional<RequestError> onlyKnownFields(const QJsonObject& object, std::initializer_list<const char*> known)
{
    for (const QString& key : object.keys()) {
        bool found = false;
        for (const char* k : known)
            found = found || key == QLatin1String(k);
        if (!found) {
            std::string list;
            for (const char* k : known)
                list += (list.empty() ? "" : ", ") + std::string(k);
            return RequestError{key.toStdString(), "unknown field \"" + key.toStdString() + "\" (known: " + list + ")"};
        }
    }
    return std::nullopt;
}

std::optional<int> wholeNumber(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || std::abs(d) > 1e9)
        return std::nullopt;
    return static_cast<int>(d);
}

std::optional<RequestError> readInt(const QJsonObject& object, const char* field, int low, int high, int& target)
{
    if (!object.contains(QLatin1String(field)))
        return std::nullopt;
    const auto n = wholeNumber(object.value(QLatin1String(field)));
    if (!n || *n < low || *n > high)
        return fieldError(field, "a whole number " + std::to_string(low) + ".." + std::to_string(high));
    target = *n;
    return std::nullopt;
}

std::optional<RequestError> readOptionalInt(const QJsonObject& object, const char* field, int low, int high,
                                            std::optional<int>& target)
{
    int value = 0;
    if (!object.contains(QLatin1String(field)))
        return std::nullopt;
    if (auto error = readInt(object, field, low, high, value))
        return error;
    target = value;
    return std::nullopt;
}

std::optional<RequestError> readChoice(const QJsonObject& object, const char* field,
                                       std::initializer_list<int> choices, int& target)
{
    if (!object.contains(QLatin1String(field)))
        return std::nullopt;
    const auto n = wholeNumber(object.value(QLatin1String(field)));
    std::string list;
    for (int c : choices) {
        if (n && *n == c) {
            target = c;
            return std::nullopt;
        }
        list += (list.empty() ? "" : " or ") + std::to_string(c);
    }
    return fieldError(field, list);
}

std::optional<RequestError> readBool(const QJsonObject& object, const char* field, bool& target)
{
    if (!object.contains(QLatin1String(field)))
        return std::nullopt;
    const QJsonValue v = object.value(QLatin1String(field));
    if (!v.isBool())
        return fieldError(field, "true or false");
    target = v.toBool();
    return std::nullopt;
}

// Hz above 0 and at most 1 MHz; the sweep's planner judges them against the rate.
std::optional<RequestError> readHz(const QJsonObject& object, const char* field, double& target)
{
    if (!object.contains(QLatin1String(field)))
        return std::nullopt;
    const QJsonValue v = object.value(QLatin1String(field));
    if (!v.isDouble() || !std::isfinite(v.toDouble()) || !(v.toDouble() > 0) || v.toDouble() > 1e6)
        return fieldError(field, "a frequency in Hz above 0");
    target = v.toDouble();
    return std::nullopt;
}

} // namespace

bool isPlainBalloonName(std::string_view name)
{
    if (name.size() < 5 || name.size() > 100 || name.front() == '.')
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
              c == '-'))
            return false;
    const std::string_view tail = name.substr(name.size() - 4);
    return tail == ".BAL" || tail == ".bal";
}

std::optional<RequestError> readWalkRequest(std::string_view body, WalkRequest& walk)
{
    QJsonObject o;
    if (auto error = readObject(body, o))
        return error;
    if (auto error = onlyKnownFields(o, {"grid", "order", "rate", "window", "front", "windowType", "windowPosition",
                                         "paced", "settle", "excitation", "f1", "f2", "gate", "file", "resume",
                                         "preferences", "micFile", "arc", "arcCalibration"}))
        return error;
    WalkRequest w;
    MeasureRequest& m = w.measure;
    std::optional<RequestError> error;
    (error = readChoice(o, "grid", {5, 10}, m.grid)) || (error = readInt(o, "order", 13, 18, m.order)) ||
        (error = readChoice(o, "rate", {48000, 96000}, m.rate)) ||
        (error = readOptionalInt(o, "window", 1, 262143, m.window)) ||
        (error = readOptionalInt(o, "front", 0, 262142, m.front)) ||
        (error = readOptionalInt(o, "windowType", 0, 9, m.windowType)) ||
        (error = readOptionalInt(o, "windowPosition", 0, 400, m.windowPosition)) ||
        (error = readBool(o, "paced", m.paced)) || (error = readInt(o, "settle", 0, kMaxSettleMs, m.settle)) ||
        (error = readHz(o, "f1", m.f1)) || (error = readHz(o, "f2", m.f2)) || (error = readBool(o, "resume", w.resume));
    if (error)
        return error;
    if (o.contains(QLatin1String("excitation"))) {
        const QString e = o.value(QLatin1String("excitation")).toString();
        if (e != QLatin1String("mls") && e != QLatin1String("sweep"))
            return fieldError("excitation", "\"mls\" or \"sweep\"");
        m.excitation = e.toStdString();
    }
    if (o.contains(QLatin1String("gate"))) {
        const QJsonValue g = o.value(QLatin1String("gate"));
        const double ms = g.toDouble();
        if (g.isString() && g.toString() == QLatin1String("auto"))
            m.gate = "auto";
        else if (g.isDouble() && std::isfinite(ms) && ms > 0 && ms <= kLongestGateMs)
            m.gate = fixedText(ms, 6);
        else
            return fieldError("gate", "\"auto\", or the gate in ms after the direct sound (above 0, at most 1000)");
    }
    if (o.contains(QLatin1String("file"))) {
        const QJsonValue f = o.value(QLatin1String("file"));
        if (!f.isString() || !isPlainBalloonName(f.toString().toStdString()))
            return fieldError("file", "a file name ending in .BAL inside the server's directory (letters, digits, "
                                      "'.', '_', '-'; no folders)");
        w.file = f.toString().toStdString();
    }
    // Files the walk reads, named relative to the server's directory (the server judges, on the
    // real folders, whether each stays inside it).
    for (auto [field, target] : {std::pair{"preferences", &m.preferences}, std::pair{"micFile", &m.micFile},
                                 std::pair{"arc", &m.arcFile}, std::pair{"arcCalibration", &m.arcCalibration}}) {
        if (!o.contains(QLatin1String(field)))
            continue;
        const QJsonValue v = o.value(QLatin1String(field));
        const std::string p = v.toString().toStdString();
        if (!v.isString() || p.empty() || p.size() > 4096 || p.find('\0') != std::string::npos)
            return fieldError(field, "a file's path inside the server's directory");
        *target = p;
    }
    // The same exclusions as measure's command line: a resumed walk keeps its own settings.
    if (w.resume)
        for (const char* kept : {"grid", "order", "rate", "window", "front", "windowType", "windowPosition",
                                 "excitation", "f1", "f2", "gate", "preferences", "micFile"})
            if (o.contains(QLatin1String(kept)))
                return fieldError(kept, "not with \"resume\": a resumed walk keeps the settings it was started with");
    if (m.gate.size() && m.window)
        return fieldError("window", "not with \"gate\", which sets the window");
    // What the walk would refuse at its start is refused here, while the request is answered.
    const int longest = (1 << m.order) - 1;
    if (m.window && *m.window > longest)
        return fieldError("window", "1.." + std::to_string(longest) + " samples at order " + std::to_string(m.order) +
                                        "; a shorter window or a higher \"order\"");
    if (m.front && m.window && *m.front >= *m.window)
        return fieldError("front", "the front lies inside the window: 0.." + std::to_string(*m.window - 1) + " samples");
    if (m.settle > 0 && !m.paced)
        return fieldError("settle", "only for a paced walk (\"paced\": true)");
    walk = std::move(w);
    return std::nullopt;
}

std::optional<RequestError> readMoveRequest(std::string_view body, int& degrees)
{
    QJsonObject o;
    if (auto error = readObject(body, o))
        return error;
    if (auto error = onlyKnownFields(o, {"degrees"}))
        return error;
    if (!o.contains(QLatin1String("degrees")))
        return fieldError("degrees", "required: whole degrees, -360..360 and not 0");
    int d = 0;
    if (auto error = readInt(o, "degrees", -kLongestMoveDegrees, kLongestMoveDegrees, d))
        return error;
    if (d == 0)
        return fieldError("degrees", "whole degrees, -360..360 and not 0");
    degrees = d;
    return std::nullopt;
}

std::optional<RequestError> readBalloonPath(std::string_view body, std::string& path)
{
    QJsonObject o;
    if (auto error = readObject(body, o))
        return error;
    if (auto error = onlyKnownFields(o, {"path"}))
        return error;
    const QJsonValue v = o.value(QLatin1String("path"));
    const std::string p = v.toString().toStdString();
    if (!v.isString() || p.empty() || p.size() > 4096 || p.find('\0') != std::string::npos)
        return fieldError("path", "required: a balloon file's path inside the server's directory");
    path = p;
    return std::nullopt;
}

namespace {

std::optional<RequestError> readMeasurementFields(const QJsonObject& o, MeasurementRequest& m)
{
    int value = 0;
    double hz = 0;
    if (o.contains(QLatin1String("excitation"))) {
        const QString e = o.value(QLatin1String("excitation")).toString();
        if (e != QLatin1String("mls") && e != QLatin1String("sweep"))
            return fieldError("excitation", "\"mls\" or \"sweep\"");
        m.excitation = e.toStdString();
    }
    if (o.contains(QLatin1String("order"))) {
        if (auto error = readInt(o, "order", 13, 18, value))
            return error;
        m.order = value;
    }
    if (o.contains(QLatin1String("rate"))) {
        if (auto error = readChoice(o, "rate", {48000, 96000}, value))
            return error;
        m.rate = value;
    }
    for (const char* field : {"f1", "f2"})
        if (o.contains(QLatin1String(field))) {
            if (auto error = readHz(o, field, hz))
                return error;
            (field[1] == '1' ? m.f1 : m.f2) = hz;
        }
    if ((m.f1 || m.f2) && m.excitation.value_or("") != "sweep")
        return fieldError(m.f1 ? "f1" : "f2", "only with \"excitation\": \"sweep\"");
    return std::nullopt;
}

} // namespace

std::optional<RequestError> readMeasurementRequest(std::string_view body, MeasurementRequest& measurement)
{
    QJsonObject o;
    if (auto error = readObject(body, o))
        return error;
    if (auto error = onlyKnownFields(o, {"excitation", "order", "rate", "f1", "f2"}))
        return error;
    MeasurementRequest m;
    if (auto error = readMeasurementFields(o, m))
        return error;
    measurement = m;
    return std::nullopt;
}

std::optional<RequestError> readCheckRequest(std::string_view body, CheckRequest& check)
{
    QJsonObject o;
    if (auto error = readObject(body, o))
        return error;
    if (auto error = onlyKnownFields(o, {"golden", "directions", "bands", "excitation", "order", "rate", "f1", "f2"}))
        return error;
    CheckRequest c;
    if (!o.contains(QLatin1String("golden")))
        return fieldError("golden", "required: the id of the golden balloon among the server's balloons");
    if (auto error = readInt(o, "golden", 1, 1000000, c.golden))
        return error;
    if (o.contains(QLatin1String("directions"))) {
        const QJsonValue list = o.value(QLatin1String("directions"));
        const QJsonArray array = list.toArray();
        if (!list.isArray() || array.isEmpty() || static_cast<std::size_t>(array.size()) > kMostCheckDirections)
            return fieldError("directions", "a list of 1.." + std::to_string(kMostCheckDirections) +
                                                " directions {\"h\": 0..359, \"v\": -85..90}");
        c.directions.clear();
        for (const QJsonValue& item : array) {
            const QJsonObject d = item.toObject();
            CheckDirection direction;
            if (!item.isObject() || onlyKnownFields(d, {"h", "v"}) || !d.contains(QLatin1String("h")) ||
                !d.contains(QLatin1String("v")) || readInt(d, "h", 0, 359, direction.h) ||
                readInt(d, "v", -85, 90, direction.v))
                return fieldError("directions", "each direction is {\"h\": 0..359, \"v\": -85..90} in whole degrees");
            c.directions.push_back(direction);
        }
    }
    const QJsonValue bands = o.value(QLatin1String("bands"));
    const QJsonArray bandArray = bands.toArray();
    if (!bands.isArray() || bandArray.isEmpty() || static_cast<std::size_t>(bandArray.size()) > kMostCheckBands)
        return fieldError("bands", "required: a list of 1.." + std::to_string(kMostCheckBands) +
                                       " bands {\"fromHz\", \"toHz\", \"toleranceDb\"}");
    for (const QJsonValue& item : bandArray) {
        const QJsonObject b = item.toObject();
        CheckBand band;
        const bool ok = item.isObject() && !onlyKnownFields(b, {"fromHz", "toHz", "toleranceDb"}) &&
                        b.contains(QLatin1String("fromHz")) && b.contains(QLatin1String("toHz")) &&
                        b.contains(QLatin1String("toleranceDb")) && !readHz(b, "fromHz", band.fromHz) &&
                        !readHz(b, "toHz", band.toHz) && band.fromHz < band.toHz;
        const QJsonValue tolerance = b.value(QLatin1String("toleranceDb"));
        if (!ok || !tolerance.isDouble() || !(tolerance.toDouble() >= 0) || tolerance.toDouble() > 100)
            return fieldError("bands", "each band is {\"fromHz\": F1, \"toHz\": F2, \"toleranceDb\": 0..100} "
                                       "with 0 < F1 < F2");
        band.toleranceDb = tolerance.toDouble();
        c.bands.push_back(band);
    }
    if (auto error = readMeasurementFields(o, c.measurement))
        return error;
    check = std::move(c);
    return std::nullopt;
}

} // namespace vantrel
