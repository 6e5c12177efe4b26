#include "mls/complex_fft.h"
#include "mls/fft_library.h"

#include <fftw3.h>

#include <algorithm>
#include <map>
#include <utility>

#include <array>
#include <atomic>
#include <bit>
#include <mutex>
#include <new>
#include <utility>

namespace vantrel {

std::string fftLibraryVersion() { return fftwf_version; }

namespace {

// FFTW_ESTIMATE plans all sizes up to 2^18 in milliseconds; measured planning of 2^18 takes
// seconds at start-up and gains little for a transform that runs a handful of times per point.
constexpr unsigned kPlanFlags = FFTW_ESTIMATE;

enum Direction { kForward = 0, kInverse = 1 };
enum Alignment { kAligned = 0, kUnaligned = 1 };

struct PlanCache {
    // Written once under the mutex, read lock-free by every transform.
    std::array<std::array<std::array<std::atomic<fftwf_plan>, 2>, 2>, ComplexFft::kMaxOrder + 1> plans{};
    std::array<std::array<std::atomic<fftwf_plan>, 2>, ComplexFft::kMaxOrder + 1> realInverse{};
    std::mutex planning; // FFTW's planner is not thread-safe
    std::atomic<std::uint64_t> made{0};
    // Forward r2c and inverse c2r per length, under planning. Never destroyed, as the plans
    // above are never freed: a map destroyed at exit would leave them unreachable.
    using Plans = std::map<int, std::pair<fftwf_plan, fftwf_plan>>;
    Plans* anyLength = new Plans;
};

PlanCache& cache()
{
    static PlanCache c;
    return c;
}

int orderOf(int n)
{
    if (n < 1 || !std::has_single_bit(static_cast<unsigned>(n)))
        return -1;
    const int order = std::countr_zero(static_cast<unsigned>(n));
    return order <= ComplexFft::kMaxOrder ? order : -1;
}

bool makePlans(int order)
{
    PlanCache& c = cache();
    auto& slot = c.plans[static_cast<std::size_t>(order)];
    if (slot[kInverse][kUnaligned].load(std::memory_order_acquire))
        return true;
    std::lock_guard lock(c.planning);
    if (slot[kInverse][kUnaligned].load(std::memory_order_acquire))
        return true;
    const int n = 1 << order;
    // Planning with FFTW_ESTIMATE leaves the scratch untouched; the buffer only fixes the
    // alignment the aligned plans assume (fftwf_malloc gives the SIMD alignment). The unaligned
    // plans are offset by one complex point (8 bytes) so that they are made for such data.
    auto* scratch = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * static_cast<std::size_t>(n + 1)));
    if (!scratch)
        return false;
    const int signs[2] = {FFTW_FORWARD, FFTW_BACKWARD};
    for (int d = 0; d < 2; ++d) {
        if (!slot[d][kAligned].load(std::memory_order_relaxed)) {
            slot[d][kAligned].store(fftwf_plan_dft_1d(n, scratch, scratch, signs[d], kPlanFlags), std::memory_order_release);
            c.made.fetch_add(1);
        }
    }
    for (int d = 0; d < 2; ++d) {
        slot[d][kUnaligned].store(fftwf_plan_dft_1d(n, scratch + 1, scratch + 1, signs[d], kPlanFlags | FFTW_UNALIGNED),
                                  std::memory_order_release);
        c.made.fetch_add(1);
    }
    fftwf_free(scratch);
    return true;
}

// The real inverse plans of one size, aligned and not, made on first use.
fftwf_plan realInversePlan(int order, int alignment)
{
    PlanCache& c = cache();
    auto& slot = c.realInverse[static_cast<std::size_t>(order)];
    if (fftwf_plan plan = slot[alignment].load(std::memory_order_acquire))
        return plan;
    std::lock_guard lock(c.planning);
    if (!slot[kUnaligned].load(std::memory_order_acquire)) {
        const int n = 1 << order;
        auto* scratch = static_cast<float*>(fftwf_malloc(sizeof(float) * static_cast<std::size_t>(n + 4)));
        if (!scratch)
            return nullptr;
        const auto plan = [&](float* at, unsigned flags) {
            c.made.fetch_add(1);
            return fftwf_plan_dft_c2r_1d(n, reinterpret_cast<fftwf_complex*>(at), at, kPlanFlags | flags);
        };
        slot[kAligned].store(plan(scratch, 0), std::memory_order_release);
        slot[kUnaligned].store(plan(scratch + 2, FFTW_UNALIGNED), std::memory_order_release);
        fftwf_free(scratch);
    }
    return slot[alignment].load(std::memory_order_acquire);
}

// The real forward and inverse plans of length n, for fftwf_malloc'd buffers (out of place).
std::pair<fftwf_plan, fftwf_plan> anyLengthPlans(int n)
{
    PlanCache& c = cache();
    std::lock_guard lock(c.planning);
    if (auto it = c.anyLength->find(n); it != c.anyLength->end())
        return it->second;
    auto* real = static_cast<float*>(fftwf_malloc(sizeof(float) * static_cast<std::size_t>(n)));
    auto* bins = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * static_cast<std::size_t>(n / 2 + 1)));
    std::pair<fftwf_plan, fftwf_plan> plans{nullptr, nullptr};
    if (real && bins) {
        plans = {fftwf_plan_dft_r2c_1d(n, real, bins, kPlanFlags), fftwf_plan_dft_c2r_1d(n, bins, real, kPlanFlags)};
        c.made.fetch_add(2);
        c.anyLength->emplace(n, plans);
    }
    fftwf_free(real);
    fftwf_free(bins);
    return plans;
}

// The real transform of x (any length) into bins, with the plans of its length; ok() false when
// the plans or the buffers could not be made.
class RealTransform {
public:
    explicit RealTransform(std::span<const float> x)
        : n_(static_cast<int>(x.size())), plans_(anyLengthPlans(n_)),
          real_(static_cast<float*>(fftwf_malloc(sizeof(float) * x.size()))),
          bins_(static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * (x.size() / 2 + 1))))
    {
        if (!ok())
            return;
        std::copy(x.begin(), x.end(), real_);
        fftwf_execute_dft_r2c(plans_.first, real_, bins_);
    }
    ~RealTransform()
    {
        fftwf_free(real_);
        fftwf_free(bins_);
    }
    RealTransform(const RealTransform&) = delete;
    RealTransform& operator=(const RealTransform&) = delete;

    bool ok() const { return plans_.first && plans_.second && real_ && bins_; }
    std::complex<float> bin(std::size_t k) const { return {bins_[k][0], bins_[k][1]}; }
    void setBin(std::size_t k, std::complex<float> v)
    {
        bins_[k][0] = v.real();
        bins_[k][1] = v.imag();
    }
    // The inverse of the bins as they stand, scaled by 1 / n, into x.
    void inverseInto(std::span<float> x)
    {
        fftwf_execute_dft_c2r(plans_.second, bins_, real_);
        const float scale = 1.0f / static_cast<float>(n_);
        for (int i = 0; i < n_; ++i)
            x[static_cast<std::size_t>(i)] = real_[i] * scale;
    }

private:
    int n_;
    std::pair<fftwf_plan, fftwf_plan> plans_;
    float* real_;
    fftwf_complex* bins_;
};

} // namespace

bool realSpectrum(std::span<const float> x, std::span<std::complex<float>> spectrum)
{
    if (x.empty() || spectrum.size() != x.size() / 2 + 1)
        return false;
    const RealTransform t(x);
    if (!t.ok())
        return false;
    for (std::size_t k = 0; k < spectrum.size(); ++k)
        spectrum[k] = t.bin(k);
    return true;
}

bool filterCircular(std::span<float> x, std::span<const std::complex<float>> gain)
{
    if (x.empty() || gain.size() != x.size() / 2 + 1)
        return false;
    RealTransform t(x);
    if (!t.ok())
        return false;
    for (std::size_t k = 0; k < gain.size(); ++k)
        t.setBin(k, t.bin(k) * gain[k]);
    t.inverseInto(x);
    return true;
}

ComplexFft::ComplexFft(int minOrder, int maxOrder)
{
    if (minOrder < 0)
        minOrder = 0;
    if (maxOrder > kMaxOrder)
        maxOrder = kMaxOrder;
    for (int order = minOrder; order <= maxOrder; ++order)
        makePlans(order);
}

bool ComplexFft::prepare(int n)
{
    const int order = orderOf(n);
    return order >= 0 && makePlans(order);
}

std::uint64_t ComplexFft::planCount() { return cache().made.load(); }

bool ComplexFft::transform(std::span<float> data, int n, int sign) const
{
    const int order = orderOf(n);
    if (order < 0 || data.size() < 2 * static_cast<std::size_t>(n))
        return false;
    const int d = sign < 0 ? kForward : kInverse;
    auto* points = reinterpret_cast<fftwf_complex*>(data.data());
    const int a = fftwf_alignment_of(data.data()) == 0 ? kAligned : kUnaligned;
    fftwf_plan plan = cache().plans[static_cast<std::size_t>(order)][d][a].load(std::memory_order_acquire);
    if (!plan) {
        if (!makePlans(order))
            return false;
        plan = cache().plans[static_cast<std::size_t>(order)][d][a].load(std::memory_order_acquire);
    }
    fftwf_execute_dft(plan, points, points);
    if (d == kInverse) {
        const float scale = 2.0f / (2.0f * static_cast<float>(n));
        for (float& v : data.first(2 * static_cast<std::size_t>(n)))
            v *= scale;
    }
    return true;
}

bool ComplexFft::realInverse(std::span<float> data, int n) const
{
    const int order = orderOf(n);
    if (order < 1 || data.size() < static_cast<std::size_t>(n) + 2)
        return false;
    fftwf_plan plan = realInversePlan(order, fftwf_alignment_of(data.data()) == 0 ? kAligned : kUnaligned);
    if (!plan)
        return false;
    fftwf_execute_dft_c2r(plan, reinterpret_cast<fftwf_complex*>(data.data()), data.data());
    const float scale = 1.0f / static_cast<float>(n);
    for (float& v : data.first(static_cast<std::size_t>(n)))
        v *= scale;
    return true;
}

bool ComplexFft::fftForward(std::span<float> data, int n) const { return transform(data, n, -1); }

bool ComplexFft::fftInverse(std::span<float> data, int n) const { return transform(data, n, +1); }

namespace {
constexpr std::align_val_t kBufferAlignment{64};
}

AlignedFloats::AlignedFloats(std::size_t count)
    : data_(static_cast<float*>(::operator new(count * sizeof(float), kBufferAlignment))), size_(count)
{
    for (std::size_t i = 0; i < size_; ++i)
        data_[i] = 0.0f;
}

AlignedFloats::~AlignedFloats()
{
    if (data_)
        ::operator delete(data_, kBufferAlignment);
}

AlignedFloats::AlignedFloats(AlignedFloats&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

AlignedFloats& AlignedFloats::operator=(AlignedFloats&& other) noexcept
{
    if (this != &other) {
        if (data_)
            ::operator delete(data_, kBufferAlignment);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

} // namespace vantrel
