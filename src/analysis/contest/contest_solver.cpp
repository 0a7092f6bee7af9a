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

#include "analysis/contest/free_distance.hpp"
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

ContestResult Search::run_free() {
    const FreeDistance free = solve_free_distance(t_, [this] { return halt_.halted() || out_of_time(); });
    if (!free.complete) {
        stopped_ = true;
        // The whole track as one block bounds every flight in it.
        const FixBox& all = t_.box(t_.top_level(), 0);
        result_.bound = points(to_hundredth_km(4.0 * t_.surface_bound(max_chord(all, all))));
        return result_;
    }
    result_.found = true;
    result_.start = free.fixes[0];
    result_.turnpoints = {free.fixes[1], free.fixes[2], free.fixes[3]};
    result_.finish = free.fixes[4];
    result_.distance = rounded(free.value);
    result_.score = points(free.value);
    result_.bound = result_.score;
    result_.optimal = true;
    return result_;
}

int64_t Search::bound(int level, const std::array<uint32_t, 3>& b) {
    const FixBox& b1 = t_.box(level, b[0]);
    const FixBox& b2 = t_.box(level, b[1]);
    const FixBox& b3 = t_.box(level, b[k_ - 1]);
    double ub[3], lb[3];
    int legs = 0;
    if (type_.shape == ContestShape::OutAndReturn) {
        ub[0] = ub[1] = t_.surface_bound(max_chord(b1, b2));
        lb[0] = lb[1] = min_chord(b1, b2);
        legs = 2;
    } else {
        const FixBox* box[3] = {&b1, &b2, &b3};
        for (int e = 0; e < 3; ++e) {
            ub[e] = t_.surface_bound(max_chord(*box[e], *box[(e + 1) % 3]));
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
