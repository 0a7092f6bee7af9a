#include "analysis/contest/contest_solver.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
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
// Past this many blocks waiting (about 15 MB) the blocks taken off the queue
// are searched depth first too, so that memory stays bounded on tracks where
// nearly every block comes close to the best.
constexpr std::size_t kQueueLimit = 1u << 18;
// Closing pairs remembered (about 15 MB at most); past it the memory starts afresh.
constexpr std::size_t kClosingsKept = 1u << 18;
constexpr double kSlack = 1e-3;  // metres of margin on every bound test
// The first check without time order comes after this many blocks.
constexpr uint64_t kFirstLooseCheck = 1u << 12;

// What is known of the closings around some blocks: none is nearer than
// floor, and pair (a, b past the fixes when there is none) is one that tells
// as the nearest one does (FixTree::closest_around), for these blocks once
// searched for, else for the parent's.
struct Closing {
    double floor = 0.0;
    FixPair pair{0.0, kNoFix, kNoFix};
    static constexpr uint32_t kNoFix = UINT32_MAX;
};

struct Node {
    int64_t bound;
    int level;
    std::array<uint32_t, 3> b;
    Closing closing;
    bool exact;  // the closing searched for these blocks
};

struct NodeOrder {
    bool operator()(const Node& x, const Node& y) const {
        if (x.bound != y.bound) return x.bound < y.bound;
        return x.level > y.level;  // among equal bounds the smaller blocks first
    }
};

using Queue = std::priority_queue<Node, std::vector<Node>, NodeOrder>;

class Search {
public:
    // loose: every three fixes in any order, with no closing asked (the
    // perimeter, and the legs' shares, bound every flight over the same fixes).
    Search(const FixTree& t, const ContestType& type, double deadline_seconds, const HaltToken& halt,
           bool loose = false)
        : t_(t), type_(type), halt_(halt), start_(Clock::now()), deadline_(deadline_seconds), loose_(loose) {
        k_ = type.shape == ContestShape::OutAndReturn ? 2 : 3;
        closed_ = type.shape != ContestShape::FreeDistance;
        edge_ = free_closing_limit_metres(type);
    }

    ContestResult run();

private:
    // The best closing pair around fixes i <= j (as far as the rules tell
    // closings apart), searched below cap.
    // A pair found for fixes around these, if still around them and below cap,
    // tells the same (a nearer one would have been found then): hint.
    FixPair closing(std::size_t i, std::size_t j, double cap, const FixPair& hint);
    // What such a search tells of every closing around the same fixes or
    // fewer: none is nearer than this, nor counts fewer hundredths or a
    // lesser penalty.
    double floor_of(const FixPair& found, double cap) const;
    int64_t penalty_at_least(double floor) const { return floor >= edge_ ? to_hundredth_km(floor) : 0; }
    ContestResult run_free();
    // An upper bound of the value (0.01 km, before the final rounding) of every
    // flight in the blocks, or -1 when none can be valid; with the nearest
    // closing searched for when exact, else from the lower bound given.
    int64_t bound(int level, const std::array<uint32_t, 3>& b, Closing& closing, bool exact);
    // A node's bound with its closing searched for.
    void refine(Node& node) {
        if (!node.exact) node.bound = bound(node.level, node.b, node.closing, true);
        node.exact = true;
    }
    void leaf(const std::array<uint32_t, 3>& b, const Closing& known);
    void expand(const Node& node, std::vector<Node>& out);
    void dive(const Node& node);
    void push_root(Queue& queue);
    int64_t explore(Queue& queue, uint64_t limit);
    bool nothing_above_without_order(int64_t value, uint64_t limit);
    bool stop();
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
    bool out_of_time() const { return deadline_ > 0.0 && elapsed() > deadline_; }
    int64_t rounded(int64_t distance) const { return rounded_distance(type_, distance); }
    int64_t points(int64_t value) const { return contest_points(type_, value); }

    const FixTree& t_;
    const ContestType& type_;
    HaltToken halt_;
    Clock::time_point start_;
    double deadline_;
    bool loose_ = false;
    double edge_ = 0.0;  // closings below this many metres cost no penalty
    int k_ = 3;
    bool closed_ = true;
    bool stopped_ = false;
    bool beaten_ = false;  // loose: a flight above the value asked about exists
    uint64_t nodes_ = 0;
    uint64_t loose_nodes_ = 0;  // of the searches without time order
    int64_t best_ = 0;          // value of the best flight found, 0 while none
    ContestResult result_;
    struct Cached {
        FixPair pair;
        double cap;
    };
    std::unordered_map<uint64_t, Cached> closings_;
    std::unique_ptr<FixTree> scattered_;  // the fixes in space order, once, for the loose search
};

bool Search::stop() {
    if (stopped_) return true;
    if ((++nodes_ & 1023) != 1) return false;  // the first time and every 1024th
    if (halt_.halted() || out_of_time()) stopped_ = true;
    return stopped_;
}

FixPair Search::closing(std::size_t i, std::size_t j, double cap, const FixPair& hint) {
    if (hint.a != Closing::kNoFix && hint.a <= i && hint.b >= j && hint.metres < cap) return hint;
    const uint64_t key = (static_cast<uint64_t>(i) << 32) | j;
    auto it = closings_.find(key);
    if (it != closings_.end()) {
        const Cached& c = it->second;
        const bool found = c.pair.a != Closing::kNoFix;
        if (found ? c.pair.metres < cap : cap <= c.cap) return found ? c.pair : FixPair{cap, Closing::kNoFix, Closing::kNoFix};
    }
    FixPair p = t_.closest_around(i, j, cap, edge_);
    if (p.metres >= cap) p.a = p.b = Closing::kNoFix;
    if (closings_.size() >= kClosingsKept) closings_.clear();
    closings_[key] = {p, cap};
    return p;
}

double Search::floor_of(const FixPair& found, double cap) const {
    if (found.metres >= cap) return cap;
    // A distance counting h hundredths is at least 10 h - 5 metres.
    const double counted = 10.0 * static_cast<double>(to_hundredth_km(found.metres)) - 5.0;
    return std::max(counted, found.metres >= edge_ ? edge_ : 0.0);
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

int64_t Search::bound(int level, const std::array<uint32_t, 3>& b, Closing& closing_known, bool exact) {
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
    if (loose_) return perimeter;
    const double allowed = closing_limit_metres(type_, perimeter);
    if (exact) {
        const std::size_t i = t_.block_last(level, b[0]), j = t_.block_first(level, b[k_ - 1]);
        closing_known.pair = closing(i, j, allowed, closing_known.pair);
        closing_known.floor = floor_of(closing_known.pair, allowed);
    }
    if (closing_known.floor >= allowed) return -1;
    return perimeter - penalty_at_least(closing_known.floor);
}

void Search::leaf(const std::array<uint32_t, 3>& b, const Closing& known) {
    const uint32_t t1 = b[0], t2 = b[1], t3 = b[k_ - 1];
    const bool oar = type_.shape == ContestShape::OutAndReturn;
    const int count = oar ? 2 : 3;
    const std::array<std::pair<uint32_t, uint32_t>, 3> ends = {{{t1, t2}, oar ? std::pair{t1, t2} : std::pair{t2, t3}, {t3, t1}}};
    // First from the chords alone (the rounding of a long leg needs the
    // inverse formula): what the legs can count at most and at least.
    int64_t hi[3], lo[3], most = 0, least = 0;
    for (int e = 0; e < count; ++e) {
        const double c = chord(t_.point(ends[e].first), t_.point(ends[e].second));
        hi[e] = to_hundredth_km(t_.surface_bound(c));
        lo[e] = to_hundredth_km(std::max(0.0, c - kSlack));
        most += hi[e];
        least += lo[e];
    }
    if (most <= best_) return;  // cannot beat the best even without a penalty
    if (type_.min_leg_percent > 0) {
        const int64_t shortest = rounded(least);
        for (int e = 0; e < count; ++e) {
            if (hi[e] * 100 < type_.min_leg_percent * shortest) return;
        }
    }
    FixPair c{0.0, t1, t3};
    if (!loose_) {
        // Nor where the closing is too far or costs too much.
        const double limit = closing_limit_metres(type_, most);
        if (known.floor >= limit || most - penalty_at_least(known.floor) <= best_) return;
        c = closing(t1, t3, limit, known.pair);
        if (c.metres >= limit || most - penalty_at_least(floor_of(c, limit)) <= best_) return;
    }
    int64_t legs[3], perimeter = 0;
    for (int e = 0; e < count; ++e) {
        legs[e] = t_.hundredths(ends[e].first, ends[e].second);
        perimeter += legs[e];
    }
    if (!loose_ && perimeter < most) {
        // The allowance of the perimeter itself may be less: the pair found must be below it
        // wherever the closest one is.
        const double limit = closing_limit_metres(type_, perimeter);
        if (c.metres >= limit) c = closing(t1, t3, limit, c);
        if (c.metres >= limit) return;
    }
    const int64_t gap = to_hundredth_km(c.metres);
    const int64_t value = closed_flight_value(type_, std::span<const int64_t>(legs, count), c.metres);
    if (value <= best_) return;
    if (loose_) {
        beaten_ = stopped_ = true;
        return;
    }
    best_ = value;
    result_.found = true;
    result_.turnpoints = {t1, t2, t3};
    result_.start = c.a;
    result_.finish = c.b;
    result_.distance = perimeter;
    result_.closing = gap;
    result_.penalty = perimeter - value;
}

void Search::expand(const Node& node, std::vector<Node>& out) {
    out.clear();
    const int l = node.level - 1;
    const std::size_t count = t_.blocks(l);
    std::array<uint32_t, 3> c{};
    const int k = k_;
    // Every choice of child per turn point that keeps the blocks in time order;
    // their closings are no nearer than the parent's, searched for only when
    // a child comes up.
    for (uint32_t mask = 0; mask < (1u << k); ++mask) {
        bool ok = true;
        for (int e = 0; e < k && ok; ++e) {
            c[e] = 2 * node.b[e] + ((mask >> e) & 1u);
            if (c[e] >= count || (e > 0 && c[e] < c[e - 1])) ok = false;
        }
        if (!ok) continue;
        if (k == 2) c[2] = c[1];
        if (l == 0) {
            leaf(c, node.closing);
            continue;
        }
        Closing known = node.closing;
        const int64_t b = bound(l, c, known, false);
        if (b > best_) out.push_back({b, l, c, known, false});
    }
}

void Search::dive(const Node& node) {
    std::vector<Node> kids;
    expand(node, kids);
    std::sort(kids.begin(), kids.end(), [](const Node& x, const Node& y) { return x.bound > y.bound; });
    for (Node& kid : kids) {
        if (stopped_ || stop()) return;
        if (kid.bound <= best_) continue;
        refine(kid);
        if (kid.bound > best_) dive(kid);
    }
}

void Search::push_root(Queue& queue) {
    Node root{0, t_.top_level(), {0, 0, 0}, Closing{}, false};
    if (root.level == 0) {
        leaf(root.b, Closing{});
        return;
    }
    refine(root);
    if (root.bound > best_) queue.push(root);
}

int64_t Search::explore(Queue& queue, uint64_t limit) {
    std::vector<Node> kids;
    while (!queue.empty()) {
        Node node = queue.top();
        if (node.bound <= best_) return 0;
        if (stop() || nodes_ >= limit) return node.bound;
        queue.pop();
        if (!node.exact) {
            // Its bound may come down with the closing searched for: back in line.
            refine(node);
            if (node.bound > best_) queue.push(node);
            continue;
        }
        if (node.level <= kDiveLevel || queue.size() > kQueueLimit) {
            dive(node);
            if (stopped_) return node.bound;  // searched only in part
            continue;
        }
        expand(node, kids);
        for (const Node& kid : kids) queue.push(kid);
    }
    return 0;
}

// The fixes in the order of a curve through space (each place once), so that
// index blocks are small in space even where the track keeps to one spot.
std::vector<GeoPosition> in_space_order(const FixTree& t) {
    const std::size_t n = t.size();
    const FixBox& all = t.box(t.top_level(), 0);
    auto cell = [&](std::size_t i, int k) {
        const double span = std::max(all.hi[k] - all.lo[k], 1e-9);
        return static_cast<uint64_t>((t.point(i)[k] - all.lo[k]) / span * 1048575.0);
    };
    auto spread = [](uint64_t v) {
        uint64_t r = 0;
        for (int bit = 0; bit < 21; ++bit) r |= ((v >> bit) & 1u) << (2 * bit);
        return r;
    };
    struct Place {
        uint64_t key;
        GeoPosition g;
    };
    std::vector<Place> places(n);
    for (std::size_t i = 0; i < n; ++i) places[i] = {spread(cell(i, 0)) | spread(cell(i, 1)) << 1, t.geo(i)};
    auto order = [](const Place& a, const Place& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.g.latitude != b.g.latitude) return a.g.latitude < b.g.latitude;
        return a.g.longitude < b.g.longitude;
    };
    std::sort(places.begin(), places.end(), order);
    std::vector<GeoPosition> out;
    for (std::size_t i = 0; i < n; ++i) {
        const GeoPosition& g = places[i].g;
        if (out.empty() || out.back().latitude != g.latitude || out.back().longitude != g.longitude) out.push_back(g);
    }
    return out;
}

bool Search::nothing_above_without_order(int64_t value, uint64_t limit) {
    if (!scattered_) scattered_ = std::make_unique<FixTree>(in_space_order(t_));
    Search loose(*scattered_, type_, deadline_ > 0.0 ? std::max(1e-3, deadline_ - elapsed()) : 0.0, halt_, true);
    loose.best_ = value;
    Queue queue;
    loose.push_root(queue);
    const int64_t left = loose.explore(queue, limit);
    loose_nodes_ += loose.nodes_;
    return left == 0 && !loose.stopped_;
}

ContestResult Search::run() {
    result_.type = &type_;
    if (t_.size() == 0) {
        result_.optimal = true;
        return result_;
    }
    if (!closed_) return run_free();
    Queue queue;
    push_root(queue);
    int64_t remaining = 0;
    // Where the blocks in time order stay wide in space (a track that hovers
    // over one spot), their bounds cannot come down to the best found; the
    // same question over the fixes in space order, without time order and
    // closing, can prove that no three of them do better. It is tried now
    // and then, each time as long as the search has run so far.
    for (uint64_t check = kFirstLooseCheck;; check *= 2) {
        remaining = explore(queue, check);
        if (remaining == 0 || stopped_) break;
        if (nothing_above_without_order(best_, check)) {
            remaining = 0;
            break;
        }
    }
    result_.nodes = nodes_ + loose_nodes_;
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
