#include "analysis/contest/contest_solver.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <queue>
#include <thread>
#include <unordered_map>

#include "analysis/optimise.hpp"

namespace orlogix {
namespace {

using Clock = std::chrono::steady_clock;

int64_t to_hundredth_km(double metres) { return hundredths_of_km(metres); }

// Blocks of at most this level are searched depth first from the block taken
// off the queue, which keeps the queue short and finds whole flights early.
constexpr int kDiveLevel = 3;
// Past this many blocks waiting (about 16 MB) the blocks taken off the queue
// are searched depth first too, so that memory stays bounded on tracks where
// nearly every block comes close to the best.
constexpr std::size_t kQueueLimit = 1u << 19;
constexpr double kSlack = 1e-3;  // metres of margin on every bound test

struct Node {
    int64_t bound;
    int level;
    std::array<uint32_t, 3> b;
};

struct NodeOrder {
    bool operator()(const Node& x, const Node& y) const {
        if (x.bound != y.bound) return x.bound < y.bound;
        return x.level > y.level;  // among equal bounds the smaller blocks first
    }
};

class Search {
public:
    Search(const FixTree& t, const ContestType& type, double deadline_seconds, const HaltToken& halt)
        : t_(t), type_(type), halt_(halt), start_(Clock::now()), deadline_(deadline_seconds) {
        k_ = type.shape == ContestShape::OutAndReturn ? 2 : 3;
        closed_ = type.shape != ContestShape::FreeDistance;
    }

    ContestResult run();

private:
    // The best closing pair around fixes i <= j, searched below cap.
    FixPair closing(std::size_t i, std::size_t j, double cap);
    // Free distance, exactly by stages: the farthest start before every fix, the
    // best start and first turn point before every fix, and the same from the
    // finish backwards; the flight is the best sum of both at a middle turn point.
    ContestResult run_free();
    // An upper bound of the value (0.01 km, before the final rounding) of every
    // flight in the blocks, or -1 when none can be valid.
    int64_t bound(int level, const std::array<uint32_t, 3>& b);
    void leaf(const std::array<uint32_t, 3>& b);
    void expand(const Node& node, std::vector<Node>& out);
    void dive(const Node& node);
    bool stop();
    bool out_of_time() const;
    int64_t rounded(int64_t distance) const { return rounded_distance(type_, distance); }
    int64_t points(int64_t value) const { return contest_points(type_, value); }

    const FixTree& t_;
    const ContestType& type_;
    HaltToken halt_;
    Clock::time_point start_;
    double deadline_;
    int k_ = 3;
    bool closed_ = true;
    bool stopped_ = false;
    uint64_t nodes_ = 0;
    int64_t best_ = 0;  // value of the best flight found, 0 while none
    ContestResult result_;
    struct Cached {
        FixPair pair;
        double cap;
    };
    std::unordered_map<uint64_t, Cached> closings_;
};

bool Search::out_of_time() const {
    return deadline_ > 0.0 && std::chrono::duration<double>(Clock::now() - start_).count() > deadline_;
}

bool Search::stop() {
    if (stopped_) return true;
    if ((++nodes_ & 1023) != 1) return false;  // the first time and every 1024th
    if (halt_.halted() || out_of_time()) stopped_ = true;
    return stopped_;
}

FixPair Search::closing(std::size_t i, std::size_t j, double cap) {
    const uint64_t key = (static_cast<uint64_t>(i) << 32) | j;
    auto it = closings_.find(key);
    if (it != closings_.end()) {
        const Cached& c = it->second;
        if (c.pair.metres < c.cap || cap <= c.cap) return c.pair;  // exact, or known to be beyond cap
    }
    const FixPair p = t_.closest_around(i, j, cap);
    closings_[key] = {p, cap};
    return p;
}

// Block maxima of per-fix values, level by level.
std::vector<std::vector<double>> block_maxima(const FixTree& t, std::vector<double> values) {
    std::vector<std::vector<double>> levels;
    levels.push_back(std::move(values));
    for (int l = 1; l <= t.top_level(); ++l) {
        const std::vector<double>& below = levels.back();
        std::vector<double> up(t.blocks(l));
        for (std::size_t b = 0; b < up.size(); ++b) {
            up[b] = 2 * b + 1 < below.size() ? std::max(below[2 * b], below[2 * b + 1]) : below[2 * b];
        }
        levels.push_back(std::move(up));
    }
    return levels;
}

// Each leg counts rounded to 0.01 km.
constexpr double kLegGrain = 10.0;
double counted(double metres) { return kLegGrain * std::floor(metres / kLegGrain + 0.5); }

ContestResult Search::run_free() {
    const std::size_t n = t_.size();
    std::vector<FixPair> start(n), finish(n);
    // The farthest start before and finish after every fix, the one on a
    // thread of its own (every query stands alone; the last answer is a hint).
    auto ends = [&](bool before) {
        for (std::size_t k = 0; k < n; ++k) {
            if ((k & 255) == 0 && (halt_.halted() || out_of_time())) return;
            if (before) {
                start[k] = t_.farthest(k, true, nullptr, 0.0, k == 0 ? FixTree::kNoHint : start[k - 1].a);
            } else {
                const std::size_t j = n - 1 - k;
                finish[j] = t_.farthest(j, false, nullptr, 0.0, k == 0 ? FixTree::kNoHint : finish[j + 1].b);
            }
        }
    };
    {
        std::thread other(ends, false);
        ends(true);
        other.join();
    }
    if (halt_.halted() || out_of_time()) stopped_ = true;
    result_.nodes = nodes_;
    if (stopped_) {
        // The whole track as one block bounds every flight in it.
        const FixBox& all = t_.box(t_.top_level(), 0);
        result_.bound = points(to_hundredth_km(4.0 * surface_upper_bound(max_chord(all, all))));
        return result_;
    }
    for (std::size_t i = 0; i < n; ++i) {
        start[i].metres = counted(start[i].metres);
        finish[i].metres = counted(finish[i].metres);
    }
    // Over the middle turn point i: the best start and first turn point before
    // it are at most the longest start leg so far plus the farthest fix before
    // i, and the same after it. The middle points are tried from the highest
    // of these ceilings down, each search only for more than the best so far.
    std::vector<double> w(n), ceiling_before(n), ceiling_after(n);
    for (std::size_t i = 0; i < n; ++i) {
        ceiling_before[i] = std::max(i ? ceiling_before[i - 1] - start[i - 1].metres : 0.0, start[i].metres) + start[i].metres;
    }
    for (std::size_t j = n; j-- > 0;) {
        ceiling_after[j] = std::max(j + 1 < n ? ceiling_after[j + 1] - finish[j + 1].metres : 0.0, finish[j].metres) + finish[j].metres;
    }
    for (std::size_t i = 0; i < n; ++i) w[i] = start[i].metres;
    const auto start_max = block_maxima(t_, w);
    for (std::size_t i = 0; i < n; ++i) w[i] = finish[i].metres;
    const auto finish_max = block_maxima(t_, w);
    std::vector<uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    auto ceiling = [&](std::size_t i) { return ceiling_before[i] + ceiling_after[i]; };
    std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) { return ceiling(x) > ceiling(y); });
    // Every turn point at one fix is a flight: the start to it and on to the finish.
    std::array<uint32_t, 3> tps{};
    double best = -1.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (start[i].metres + finish[i].metres > best) {
            best = start[i].metres + finish[i].metres;
            tps = {static_cast<uint32_t>(i), static_cast<uint32_t>(i), static_cast<uint32_t>(i)};
        }
    }
    double remaining = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const uint32_t i = order[k];
        if (ceiling(i) <= best) break;
        if ((k & 15) == 0 && stop()) {
            remaining = ceiling(i);
            break;
        }
        const FixPair out = t_.farthest(i, true, &start_max, kLegGrain, tps[0], best - ceiling_after[i]);
        if (out.metres <= best - ceiling_after[i]) continue;
        const FixPair back = t_.farthest(i, false, &finish_max, kLegGrain, tps[2], best - out.metres);
        if (back.metres <= best - out.metres) continue;
        best = out.metres + back.metres;
        tps = {out.a, i, back.b};
    }
    result_.nodes = nodes_;
    const uint32_t t1 = tps[0], mid = tps[1], t3 = tps[2];
    const double metres = start[t1].metres + counted(t_.distance(t1, mid)) + counted(t_.distance(mid, t3)) +
                          finish[t3].metres;
    result_.found = true;
    result_.turnpoints = tps;
    result_.start = start[t1].a;
    result_.finish = finish[t3].b;
    result_.distance = rounded(to_hundredth_km(metres));
    result_.score = points(to_hundredth_km(metres));
    const int64_t top = to_hundredth_km(std::max(best, remaining));
    result_.bound = std::max(result_.score, points(top));
    result_.optimal = result_.bound == result_.score;
    return result_;
}

int64_t Search::bound(int level, const std::array<uint32_t, 3>& b) {
    const FixBox& b1 = t_.box(level, b[0]);
    const FixBox& b2 = t_.box(level, b[1]);
    const FixBox& b3 = t_.box(level, b[k_ - 1]);
    double ub[3], lb[3];
    int legs = 0;
    if (type_.shape == ContestShape::OutAndReturn) {
        ub[0] = ub[1] = surface_upper_bound(max_chord(b1, b2));
        lb[0] = lb[1] = min_chord(b1, b2);
        legs = 2;
    } else {
        const FixBox* box[3] = {&b1, &b2, &b3};
        for (int e = 0; e < 3; ++e) {
            ub[e] = surface_upper_bound(max_chord(*box[e], *box[(e + 1) % 3]));
            lb[e] = min_chord(*box[e], *box[(e + 1) % 3]);
        }
        legs = 3;
    }
    // Rounding keeps order: every leg inside rounds to between lo and hi.
    int64_t hi[3], lo[3], perimeter = 0, lower = 0;
    for (int e = 0; e < legs; ++e) {
        hi[e] = to_hundredth_km(ub[e]);
        lo[e] = to_hundredth_km(lb[e]);
        perimeter += hi[e];
        lower += lo[e];
    }
    if (type_.min_leg_percent > 0) {
        const int64_t share = type_.min_leg_percent;
        // The share is of the distance after the final rounding, which is at
        // least the perimeter less this much.
        const int64_t below = (type_.result_rounding - 1) / 2;
        for (int e = 0; e < legs; ++e) {
            // leg >= share % of (leg + others - below) needs (100 - share) leg >= share (others - below).
            if ((100 - share) * hi[e] < share * (lower - lo[e] - below)) return -1;
            perimeter = std::min(perimeter, hi[e] * 100 / share + below);
        }
    }
    const double allowed = closing_limit_metres(type_, perimeter) + kSlack;
    const FixPair c = closing(t_.block_last(level, b[0]), t_.block_first(level, b[k_ - 1]), allowed);
    if (c.metres >= allowed) return -1;
    // Every closing here is at least c: past the free allowance it costs at least c rounded.
    const int64_t penalty = c.metres > type_.free_closing_metres + 5.0 + kSlack ? to_hundredth_km(c.metres) : 0;
    return perimeter - penalty;
}

void Search::leaf(const std::array<uint32_t, 3>& b) {
    const uint32_t t1 = b[0], t2 = b[1], t3 = b[k_ - 1];
    double legs[3];
    int count = 3;
    if (type_.shape == ContestShape::OutAndReturn) {
        legs[0] = legs[1] = t_.distance(t1, t2);
        count = 2;
    } else {
        legs[0] = t_.distance(t1, t2);
        legs[1] = t_.distance(t2, t3);
        legs[2] = t_.distance(t3, t1);
    }
    int64_t perimeter = 0;
    for (int e = 0; e < count; ++e) perimeter += to_hundredth_km(legs[e]);
    if (perimeter <= best_) return;  // cannot beat the best even without a penalty
    const std::span<const double> leg_span(legs, static_cast<std::size_t>(count));
    // Legs too short for the rules fail whatever the closing: leave out the search for it.
    if (type_.min_leg_percent > 0 && closed_flight_value(type_, leg_span, 0.0) < 0) return;
    const FixPair c = closing(t1, t3, closing_limit_metres(type_, perimeter));
    const int64_t value = closed_flight_value(type_, leg_span, c.metres);
    if (value < 0) return;
    const int64_t penalty = perimeter - value;
    if (value > best_) {
        best_ = value;
        result_.found = true;
        result_.turnpoints = {t1, t2, t3};
        result_.start = c.a;
        result_.finish = c.b;
        result_.distance = perimeter;
        result_.closing = to_hundredth_km(c.metres);
        result_.penalty = penalty;
    }
}

void Search::expand(const Node& node, std::vector<Node>& out) {
    out.clear();
    const int l = node.level - 1;
    const std::size_t count = t_.blocks(l);
    std::array<uint32_t, 3> c{};
    const int k = k_;
    // Every choice of child per turn point that keeps the blocks in time order.
    for (uint32_t mask = 0; mask < (1u << k); ++mask) {
        bool ok = true;
        for (int e = 0; e < k && ok; ++e) {
            c[e] = 2 * node.b[e] + ((mask >> e) & 1u);
            if (c[e] >= count || (e > 0 && c[e] < c[e - 1])) ok = false;
        }
        if (!ok) continue;
        if (k == 2) c[2] = c[1];
        if (l == 0) {
            leaf(c);
            continue;
        }
        const int64_t b = bound(l, c);
        if (b > best_) out.push_back({b, l, c});
    }
}

void Search::dive(const Node& node) {
    std::vector<Node> kids;
    expand(node, kids);
    std::sort(kids.begin(), kids.end(), [](const Node& x, const Node& y) { return x.bound > y.bound; });
    for (const Node& kid : kids) {
        if (stopped_ || stop()) return;
        if (kid.bound > best_) dive(kid);
    }
}

ContestResult Search::run() {
    result_.type = &type_;
    if (t_.size() == 0) {
        result_.optimal = true;
        return result_;
    }
    if (!closed_) return run_free();
    std::priority_queue<Node, std::vector<Node>, NodeOrder> queue;
    const Node root{0, t_.top_level(), {0, 0, 0}};
    int64_t remaining = 0;
    if (root.level == 0) {
        leaf(root.b);
    } else {
        const int64_t b = bound(root.level, root.b);
        if (b > 0) queue.push({b, root.level, root.b});
    }
    std::vector<Node> kids;
    while (!queue.empty()) {
        const Node node = queue.top();
        if (node.bound <= best_) break;
        if (stop()) {
            remaining = node.bound;
            break;
        }
        queue.pop();
        if (node.level <= kDiveLevel || queue.size() > kQueueLimit) {
            dive(node);
            if (stopped_) {
                remaining = node.bound;
                break;
            }
            continue;
        }
        expand(node, kids);
        for (const Node& kid : kids) queue.push(kid);
    }
    result_.nodes = nodes_;
    if (result_.found) {
        result_.distance = rounded(result_.distance);
        result_.score = points(best_);
    }
    result_.bound = std::max(result_.score, points(std::max<int64_t>(remaining, 0)));
    result_.optimal = result_.bound == result_.score;
    return result_;
}

}  // namespace

ContestResult solve_contest_type(const FixTree& tree, const ContestType& type, double deadline_seconds,
                                 const HaltToken& halt) {
    const auto start = Clock::now();
    Search search(tree, type, deadline_seconds, halt);
    ContestResult r = search.run();
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return r;
}

std::string hundredths_text(int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", value < 0 ? "-" : "", static_cast<long long>(std::llabs(value) / 100),
                  static_cast<long long>(std::llabs(value) % 100));
    return text;
}

ContestScore score_contest(const std::vector<TrackPosition>& positions, const ContestRules& rules,
                           const ContestOptions& options, const ProgressText& progress, const HaltToken& halt) {
    ContestScore out;
    out.rules = &rules;
    const FixTree tree(positions_in_radians(positions));
    out.types.resize(rules.types.size());
    std::atomic<std::size_t> next{0};
    std::mutex say;
    auto work = [&] {
        for (std::size_t i = next++; i < rules.types.size(); i = next++) {
            out.types[i] = solve_contest_type(tree, rules.types[i], options.time_limit_seconds, halt);
            if (progress) {
                const std::lock_guard<std::mutex> lock(say);
                progress(std::string(rules.types[i].name) + ": " + hundredths_text(out.types[i].score));
            }
        }
    };
    unsigned threads = options.threads != 0 ? options.threads : std::min(2u, std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min<unsigned>(threads, static_cast<unsigned>(rules.types.size()));
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < threads; ++w) pool.emplace_back(work);
    work();
    for (std::thread& th : pool) th.join();
    out.halted = halt.halted();
    for (std::size_t i = 0; i < out.types.size(); ++i) {
        const ContestResult& r = out.types[i];
        if (r.found && (out.best < 0 || r.score > out.types[out.best].score)) out.best = static_cast<int>(i);
    }
    return out;
}

}  // namespace orlogix
