#include "analysis/polish.hpp"

#include "core/geodesy.hpp"

namespace orlogix {

WindowDistances::WindowDistances(const std::vector<GeoPosition>& geo, const std::array<int64_t, 5>& base,
                                 std::size_t slots)
    : geo_(geo), base_(base) {
    (void)slots;
}

double WindowDistances::between(std::size_t a, int64_t ia, std::size_t b, int64_t ib) {
    const std::size_t pair = a * 5 + b;
    const std::size_t cand = static_cast<std::size_t>((ia - base_[a] + 2) * 5 + (ib - base_[b] + 2));
    if (!known_[pair][cand]) {
        cache_[pair][cand] = distance_or_zero(geo_[static_cast<std::size_t>(ia)], geo_[static_cast<std::size_t>(ib)]);
        known_[pair][cand] = true;
    }
    return cache_[pair][cand];
}

namespace {

struct Scored {
    bool ok;
    double score;
};

Scored score_of(WindowDistances& wd, PolishRule rule, const std::array<int64_t, 5>& c, std::size_t slots,
                double limit) {
    switch (rule) {
    case PolishRule::FreeDistance: {
        double sum = 0.0;
        for (std::size_t s = 0; s + 1 < slots; ++s) sum += wd.between(s, c[s], s + 1, c[s + 1]);
        return {true, sum};
    }
    case PolishRule::OutAndReturn: {
        const double gap = wd.between(0, c[0], 2, c[2]);
        if (!(gap <= limit)) return {false, 0.0};
        return {true, 2.0 * wd.between(0, c[0], 1, c[1]) - gap};
    }
    case PolishRule::OlcOutAndReturn: {
        const double gap = wd.between(0, c[0], 2, c[2]);
        if (!(gap < limit)) return {false, 0.0};
        return {true, wd.between(0, c[0], 1, c[1]) + wd.between(1, c[1], 2, c[2])};
    }
    case PolishRule::FlatTriangle:
    case PolishRule::FaiTriangle:
    case PolishRule::OlcFlatTriangle:
    case PolishRule::OlcFaiTriangle: {
        const double gap = wd.between(0, c[0], 4, c[4]);
        const bool olc = rule == PolishRule::OlcFlatTriangle || rule == PolishRule::OlcFaiTriangle;
        if (!olc && !(gap < limit)) return {false, 0.0};
        const double s1 = wd.between(1, c[1], 2, c[2]);
        const double s2 = wd.between(2, c[2], 3, c[3]);
        const double s3 = wd.between(1, c[1], 3, c[3]);
        const double sides = s1 + s2 + s3;
        // The same strict 20 % closing rule as the OLC search.
        if (olc && !(5.0 * gap < sides)) return {false, 0.0};
        if (rule == PolishRule::FaiTriangle || rule == PolishRule::OlcFaiTriangle) {
            const double least = 0.28 * sides;
            if (s1 < least || s2 < least || s3 < least) return {false, 0.0};
        }
        return {true, sides - gap};
    }
    }
    return {false, 0.0};
}

}  // namespace

PolishOutcome polish(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& index, std::size_t slots,
                     PolishRule rule, double limit) {
    PolishOutcome out;
    out.index = index;
    const int64_t count = static_cast<int64_t>(geo.size());
    std::array<int64_t, 5> base{};
    for (std::size_t s = 0; s < slots; ++s) base[s] = index[s];
    WindowDistances wd(geo, base, slots);

    std::array<int64_t, 5> c{};
    double best = 0.0;
    // Odometer over the slots, first slot outermost; each slot runs p-2..p+2
    // within its bounds and above the previous slot's index.
    auto lower_bound = [&](std::size_t s) -> int64_t {
        int64_t lo = base[s] - 2;
        if (s == 0 && lo < 0) lo = 0;
        if (s > 0 && lo <= c[s - 1]) lo = c[s - 1] + 1;
        return lo;
    };
    auto upper_bound = [&](std::size_t s) -> int64_t {
        int64_t hi = base[s] + 2;
        const int64_t room = count - static_cast<int64_t>(slots) + static_cast<int64_t>(s);
        return hi < room ? hi : room;
    };
    std::size_t s = 0;
    c[0] = lower_bound(0);
    while (true) {
        if (c[s] > upper_bound(s)) {
            if (s == 0) break;
            --s;
            ++c[s];
            continue;
        }
        if (s + 1 < slots) {
            ++s;
            c[s] = lower_bound(s);
            continue;
        }
        const Scored sc = score_of(wd, rule, c, slots, limit);
        if (sc.ok && sc.score >= best) {
            best = sc.score;
            out.found = true;
            for (std::size_t t = 0; t < slots; ++t) out.index[t] = static_cast<uint32_t>(c[t]);
        }
        ++c[s];
    }
    out.score = best;
    return out;
}

}  // namespace orlogix
