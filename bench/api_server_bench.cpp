// The HTTP interface on the simulated rig, its server on a thread of its own and the client
// on plain sockets, as a test station would call it.
//  - BM_CheckServerOverhead: a production check of one on-axis sweep at order 16 against a
//    golden balloon; the time is request to answer minus the measurement's own wall time (the
//    answer's measuringWallSeconds), the rig time beside it.
//  - BM_WalkUnderStatusLoad/5: five pairs of 10-degree walks at order 13, one alone and one
//    with 100 status requests a second from another client; the walks' own wall times, and the
//    ratio of the loaded walks' median to the quiet ones'.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "server/api_server.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

// One request on a fresh connection; the body of the answer (the server closes nothing, so the
// answer is read to its Content-Length).
std::string request(quint16 port, const std::string& method, const std::string& path, const std::string& token,
                    const std::string& body = {})
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return {};
    }
    const std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token +
                             "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n" + body;
    (void)::send(fd, text.data(), text.size(), 0);
    std::string answer;
    char buffer[65536];
    std::size_t expected = std::string::npos;
    while (expected == std::string::npos || answer.size() < expected) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
        const auto end = answer.find("\r\n\r\n");
        if (expected == std::string::npos && end != std::string::npos) {
            const auto at = answer.find("Content-Length: ");
            expected = end + 4 + (at != std::string::npos && at < end ? std::stoul(answer.substr(at + 16)) : 0);
        }
    }
    ::close(fd);
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

QJsonObject json(const std::string& body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

// The server with its event loop on its own thread, in a scratch directory.
class Served {
public:
    Served()
    {
        directory_ = std::filesystem::temp_directory_path() / ("vantrel-api-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        token_ = makeApiToken();
        std::promise<quint16> listening;
        auto port = listening.get_future();
        // A QThread, whose event loop takes the server's sockets (a plain thread's would not).
        thread_.reset(QThread::create([this, &listening] {
            ApiServerOptions o;
            o.rig.simulate = true;
            o.directory = directory_.string();
            o.token = token_;
            ApiServer server(o);
            listening.set_value(server.listen(QHostAddress::LocalHost, 0));
            QEventLoop loop;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                if (stop_.load())
                    loop.quit();
            });
            watch.start(50);
            loop.exec();
        }));
        thread_->start();
        port_ = port.get();
    }
    ~Served()
    {
        stop_.store(true);
        thread_->wait();
        std::error_code ec;
        std::filesystem::remove_all(directory_, ec);
    }
    std::string call(const std::string& method, const std::string& path, const std::string& body = {}) const
    {
        return request(port_, method, "/api/v1" + path, token_, body);
    }
    // Starts a walk and waits for its end; its JSON status then.
    QJsonObject walk(const std::string& options, const std::function<void(int id)>& during = {}) const
    {
        const int id = json(call("POST", "/walks", options)).value("id").toInt();
        if (during)
            during(id);
        while (json(call("GET", "/walks/" + std::to_string(id))).value("state").toString() == "running")
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return json(call("GET", "/walks/" + std::to_string(id)));
    }

private:
    std::filesystem::path directory_;
    std::string token_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> stop_{false};
    quint16 port_ = 0;
};

Served& served()
{
    static int argc = 1;
    static char name[] = "api_server_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Served s;
    return s;
}

void BM_CheckServerOverhead(benchmark::State& state)
{
    Served& s = served();
    const QJsonObject golden = s.walk(R"({"order":13,"file":"golden.BAL"})");
    const std::string check = "{\"golden\":" + std::to_string(golden.value("balloonId").toInt()) +
                              R"(,"order":16,"excitation":"sweep","f1":20,"bands":[{"fromHz":100,"toHz":10000,"toleranceDb":1}]})";
    double rig = 0, server = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const QJsonObject answer = json(s.call("POST", "/checks", check));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double overhead = wall - answer.value("measuringWallSeconds").toDouble();
        state.SetIterationTime(overhead);
        rig = answer.value("rigSeconds").toDouble();
        server = answer.value("serverWallSeconds").toDouble();
        if (!answer.contains("pass"))
            state.SkipWithError("the check was refused");
    }
    state.counters["rig_s"] = rig;
    state.counters["in_server_ms"] = server * 1000;
}
BENCHMARK(BM_CheckServerOverhead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// One walk, with `perSecond` status requests a second from another client meanwhile (0: none);
// the walk's own wall time and the requests answered.
double walkUnderLoad(Served& s, int perSecond, int& answered)
{
    std::atomic<bool> done{false};
    std::thread load;
    const QJsonObject end = s.walk(R"({"order":13})", [&](int id) {
        if (perSecond == 0)
            return;
        load = std::thread([&, id] {
            auto next = Clock::now();
            while (!done.load()) {
                if (!s.call("GET", "/walks/" + std::to_string(id)).empty())
                    ++answered;
                next += std::chrono::microseconds(1000000 / perSecond);
                std::this_thread::sleep_until(next);
            }
        });
    });
    done.store(true);
    if (load.joinable())
        load.join();
    return end.value("wallSeconds").toDouble();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Quiet and loaded walks in turn, so that a shared machine's drift falls on both alike; the
// ratio of the medians, and the spread of the pairs' own ratios beside it.
void BM_WalkUnderStatusLoad(benchmark::State& state)
{
    Served& s = served();
    const int pairs = static_cast<int>(state.range(0));
    std::vector<double> quiet, loaded, ratios;
    int answered = 0;
    for (auto _ : state) {
        for (int p = 0; p < pairs; ++p) {
            int none = 0;
            quiet.push_back(walkUnderLoad(s, 0, none));
            loaded.push_back(walkUnderLoad(s, 100, answered));
            ratios.push_back(loaded.back() / quiet.back());
        }
        state.SetIterationTime(median(loaded));
    }
    state.counters["quiet_s"] = median(quiet);
    state.counters["loaded_s"] = median(loaded);
    state.counters["wall_ratio"] = median(loaded) / median(quiet);
    state.counters["pair_ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["pair_ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["status_per_s"] = answered / std::accumulate(loaded.begin(), loaded.end(), 0.0);
}
BENCHMARK(BM_WalkUnderStatusLoad)->Arg(5)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
